#pragma once

#include <string>

// Where the parameter database is looked for, first match wins:
//   1. the file the user chose ("Настройки → База параметров…"), when it still exists;
//   2. "database.mdb" in the working folder;
//   3. "database.mdb" beside the opened image.
// When none exists the chosen file, or else the working folder's, is named, so the parameter
// window says which file it did not find.

// Why the database path was picked.
enum class DatabaseSource { Chosen, WorkingFolder, BesideImage, NotFound };

struct DatabaseLocation {
    std::string path;
    DatabaseSource source = DatabaseSource::NotFound;
    // The user's chosen file was not found and another one is used instead (or none).
    bool chosenMissing = false;
};

// The name of the database file in the working folder and beside the image.
extern const char* const DefaultDatabaseName;

// chosen and imageFile may be empty (nothing chosen, no image opened).
DatabaseLocation LocateParameterDatabase(const std::string& chosen,
                                         const std::string& workingFolder,
                                         const std::string& imageFile);
