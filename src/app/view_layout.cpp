#include "app/view_layout.h"

#include "app/view_panel.h"
#include "image/firmware_image.h"
#include "maps/map_sections.h"
#include "maps/view/opengl_panel.h"
#include "maps/view/section_view.h"
#include "ui/app_settings.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QSplitter>
#include <QSplitterHandle>
#include <QStackedWidget>
#include <algorithm>

namespace {

const QString ChoiceKey = QStringLiteral("view/layout");

struct ChoiceItem {
    ViewChoice choice;
    const char* name;
    const char* text;
    Qt::Key key;
};
constexpr std::array<ChoiceItem, 3> ChoiceItems{{
    {ViewChoice::GridOnly, "MViewGridOnly", "Только таблица", Qt::Key_F5},
    {ViewChoice::Surface, "MViewSurface", "Таблица и 3-D", Qt::Key_F6},
    {ViewChoice::Sections, "MViewSections", "Таблица и 2-D", Qt::Key_F7},
}};

// The names of a table's row and column axes, from its corner caption ("N\P"); a one-column
// table's column is named by its title.
std::pair<QString, QString> AxisNames(const MapInfo& info) {
    const QString corner = QString::fromUtf8(info.corner);
    const qsizetype slash = corner.indexOf(QLatin1Char('\\'));
    if (slash >= 0)
        return {corner.left(slash), corner.mid(slash + 1)};
    return {corner, info.columnTitle ? QString::fromUtf8(info.columnTitle) : QString()};
}

} // namespace

TViewLayout::TViewLayout(QSplitter* splitter, TViewPanel* surface, SectionsSource sections)
    : QObject(splitter), splitter_(splitter), surface_(surface), draw_(std::move(sections)) {
    pane_ = new QStackedWidget;
    pane_->setObjectName(QStringLiteral("ViewPane"));
    const int at = splitter_->indexOf(surface_);
    splitter_->replaceWidget(at, pane_);
    // The pane grows with the window as the 3-D view's panel did; the grid keeps its width.
    splitter_->setStretchFactor(at, surface_->sizePolicy().horizontalStretch());
    pane_->addWidget(surface_);
    sections_ = new TSectionView(pane_);
    // The charts squeeze into whatever the pane has: they must never widen it, and so narrow
    // the grid's panel, while the 3-D view is shown.
    sections_->setMinimumSize(1, 1);
    pane_->addWidget(sections_);

    menu_ = new QMenu(QStringLiteral("&Вид"), splitter_->window());
    menu_->setObjectName(QStringLiteral("MView"));
    auto* group = new QActionGroup(menu_);
    for (const ChoiceItem& item : ChoiceItems) {
        QAction* a = menu_->addAction(QString::fromUtf8(item.text));
        a->setObjectName(QString::fromLatin1(item.name));
        a->setCheckable(true);
        a->setShortcut(QKeySequence(item.key));
        group->addAction(a);
        const ViewChoice choice = item.choice;
        connect(a, &QAction::triggered, this, [this, choice] { Choose(choice); });
        items_.at(static_cast<std::size_t>(choice)) = a;
    }

    connect(surface_, &TViewPanel::Repainted, this, &TViewLayout::Refresh);
    if (QSplitterHandle* handle = splitter_->handle(1)) {
        handle_ = handle;
        handle->installEventFilter(this);
        handle->setToolTip(QStringLiteral("Перетащите, чтобы изменить ширину таблицы"));
    }
    if (TOpenGLPanel* view = surface_->Surface()) {
        view_ = view;
        view->installEventFilter(this);
        view->setMouseTracking(true); // the cursor changes over the grab band
    }
    Show(ViewChoice::Surface);
}

QAction* TViewLayout::ChoiceAction(ViewChoice choice) const {
    return items_.at(static_cast<std::size_t>(choice));
}

void TViewLayout::Choose(ViewChoice choice) {
    Show(choice);
    AppSettings().SetValue(ChoiceKey, static_cast<int>(choice));
}

