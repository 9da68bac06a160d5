#pragma once

#include <QOpenGLWidget>
#include <functional>

class QOpenGLFunctions_1_1;
class QKeyEvent;
class QMouseEvent;
class QWheelEvent;

// The drawing panel of the 3-D view. It owns an OpenGL context with an RGBA colour buffer, a
// depth buffer and double buffering, and calls its owner's handlers with that context current:
// OnInit once the context exists, OnResize after every size change, OnPaint for every frame
// (the frame is shown after OnPaint returns). A context that cannot be created, or one without
// the fixed-function drawing the view uses, is reported once with "Open GL Context Create
// Failed"; the panel then stays empty and calls no handler, and the program goes on.
// Create the panel through Create(): on a system where no OpenGL context can be made at all,
// there is no panel (an OpenGL widget there would bring the whole window down).
class TOpenGLPanel : public QOpenGLWidget {
    Q_OBJECT
public:
    using Handler = std::function<void(TOpenGLPanel* sender)>;
    using MouseHandler = std::function<void(TOpenGLPanel* sender, QMouseEvent* event)>;
    using WheelHandler = std::function<void(TOpenGLPanel* sender, QWheelEvent* event)>;
    using KeyHandler = std::function<void(TOpenGLPanel* sender, QKeyEvent* event)>;

    explicit TOpenGLPanel(QWidget* parent = nullptr);
    ~TOpenGLPanel() override;

    // A new panel, or nullptr after reporting "Open GL Context Create Failed" when this system
    // cannot create an OpenGL context. On a platform without a screen (offscreen, minimal)
    // nobody could see the view or the message, so the panel is left out silently.
    static TOpenGLPanel* Create(QWidget* parent);

    // Whether an OpenGL context of the panel's format can be created here. Tests replace it.
    static std::function<bool()> ContextProbe;

    Handler OnInit;
    Handler OnResize;
    Handler OnPaint;
    MouseHandler OnMouseDown;
    MouseHandler OnMouseMove;
    MouseHandler OnMouseUp;
    MouseHandler OnDoubleClick;
    WheelHandler OnWheel;
    KeyHandler OnKeyDown;

    // The OpenGL 1.1 functions of the panel's context; valid only inside the three handlers.
    QOpenGLFunctions_1_1& Gl() const;

    // True once the context has been created and can draw the view.
    bool HasContext() const { return gl_ != nullptr; }
    // True when creating the context failed (and was reported).
    bool ContextFailed() const { return failureReported_; }

    // The pixel format the panel asks for.
    static QSurfaceFormat RequestedFormat();

protected:
    void initializeGL() override;
    void resizeGL(int w, int h) override;
    void paintGL() override;
    bool event(QEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    void ReportContextFailure();
    void Call(const Handler& handler);

    QOpenGLFunctions_1_1* gl_ = nullptr;
    bool failureReported_ = false;
};
