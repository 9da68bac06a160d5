// The programmer window's state machine against the simulated unit (offscreen).
#include "change_recorder.h"
#include "image/firmware_image.h"
#include "image_bytes.h"
#include "maps/byte_owner.h"
#include "maps/image_compare.h"
#include "programmer/runs.h"
#include "programmer/view/prog_form.h"
#include "programmer/view/run_progress_bar.h"
#include "sim_fixture.h"
#include "sim_process.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <termios.h>

namespace {

// The one message of a port that cannot be opened: the window's text, then what stands in the
// way (here: the device is not there).
void ExpectPortNotFound(const QStringList& messages) {
    ASSERT_EQ(messages.size(), 1) << messages.join('\n').toStdString();
    EXPECT_TRUE(messages[0].startsWith(
        QStringLiteral("Ошибка|Не удается найти указанный порт.\n\nУстройство ")))
        << messages[0].toStdString();
    EXPECT_TRUE(messages[0].contains(QStringLiteral("не найдено")));
}

// A test image as a whole file gives it: patterned blocks with every fourth block left zero,
// and a stored checksum that agrees with the bytes.
std::vector<uint8_t> SparseImage(unsigned seed) {
    std::vector<uint8_t> bytes = PatternMemory(seed);
    for (std::size_t a = 0; a < bytes.size(); a += 512)
        std::fill_n(bytes.begin() + a, 128, 0);
    FirmwareImage scratch;
    scratch.ReplaceData(bytes.data());
    scratch.UpdateChecksum();
    return ImageBytes(scratch);
}

QStringList LogLines(const QListWidget* log) {
    QStringList lines;
    for (int i = 0; i < log->count(); ++i)
        lines << log->item(i)->text();
    return lines;
}

bool Logged(const QListWidget* log, const QString& part) {
    return LogLines(log).join('\n').contains(part);
}

class ProgFormTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved = TProgForm::ShowMessage;
        savedAsk = TProgForm::AskConfirm;
        TProgForm::ShowMessage = [this](QWidget*, QMessageBox::Icon icon, const QString& caption,
                                        const QString& text) {
            messages << caption + "|" + text;
            icons << icon;
        };
        TProgForm::AskConfirm = [this](QWidget*, QMessageBox::Icon icon, const QString&,
                                       const QString& text) {
            questions << text;
            questionIcons << icon;
            return answers.empty() ? answer : answers.takeFirst();
        };
    }
    void TearDown() override {
        form.reset();
        sim.reset();
        TProgForm::ShowMessage = saved;
        TProgForm::AskConfirm = savedAsk;
    }

    void Open(const std::vector<uint8_t>& memory, std::vector<std::string> options = {}) {
        options.insert(options.end(),
                       {"--memory", WriteFile(files.filePath("m.bin").toStdString(), memory),
                        "--dump", files.filePath("dump.bin").toStdString()});
        sim = std::make_unique<SimProcess>(options, linkPath);
        OpenForm();
    }
    // The window on the simulator's line, for the file unit.hex in the test's folder.
    void OpenForm() {
        form = std::make_unique<TProgForm>(image, nullptr, QString::fromStdString(sim->link),
                                           files.filePath("unit.hex"));
        form->show();
    }
    bool WaitLinked(int ms = 20000) {
        return QTest::qWaitFor(
            [&] {
                return form->Read->isEnabled() && form->link_stage() == prog::LinkStage::Linked;
            },
            ms);
    }
    std::vector<uint8_t> Dump() {
        form.reset();
        sim->Stop();
        return ReadFile(files.filePath("dump.bin").toStdString());
    }
    // The image as a load of a whole file leaves it.
    void SetImage(const std::vector<uint8_t>& bytes) {
        LoadBytes(image, bytes);
        image.Loaded = true;
        image.Complete = true;
    }
    // The unit as the last run left it comes back on the same line (linkPath) without the
    // fault; the window opens the port again by itself. Returns what the unit was left holding.
    std::vector<uint8_t> UnitComesBackAsLeft() {
        sim->Stop();
        EXPECT_TRUE(
            QTest::qWaitFor([&] { return form->link_stage() != prog::LinkStage::Linked; }, 5000));
        const std::vector<uint8_t> left = ReadFile(files.filePath("dump.bin").toStdString());
        sim = std::make_unique<SimProcess>(
            std::vector<std::string>{"--awake", "--memory",
                                     WriteFile(files.filePath("left.bin").toStdString(), left),
                                     "--dump", files.filePath("dump.bin").toStdString()},
            linkPath);
        return left;
    }
    QStringList Backups() const {
        return QDir(files.filePath("backups")).entryList(QDir::Files, QDir::Name);
    }

    std::function<void(QWidget*, QMessageBox::Icon, const QString&, const QString&)> saved;
    std::function<bool(QWidget*, QMessageBox::Icon, const QString&, const QString&)> savedAsk;
    QStringList messages;
    QList<QMessageBox::Icon> icons;
    QStringList questions;
    QList<QMessageBox::Icon> questionIcons;
    bool answer = true;
    QList<bool> answers; // answered first, one per question; then `answer`
    QTemporaryDir files;
    FirmwareImage image;
    std::string linkPath; // the simulator's link; its own folder when empty
    std::unique_ptr<SimProcess> sim;
    std::unique_ptr<TProgForm> form;
};

