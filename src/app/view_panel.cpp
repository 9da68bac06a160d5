#include "app/view_panel.h"

#include "maps/view/opengl_panel.h"
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

TViewPanel::TViewPanel(QWidget* parent, FrameBuilder build)
    : QFrame(parent), build_(std::move(build)) {
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
    };
    surface_->OnMouseDown = [this](TOpenGLPanel*, QMouseEvent* e) {
        if (const auto drag = DragOf(e->button()))
            state_.Press(*drag, At(e).x(), At(e).y());
    };
    surface_->OnMouseMove = [this](TOpenGLPanel*, QMouseEvent* e) {
        if (state_.Move(At(e).x(), At(e).y(), surface_->height()))
            Repaint();
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
    PlaceView();
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
}

void TViewPanel::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    PlaceView();
}

void TViewPanel::Reset() {
    state_.ResetAngles();
    Fit();
}
