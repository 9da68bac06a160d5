// The main window's programmer command: after the programmer window closes, the main window
// shows what the window left in the image.
#include "app/main_form.h"
#include "child_named.h"
#include "document/edit_history.h"
#include "image_bytes.h"
#include "maps/view/map_grid.h"
#include "programmer/view/prog_form.h"

#include <QAction>
#include <QTimer>
#include <QUndoStack>
#include <cstring>
#include <gtest/gtest.h>
#include <vector>

TEST(ProgrammerCommand, MainWindowShowsTheImageTheProgrammerLeft) {
    const auto saved = TProgForm::ShowMessage;
    TProgForm::ShowMessage = [](QWidget*, QMessageBox::Icon, const QString&, const QString&) {};

    TMainForm form;
    const QString before = form.Grid()->Cell(1, 1);
    const double uozBefore = form.GetImage().Uoz[0][0];
    bool seen = false;
    // Stands in for a read: the window puts new bytes into the image, then closes.
    QTimer::singleShot(200, &form, [&] {
        auto* prog = form.findChild<TProgForm*>();
        ASSERT_NE(prog, nullptr);
        ASSERT_TRUE(prog->isModal() && prog->isVisible());
        seen = true;
        form.GetImage().ReplaceData(std::vector<uint8_t>(FirmwareImage::Size, 0x40).data());
        prog->close();
    });
    form.MFlasherClick();
    TProgForm::ShowMessage = saved;

    EXPECT_TRUE(seen);
    EXPECT_EQ(form.findChild<TProgForm*>(), nullptr); // destroyed when closed
    EXPECT_NE(form.GetImage().Uoz[0][0], uozBefore);  // decoded
    EXPECT_NE(form.Grid()->Cell(1, 1), before);       // grid refilled
}

// A unit read through the programmer window is one step "Чтение ЭБУ" of the main window's
// history: undo gives back the exact bytes before it, redo the bytes read.
TEST(ProgrammerCommand, AUnitReadIsAStepOfTheMainWindowsHistory) {
    const auto saved = TProgForm::ShowMessage;
    TProgForm::ShowMessage = [](QWidget*, QMessageBox::Icon, const QString&, const QString&) {};
    TMainForm form;
    std::vector<uint8_t> start(FirmwareImage::Size, 0);
    for (uint16_t a = 0; a < 0x100; ++a)
        start[a] = static_cast<uint8_t>(a);
    LoadBytes(form.GetImage(), start);
    const std::vector<uint8_t> before(form.GetImage().Bytes(),
                                      form.GetImage().Bytes() + FirmwareImage::Size);
    const std::vector<uint8_t> read(FirmwareImage::Size, 0x40);
    QTimer::singleShot(200, &form, [&] {
        auto* prog = form.findChild<TProgForm*>();
        ASSERT_NE(prog, nullptr);
        prog->Edit("Чтение ЭБУ", [&] { form.GetImage().ReplaceData(read.data()); });
        prog->close();
    });
    form.MFlasherClick();
    TProgForm::ShowMessage = saved;
    auto bytes = [&] {
        return std::vector<uint8_t>(form.GetImage().Bytes(),
                                    form.GetImage().Bytes() + FirmwareImage::Size);
    };
    QUndoStack& stack = *form.Document().History().Stack();
    ASSERT_EQ(stack.count(), 1);
    EXPECT_EQ(ChildNamed(form, "AUndo")->text(), "Отменить: Чтение ЭБУ");
    ChildNamed(form, "AUndo")->trigger();
    EXPECT_EQ(bytes(), before);
    ChildNamed(form, "ARedo")->trigger();
    EXPECT_EQ(bytes(), read);
    form.GetImage().MarkSaved();
}