TEST_F(ProgFormTest, InitialStateWithAnUnopenablePort) {
    form = std::make_unique<TProgForm>(image, nullptr, files.filePath("no-port"));
    ExpectPortNotFound(messages);
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Программатор"));
    EXPECT_GE(form->width(), 265);
    EXPECT_GT(form->height(), 150); // grown to hold the log
    EXPECT_TRUE(form->Backup->isChecked());
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
    // The port could not be opened: the window keeps trying to open it.
    QTest::qWait(1200);
    EXPECT_TRUE(form->LinkTimer->isActive());
    EXPECT_EQ(form->link_stage(), prog::LinkStage::Settling);
    EXPECT_FALSE(form->Read->isEnabled());
}

// On Linux the window never starts on a built-in port that may have no unit on it: without a
// remembered port (or with the old programs' "COM1") it starts on a USB adapter or on none,
// says how to find one, and opens nothing.
TEST_F(ProgFormTest, WithoutARememberedPortNoBuiltInPortIsChosen) {
    for (const QString& remembered : {QString(), QStringLiteral("COM1")}) {
        messages.clear();
        form = std::make_unique<TProgForm>(image, nullptr, remembered);
        const QString chosen = form->ComNumber->currentText();
        EXPECT_TRUE(chosen.isEmpty() || chosen.contains(QStringLiteral("by-id")) ||
                    chosen.contains(QStringLiteral("ttyUSB")) ||
                    chosen.contains(QStringLiteral("ttyACM")))
            << chosen.toStdString();
        if (chosen.isEmpty()) {
            EXPECT_EQ(form->PanelMess->text(), QStringLiteral(" Порт не выбран"));
            EXPECT_TRUE(form->LogList->item(form->LogList->count() - 1)
                            ->text()
                            .contains(QStringLiteral("velmaris-cli ports")));
            EXPECT_TRUE(messages.isEmpty()); // no port error for a port nobody chose
            EXPECT_FALSE(form->LinkTimer->isActive());
        }
    }
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
    EXPECT_GE(form->Backup->width(), form->Backup->sizeHint().width());
    // Top to bottom: buttons, backup choice, log, progress bar, status line; none overlaps.
    const QWidget* column[] = {form->Write, form->Backup, form->LogList, form->PanelProgress,
                               form->PanelMess};
    for (std::size_t i = 1; i < std::size(column); ++i)
        EXPECT_LT(column[i - 1]->geometry().bottom(), column[i]->y()) << i;
    EXPECT_GE(form->LogList->height(), 4 * fm.lineSpacing());
    for (const QWidget* w : {static_cast<const QWidget*>(form->GroupBox1), column[0], column[1],
                             column[2], column[3], column[4]}) {
        EXPECT_LE(w->geometry().right(), form->width() - 1);
        EXPECT_LE(w->geometry().bottom(), form->height() - 1);
    }
}

