// The 3-D view of the main window: OpenGLPanel1 at the top of Panel1, its three drawing
// handlers, mouse rotation and the 5:4 height rule. The lines come from the core
// (maps/surface_geometry.h); this file only wires them to the panel.
#include "app/main_form.h"

#include "maps/surface_view.h"
#include "maps/view/opengl_panel.h"
#include "maps/view/surface_renderer.h"

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
    // Without OpenGL the failure has been reported; Panel1 stays black and the rest of the
    // window works as before.
    OpenGLPanel1 = TOpenGLPanel::Create(Panel1);
    if (OpenGLPanel1 == nullptr)
        return;
    OpenGLPanel1->setObjectName(QStringLiteral("OpenGLPanel1"));
    OpenGLPanel1->setCursor(Qt::PointingHandCursor);
    OpenGLPanel1->OnInit = [this](TOpenGLPanel* sender) { OpenGLPanel1Init(sender); };
    OpenGLPanel1->OnResize = [this](TOpenGLPanel* sender) { OpenGLPanel1Resize(sender); };
    OpenGLPanel1->OnPaint = [this](TOpenGLPanel* sender) { OpenGLPanel1Paint(sender); };
    OpenGLPanel1->OnMouseDown = [this](TOpenGLPanel*, QMouseEvent* e) {
        OpenGLPanel1MouseDown(e->button(), e->position().toPoint().x(),
                              e->position().toPoint().y());
    };
    OpenGLPanel1->OnMouseMove = [this](TOpenGLPanel*, QMouseEvent* e) {
        OpenGLPanel1MouseMove(e->position().toPoint().x(), e->position().toPoint().y());
    };
    OpenGLPanel1->OnMouseUp = [this](TOpenGLPanel*, QMouseEvent* e) {
        OpenGLPanel1MouseUp(e->button());
    };
    OpenGLPanel1->OnWheel = [this](TOpenGLPanel*, QWheelEvent* e) {
        OpenGLPanel1Wheel(e->angleDelta().y());
    };
    OpenGLPanel1->OnDoubleClick = [this](TOpenGLPanel*, QMouseEvent* e) {
        if (e->button() == Qt::LeftButton)
            OpenGLPanel1Reset();
    };
    OpenGLPanel1->OnKeyDown = [this](TOpenGLPanel*, QKeyEvent* e) {
        if (e->key() == Qt::Key_Home)
            OpenGLPanel1Reset();
        else
            e->ignore();
    };
    // A click gives the view the keyboard, so that Home reaches it.
    OpenGLPanel1->setFocusPolicy(Qt::ClickFocus);
    // The view is not in Panel1's layout: its height follows its width, and a window lower
    // than the view cuts off the view's bottom instead of growing.
    Panel1->installEventFilter(new ResizeWatcher(Panel1, [this] { PlaceView(); }));
    PlaceView();
}

void TMainForm::PlaceView() {
    if (OpenGLPanel1 == nullptr)
        return;
    const QRect area = Panel1->contentsRect();
    OpenGLPanel1->setGeometry(area.x(), area.y(), area.width(), ViewHeightForWidth(area.width()));
}

void TMainForm::OpenGLPanel1Init(TOpenGLPanel* sender) {
    SetUpSurfaceProjection(sender->Gl(), sender->width(), sender->height(),
                           sender->devicePixelRatio());
    InitSurfaceContext(sender->Gl());
}

void TMainForm::OpenGLPanel1Resize(TOpenGLPanel* sender) {
    SetUpSurfaceProjection(sender->Gl(), sender->width(), sender->height(),
                           sender->devicePixelRatio());
}

void TMainForm::OpenGLPanel1Paint(TOpenGLPanel* sender) {
    BuildSurfaceFrame(*Image, MarkedMap(), SelRow, SelCol, ViewFrame, Reference.get());
    DrawSurfaceFrame(sender->Gl(), ViewFrame, RotX, RotY, ViewPlace);
}

// The left button turns the view, the right button shifts it; each drag starts and ends with
// its own button only.
void TMainForm::OpenGLPanel1MouseDown(Qt::MouseButton button, int x, int y) {
    if (button == Qt::LeftButton) {
        Dragging = true;
        LastMouseX = x;
        LastMouseY = y;
    } else if (button == Qt::RightButton) {
        Panning = true;
        PanMouseX = x;
        PanMouseY = y;
    }
}

void TMainForm::OpenGLPanel1MouseMove(int x, int y) {
    if (!Dragging && !Panning)
        return;
    if (Dragging) {
        RotY = RotatedAngle(RotY, LastMouseX, x);
        RotX = RotatedAngle(RotX, LastMouseY, y);
        LastMouseX = x;
        LastMouseY = y;
    }
    if (Panning && OpenGLPanel1) {
        ViewPlace =
            PannedPlacement(ViewPlace, x - PanMouseX, y - PanMouseY, OpenGLPanel1->height());
        PanMouseX = x;
        PanMouseY = y;
    }
    Repaint3D();
}

void TMainForm::OpenGLPanel1MouseUp(Qt::MouseButton button) {
    if (button == Qt::LeftButton)
        Dragging = false;
    else if (button == Qt::RightButton)
        Panning = false;
}

void TMainForm::OpenGLPanel1Wheel(int wheelDelta) {
    ViewPlace = ZoomedPlacement(ViewPlace, wheelDelta);
    Repaint3D();
}

void TMainForm::OpenGLPanel1Reset() {
    RotX = StartRotX;
    RotY = StartRotY;
    FitView();
}

void TMainForm::FitView() {
    // The view keeps 5 to 4, so the fit does not depend on its size; before the view has a
    // size, a 5 x 4 one stands in for it.
    const bool sized = OpenGLPanel1 != nullptr && OpenGLPanel1->height() > 0;
    FittedMap = MarkedMap();
    BuildSurfaceFrame(*Image, FittedMap, SelRow, SelCol, ViewFrame);
    ViewPlace = FitPlacement(ViewFrame, RotX, RotY, sized ? OpenGLPanel1->width() : 5,
                             sized ? OpenGLPanel1->height() : 4);
    Repaint3D();
}
