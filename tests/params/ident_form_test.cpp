#include "ident_bytes.h"
#include "image/codepage.h"
#include "image/firmware_image.h"
#include "params/view/ident_form.h"

#include <QApplication>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

QLineEdit* Edit(TIdentForm& form, int number) {
    auto* edit = form.findChild<QLineEdit*>(QStringLiteral("LabeledEdit%1").arg(number));
    EXPECT_NE(edit, nullptr) << "LabeledEdit" << number;
    return edit;
}

// Types text into a field key by key; QTest's own typing knows only Latin keys.
void Type(QLineEdit* edit, const QString& text) {
    for (const QChar ch : text)
        QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QString(ch), Qt::NoModifier);
}

void MarkLoaded(FirmwareImage& image) {
    image.MarkSaved();
}

// Closes the window by its close box, the way the window manager does.
void CloseByCloseBox(TIdentForm& form) {
    form.show();
    ASSERT_TRUE(form.close());
}

void CloseByOk(TIdentForm& form) {
    auto* ok = form.findChild<QPushButton*>();
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->text(), "OK");
    EXPECT_TRUE(ok->isDefault());
    form.show();
    QTest::mouseClick(ok, Qt::LeftButton);
    EXPECT_EQ(form.result(), QDialog::Accepted);
}

TEST(IdentForm, FieldsSitInTheirGroupsWithTheirLabelsAndLengths) {
    FirmwareImage image;
    TIdentForm form(image);
    EXPECT_EQ(form.windowTitle(), "Идентификация");

    const char* groups[] = {
        " Блок управления ", " Блок управления ", " Блок управления ", " Программа ", " Программа ",
        " Программа ",       " Данные ",          " Данные ",          " Данные ",    " Данные ",
        " Данные ",          " Автомобиль ",      " Автомобиль ",      " Автомобиль "};
    const char* labels[] = {
        "Тип:",       "Производитель:", "Версия ПО:", "Контроллер:",  "Идентификатор:",
        "Версия:",    "Тип:",           "Версия:",    "Файл данных:", "Дата создания:",
        "Двигатель:", "Двигатель:",     "Кузов:",     "Дата выпуска:"};
    const int lengths[] = {16, 16, 12, 7, 12, 4, 16, 3, 16, 16, 16, 16, 16, 16};
    for (int n = 1; n <= 14; ++n) {
        QLineEdit* edit = Edit(form, n);
        ASSERT_NE(edit, nullptr);
        auto* box = qobject_cast<QGroupBox*>(edit->parentWidget());
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->title(), QString::fromUtf8(groups[n - 1])) << n;
        auto* form = qobject_cast<QFormLayout*>(box->layout());
        ASSERT_NE(form, nullptr);
        auto* label = qobject_cast<QLabel*>(form->labelForField(edit));
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->text(), QString::fromUtf8(labels[n - 1])) << n;
        EXPECT_EQ(edit->maxLength(), lengths[n - 1]) << n;
        EXPECT_EQ(edit->maxLength(), image.Ident(n - 1).length) << n;
    }
    // The fields of each column of groups line up, across its groups.
    form.show();
    QApplication::processEvents();
    for (const auto& [first, last] : {std::pair{1, 6}, std::pair{7, 14}})
        for (int n = first + 1; n <= last; ++n)
            EXPECT_EQ(Edit(form, n)->mapTo(&form, QPoint(0, 0)).x(),
                      Edit(form, first)->mapTo(&form, QPoint(0, 0)).x())
                << n << " at " << Edit(form, n)->mapTo(&form, QPoint(0, 0)).x();
}

TEST(IdentForm, CloseBoxWritesNormalisedAndClearedFields) {
    FirmwareImage image;
    PutRaw(image, 0x6030, "  VX4.2.0  ");
    PutRaw(image, 0x6090, Cp1251ToCp866(Utf8ToCp1251(" КМР-4017")));
    PutRaw(image, 0x61E5, "CPU77A1"); // ProgController, 7 bytes, full
    MarkLoaded(image);

    TIdentForm form(image);
    EXPECT_EQ(Edit(form, 1)->text(), "VX4.2.0");
    EXPECT_EQ(Edit(form, 12)->text(), "КМР-4017");
    EXPECT_EQ(Edit(form, 2)->text(), "");
    EXPECT_EQ(Edit(form, 4)->text(), "CPU77A1");
    Edit(form, 4)->clear();
    CloseByCloseBox(form);

    EXPECT_EQ(Raw(image, 0x6030, 16), Padded("VX4.2.0", 16));
    EXPECT_EQ(Raw(image, 0x6090, 16), Padded(Cp1251ToCp866(Utf8ToCp1251("КМР-4017")), 16));
    EXPECT_EQ(Raw(image, 0x61E5, 7), std::string(7, '\0'));
    // The close question of the main window depends on this.
    EXPECT_TRUE(image.IsModified());
}

TEST(IdentForm, TypedTextsAreStoredByOkAndShownAgain) {
    FirmwareImage image;
    PutRaw(image, 0x6040, "calib.hex"); // DataFile, right behind EcuType
    MarkLoaded(image);
    {
        TIdentForm form(image);
        Type(Edit(form, 1), QStringLiteral("0123456789ABCDEFGHIJ"));
        EXPECT_EQ(Edit(form, 1)->text(), "0123456789ABCDEF");
        Type(Edit(form, 13), QStringLiteral("Хэтчбек"));
        CloseByOk(form);
    }
    EXPECT_EQ(Raw(image, 0x6030, 16), "0123456789ABCDEF");
    EXPECT_EQ(Raw(image, 0x6040, 16), Padded("calib.hex", 16));
    // Х = 0x95, э = 0xED, т = 0xE2, ч = 0xE7, б = 0xA1, е = 0xA5, к = 0xAA in code page 866.
    EXPECT_EQ(Raw(image, 0x60A0, 16), Padded("\x95\xED\xE2\xE7\xA1\xA5\xAA", 16));

    TIdentForm again(image);
    EXPECT_EQ(Edit(again, 13)->text(), "Хэтчбек");
    EXPECT_EQ(Edit(again, 1)->text(), "0123456789ABCDEF");
}

} // namespace