TEST_F(ProgFormTest, BringUpFromAsleepReadAndSpeedChange) {
    const std::vector<uint8_t> memory = PatternMemory(11);
    Open(memory);
    ASSERT_TRUE(WaitLinked());
    EXPECT_TRUE(form->link_lamp_green());
    EXPECT_EQ(form->PanelMess->text(), QStringLiteral(" Связь с ЭБУ"));

    const std::size_t expected = prog::count_differences(image.Bytes(), memory.data());
    // The bar says the phase, the percent and the time left while the read runs, and nothing
    // once it is over.
    QStringList captions;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] { captions << form->ProgressBar->caption(); });
    watch.start(0);
    form->ReadClick();
    watch.stop();
    const QRegularExpression running(QStringLiteral("^Чтение: (\\d+) %, осталось \\d+:\\d\\d$"));
    EXPECT_TRUE(std::any_of(captions.begin(), captions.end(), [&](const QString& c) {
        const QRegularExpressionMatch m = running.match(c);
        return m.hasMatch() && m.captured(1).toInt() > 0 && m.captured(1).toInt() < 100;
    })) << captions.join('|').toStdString();
    EXPECT_TRUE(form->ProgressBar->caption().isEmpty());
    EXPECT_EQ(form->PanelMess->text(), QStringLiteral(" Найдено различий: %1").arg(expected));
    EXPECT_FALSE(form->match());
    EXPECT_EQ(ImageBytes(image), memory);
    EXPECT_EQ(form->ProgressBar->value(), 0);
    EXPECT_TRUE(form->LinkTimer->isActive());
    EXPECT_TRUE(form->ComNumber->isEnabled() && form->Speed->isEnabled());
    form->ReadClick();
    EXPECT_EQ(form->PanelMess->text(), QStringLiteral(" Найдено различий: 0"));
    EXPECT_TRUE(form->match());
    // The result line stays through the link checks that follow, until the next operation.
    QTest::qWait(2500);
    EXPECT_EQ(form->PanelMess->text(), QStringLiteral(" Найдено различий: 0"));
    EXPECT_TRUE(form->link_lamp_green());

    // The window grows: the log takes the height and the lines the width; it never shrinks
    // below the size that shows every control whole.
    const QSize smallest = form->minimumSize();
    const int logHeight = form->LogList->height();
    form->resize(smallest + QSize(300, 200));
    EXPECT_EQ(form->LogList->width(), smallest.width() + 300);
    EXPECT_EQ(form->LogList->height(), logHeight + 200);
    EXPECT_EQ(form->PanelMess->geometry().bottom(), form->height() - 2);
    EXPECT_TRUE(form->LogList->wordWrap());

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
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return form->link_stage() != prog::LinkStage::Linked; }, 5000));
    EXPECT_FALSE(form->link_lamp_green());
    EXPECT_EQ(form->PanelMess->text(), QStringLiteral(" Нет связи"));
    EXPECT_FALSE(form->Read->isEnabled());
}

// A read is an edit a history can take back: the file stays the image's loaded copy.
TEST_F(ProgFormTest, AUnitReadIsOneEditOfTheDifferingBytes) {
    const std::vector<uint8_t> memory = PatternMemory(5);
    SetImage(SparseImage(6));
    Open(memory);
    ASSERT_TRUE(WaitLinked());
    ChangeRecorder heard(image);
    form->ReadClick();
    form->ReadClick(); // the same memory again changes nothing
    ChangeSet expected;
    for (uint16_t a = 0; a < FirmwareImage::Size; ++a)
        if (image.LoadedBytes()[a] != memory[a])
            expected.push_back({a, image.LoadedBytes()[a], memory[a]});
    EXPECT_EQ(heard.sets, std::vector<ChangeSet>{expected});
    EXPECT_TRUE(image.IsModified());
}

// The read reaches the image through the window's edit path, as one named step.
TEST_F(ProgFormTest, AUnitReadGoesThroughTheEditPathAsOneStep) {
    SetImage(SparseImage(6));
    Open(PatternMemory(5));
    ASSERT_TRUE(WaitLinked());
    ChangeRecorder heard(image);
    std::vector<std::pair<std::string, std::size_t>> steps;
    form->Edit = [&](const std::string& name, const std::function<void()>& writes) {
        const std::size_t before = heard.sets.size();
        writes();
        steps.push_back({name, heard.sets.size() - before});
    };
    form->ReadClick();
    EXPECT_EQ(steps, (std::vector<std::pair<std::string, std::size_t>>{{"Чтение ЭБУ", 1}}));
    EXPECT_EQ(heard.sets.size(), 1u);
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
    EXPECT_TRUE(form->LinkTimer->isActive());
    EXPECT_TRUE(messages.isEmpty()) << messages.join("\n").toStdString();
    EXPECT_EQ(ImageBytes(image), wanted);
    EXPECT_EQ(Dump(), wanted);
}

