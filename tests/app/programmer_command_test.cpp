// The main window's programmer command: after the programmer window closes, the main window
// shows what the window left in the image.
#include "app/main_form.h"
#include "maps/map_grid.h"
#include "programmer/prog_form.h"

#include <QTimer>
#include <cstring>
#include <gtest/gtest.h>

TEST(ProgrammerCommand, MainWindowShowsTheImageTheProgrammerLeft) {
    const auto saved = TProgForm::ShowMessage;
    TProgForm::ShowMessage = [](QWidget*, const QString&, const QString&) {};

    TMainForm form;
    const QString before = form.SG->Cell(1, 1);
    const double uozBefore = form.Image->Uoz[0][0];
    bool seen = false;
    // Stands in for a read: the window puts new bytes into the image, then closes.
    QTimer::singleShot(200, &form, [&] {
        auto* prog = form.findChild<TProgForm*>();
        ASSERT_NE(prog, nullptr);
        ASSERT_TRUE(prog->isModal() && prog->isVisible());
        seen = true;
        std::memset(form.Image->Data.get(), 0x40, FirmwareImage::Size);
        prog->close();
    });
    form.MFlasherClick();
    TProgForm::ShowMessage = saved;

    EXPECT_TRUE(seen);
    EXPECT_EQ(form.findChild<TProgForm*>(), nullptr); // destroyed when closed
    EXPECT_NE(form.Image->Uoz[0][0], uozBefore);      // decoded
    EXPECT_NE(form.SG->Cell(1, 1), before);           // grid refilled
}
