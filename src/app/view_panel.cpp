#include "app/view_panel.h"

#include "maps/view/opengl_panel.h"
#include "maps/view/surface_overlay.h"
#include "maps/view/surface_renderer.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QVBoxLayout>
#include <QWheelEvent>

namespace {

// The left button turns the view, the right button shifts it.
std::optional<SurfaceViewState::Drag> DragOf(Qt::MouseButton button) {
    if (button == Qt::LeftButton)
        return SurfaceViewState::Drag::Turn;
    if (button == Qt::RightButton)
        return SurfaceViewState::Drag::Shift;
    return std::nullopt;
}

QPoint At(const QMouseEvent* e) {
    return e->position().toPoint();
}

} // namespace

TViewPanel::TViewPanel(QWidget* parent, FrameBuilder build, CellReadout readout)
    : QFrame(parent), build_(std::move(build)), readout_(std::move(readout)) {
    setObjectName(QStringLiteral("ViewPanel"));
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setAutoFillBackground(true);
    QPalette black = palette();
    black.setColor(QPalette::Window, Qt::black);
    setPalette(black);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setAlignment(Qt::AlignTop);

    surface_ = TOpenGLPanel::Create(this);
    if (surface_ == nullptr)
        return;
    surface_->setObjectName(QStringLiteral("SurfacePanel"));
    surface_->setCursor(Qt::PointingHandCursor);
    auto project = [](TOpenGLPanel* sender) {
        SetUpSurfaceProjection(sender->Gl(), sender->width(), sender->height(),
                               sender->devicePixelRatio());
    };
    surface_->OnInit = [project](TOpenGLPanel* sender) {
        project(sender);
        InitSurfaceContext(sender->Gl());
    };
    surface_->OnResize = project;
    surface_->OnPaint = [this](TOpenGLPanel* sender) {
        build_(frame_, true);
        DrawSurfaceFrame(sender->Gl(), frame_, state_.RotX, state_.RotY, state_.Place);
        PlaceLabels();
    };
    surface_->OnMouseDown = [this](TOpenGLPanel*, QMouseEvent* e) {
        if (const auto drag = DragOf(e->button()))
            state_.Press(*drag, At(e).x(), At(e).y());
    };
    surface_->OnMouseMove = [this](TOpenGLPanel*, QMouseEvent* e) {
        if (state_.Move(At(e).x(), At(e).y(), surface_->height())) {
            overlay_->SetReadout({}, QString()); // no readout while the view moves
            Repaint();
        } else {
            Hover(At(e).x(), At(e).y());
        }
    };
    surface_->OnMouseUp = [this](TOpenGLPanel*, QMouseEvent* e) {
        if (const auto drag = DragOf(e->button()))
            state_.Release(*drag);
    };
    surface_->OnWheel = [this](TOpenGLPanel*, QWheelEvent* e) {
        state_.Place = ZoomedPlacement(state_.Place, e->angleDelta().y());
        Repaint();
    };
    surface_->OnDoubleClick = [this](TOpenGLPanel*, QMouseEvent* e) {
        if (e->button() == Qt::LeftButton)
            Reset();
    };
    surface_->OnKeyDown = [this](TOpenGLPanel*, QKeyEvent* e) {
        if (e->key() == Qt::Key_Home)
            Reset();
        else
            e->ignore();
    };
    // A click gives the view the keyboard, so that Home reaches it.
    surface_->setFocusPolicy(Qt::ClickFocus);
    surface_->setMouseTracking(true); // the readout follows the mouse without a button
    overlay_ = new SurfaceOverlay(this);
    overlay_->setObjectName(QStringLiteral("SurfaceOverlay"));
    PlaceView();
}

ViewMatrix TViewPanel::CurrentMatrix() const {
    return Multiply(ProjectionMatrix(surface_->width(), surface_->height()),
                    ModelViewMatrix(state_.RotX, state_.RotY, state_.Place));
}

void TViewPanel::PlaceLabels() {
    const ViewMatrix mvp = CurrentMatrix();
    std::vector<SurfaceOverlay::Text> labels;
    for (const SurfaceLabel& label : frame_.labels) {
        float x = 0, y = 0;
        if (ProjectToView(mvp, label.at, surface_->width(), surface_->height(), x, y))
            labels.push_back({QPoint(static_cast<int>(x), static_cast<int>(y)),
                              QString::fromStdString(label.text)});
    }
    overlay_->SetLabels(std::move(labels));
}

void TViewPanel::Hover(int x, int y) {
    if (surface_ == nullptr || !readout_ || frame_.cellCols == 0)
        return;
    const int cell = NearestCell(frame_, CurrentMatrix(), surface_->width(), surface_->height(),
                                 static_cast<float>(x), static_cast<float>(y), 12.0f);
    overlay_->SetReadout(QPoint(x, y),
                         cell < 0 ? QString()
                                  : readout_(cell / frame_.cellCols, cell % frame_.cellCols));
}

void TViewPanel::Repaint() {
    if (surface_)
        surface_->update();
    emit Repainted();
}

void TViewPanel::Fit() {
    // The view keeps 5 to 4, so the fit does not depend on its size; before the view has a
    // size, a 5 x 4 one stands in for it.
    const bool sized = surface_ != nullptr && surface_->height() > 0;
    const std::optional<MapKind> map = build_(frame_, false);
    state_.Fit(frame_, map, sized ? surface_->width() : 5, sized ? surface_->height() : 4);
    Repaint();
}

void TViewPanel::PlaceView() {
    if (surface_ == nullptr)
        return;
    const QRect area = contentsRect();
    surface_->setGeometry(area.x(), area.y(), area.width(), ViewHeightForWidth(area.width()));
    overlay_->setGeometry(surface_->geometry());
    overlay_->raise();
}

void TViewPanel::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    PlaceView();
}

void TViewPanel::Reset() {
    state_.ResetAngles();
    Fit();
}
