#pragma once

#include "maps/map_catalogue.h"

#include <vector>

class FirmwareImage;

// One curve of the 2-D view: points in axis order, x the axis label, y the decoded value.
struct SectionCurve {
    std::vector<double> x;
    std::vector<double> y;
};

// The row and the column of a table through one cell, as the 2-D view draws them: the row
// against the column axis, the column against the row axis. The reference's curves are filled
// only when a reference is given; they are empty otherwise.
struct MapSections {
    int row = 0; // the data cell the curves go through, 0-based
    int col = 0;
    long rowLabel = 0; // axis label of that row and of that column
    long colLabel = 0;
    SectionCurve alongRow;
    SectionCurve alongCol;
    SectionCurve referenceRow;
    SectionCurve referenceCol;
};

// The curves through data cell (row, col) of a table, both 0-based; a cell outside the table
// is moved to its nearest edge, so that a grid that has not yet been given a cell still shows
// the first row and column.
MapSections SectionsThrough(const FirmwareImage& image, MapKind kind, int row, int col,
                            const FirmwareImage* reference);