// Each failure brings one message box that says what the unit holds now and the way out,
// with the icon that fits; a run that left the unit damaged keeps the lamp red and its
// result line up after the link is checked again.
TEST_F(ProgFormTest, FailuresAndWhatFollows) {
    linkPath = files.filePath("ecu").toStdString();
    const std::vector<uint8_t> wanted = SparseImage(14);
    const std::vector<uint8_t> unit = PatternMemory(15);
    const QString wayOut = QStringLiteral("Не выключайте зажигание, проверьте соединение и нажмите "
                                          "«Программирование» ещё раз.");
    struct Case {
        const char* fault;
        bool write;
        const char* message; // start of the expected message box
        QMessageBox::Icon icon;
        const char* line; // expected PanelMess text, or nullptr
        bool polling;     // link polling restarted
        bool damaged;     // the unit no longer holds what it held; the failure stays shown
    } cases[] = {
        {"fail-protection", true, "Программатор|Ошибка защиты.\n\nЭБУ не изменён",
         QMessageBox::Warning, " Ошибка защиты, ЭБУ не изменён", true, false},
        {"fail-erase=1", true,
         "Программатор|Ошибка стирания ЭБУ.\n\nЭБУ стёрт (секторов стёрто: 1 из 4, стирание "
         "сектора 1 не удалось), образ не записан",
         QMessageBox::Critical, " Ошибка стирания ЭБУ", true, true},
        {"fail-block=2080", true,
         "Программатор|Ошибка программирования.\n\nЭБУ стёрт и записан частично (до 0x2080)",
         QMessageBox::Critical, " Ошибка программирования", true, true},
        {"short-read=3", false, "Программатор|Ошибка чтения.", QMessageBox::Warning, " Связь с ЭБУ",
         false, false},
        // The backup read lost a block: nothing is erased without a backup.
        {"short-read=3", true, "Программатор|Ошибка чтения.", QMessageBox::Warning, nullptr, true,
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.fault) + (c.write ? " write" : " read"));
        messages.clear();
        icons.clear();
        SetImage(wanted);
        Open(unit, {"--awake", "--fault", c.fault});
        ASSERT_TRUE(WaitLinked());
        if (c.write)
            form->WriteClick();
        else
            form->ReadClick();
        ASSERT_EQ(messages.size(), 1) << messages.join("\n").toStdString();
        EXPECT_TRUE(messages[0].startsWith(QString::fromUtf8(c.message)))
            << messages[0].toStdString();
        EXPECT_EQ(icons, QList<QMessageBox::Icon>{c.icon});
        if (c.damaged) {
            EXPECT_TRUE(messages[0].contains(wayOut)) << messages[0].toStdString();
            EXPECT_TRUE(messages[0].contains(QStringLiteral("Резервная копия прежнего содержимого "
                                                            "ЭБУ: ") +
                                             QDir::toNativeSeparators(files.filePath("backups"))))
                << messages[0].toStdString();
        }
        if (c.line != nullptr) {
            EXPECT_EQ(form->PanelMess->text(), QString::fromUtf8(c.line));
        }
        EXPECT_EQ(form->ProgressBar->value(), 0);
        EXPECT_FALSE(form->match());
        EXPECT_EQ(form->LinkTimer->isActive(), c.polling);
        EXPECT_EQ(ImageBytes(image), wanted); // the image is never replaced by a failed run
        // The port and the speed can be changed again at once, whatever failed.
        EXPECT_TRUE(form->ComNumber->isEnabled() && form->Speed->isEnabled());
        if (c.polling) // the next good check brings the buttons back
            EXPECT_TRUE(WaitLinked(5000));
        else
            EXPECT_TRUE(form->Read->isEnabled());
        if (c.write && c.line != nullptr) {
            // Still after a good check: red, and the line says what failed.
            QTest::qWait(1200);
            EXPECT_FALSE(form->link_lamp_green());
            EXPECT_EQ(form->PanelMess->text(), QString::fromUtf8(c.line));
        }
        if (c.damaged) {
            // The same image again, at once: the unit ends up holding it.
            EXPECT_NE(UnitComesBackAsLeft(), unit);
            ASSERT_TRUE(WaitLinked());
            form->WriteClick();
            EXPECT_EQ(form->PanelMess->text(),
                      QStringLiteral(" Программирование успешно завершено"));
            EXPECT_TRUE(form->link_lamp_green());
            EXPECT_EQ(Dump(), wanted);
        } else {
            EXPECT_EQ(Dump(), unit);
        }
        sim.reset();
    }
}

