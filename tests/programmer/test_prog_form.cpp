// The programmer window's state machine against the simulated unit (offscreen).
#include "image/firmware_image.h"
#include "programmer/prog_form.h"
#include "programmer/runs.h"
#include "sim_fixture.h"
#include "sim_process.h"

#include <QApplication>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <termios.h>

namespace {

std::vector<uint8_t> ImageBytes(const FirmwareImage& image) {
    return std::vector<uint8_t>(image.Data.get(), image.Data.get() + FirmwareImage::Size);
}

// A test image: patterned blocks with every fourth block left zero.
std::vector<uint8_t> SparseImage(unsigned seed) {
    std::vector<uint8_t> bytes = PatternMemory(seed);
    for (std::size_t a = 0; a < bytes.size(); a += 512)
        std::fill_n(bytes.begin() + a, 128, 0);
    return bytes;
}

class ProgFormTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "test";
        static char* argv[] = {name, nullptr};
        if (QApplication::instance() == nullptr)
            new QApplication(argc, argv);
    }
    void SetUp() override {
        saved = TProgForm::ShowMessage;
        TProgForm::ShowMessage = [this](QWidget*, const QString& caption, const QString& text) {
            messages << caption + "|" + text;
        };
    }
    void TearDown() override {
        form.reset();
        sim.reset();
        TProgForm::ShowMessage = saved;
    }

    void Open(const std::vector<uint8_t>& memory, std::vector<std::string> options = {}) {
        options.insert(options.end(),
                       {"--memory", WriteFile(files.filePath("m.bin").toStdString(), memory),
                        "--dump", files.filePath("dump.bin").toStdString()});
        sim = std::make_unique<SimProcess>(options);
        form = std::make_unique<TProgForm>(image, nullptr, QString::fromStdString(sim->link));
        form->show();
    }
    bool WaitLinked(int ms = 20000) {
        return QTest::qWaitFor([&] { return form->Read->isEnabled() && form->Timer2->isActive(); },
                               ms);
    }
    std::vector<uint8_t> Dump() {
        form.reset();
        sim->Stop();
        return ReadFile(files.filePath("dump.bin").toStdString());
    }
    void SetImage(const std::vector<uint8_t>& bytes) {
        std::memcpy(image.Data.get(), bytes.data(), bytes.size());
    }

    std::function<void(QWidget*, const QString&, const QString&)> saved;
    QStringList messages;
    QTemporaryDir files;
    FirmwareImage image;
    std::unique_ptr<SimProcess> sim;
    std::unique_ptr<TProgForm> form;
};

TEST_F(ProgFormTest, InitialStateWithAnUnopenablePort) {
    form = std::make_unique<TProgForm>(image, nullptr, files.filePath("no-port"));
    EXPECT_EQ(messages, QStringList{"Ошибка|Не удается найти указанный порт."});
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Программатор"));
    EXPECT_GE(form->width(), 265);
    EXPECT_EQ(form->height(), 150);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(form->ComNumber->itemText(i), QStringLiteral("COM%1").arg(i + 1));
    EXPECT_EQ(form->ComNumber->currentText(), files.filePath("no-port"));
    EXPECT_EQ(form->Speed->currentText(), QStringLiteral("19200"));
    EXPECT_FALSE(form->Read->isEnabled());
    EXPECT_FALSE(form->Write->isEnabled());
    EXPECT_EQ(form->Read->pos(), QPoint(8, 80));
    EXPECT_EQ(form->PanelMess->text(), QStringLiteral(" Нет связи"));
    EXPECT_FALSE(form->link_lamp_green());
    EXPECT_EQ(form->ProgressBar->maximum(), 255);
    EXPECT_TRUE(form->Timer4->isActive());
    EXPECT_FALSE(form->Timer1->isActive() || form->Timer2->isActive() || form->Timer3->isActive());
    // After the first second nothing answered: the window keeps trying to wake the unit.
    EXPECT_TRUE(QTest::qWaitFor([&] { return form->Timer1->isActive(); }, 5000));
    EXPECT_FALSE(form->Timer4->isActive());
    EXPECT_FALSE(form->Read->isEnabled());
}

