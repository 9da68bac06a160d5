// The 3-D view inside the main window, on a real OpenGL context under Xvfb: where the view
// sits and how high it is, which map it draws, mouse rotation and the repaint triggers.
#include "app/main_form.h"
#include "frame_pixels.h"
#include "maps/surface_geometry.h"
#include "maps/surface_view.h"
#include "maps/view/map_grid.h"
#include "maps/view/opengl_panel.h"
#include "ui/error_report.h"

#include <QAction>
#include <QApplication>
#include <QFrame>
#include <QMouseEvent>
#include <QSplitter>
#include <QSplitterHandle>
#include <QTest>
#include <QWheelEvent>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

const QColor Orange(255, 128, 0);
const QColor Teal(0, 128, 128);

class FormView : public ::testing::Test {
protected:
    void SetUp() override {
        savedError = ShowErrorMessage;
        ShowErrorMessage = [this](QWidget*, const QString& text) { errors << text; };
        form = std::make_unique<TMainForm>();
        form->Dialogs().Warn = [this](QWidget*, const QString& text) { errors << text; };
        form->Dialogs().AskSave = [](const QString&) { return SaveAnswer::No; };
        form->resize(1000, 760);
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        ASSERT_NE(form->findChild<TOpenGLPanel*>("SurfacePanel"), nullptr);
        // Count the frames the panel draws, then draw them as the window does.
        TOpenGLPanel::Handler paint = form->findChild<TOpenGLPanel*>("SurfacePanel")->OnPaint;
        form->findChild<TOpenGLPanel*>("SurfacePanel")->OnPaint = [this, paint](TOpenGLPanel* p) {
            ++paints;
            paint(p);
        };
        form->OpenFromCommandLine(VELMARIS_SOURCE_DIR "/examples/demo.hex");
        ASSERT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
    }
    void TearDown() override {
        form.reset();
        ShowErrorMessage = savedError;
    }

    TOpenGLPanel* View() const { return form->findChild<TOpenGLPanel*>("SurfacePanel"); }

    QImage Frame() const { return View()->grabFramebuffer(); }

    // Lines the core builds for the window's current state, and where they land on the view.
    SurfaceFrame Lines(MapKind map) const {
        SurfaceFrame f;
        BuildSurfaceFrame(form->GetImage(), map, form->Cursor().SelRow, form->Cursor().SelCol, f);
        return f;
    }
    std::vector<QPointF> OnView(const SurfaceFrame& f, int batch) const {
        const ViewMatrix mvp =
            Multiply(ProjectionMatrix(View()->width(), View()->height()),
                     ModelViewMatrix(form->View().RotX, form->View().RotY, form->View().Place));
        return Projected(f, f.batches[batch], mvp, View()->size());
    }

    // Lets queued repaints run; true once the panel has drawn a new frame.
    bool Repainted() {
        const int before = paints;
        for (int i = 0; i < 300 && paints == before; ++i)
            QTest::qWait(10);
        return paints > before;
    }

    void Mouse(QEvent::Type type, Qt::MouseButton button, Qt::MouseButtons held, QPoint at) {
        QMouseEvent e(type, at, View()->mapToGlobal(at), button, held, Qt::NoModifier);
        QApplication::sendEvent(View(), &e);
    }

    void ExpectFiveToFour() const {
        const QRect area = form->findChild<QFrame*>("ViewPanel")->contentsRect();
        EXPECT_EQ(View()->geometry().topLeft(), area.topLeft());
        EXPECT_EQ(View()->width(), area.width());
        EXPECT_EQ(View()->height(), ViewHeightForWidth(area.width()));
    }

    std::function<void(QWidget*, const QString&)> savedError;
    std::unique_ptr<TMainForm> form;
    QStringList errors;
    int paints = 0;
};