// A verify that finds a byte the unit did not keep is an alarm: the box names the byte, the
// table cell that holds it and both values, and offers to program again at once.
TEST_F(ProgFormTest, AFailedVerifyNamesTheByteAndOffersToProgramAgain) {
    linkPath = files.filePath("ecu").toStdString();
    FirmwareImage summed; // the block at 0x7000 is programmed (a zero block would be skipped)
    summed.ReplaceData(PatternMemory(40).data());
    summed.UpdateChecksum();
    const std::vector<uint8_t> wanted = ImageBytes(summed);
    SetImage(wanted);
    Open(PatternMemory(41), {"--awake", "--fault", "bad-flash=7000"});
    ASSERT_TRUE(WaitLinked());
    answers = {true, true, false}; // program; program again; then leave it
    form->WriteClick();
    ASSERT_EQ(questions.size(), 3);
    EXPECT_TRUE(messages.isEmpty()) << messages.join("\n").toStdString();
    const ByteOwner owner = OwnerOfByte(*FirmwareImage::FromBytes(wanted.data()), 0x7000);
    ASSERT_EQ(owner.kind, ByteOwner::Kind::MapCell);
    for (int i = 1; i <= 2; ++i) {
        EXPECT_EQ(questionIcons[i], QMessageBox::Critical);
        EXPECT_TRUE(questions[i].startsWith(QStringLiteral("Ошибка сравнения.")));
        EXPECT_TRUE(questions[i].contains(QStringLiteral("чтение нашло отличающихся байт: 1.")));
        EXPECT_TRUE(questions[i].contains(
            QStringLiteral("\n0x7000 — %1 %2/%3 (в образе 0x%4, в ЭБУ 0x%5)")
                .arg(QString::fromUtf8(GetMapInfo(owner.map).caption))
                .arg(owner.rowLabel)
                .arg(owner.colLabel)
                .arg(QString::asprintf("%02X", wanted[0x7000]))
                .arg(QString::asprintf("%02X", static_cast<uint8_t>(~wanted[0x7000])))))
            << questions[i].toStdString();
        EXPECT_TRUE(questions[i].endsWith(QStringLiteral("Записать образ в ЭБУ ещё раз?")));
    }
    EXPECT_TRUE(Logged(form->LogList, QStringLiteral("Повторное программирование")));
    EXPECT_EQ(form->PanelMess->text(), QStringLiteral(" Ошибка сравнения"));
    EXPECT_TRUE(WaitLinked(5000));
    QTest::qWait(1200);
    EXPECT_FALSE(form->link_lamp_green());
    EXPECT_EQ(form->PanelMess->text(), QStringLiteral(" Ошибка сравнения"));
    std::vector<uint8_t> kept = wanted;
    kept[0x7000] = static_cast<uint8_t>(~kept[0x7000]);
    EXPECT_EQ(UnitComesBackAsLeft(), kept);
    ASSERT_TRUE(WaitLinked());
    form->WriteClick();
    EXPECT_EQ(form->PanelMess->text(), QStringLiteral(" Программирование успешно завершено"));
    EXPECT_EQ(Dump(), wanted);
}

// The line dies half-way through programming. The box says how far the unit was written; when
// the unit is back on the same line, the window opens the port again by itself and the same
// image is programmed at once.
TEST_F(ProgFormTest, AfterTheLineDiedMidWriteTheSameImageIsProgrammedAgain) {
    const std::vector<uint8_t> wanted = SparseImage(42);
    SetImage(wanted);
    linkPath = files.filePath("ecu").toStdString();
    Open(PatternMemory(43), {"--awake", "--fault", "disconnect-after=20000"});
    ASSERT_TRUE(WaitLinked());
    form->WriteClick();
    ASSERT_EQ(messages.size(), 1) << messages.join("\n").toStdString();
    EXPECT_EQ(icons, QList<QMessageBox::Icon>{QMessageBox::Critical});
    EXPECT_TRUE(messages[0].contains(QStringLiteral("ЭБУ стёрт и записан частично (до 0x")))
        << messages[0].toStdString();
    EXPECT_FALSE(messages[0].contains(QStringLiteral("GetLastError")));
    EXPECT_LE(messages[0].count(QStringLiteral("Причина:")), 1);
    EXPECT_EQ(form->PanelMess->text(), QStringLiteral(" Ошибка программирования"));
    EXPECT_FALSE(form->link_lamp_green());
    messages.clear();
    EXPECT_NE(UnitComesBackAsLeft(), wanted);
    ASSERT_TRUE(WaitLinked(20000)) << LogLines(form->LogList).join('\n').toStdString();
    EXPECT_EQ(form->PanelMess->text(), QStringLiteral(" Ошибка программирования"));
    form->WriteClick();
    EXPECT_EQ(form->PanelMess->text(), QStringLiteral(" Программирование успешно завершено"));
    EXPECT_TRUE(form->link_lamp_green());
    EXPECT_TRUE(messages.isEmpty()) << messages.join("\n").toStdString();
    EXPECT_EQ(Dump(), wanted);
}

