// The 3-D view of the main window: SurfacePanel at the top of ViewPanel, its three drawing
// handlers, mouse rotation and the 5:4 height rule. The lines come from the core
// (maps/surface_geometry.h); this file only wires them to the panel.
#include "app/main_form.h"

#include "maps/opengl_panel.h"
#include "maps/surface_renderer.h"
#include "maps/surface_view.h"

#include <QEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>
#include <functional>
#include <utility>

namespace {

// Calls a function whenever the watched widget changes size.
class ResizeWatcher : public QObject {
public:
    ResizeWatcher(QObject* parent, std::function<void()> onResize)
        : QObject(parent), onResize_(std::move(onResize)) {}

protected:
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Resize)
            onResize_();
        return false;
    }

private:
    std::function<void()> onResize_;
};

} // namespace

void TMainForm::BuildView() {
    // Without OpenGL the failure has been reported; ViewPanel stays black and the rest of the
    // window works as before.
    SurfacePanel = TOpenGLPanel::Create(ViewPanel);
    if (SurfacePanel == nullptr)
        return;
    SurfacePanel->setObjectName(QStringLiteral("SurfacePanel"));
    SurfacePanel->setCursor(Qt::PointingHandCursor);
    SurfacePanel->OnInit = [this](TOpenGLPanel* sender) { SurfaceInit(sender); };
    SurfacePanel->OnResize = [](TOpenGLPanel* sender) {
        SetUpSurfaceProjection(sender->Gl(), sender->width(), sender->height(),
                               sender->devicePixelRatio());
    };
    SurfacePanel->OnPaint = [this](TOpenGLPanel* sender) { SurfacePaint(sender); };
    // The left button turns the view, the right button shifts it.
    auto drag = [](Qt::MouseButton button) {
        return button == Qt::LeftButton    ? std::optional(SurfaceViewState::Drag::Turn)
               : button == Qt::RightButton ? std::optional(SurfaceViewState::Drag::Shift)
                                           : std::nullopt;
    };
    SurfacePanel->OnMouseDown = [this, drag](TOpenGLPanel*, QMouseEvent* e) {
        if (const auto d = drag(e->button()))
            ViewState.Press(*d, e->position().toPoint().x(), e->position().toPoint().y());
    };
    SurfacePanel->OnMouseMove = [this](TOpenGLPanel*, QMouseEvent* e) {
        SurfaceMouseMove(e->position().toPoint().x(), e->position().toPoint().y());
    };
    SurfacePanel->OnMouseUp = [this, drag](TOpenGLPanel*, QMouseEvent* e) {
        if (const auto d = drag(e->button()))
            ViewState.Release(*d);
    };
    SurfacePanel->OnWheel = [this](TOpenGLPanel*, QWheelEvent* e) {
        SurfaceWheel(e->angleDelta().y());
    };
    SurfacePanel->OnDoubleClick = [this](TOpenGLPanel*, QMouseEvent* e) {
        if (e->button() == Qt::LeftButton)
            SurfaceReset();
    };
    SurfacePanel->OnKeyDown = [this](TOpenGLPanel*, QKeyEvent* e) {
        if (e->key() == Qt::Key_Home)
            SurfaceReset();
        else
            e->ignore();
    };
    // A click gives the view the keyboard, so that Home reaches it.
    SurfacePanel->setFocusPolicy(Qt::ClickFocus);
    // The view is not in ViewPanel's layout: its height follows its width, and a window lower
    // than the view cuts off the view's bottom instead of growing.
    ViewPanel->installEventFilter(new ResizeWatcher(ViewPanel, [this] { PlaceView(); }));
    PlaceView();
}

void TMainForm::PlaceView() {
    if (SurfacePanel == nullptr)
        return;
    const QRect area = ViewPanel->contentsRect();
    SurfacePanel->setGeometry(area.x(), area.y(), area.width(), ViewHeightForWidth(area.width()));
}

void TMainForm::ViewSplitterMoved() {
    PlaceView();
}

void TMainForm::Repaint3D() {
    if (SurfacePanel)
        SurfacePanel->update();
}

void TMainForm::SurfaceInit(TOpenGLPanel* sender) {
    SetUpSurfaceProjection(sender->Gl(), sender->width(), sender->height(),
                           sender->devicePixelRatio());
    InitSurfaceContext(sender->Gl());
}

void TMainForm::SurfacePaint(TOpenGLPanel* sender) {
    BuildSurfaceFrame(GetImage(), MarkedMap(), SelRow, SelCol, ViewFrame, Compared->Reference());
    DrawSurfaceFrame(sender->Gl(), ViewFrame, ViewState.RotX, ViewState.RotY, ViewState.Place);
}

void TMainForm::SurfaceMouseMove(int x, int y) {
    if (ViewState.Move(x, y, SurfacePanel ? SurfacePanel->height() : -1))
        Repaint3D();
}

void TMainForm::SurfaceWheel(int wheelDelta) {
    ViewState.Place = ZoomedPlacement(ViewState.Place, wheelDelta);
    Repaint3D();
}

void TMainForm::SurfaceReset() {
    ViewState.ResetAngles();
    FitView();
}

void TMainForm::FitView() {
    // The view keeps 5 to 4, so the fit does not depend on its size; before the view has a
    // size, a 5 x 4 one stands in for it.
    const bool sized = SurfacePanel != nullptr && SurfacePanel->height() > 0;
    const std::optional<MapKind> map = MarkedMap();
    BuildSurfaceFrame(GetImage(), map, SelRow, SelCol, ViewFrame);
    ViewState.Fit(ViewFrame, map, sized ? SurfacePanel->width() : 5,
                  sized ? SurfacePanel->height() : 4);
    Repaint3D();
}