// The window is laid out for a narrow font; with a wider system font no caption, typed port
// path or result line may be cut off or hidden under its neighbour.
TEST_F(ProgFormTest, EveryCaptionAndMessageFitsItsControl) {
    form = std::make_unique<TProgForm>(image, nullptr, files.filePath("no-port"));
    const QFontMetrics fm = form->fontMetrics();
    for (QLabel* label : {form->Label2, form->Label5})
        EXPECT_LE(label->x() + fm.horizontalAdvance(label->text()), form->ComNumber->x())
            << label->text().toStdString();
    EXPECT_GE(form->ComNumber->width(), fm.horizontalAdvance(QStringLiteral("/dev/ttyUSB0")));
    for (QPushButton* button : {form->Read, form->Write})
        EXPECT_GE(button->width(), button->sizeHint().width()) << button->text().toStdString();
    EXPECT_LE(form->Read->geometry().right(), form->Write->x());
    for (const char* text : {" Программирование успешно завершено", " Ошибка программирования",
                             " Найдено различий: 32768"}) {
        form->PanelMess->setText(QString::fromUtf8(text));
        EXPECT_LE(fm.horizontalAdvance(form->PanelMess->text()),
                  form->PanelMess->contentsRect().width())
            << text;
    }
    for (QWidget* w :
         {static_cast<QWidget*>(form->GroupBox1), static_cast<QWidget*>(form->Write),
          static_cast<QWidget*>(form->PanelMess), static_cast<QWidget*>(form->PanelProgress)})
        EXPECT_LE(w->geometry().right(), form->width() - 1);
}

TEST_F(ProgFormTest, BringUpFromAsleepReadAndSpeedChange) {
    const std::vector<uint8_t> memory = PatternMemory(11);
    Open(memory);
    ASSERT_TRUE(WaitLinked());
    EXPECT_TRUE(form->link_lamp_green());
    EXPECT_EQ(form->PanelMess->text(), QStringLiteral(" Связь с ЭБУ"));
    EXPECT_FALSE(form->Timer1->isActive() || form->Timer3->isActive() || form->Timer4->isActive());

    const std::size_t expected = prog::count_differences(image.Data.get(), memory.data());
    form->ReadClick();
    EXPECT_EQ(form->PanelMess->text(), QStringLiteral(" Найдено различий: %1").arg(expected));
    EXPECT_FALSE(form->match());
    EXPECT_EQ(ImageBytes(image), memory);
    EXPECT_EQ(form->ProgressBar->value(), 0);
    EXPECT_TRUE(form->Timer2->isActive());
    EXPECT_TRUE(form->ComNumber->isEnabled() && form->Speed->isEnabled());
    form->ReadClick();
    EXPECT_EQ(form->PanelMess->text(), QStringLiteral(" Найдено различий: 0"));
    EXPECT_TRUE(form->match());
    // The result line stays until the next good check replaces it.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return form->PanelMess->text() == QStringLiteral(" Связь с ЭБУ"); }, 5000));

    // 9600 chosen while linked: unit and port move at the next check, the lamp stays green.
    form->Speed->setCurrentIndex(0);
    auto portSpeed = [&] {
        const int fd = ::open(sim->link.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        termios t{};
        const bool ok = fd >= 0 && tcgetattr(fd, &t) == 0;
        if (fd >= 0)
            ::close(fd);
        return ok ? cfgetospeed(&t) : speed_t(0);
    };
    EXPECT_TRUE(QTest::qWaitFor([&] { return portSpeed() == B9600; }, 5000));
    QTest::qWait(1200); // one more check at the new speed
    EXPECT_TRUE(form->link_lamp_green());
    EXPECT_TRUE(messages.isEmpty()) << messages.join("\n").toStdString();

    // The unit goes away: the next check fails and the window goes back to waking.
    sim->Stop();
    EXPECT_TRUE(QTest::qWaitFor([&] { return form->Timer1->isActive(); }, 5000));
    EXPECT_FALSE(form->link_lamp_green());
    EXPECT_EQ(form->PanelMess->text(), QStringLiteral(" Нет связи"));
    EXPECT_FALSE(form->Read->isEnabled());
}

TEST_F(ProgFormTest, ProgramAndVerify) {
    const std::vector<uint8_t> wanted = SparseImage(12);
    SetImage(wanted);
    Open(PatternMemory(13), {"--awake"});
    ASSERT_TRUE(WaitLinked());
    form->WriteClick();
    EXPECT_EQ(form->PanelMess->text(), QStringLiteral(" Программирование успешно завершено"));
    EXPECT_TRUE(form->match());
    EXPECT_TRUE(form->Read->isEnabled() && form->ComNumber->isEnabled());
    EXPECT_TRUE(form->Timer2->isActive());
    EXPECT_TRUE(messages.isEmpty()) << messages.join("\n").toStdString();
    EXPECT_EQ(ImageBytes(image), wanted);
    EXPECT_EQ(Dump(), wanted);
}

TEST_F(ProgFormTest, FailuresAndWhatFollows) {
    const std::vector<uint8_t> wanted = SparseImage(14);
    const std::vector<uint8_t> unit = PatternMemory(15);
    struct Case {
        const char* fault;
        bool write;
        const char* message; // expected message dialog, or nullptr
        const char* line;    // expected PanelMess text, or nullptr
        bool polling;        // link polling restarted
    } cases[] = {
        {"fail-protection", true, "Программатор|Ошибка защиты.", nullptr, true},
        {"fail-erase=1", true, "Программатор|Error while erasing.", nullptr, true},
        {"fail-block=2080", true, nullptr, " Ошибка программирования", true},
        {"bad-flash=100", true, nullptr, " Ошибка сравнения", true},
        // A lost block: the status line does not go on claiming a read.
        {"short-read=3", false, "Программатор|Ошибка чтения.", " Связь с ЭБУ", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fault);
        messages.clear();
        SetImage(wanted);
        Open(unit, {"--awake", "--fault", c.fault});
        ASSERT_TRUE(WaitLinked());
        if (c.write)
            form->WriteClick();
        else
            form->ReadClick();
        const QStringList expected =
            c.message != nullptr ? QStringList{QString::fromUtf8(c.message)} : QStringList{};
        EXPECT_EQ(messages, expected);
        if (c.line != nullptr) {
            EXPECT_EQ(form->PanelMess->text(), QString::fromUtf8(c.line));
        }
        EXPECT_FALSE(form->match());
        EXPECT_EQ(form->Timer2->isActive(), c.polling);
        EXPECT_EQ(ImageBytes(image), wanted); // the image is never replaced by a failed run
        if (c.polling)                        // the next good check brings the buttons back
            EXPECT_TRUE(WaitLinked(5000));
        else
            EXPECT_TRUE(form->Read->isEnabled());
        form.reset();
        sim.reset();
    }
}

TEST_F(ProgFormTest, ClosingDuringARunStopsItSafely) {
    const std::vector<uint8_t> wanted = SparseImage(16);
    SetImage(wanted);
    Open(PatternMemory(17), {"--awake", "--pace"});
    ASSERT_TRUE(WaitLinked());
    QTimer::singleShot(300, form.get(), [&] { form->close(); });
    form->ReadClick(); // paced: about 17 s, cut short by the close request
    EXPECT_TRUE(QTest::qWaitFor([&] { return !form->isVisible(); }, 5000));
    EXPECT_GT(form->ProgressBar->maximum(), 0);
    EXPECT_EQ(ImageBytes(image), wanted);
    form.reset();
    sim.reset();

    Open(PatternMemory(18), {"--awake", "--pace"});
    ASSERT_TRUE(WaitLinked());
    QTimer::singleShot(500, form.get(), [&] { form->close(); });
    form->WriteClick();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !form->isVisible(); }, 5000));
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains(QStringLiteral("Программирование прервано")));
    EXPECT_EQ(ImageBytes(image), wanted);
    form.reset();
    sim.reset();

    // Cut short in the verifying read (an all-zero image programs at once, the read takes
    // about 17 s): the run must not end silently, as the unit's contents are unchecked.
    messages.clear();
    SetImage(std::vector<uint8_t>(FirmwareImage::Size, 0));
    Open(PatternMemory(19), {"--awake", "--pace"});
    ASSERT_TRUE(WaitLinked());
    QTimer::singleShot(3000, form.get(), [&] { form->close(); });
    form->WriteClick();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !form->isVisible(); }, 5000));
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains(QStringLiteral("не проверен"))) << messages[0].toStdString();
    EXPECT_FALSE(form->match());
}

} // namespace