// A read may be stopped by closing the window; the unit goes on sending the rest of its
// memory, and the next window links as soon as it has finished.
TEST_F(ProgFormTest, ClosingDuringAReadStopsItAndTheNextWindowLinks) {
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
    const auto closed = std::chrono::steady_clock::now();
    OpenForm();
    EXPECT_TRUE(WaitLinked(30000));
    // The rest of the read takes about 16 s at 19200 bit/s; the link follows within seconds.
    EXPECT_LT(
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - closed)
            .count(),
        25);
    EXPECT_TRUE(messages.isEmpty()) << messages.join("\n").toStdString();
    form.reset();
    sim.reset();

    // Closed during the backup read before programming: the run ends before anything is
    // erased, and the unit keeps what it held.
    const std::vector<uint8_t> unit = PatternMemory(18);
    Open(unit, {"--awake", "--pace"});
    ASSERT_TRUE(WaitLinked());
    QTimer::singleShot(500, form.get(), [&] { form->close(); });
    form->WriteClick();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !form->isVisible(); }, 5000));
    EXPECT_EQ(ImageBytes(image), wanted);
    EXPECT_TRUE(Backups().isEmpty());
    EXPECT_EQ(Dump(), unit);
}

// Once erasing has begun, Escape and the close box are refused: the run goes on to a fully
// programmed, verified unit and the window stays open to show it.
TEST_F(ProgFormTest, EscapeDuringProgrammingLeavesAProgrammedVerifiedUnit) {
    const std::vector<uint8_t> wanted = SparseImage(20);
    SetImage(wanted);
    Open(PatternMemory(21), {"--awake"});
    ASSERT_TRUE(WaitLinked());
    int attempts = 0;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, form.get(), [&] {
        if (attempts == 0 && form->PanelMess->text() == QStringLiteral(" Программирование ЭБУ")) {
            ++attempts;
            QTest::keyClick(form.get(), Qt::Key_Escape);
            form->close();
        }
    });
    poll.start(0);
    form->WriteClick();
    poll.stop();
    EXPECT_EQ(attempts, 1);
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(form->PanelMess->text(), QStringLiteral(" Программирование успешно завершено"));
    EXPECT_TRUE(form->match());
    EXPECT_TRUE(Logged(form->LogList, QStringLiteral("программирование должно завершиться")));
    EXPECT_TRUE(messages.isEmpty()) << messages.join("\n").toStdString();
    EXPECT_EQ(Dump(), wanted);
}

