#pragma once

#include "maps/map_operations.h"

#include <string>

class FirmwareImage;

// Text of a block of table cells, for the clipboard and for files, and the reading of such text.

// Why a text could not be read as a block of numbers. Lines and columns count from 1.
enum class TableTextFault {
    None,
    NotNumber,    // a field that is neither empty nor a number
    Ragged,       // a line with another number of fields than the first line
    OutsideTable, // a field that would land outside the table
    WrongShape,   // the lines or fields are not as many as the table needs
};

struct TableTextError {
    TableTextFault fault = TableTextFault::None;
    int line = 0;
    int column = 0;
    std::string field; // the offending field (NotNumber)
};

// Reads a number as a user or a spreadsheet writes it: blanks around it, a sign, a dot or a
// comma as decimal separator, an exponent, INF, -INF and NAN as the grid shows them.
bool ParseCellNumber(const std::string& field, double& value);

// Splits text into lines and fields and reads every field; an empty field is an empty entry.
// `separator` is the field separator, or 0 to take it from the text: a tab when there is one,
// else a semicolon when there is one, else a comma, unless no line has a dot and none has more
// than one comma (one column of numbers with decimal commas, as a spreadsheet copies a single
// column under a comma locale). A final line break, and carriage returns before line breaks,
// are ignored. On a fault `error` names it and the result is empty.
CellValues ParseTableText(const std::string& text, char separator, TableTextError& error);

// Reads pasted text as ParseTableText does, first recognising text copied with axes (a first line
// starting with a map's corner caption, every later line with its row axis value) and leaving
// the axis line and column out. Positions in `error` count in the whole text.
CellValues ParsePastedText(const std::string& text, TableTextError& error);

// Checks that a block read from text fits the table when its first field lands on (top, left).
bool FitsTable(const CellValues& values, MapKind kind, int top, int left, TableTextError& error);

// Pastes text at (top, left): read, checked to fit, then stored by StoreMapValues. Nothing is
// written unless the whole text fits and is numbers.
bool PasteTableText(FirmwareImage& image, MapKind kind, int top, int left, const std::string& text,
                    MapEditCount& count, TableTextError& error);

// The text of one cell for copying: the table's decimals, or more where the shown text would
// store another value than the one stored now, so that pasting it back changes nothing.
std::string CellCopyText(const FirmwareImage& image, MapKind kind, int row, int col,
                         const std::string& decimalSeparator);

// A rectangle as tab-separated lines. With axes, a first line holds the corner caption and the
// column axis values (the column title for one-column tables) and each line starts with its row
// axis value.
std::string SelectionText(const FirmwareImage& image, MapKind kind, CellRect rect,
                          const std::string& decimalSeparator, bool withAxes);

// The shortest text that reads back to the same double (dot decimals; INF, -INF, NAN; a
// negative zero as 0).
std::string ShortestNumberText(double value);