namespace {

TEST_F(ProgFormTest, NoSecondExchangeDuringARunAndPortChange) {
    const std::vector<uint8_t> memory = PatternMemory(19);
    Open(memory, {"--awake"});
    ASSERT_TRUE(WaitLinked());
    // Events handled between blocks try to start other exchanges: the guard turns them away
    // and the read goes on undisturbed.
    int attempts = 0;
    QTimer::singleShot(0, form.get(), [&] {
        ++attempts;
        form->WriteClick();
        form->ReadClick();
        form->Timer2Timer();
        form->Timer1Timer();
    });
    form->ReadClick();
    EXPECT_EQ(attempts, 1);
    EXPECT_EQ(ImageBytes(image), memory);
    EXPECT_TRUE(form->match() || form->PanelMess->text().startsWith(" Найдено различий: "));
    EXPECT_TRUE(messages.isEmpty()) << messages.join("\n").toStdString();

    // Another port chosen while linked: the old one is closed, the new one cannot be opened,
    // and the next check sends the window back to waking.
    form->ComNumber->setEditText(files.filePath("gone"));
    form->ComNumberChange();
    EXPECT_EQ(messages, QStringList{"Ошибка|Не удается найти указанный порт."});
    EXPECT_TRUE(QTest::qWaitFor([&] { return form->Timer1->isActive(); }, 5000));
    EXPECT_FALSE(form->link_lamp_green());
    EXPECT_FALSE(form->Read->isEnabled());
}

} // namespace