// Nothing is erased for an image that must not reach a unit, nor without a saved backup: one
// message says why, and the unit keeps every byte it held.
TEST_F(ProgFormTest, ProgrammingRefusedLeavesTheUnitUntouched) {
    const std::vector<uint8_t> unit = PatternMemory(24);
    Open(unit, {"--awake"});
    ASSERT_TRUE(WaitLinked());
    struct Case {
        const char* name;
        std::function<void()> prepare;
        std::vector<const char*> reasons;
    } cases[] = {
        {"no file opened", [] {}, {"файл не открыт", "образ пуст"}},
        {"partial load",
         [&] {
             SetImage(SparseImage(25));
             image.Complete = false;
         },
         {"загружен не полностью"}},
        {"blank image",
         [&] {
             SetImage(std::vector<uint8_t>(FirmwareImage::Size, 0xFF));
             image.UpdateChecksum();
         },
         {"образ пуст"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        messages.clear();
        c.prepare();
        const std::vector<uint8_t> before = ImageBytes(image);
        form->WriteClick();
        ASSERT_EQ(messages.size(), 1);
        for (const char* reason : c.reasons)
            EXPECT_TRUE(messages[0].contains(QString::fromUtf8(reason)))
                << messages[0].toStdString();
        EXPECT_TRUE(questions.isEmpty());
        EXPECT_EQ(ImageBytes(image), before);
        EXPECT_TRUE(form->Read->isEnabled() && form->LinkTimer->isActive());
    }

    // A good image, but the backup cannot be saved ("backups" is taken by a file).
    messages.clear();
    SetImage(SparseImage(26));
    WriteFile(files.filePath("backups").toStdString(), {1, 2, 3});
    form->WriteClick();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains(QStringLiteral("Не удалось сохранить резервную копию")))
        << messages[0].toStdString();
    EXPECT_TRUE(form->ComNumber->isEnabled());
    EXPECT_EQ(Dump(), unit);
}

TEST_F(ProgFormTest, ChecksumRefreshedConfirmedAndUnitBackedUpBeforeProgramming) {
    const std::vector<uint8_t> unit = PatternMemory(22);
    Open(unit, {"--awake"});
    ASSERT_TRUE(WaitLinked());
    form->ReadClick(); // the unit read in this window: the question can say what changes
    ASSERT_EQ(ImageBytes(image), unit);
    EXPECT_EQ(form->LastUnitRead(), unit);

    // A file saved by another tool with new identification texts and a calibration byte, its
    // stored checksum left as it was.
    FirmwareImage edited;
    edited.ReplaceData(SparseImage(23).data());
    std::strcpy(edited.EcuType, "TESTBLOCK-7");
    std::strcpy(edited.ProgIdent, "PRG-0042");
    edited.EncodeIdent();
    edited.WriteByte(0x6100, static_cast<uint8_t>(edited.ReadByte(0x6100) ^ 0x5A));
    const std::vector<uint8_t> loaded = ImageBytes(edited);
    SetImage(loaded);
    ASSERT_NE(image.StoredChecksum(), image.ComputeChecksum());
    FirmwareImage refreshed;
    refreshed.ReplaceData(loaded.data());
    refreshed.UpdateChecksum();
    const std::vector<uint8_t> wanted = ImageBytes(refreshed);
    std::vector<std::string> steps;
    form->Edit = [&](const std::string& name, const std::function<void()>& writes) {
        writes();
        steps.push_back(name);
    };

    answer = false;
    form->WriteClick();
    ASSERT_EQ(questions.size(), 1);
    for (const QString& part :
         {QDir::toNativeSeparators(files.filePath("unit.hex")), QStringLiteral("TESTBLOCK-7"),
          QStringLiteral("PRG-0042"),
          QString::asprintf("Контрольная сумма: 0x%04X\n", refreshed.StoredChecksum()),
          QString::asprintf("Контрольная сумма пересчитана: 0x%04X → 0x%04X",
                            image.StoredChecksum(), refreshed.StoredChecksum()),
          QStringLiteral("Изменится байт: %1")
              .arg(prog::count_differences(wanted.data(), unit.data()))})
        EXPECT_TRUE(questions[0].contains(part)) << part.toStdString();
    // What changes, group by group, after the count of bytes.
    const QString groups = questions[0].section(QStringLiteral("чтением ЭБУ)"), 1);
    EXPECT_TRUE(groups.contains(QStringLiteral("\n  Идентификация: полей ")))
        << groups.toStdString();
    for (const std::string& line :
         DifferenceSummary(CompareImages(wanted.data(), unit.data(), false)))
        EXPECT_TRUE(groups.contains(QString::fromStdString(line))) << line;
    // "Нет": the image is byte for byte as loaded, unmarked and without a step; nothing was
    // erased, and the unit's memory was read and saved before the question.
    EXPECT_EQ(ImageBytes(image), loaded);
    EXPECT_FALSE(image.IsModified());
    EXPECT_TRUE(steps.empty());
    EXPECT_TRUE(form->Read->isEnabled() && form->LinkTimer->isActive());
    const QStringList backups = Backups();
    ASSERT_EQ(backups.size(), 2);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^backup-\\d{8}-\\d{6}\\.bin$"))
                    .match(backups[0])
                    .hasMatch())
        << backups[0].toStdString();
    const QString bin = files.filePath("backups/" + backups[0]);
    EXPECT_EQ(ReadFile(bin.toStdString()), unit);
    FirmwareImage fromHex;
    EXPECT_TRUE(fromHex.LoadHex(files.filePath("backups/" + backups[1]).toStdString()).complete);
    EXPECT_EQ(ImageBytes(fromHex), unit);
    EXPECT_TRUE(Logged(form->LogList, QDir::toNativeSeparators(bin.chopped(4))));

    answer = true;
    form->WriteClick();
    EXPECT_EQ(questions.size(), 2);
    EXPECT_EQ(form->PanelMess->text(), QStringLiteral(" Программирование успешно завершено"));
    // "Да": the fresh checksum went into the image as one step, as a save would put it.
    EXPECT_EQ(steps, std::vector<std::string>{"Контрольная сумма"});
    EXPECT_EQ(ImageBytes(image), wanted);
    EXPECT_EQ(Backups().size(), 4u);

    // The unit holds the image already: the question says so, and "Нет" is the answer.
    answer = false;
    form->WriteClick();
    ASSERT_EQ(questions.size(), 3);
    EXPECT_TRUE(questions[2].contains(QStringLiteral("Изменится байт: 0 ")));
    EXPECT_TRUE(questions[2].contains(QStringLiteral("ЭБУ уже содержит этот образ")));
    EXPECT_FALSE(questions[2].contains(QStringLiteral("пересчитана")));
    EXPECT_TRUE(messages.isEmpty()) << messages.join("\n").toStdString();
    EXPECT_EQ(Dump(), wanted);
}