void TViewLayout::RestoreChoice() {
    const QVariant stored = AppSettings().Value(ChoiceKey);
    bool ok = false;
    const int value = stored.toInt(&ok);
    const bool known = ok && value >= 0 && value < static_cast<int>(ChoiceItems.size());
    Show(known ? static_cast<ViewChoice>(value) : ViewChoice::Surface);
}

void TViewLayout::Show(ViewChoice choice) {
    choice_ = choice;
    ChoiceAction(choice)->setChecked(true);
    pane_->setVisible(choice != ViewChoice::GridOnly);
    if (choice == ViewChoice::Sections)
        pane_->setCurrentWidget(sections_);
    else
        pane_->setCurrentWidget(surface_);
    if (choice == ViewChoice::Surface) {
        surface_->PlaceView();
        surface_->Repaint();
    }
    Refresh();
}

void TViewLayout::Refresh() {
    if (choice_ == ViewChoice::Sections && draw_)
        draw_(*sections_);
}

bool TViewLayout::eventFilter(QObject* watched, QEvent* event) {
    // Only pointers are compared here: the filter also sees the events sent while the splitter
    // and the view are being destroyed, when no call into them is safe.
    if (watched == handle_ && event->type() == QEvent::Paint) {
        PaintHandle();
        return true;
    }
    if (view_ != nullptr && watched == view_)
        return SurfaceEvent(event);
    return QObject::eventFilter(watched, event);
}

void TViewLayout::PaintHandle() {
    QSplitterHandle* handle = splitter_->handle(1);
    QPainter p(handle);
    const QRect r = handle->rect();
    const QPalette& pal = handle->palette();
    const bool hover = handle->underMouse();
    p.fillRect(r, hover ? pal.color(QPalette::Highlight) : pal.color(QPalette::Mid));
    p.setPen(pal.color(QPalette::Light));
    p.drawLine(r.topLeft(), r.bottomLeft());
    p.setPen(pal.color(QPalette::Dark));
    p.drawLine(r.topRight(), r.bottomRight());
    // A grip in the middle: three short dark dashes across the handle.
    p.setPen(pal.color(QPalette::Shadow));
    const int middle = r.center().y();
    for (int dy : {-8, 0, 8})
        p.drawLine(r.left() + 1, middle + dy, r.right() - 1, middle + dy);
}

bool TViewLayout::SurfaceEvent(QEvent* event) {
    const auto type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseMove &&
        type != QEvent::MouseButtonRelease && type != QEvent::MouseButtonDblClick)
        return false;
    TOpenGLPanel* view = surface_->Surface();
    auto* e = static_cast<QMouseEvent*>(event);
    const int x = e->position().toPoint().x();
    const bool inBand = x >= view->width() - GrabBand;
    if (type == QEvent::MouseMove && !dragging_ && e->buttons() == Qt::NoButton)
        view->setCursor(inBand ? Qt::SplitHCursor : Qt::PointingHandCursor);
    if (type == QEvent::MouseButtonPress && e->button() == Qt::LeftButton && inBand) {
        dragging_ = true;
        return true;
    }
    if (!dragging_)
        return inBand && type == QEvent::MouseButtonDblClick;
    if (type == QEvent::MouseMove) {
        // The pane ends where the pointer is; the splitter keeps the widths in bounds.
        const int paneWidth = splitter_->mapFromGlobal(e->globalPosition().toPoint()).x();
        const int total = splitter_->width() - splitter_->handleWidth();
        const int moved = std::clamp(paneWidth, 1, std::max(1, total - 1));
        if (moved != splitter_->sizes().value(0)) {
            splitter_->setSizes({moved, std::max(1, total - moved)});
            surface_->PlaceView();
        }
    }
    if (type == QEvent::MouseButtonRelease && e->button() == Qt::LeftButton)
        dragging_ = false;
    return true;
}

void ShowCellSections(TSectionView& view, const FirmwareImage& image, MapKind kind, int row,
                      int col, const FirmwareImage* reference) {
    if (!image.Loaded) {
        view.Clear();
        return;
    }
    const MapInfo& info = GetMapInfo(kind);
    const auto [rowAxis, colAxis] = AxisNames(info);
    view.ShowSections(SectionsThrough(image, kind, row, col, reference), rowAxis, colAxis,
                      QString::fromUtf8(info.unit));
}