TEST_F(FormView, ViewSitsAtTheTopOfItsPanelAndKeepsFiveToFour) {
    EXPECT_EQ(View()->parentWidget(), form->findChild<QFrame*>("ViewPanel"));
    EXPECT_EQ(View()->objectName(), "SurfacePanel");
    EXPECT_EQ(View()->cursor().shape(), Qt::PointingHandCursor);
    ExpectFiveToFour();

    // Panel widths 500 and 467 give heights 400 and 373.
    const int frame = form->findChild<QFrame*>("ViewPanel")->frameWidth();
    const int total = form->findChild<QSplitter*>("ViewSplitter")->width() -
                      form->findChild<QSplitter*>("ViewSplitter")->handleWidth();
    for (int width : {500, 467}) {
        form->findChild<QSplitter*>("ViewSplitter")
            ->setSizes({width + 2 * frame, total - width - 2 * frame});
        QApplication::processEvents();
        ASSERT_EQ(form->findChild<QFrame*>("ViewPanel")->contentsRect().width(), width);
        EXPECT_EQ(View()->height(), width == 500 ? 400 : 373);
    }

    // A window lower than the view cuts the view off instead of squeezing it.
    form->resize(1200, 300);
    QApplication::processEvents();
    ExpectFiveToFour();
    EXPECT_GT(View()->height(), form->findChild<QFrame*>("ViewPanel")->height());

    // Dragging the splitter to the left narrows the view and lowers it with its width.
    const int widthBefore = View()->width();
    QSplitterHandle* handle = form->findChild<QSplitter*>("ViewSplitter")->handle(1);
    const QPoint middle = handle->rect().center();
    QTest::mousePress(handle, Qt::LeftButton, {}, middle);
    QMouseEvent move(QEvent::MouseMove, middle - QPoint(120, 0),
                     handle->mapToGlobal(middle - QPoint(120, 0)), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(handle, &move);
    QTest::mouseRelease(handle, Qt::LeftButton, {}, middle - QPoint(120, 0));
    QApplication::processEvents();
    EXPECT_LT(View()->width(), widthBefore);
    ExpectFiveToFour();
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
}

TEST_F(FormView, OpenedDemoShowsTheIgnitionSurfaceWithCrossHairAndFullLoadLine) {
    const QImage frame = Frame();
    EXPECT_GT(CountColour(frame, Orange), 2000);
    EXPECT_GT(CountColour(frame, Qt::blue), 100);
    const SurfaceFrame lines = Lines(MapKind::Uoz);
    ASSERT_EQ(lines.batches.size(), 5u);
    EXPECT_GT(CountColour(frame, Qt::white), 100);
    EXPECT_GT(ShareOnLines(frame, Qt::white, {OnView(lines, 2), OnView(lines, 3)}, 2.5), 0.99);
    EXPECT_GT(CountColour(frame, Pixel(SurfaceColors::ExtraLine)), 50);
    EXPECT_GT(ShareOnLines(frame, Pixel(SurfaceColors::ExtraLine), {OnView(lines, 4)}, 2.5), 0.99);
}

TEST_F(FormView, LeftButtonDragTurnsTheView) {
    const QImage before = Frame();
    Mouse(QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, {100, 100});
    Mouse(QEvent::MouseMove, Qt::NoButton, Qt::LeftButton, {110, 100});
    EXPECT_NEAR(form->View().RotY, 322.0f, 1e-4f); // 10 px right: 2 degrees about the vertical axis
    EXPECT_NEAR(form->View().RotX, 20.0f, 1e-4f);
    EXPECT_TRUE(Repainted());
    Mouse(QEvent::MouseMove, Qt::NoButton, Qt::LeftButton, {110, 105});
    EXPECT_NEAR(form->View().RotX, 21.0f, 1e-4f); // 5 px down: 1 degree about X
    EXPECT_TRUE(Repainted());

    // The right button neither ends the left drag ...
    Mouse(QEvent::MouseButtonPress, Qt::RightButton, Qt::LeftButton | Qt::RightButton, {110, 105});
    Mouse(QEvent::MouseButtonRelease, Qt::RightButton, Qt::LeftButton, {110, 105});
    Mouse(QEvent::MouseMove, Qt::NoButton, Qt::LeftButton, {100, 105});
    EXPECT_NEAR(form->View().RotY, 320.0f, 1e-4f);
    Mouse(QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton, {100, 105});
    Mouse(QEvent::MouseMove, Qt::NoButton, Qt::NoButton, {300, 300});
    EXPECT_NEAR(form->View().RotY, 320.0f, 1e-4f);

    // ... nor starts one of its own.
    Mouse(QEvent::MouseButtonPress, Qt::RightButton, Qt::RightButton, {10, 10});
    Mouse(QEvent::MouseMove, Qt::NoButton, Qt::RightButton, {60, 60});
    EXPECT_NEAR(form->View().RotY, 320.0f, 1e-4f);
    EXPECT_NEAR(form->View().RotX, 21.0f, 1e-4f);
    Mouse(QEvent::MouseButtonRelease, Qt::RightButton, Qt::NoButton, {60, 60});

    // The frame is drawn with the new angles.
    const QImage after = Frame();
    EXPECT_NE(after, before);
    const SurfaceFrame lines = Lines(MapKind::Uoz);
    EXPECT_GT(ShareOnLines(after, Qt::white, {OnView(lines, 2), OnView(lines, 3)}, 2.5), 0.99);
}

TEST_F(FormView, TheMarkedMapIsDrawnNotTheOneInTheGrid) {
    // A one-column table in the grid keeps the marked map in the view; the cross-hair follows
    // the grid row and stays on column 0.
    form->MapAction(MapKind::Pmax)->trigger();
    EXPECT_EQ(form->Cursor().CurrentMap, MapKind::Pmax);
    form->SGSelectCell(1, 21);
    EXPECT_TRUE(Repainted());
    QImage frame = Frame();
    EXPECT_GT(CountColour(frame, Orange), 2000);
    SurfaceFrame lines = Lines(MapKind::Uoz);
    EXPECT_GT(ShareOnLines(frame, Qt::white, {OnView(lines, 2), OnView(lines, 3)}, 2.5), 0.99);

    // A correction map is teal; choosing it again clears its mark and leaves only the axes.
    form->MapAction(MapKind::CoefCorUoz)->trigger();
    EXPECT_TRUE(Repainted());
    frame = Frame();
    EXPECT_GT(CountColour(frame, Teal), 1000);
    EXPECT_EQ(CountColour(frame, Orange), 0);
    form->MapAction(MapKind::CoefCorUoz)->trigger();
    EXPECT_EQ(form->MarkedMap(), std::nullopt);
    frame = Frame();
    EXPECT_GT(CountColour(frame, Qt::blue), 100);
    EXPECT_EQ(CountColour(frame, Qt::black) + CountColour(frame, Qt::blue),
              frame.width() * frame.height());

    // Rcod marked while the grid shows a 39-row table below Rcod's 10 rows: only the
    // current-column line is drawn.
    form->MapAction(MapKind::Rcod)->trigger();
    form->MapAction(MapKind::Drmax)->trigger();
    form->SGSelectCell(1, 26);
    ASSERT_EQ(form->Cursor().SelRow, 25);
    frame = Frame();
    EXPECT_GT(CountColour(frame, Teal), 200);
    lines = Lines(MapKind::Rcod);
    ASSERT_EQ(lines.batches.size(), 3u);
    EXPECT_GT(ShareOnLines(frame, Qt::white, {OnView(lines, 2)}, 2.5), 0.99);
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
}

TEST_F(FormView, GridCellAndKeypadStepRedrawTheView) {
    form->SGSelectCell(6, 11); // data cell (10, 5)
    EXPECT_TRUE(Repainted());
    const QImage moved = Frame();
    SurfaceFrame lines = Lines(MapKind::Uoz);
    EXPECT_GT(ShareOnLines(moved, Qt::white, {OnView(lines, 2), OnView(lines, 3)}, 2.5), 0.99);

    // Ten keypad steps lift the current cell's point; the frame changes with it.
    const SurfacePoint low = CellPoint(form->GetImage(), MapKind::Uoz, 10, 5);
    for (int i = 0; i < 10; ++i) {
        QTest::keyClick(form->Grid(), Qt::Key_Plus, Qt::KeypadModifier);
        EXPECT_TRUE(Repainted());
    }
    EXPECT_NEAR(CellPoint(form->GetImage(), MapKind::Uoz, 10, 5).y, low.y + 10 * 0.5f * 0.05f,
                1e-4f);
    EXPECT_NE(Frame(), moved);
}

TEST_F(FormView, WheelZoomsRightDragShiftsAndHomeResets) {
    // A newly marked map is fitted whole into the view: no point off the picture.
    form->MapAction(MapKind::Tau)->trigger();
    const ViewPlacement fit = form->View().Place;
    const ViewMatrix mvp = Multiply(ProjectionMatrix(View()->width(), View()->height()),
                                    ModelViewMatrix(form->View().RotX, form->View().RotY, fit));
    for (const SurfacePoint& p : Lines(MapKind::Tau).points) {
        float x = -1, y = -1;
        ASSERT_TRUE(ProjectToView(mvp, p, View()->width(), View()->height(), x, y));
        EXPECT_TRUE(x >= 0 && x <= View()->width() && y >= 0 && y <= View()->height());
    }

    QWheelEvent wheel({100, 100}, View()->mapToGlobal(QPoint(100, 100)), {}, {0, 240}, Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(View(), &wheel);
    EXPECT_NEAR(form->View().Place.zoom, 1.44f, 1e-4f);
    Mouse(QEvent::MouseButtonPress, Qt::RightButton, Qt::RightButton, {10, 10});
    Mouse(QEvent::MouseMove, Qt::NoButton, Qt::RightButton, {60, 30});
    Mouse(QEvent::MouseButtonRelease, Qt::RightButton, Qt::NoButton, {60, 30});
    Mouse(QEvent::MouseMove, Qt::NoButton, Qt::NoButton, {90, 90});
    const ViewPlacement moved =
        PannedPlacement(ZoomedPlacement(fit, 240), 50, 20, View()->height());
    EXPECT_EQ(form->View().Place.panX, moved.panX);
    EXPECT_EQ(form->View().Place.panY, moved.panY);
    EXPECT_TRUE(Repainted());

    // Home on the view, and a double click after a turn, bring back the start angles and the fit.
    form->View().RotY = 10.0f;
    QTest::keyClick(View(), Qt::Key_Home);
    EXPECT_EQ(form->View().RotY, StartRotY);
    EXPECT_EQ(ModelViewMatrix(form->View().RotX, form->View().RotY, form->View().Place),
              ModelViewMatrix(StartRotX, StartRotY, fit));
    QWheelEvent back({100, 100}, View()->mapToGlobal(QPoint(100, 100)), {}, {0, -120}, Qt::NoButton,
                     Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(View(), &back);
    Mouse(QEvent::MouseButtonDblClick, Qt::LeftButton, Qt::LeftButton, {50, 50});
    EXPECT_EQ(form->View().Place.zoom, 1.0f);
}

TEST(FormWithoutOpenGL, ReportsOnceAndTheWindowGoesOn) {
    const auto savedProbe = TOpenGLPanel::ContextProbe;
    const auto savedError = ShowErrorMessage;
    QStringList errors;
    ShowErrorMessage = [&](QWidget*, const QString& text) { errors << text; };
    TOpenGLPanel::ContextProbe = [] { return false; };
    {
        TMainForm form;
        form.Dialogs().AskSave = [](const QString&) { return SaveAnswer::No; };
        EXPECT_EQ(form.findChild<TOpenGLPanel*>("SurfacePanel"), nullptr);
        ASSERT_EQ(errors.size(), 1);
        EXPECT_EQ(errors[0], "Open GL Context Create Failed");
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
        form.OpenFromCommandLine(VELMARIS_SOURCE_DIR "/examples/demo.hex");
        form.MapAction(MapKind::Tau)->trigger();
        emit form.findChild<QSplitter*>("ViewSplitter")->splitterMoved(300, 1);
        QTest::qWait(20);
        EXPECT_EQ(form.Grid()->RowCount(), 40);
        EXPECT_EQ(errors.size(), 1);
    }
    TOpenGLPanel::ContextProbe = savedProbe;
    ShowErrorMessage = savedError;
}

} // namespace
