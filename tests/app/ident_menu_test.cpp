#include "document/edit_history.h"
#include "main_form_fixture.h"
#include "params/view/equipment_form.h"
#include "params/view/ident_form.h"

#include <QAction>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QUndoStack>

namespace {

class IdentMenu : public MainFormTest {
protected:
    // An image as just opened: padded identification text, nothing changed yet. Then a
    // speed-axis byte changes, and the tables must go on showing it after the windows.
    void SetUp() override {
        MainFormTest::SetUp();
        FirmwareImage& image = form->GetImage();
        const char padded[] = "  EDC ";
        for (size_t i = 0; i < sizeof padded - 1; ++i)
            image.WriteByte(static_cast<uint16_t>(0x6030 + i), static_cast<uint8_t>(padded[i]));
        image.WriteByte(0x656A, 0x01);
        image.WriteByte(image.AddrNuz, 24);
        image.MarkSaved();
        image.WriteByte(image.AddrNuz, 40);
    }

    // Chooses a menu item whose window is modal; `inside` runs while the window is open and
    // must close it.
    template <typename Window>
    void RunModal(QAction* item, const std::function<void(Window&)>& inside) {
        bool seen = false;
        QTimer::singleShot(0, [&] {
            auto* window = qobject_cast<Window*>(QApplication::activeModalWidget());
            ASSERT_NE(window, nullptr);
            seen = true;
            inside(*window);
            // Whatever happened inside, never leave the modal loop hanging.
            if (window->isVisible())
                window->close();
        });
        item->trigger();
        EXPECT_TRUE(seen);
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    }
};

TEST_F(IdentMenu, IdentificationWindowWritesTheImageAndTheTablesStayCurrent) {
    RunModal<TIdentForm>(ChildNamed(*form, "MIden"), [](TIdentForm& window) {
        EXPECT_EQ(window.findChild<QLineEdit*>("LabeledEdit1")->text(), "EDC");
        window.close();
    });
    const std::string field(reinterpret_cast<const char*>(form->GetImage().Bytes()) + 0x6030, 16);
    EXPECT_EQ(field, std::string("EDC") + std::string(13, '\0'));
    EXPECT_STREQ(form->GetImage().EcuType, "EDC");
    EXPECT_EQ(form->GetImage().Nuz[0], 40 * 25);
    EXPECT_TRUE(errors.isEmpty()) << errors.join("; ").toStdString();

    // The normalised text counts as a change: closing asks to save.
    EXPECT_FALSE(form->FormCloseQuery());
    ASSERT_EQ(questions.size(), 1);
    EXPECT_TRUE(questions[0].startsWith("Сохранить изменения в файле "))
        << questions[0].toStdString();
}

TEST_F(IdentMenu, EquipmentWindowWritesTheBitsAndTheTablesStayCurrent) {
    RunModal<TEquipmentForm>(ChildNamed(*form, "MComp"), [](TEquipmentForm& window) {
        auto* list = window.findChild<QListWidget*>("CLB1");
        EXPECT_EQ(list->item(0)->checkState(), Qt::Checked);
        list->setFocus();
        list->setCurrentRow(6); // speed sensor
        QTest::keyClick(list, Qt::Key_Space);
        QTest::mouseClick(window.findChild<QPushButton*>(), Qt::LeftButton);
    });
    EXPECT_EQ(form->GetImage().ReadByte(0x656A), 0x41);
    EXPECT_EQ(form->GetImage().Nuz[0], 40 * 25);
    EXPECT_TRUE(errors.isEmpty()) << errors.join("; ").toStdString();
    EXPECT_TRUE(form->GetImage().IsModified());
}

// Each closing that changed something is one step, undone and redone to the exact bytes.
TEST_F(IdentMenu, IdentificationAndEquipmentClosingsAreStepsOfTheHistory) {
    QUndoStack& stack = *form->Document().History().Stack();
    const int before = stack.count();
    auto bytes = [&] {
        return std::vector<uint8_t>(form->GetImage().Bytes(),
                                    form->GetImage().Bytes() + FirmwareImage::Size);
    };
    const std::vector<uint8_t> start = bytes();
    RunModal<TIdentForm>(ChildNamed(*form, "MIden"), [](TIdentForm& window) { window.close(); });
    ASSERT_EQ(stack.count(), before + 1);
    EXPECT_EQ(form->Document().History().UndoName(), "Идентификация");
    const std::vector<uint8_t> named = bytes();
    RunModal<TEquipmentForm>(ChildNamed(*form, "MComp"), [](TEquipmentForm& window) {
        auto* list = window.findChild<QListWidget*>("CLB1");
        list->setFocus();
        list->setCurrentRow(6);
        QTest::keyClick(list, Qt::Key_Space);
        QTest::mouseClick(window.findChild<QPushButton*>(), Qt::LeftButton);
    });
    ASSERT_EQ(stack.count(), before + 2);
    EXPECT_EQ(form->Document().History().UndoName(), "Комплектация");
    const std::vector<uint8_t> equipped = bytes();
    RunModal<TEquipmentForm>(ChildNamed(*form, "MComp"),
                             [](TEquipmentForm& window) { window.close(); });
    EXPECT_EQ(stack.count(), before + 2); // nothing changed: no step

    ChildNamed(*form, "AUndo")->trigger();
    EXPECT_EQ(bytes(), named);
    ChildNamed(*form, "AUndo")->trigger();
    EXPECT_EQ(bytes(), start);
    ChildNamed(*form, "ARedo")->trigger();
    ChildNamed(*form, "ARedo")->trigger();
    EXPECT_EQ(bytes(), equipped);
}

} // namespace
