#include "params/database_location.h"

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

const char* const DefaultDatabaseName = "database.mdb";

namespace {

bool IsFile(const fs::path& path) {
    std::error_code ec;
    return !path.empty() && fs::is_regular_file(path, ec);
}

} // namespace

DatabaseLocation LocateParameterDatabase(const std::string& chosen,
                                         const std::string& workingFolder,
                                         const std::string& imageFile) {
    DatabaseLocation found;
    if (!chosen.empty()) {
        if (IsFile(chosen)) {
            found.path = chosen;
            found.source = DatabaseSource::Chosen;
            return found;
        }
        found.chosenMissing = true;
    }
    const fs::path inWorkingFolder = fs::path(workingFolder) / DefaultDatabaseName;
    if (IsFile(inWorkingFolder)) {
        found.path = inWorkingFolder.string();
        found.source = DatabaseSource::WorkingFolder;
        return found;
    }
    if (!imageFile.empty()) {
        const fs::path besideImage = fs::path(imageFile).parent_path() / DefaultDatabaseName;
        if (IsFile(besideImage)) {
            found.path = besideImage.string();
            found.source = DatabaseSource::BesideImage;
            return found;
        }
    }
    found.path = chosen.empty() ? inWorkingFolder.string() : chosen;
    return found;
}