// Enter never starts a read (which replaces the image) or a programming run; a typed port path
// confirmed with Enter only switches the port.
TEST_F(ProgFormTest, EnterInThePortAndSpeedBoxesStartsNothing) {
    const std::vector<uint8_t> wanted = SparseImage(27);
    SetImage(wanted);
    Open(PatternMemory(28), {"--awake"});
    ASSERT_TRUE(WaitLinked());
    const int logged = form->LogList->count();
    QTest::keyClick(form->Speed, Qt::Key_Return);
    QTest::keyClick(form->Speed, Qt::Key_Enter);
    EXPECT_EQ(form->LogList->count(), logged);

    const QString gone = files.filePath("gone");
    form->ComNumber->lineEdit()->setText(gone);
    QTest::keyClick(form->ComNumber->lineEdit(), Qt::Key_Return);
    QTest::qWait(100);
    EXPECT_EQ(form->ComNumber->currentText(), gone);
    ExpectPortNotFound(messages);
    form->ComNumber->lineEdit()->setText(QString::fromStdString(sim->link));
    QTest::keyClick(form->ComNumber->lineEdit(), Qt::Key_Return);
    EXPECT_TRUE(WaitLinked());

    EXPECT_EQ(ImageBytes(image), wanted);
    EXPECT_TRUE(questions.isEmpty());
    EXPECT_FALSE(Logged(form->LogList, QStringLiteral("Чтение ЭБУ")));
}

TEST_F(ProgFormTest, AfterTheUnitWasLostTheWindowLinksAgainWithoutClosing) {
    const std::vector<uint8_t> wanted = SparseImage(29);
    SetImage(wanted);
    // The line drops a few blocks into programming.
    Open(PatternMemory(30), {"--awake", "--fault", "disconnect-after=1000"});
    ASSERT_TRUE(WaitLinked());
    form->WriteClick();
    EXPECT_EQ(form->PanelMess->text(), QStringLiteral(" Ошибка программирования"));
    EXPECT_TRUE(form->ComNumber->isEnabled() && form->Speed->isEnabled());
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return form->link_stage() != prog::LinkStage::Linked; }, 5000));
    EXPECT_FALSE(form->link_lamp_green());

    // The unit on a line again, whose path the user types in: the window links and programs.
    const std::string memory = WriteFile(files.filePath("m2.bin").toStdString(), PatternMemory(31));
    const std::string dump = files.filePath("dump2.bin").toStdString();
    SimProcess second({"--awake", "--memory", memory, "--dump", dump});
    form->ComNumber->lineEdit()->setText(QString::fromStdString(second.link));
    QTest::keyClick(form->ComNumber->lineEdit(), Qt::Key_Return);
    ASSERT_TRUE(WaitLinked());
    form->WriteClick();
    EXPECT_EQ(form->PanelMess->text(), QStringLiteral(" Программирование успешно завершено"));
    form.reset();
    second.Stop();
    EXPECT_EQ(ReadFile(dump), wanted);
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
        form->LinkTimerTimeout();
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
    ExpectPortNotFound(messages);
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return form->link_stage() != prog::LinkStage::Linked; }, 5000));
    EXPECT_FALSE(form->link_lamp_green());
    EXPECT_FALSE(form->Read->isEnabled());
}

} // namespace
