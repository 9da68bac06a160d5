#include "maps/view/opengl_panel.h"

#include "ui/error_report.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QOpenGLContext>
#include <QOpenGLFunctions_1_1>
#include <QOpenGLVersionFunctionsFactory>
#include <QTimer>

namespace {

const QString ContextFailedText = QStringLiteral("Open GL Context Create Failed");

bool ProbeContext() {
    QOpenGLContext context;
    context.setFormat(TOpenGLPanel::RequestedFormat());
    return context.create();
}

bool HeadlessPlatform() {
    const QString name = QGuiApplication::platformName();
    return name == QLatin1String("offscreen") || name == QLatin1String("minimal");
}

} // namespace

std::function<bool()> TOpenGLPanel::ContextProbe = ProbeContext;

TOpenGLPanel::TOpenGLPanel(QWidget* parent) : QOpenGLWidget(parent) {
    setFormat(RequestedFormat());
}

TOpenGLPanel* TOpenGLPanel::Create(QWidget* parent) {
    if (ContextProbe())
        return new TOpenGLPanel(parent);
    if (!HeadlessPlatform())
        ShowErrorMessage(parent ? parent->window() : nullptr, ContextFailedText);
    return nullptr;
}

TOpenGLPanel::~TOpenGLPanel() = default;

QSurfaceFormat TOpenGLPanel::RequestedFormat() {
    QSurfaceFormat format;
    format.setRenderableType(QSurfaceFormat::OpenGL);
    // The view draws with the fixed-function pipeline (line polygons, wide lines).
    format.setProfile(QSurfaceFormat::CompatibilityProfile);
    format.setRedBufferSize(8);
    format.setGreenBufferSize(8);
    format.setBlueBufferSize(8);
    format.setAlphaBufferSize(8);
    format.setDepthBufferSize(24);
    format.setSwapBehavior(QSurfaceFormat::DoubleBuffer);
    return format;
}

QOpenGLFunctions_1_1& TOpenGLPanel::Gl() const {
    return *gl_;
}

void TOpenGLPanel::initializeGL() {
    gl_ = QOpenGLVersionFunctionsFactory::get<QOpenGLFunctions_1_1>(context());
    if (gl_ == nullptr) {
        ReportContextFailure();
        return;
    }
    Call(OnInit);
}

void TOpenGLPanel::resizeGL(int, int) {
    Call(OnResize);
}

void TOpenGLPanel::paintGL() {
    Call(OnPaint);
}

void TOpenGLPanel::Call(const Handler& handler) {
    if (gl_ == nullptr || !handler)
        return;
    RunGuarded(this, [&] { handler(this); });
}

bool TOpenGLPanel::event(QEvent* e) {
    const bool handled = QOpenGLWidget::event(e);
    // The widget creates its context on the first resize or paint of a visible, non-empty
    // panel; if it is still not valid afterwards, creation failed.
    const bool mayCreate = e->type() == QEvent::Resize || e->type() == QEvent::Paint;
    if (mayCreate && isVisible() && !size().isEmpty() && !isValid())
        ReportContextFailure();
    return handled;
}

void TOpenGLPanel::ReportContextFailure() {
    if (failureReported_)
        return;
    failureReported_ = true;
    // Shown after the event in progress: a message box must not run inside a resize or paint.
    QTimer::singleShot(0, this, [this] { ShowErrorMessage(window(), ContextFailedText); });
}

void TOpenGLPanel::mousePressEvent(QMouseEvent* e) {
    if (OnMouseDown)
        RunGuarded(this, [&] { OnMouseDown(this, e); });
}

void TOpenGLPanel::mouseMoveEvent(QMouseEvent* e) {
    if (OnMouseMove)
        RunGuarded(this, [&] { OnMouseMove(this, e); });
}

void TOpenGLPanel::mouseReleaseEvent(QMouseEvent* e) {
    if (OnMouseUp)
        RunGuarded(this, [&] { OnMouseUp(this, e); });
}

void TOpenGLPanel::mouseDoubleClickEvent(QMouseEvent* e) {
    if (OnDoubleClick)
        RunGuarded(this, [&] { OnDoubleClick(this, e); });
}

void TOpenGLPanel::wheelEvent(QWheelEvent* e) {
    if (OnWheel)
        RunGuarded(this, [&] { OnWheel(this, e); });
}

void TOpenGLPanel::keyPressEvent(QKeyEvent* e) {
    if (OnKeyDown)
        RunGuarded(this, [&] { OnKeyDown(this, e); });
    else
        QOpenGLWidget::keyPressEvent(e);
}
