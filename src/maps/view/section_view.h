#pragma once

#include "maps/map_sections.h"

#include <QWidget>

class QChart;
class QChartView;
class QLineSeries;
class QValueAxis;

// The 2-D view: the row and the column of the shown table through the current cell, as two
// line charts one above the other. While an image is compared, the reference's curves are drawn
// in grey under the image's. The view only draws what it is given; the curves come from the
// maps core (SectionsThrough).
class TSectionView : public QWidget {
    Q_OBJECT
public:
    explicit TSectionView(QWidget* parent = nullptr);

    // Draws the curves of a table; `rowAxisName` and `colAxisName` name the table's row and
    // column axes ("N", "P"; the row's curve runs along the column axis), `unit` the values'.
    void ShowSections(const MapSections& sections, const QString& rowAxisName,
                      const QString& colAxisName, const QString& unit);
    // Shows empty charts, as before an image is opened.
    void Clear();

    // The series, for the window's own checks and the tests: the image's row and column, the
    // reference's row and column (empty while nothing is compared).
    QLineSeries* RowSeries() const { return row_.line; }
    QLineSeries* ColSeries() const { return col_.line; }
    QLineSeries* ReferenceRowSeries() const { return row_.reference; }
    QLineSeries* ReferenceColSeries() const { return col_.reference; }
    QChart* RowChart() const { return row_.chart; }
    QChart* ColChart() const { return col_.chart; }

private:
    struct Plot {
        QChart* chart = nullptr;
        QLineSeries* line = nullptr;
        QLineSeries* reference = nullptr;
        QValueAxis* x = nullptr;
        QValueAxis* y = nullptr;
    };
    Plot MakePlot(const QString& name);
    // Sets the curves of one chart and fits its axes to both of them.
    static void Fill(Plot& plot, const SectionCurve& curve, const SectionCurve& reference,
                     const QString& title, const QString& xName, const QString& unit);

    Plot row_;
    Plot col_;
};
