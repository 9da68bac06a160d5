#include "maps/view/section_view.h"

#include <QChart>
#include <QChartView>
#include <QLineSeries>
#include <QPen>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

namespace {

QList<QPointF> Points(const SectionCurve& curve) {
    QList<QPointF> points;
    points.reserve(static_cast<qsizetype>(curve.x.size()));
    for (std::size_t i = 0; i < curve.x.size() && i < curve.y.size(); ++i)
        points.append(QPointF(curve.x[i], curve.y[i]));
    return points;
}

// The range an axis needs for the finite values of two curves, a little wider than they are
// so that a flat line does not sit on the frame.
std::pair<double, double> Span(const std::vector<double>& a, const std::vector<double>& b) {
    double low = INFINITY;
    double high = -INFINITY;
    for (const std::vector<double>* values : {&a, &b})
        for (const double v : *values)
            if (std::isfinite(v)) {
                low = std::min(low, v);
                high = std::max(high, v);
            }
    if (!(low <= high))
        return {0.0, 1.0};
    const double pad = high > low ? (high - low) * 0.05 : std::max(std::fabs(high) * 0.05, 1.0);
    return {low - pad, high + pad};
}

// The axis keeps its range while the values fit it and fill at least half of it: a keystroke
// then moves one point, instead of the frame with its tick labels being laid out again.
void Settle(QValueAxis* axis, double low, double high) {
    const double need = high - low;
    if (axis->min() <= low && axis->max() >= high && axis->max() - axis->min() <= 2 * need)
        return;
    axis->setRange(low, high);
}

template <typename T, typename Setter> void SetIfNew(const T& now, const T& wanted, Setter set) {
    if (now != wanted)
        set(wanted);
}

} // namespace

TSectionView::TSectionView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("SectionView"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    row_ = MakePlot(QStringLiteral("RowChart"));
    col_ = MakePlot(QStringLiteral("ColChart"));
    for (Plot* plot : {&row_, &col_}) {
        auto* view = new QChartView(plot->chart, this);
        view->setObjectName(plot->chart->objectName() + QStringLiteral("View"));
        view->setRenderHint(QPainter::Antialiasing);
        layout->addWidget(view, 1);
    }
    Clear();
}

TSectionView::Plot TSectionView::MakePlot(const QString& name) {
    Plot plot;
    plot.chart = new QChart;
    plot.chart->setObjectName(name);
    plot.chart->legend()->hide();
    plot.chart->setMargins(QMargins(4, 4, 4, 4));
    // The reference goes in first, so the image's curve is drawn over it.
    plot.reference = new QLineSeries(plot.chart);
    plot.reference->setPen(QPen(QColor(150, 150, 150), 2, Qt::DashLine));
    plot.line = new QLineSeries(plot.chart);
    plot.line->setPen(QPen(QColor(0, 90, 200), 2));
    plot.line->setPointsVisible(true);
    plot.chart->addSeries(plot.reference);
    plot.chart->addSeries(plot.line);
    plot.x = new QValueAxis(plot.chart);
    plot.y = new QValueAxis(plot.chart);
    plot.x->setLabelFormat(QStringLiteral("%g"));
    plot.y->setLabelFormat(QStringLiteral("%g"));
    plot.chart->addAxis(plot.x, Qt::AlignBottom);
    plot.chart->addAxis(plot.y, Qt::AlignLeft);
    for (QLineSeries* series : {plot.reference, plot.line}) {
        series->attachAxis(plot.x);
        series->attachAxis(plot.y);
    }
    return plot;
}

void TSectionView::ShowSections(const MapSections& s, const QString& rowAxisName,
                                const QString& colAxisName, const QString& unit) {
    Fill(row_, s.alongRow, s.referenceRow,
         QStringLiteral("Строка %1 = %2").arg(rowAxisName).arg(s.rowLabel), colAxisName, unit);
    Fill(col_, s.alongCol, s.referenceCol,
         QStringLiteral("Столбец %1 = %2").arg(colAxisName).arg(s.colLabel), rowAxisName, unit);
}

void TSectionView::Clear() {
    Fill(row_, {}, {}, QStringLiteral("Строка"), QString(), QString());
    Fill(col_, {}, {}, QStringLiteral("Столбец"), QString(), QString());
}

void TSectionView::Fill(Plot& plot, const SectionCurve& curve, const SectionCurve& reference,
                        const QString& title, const QString& xName, const QString& unit) {
    SetIfNew(plot.chart->title(), title, [&](const QString& t) { plot.chart->setTitle(t); });
    plot.line->replace(Points(curve));
    plot.reference->replace(Points(reference));
    const auto [xLow, xHigh] = Span(curve.x, reference.x);
    const auto [yLow, yHigh] = Span(curve.y, reference.y);
    Settle(plot.x, xLow, xHigh);
    Settle(plot.y, yLow, yHigh);
    SetIfNew(plot.x->titleText(), xName, [&](const QString& t) { plot.x->setTitleText(t); });
    SetIfNew(plot.y->titleText(), unit, [&](const QString& t) { plot.y->setTitleText(t); });
}
