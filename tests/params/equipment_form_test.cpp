#include "image/firmware_image.h"
#include "params/equipment.h"
#include "params/view/equipment_form.h"

#include <QListWidget>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTest>
#include <gtest/gtest.h>

#include <cstring>

namespace {

constexpr uint16_t First = 0x656A;

struct EquipmentWindow : ::testing::Test {
    FirmwareImage image;

    void SetBytes(std::initializer_list<uint8_t> bytes) {
        uint16_t a = First;
        for (uint8_t b : bytes)
            image.WriteByte(a++, b);
        image.MarkSaved();
    }

    static QListWidget* List(TEquipmentForm& form) {
        auto* list = form.findChild<QListWidget*>(QStringLiteral("CLB1"));
        EXPECT_NE(list, nullptr);
        return list;
    }

    static bool Checked(TEquipmentForm& form, int k) {
        return List(form)->item(k)->checkState() == Qt::Checked;
    }

    // Toggles item k with the space key, as the list's current item.
    static void PressSpace(TEquipmentForm& form, int k) {
        QListWidget* list = List(form);
        list->setFocus();
        list->setCurrentRow(k);
        QTest::keyClick(list, Qt::Key_Space);
    }

    // Clicks the check box of item k with the mouse.
    static void ClickCheckBox(TEquipmentForm& form, int k) {
        QListWidget* list = List(form);
        QListWidgetItem* item = list->item(k);
        list->scrollToItem(item);
        QStyleOptionViewItem option;
        option.initFrom(list->viewport());
        option.rect = list->visualItemRect(item);
        option.features =
            QStyleOptionViewItem::HasCheckIndicator | QStyleOptionViewItem::HasDisplay;
        option.text = item->text();
        const QRect box =
            list->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, list);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, box.center());
    }

    // Which of the bytes around and at AddrEquipment differ from the loaded copy, as XOR masks.
    uint8_t Changed(uint16_t address) const {
        return static_cast<uint8_t>(image.ReadByte(address) ^ image.LoadedBytes()[address]);
    }
};

TEST_F(EquipmentWindow, ShowsTheBitsAsCheckedItemsInOrder) {
    SetBytes({0x01, 0x00, 0x00, 0x00, 0x00, 0x80});
    TEquipmentForm form(image);
    form.show();
    EXPECT_EQ(form.windowTitle(), "Комплектация");
    ASSERT_EQ(List(form)->count(), EquipmentCount);
    for (int k = 0; k < EquipmentCount; ++k)
        EXPECT_EQ(Checked(form, k), k == 0 || k == 47) << "item " << k;
    EXPECT_EQ(List(form)->item(0)->text(), "Постоянное питание блока");
    EXPECT_EQ(List(form)->item(47)->text(), "TYP47");
}

TEST_F(EquipmentWindow, LockedItemsStayAsTheyWereAndOkWritesOnlyTheOxygenBit) {
    SetBytes({0x01, 0x00, 0x00, 0x00, 0x00, 0x80});
    TEquipmentForm form(image);
    form.show();

    PressSpace(form, 2); // knock sensor: locked
    EXPECT_FALSE(Checked(form, 2));
    ClickCheckBox(form, 0); // permanent supply, checked and locked
    EXPECT_TRUE(Checked(form, 0));
    ClickCheckBox(form, 47);
    EXPECT_TRUE(Checked(form, 47));

    PressSpace(form, 1); // oxygen sensor: changeable
    EXPECT_TRUE(Checked(form, 1));

    auto* ok = form.findChild<QPushButton*>();
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->text(), "OK");
    QTest::mouseClick(ok, Qt::LeftButton);
    EXPECT_FALSE(form.isVisible());

    EXPECT_EQ(image.ReadByte(First), 0x03);
    for (uint16_t a = First - 1; a <= First + 6; ++a)
        EXPECT_EQ(Changed(a), a == First ? 0x02 : 0x00) << std::hex << a;
}

TEST_F(EquipmentWindow, AdsorberAndFanToggleTheirOwnBitsWhenClosedByTheCloseBox) {
    SetBytes({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
    TEquipmentForm form(image);
    form.show();

    ClickCheckBox(form, 36);
    ClickCheckBox(form, 40);
    ClickCheckBox(form, 35); // locked neighbour of the adsorber
    PressSpace(form, 41);    // locked neighbour of the fan
    EXPECT_FALSE(Checked(form, 36));
    EXPECT_FALSE(Checked(form, 40));
    EXPECT_TRUE(Checked(form, 35));
    EXPECT_TRUE(Checked(form, 41));

    ASSERT_TRUE(form.close());
    for (uint16_t a = First - 1; a <= First + 6; ++a) {
        const uint8_t expected = a == 0x656E ? 0x10 : a == 0x656F ? 0x01 : 0x00;
        EXPECT_EQ(Changed(a), expected) << std::hex << a;
    }
}

// Minimising and restoring the window shows it again; what the user toggled stays.
TEST_F(EquipmentWindow, ShowingTheWindowAgainKeepsTheToggles) {
    SetBytes({0x00, 0x00, 0x00, 0x00, 0x00, 0x00});
    TEquipmentForm form(image);
    form.show();
    PressSpace(form, 1);
    form.showMinimized();
    form.showNormal();
    form.hide();
    form.show();
    EXPECT_TRUE(Checked(form, 1));
    ASSERT_TRUE(form.close());
    EXPECT_EQ(Changed(First), 0x02);
}

} // namespace
