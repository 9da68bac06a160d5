#include "programmer/view/prog_form.h"

#include "programmer/view/program_failure.h"
#include "programmer/view/run_progress_bar.h"

#include "image/codepage.h"
#include "image/firmware_image.h"
#include "maps/image_compare.h"
#include "programmer/bring_up_intervals.h"
#include "programmer/port/com_port.h"
#include "programmer/port/port_names.h"
#include "programmer/port_choice.h"
#include "programmer/preflight.h"
#include "programmer/protocol.h"
#include "programmer/unit_backup.h"
#include "ui/error_report.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <cstring>
#include <ctime>
#include <new>

namespace {

const QString NoLink = QStringLiteral(" Нет связи");
const QString Linked = QStringLiteral(" Связь с ЭБУ");
const QString ReadError = QStringLiteral("Ошибка чтения.");
const QString Reading = QStringLiteral(" Чтение ЭБУ");
const QString WaitingForQuiet = QStringLiteral(" Ожидание: ЭБУ ещё передаёт данные");
const QString MustFinish = QStringLiteral(" Дождитесь окончания программирования");
const QString PortErrorCaption = QStringLiteral("Ошибка порта");
const QString NoPort = QStringLiteral(" Порт не выбран");
const QString NoPortHint =
    QStringLiteral("Порт не выбран: подключите USB-адаптер и выберите его в списке или введите "
                   "путь к устройству. Что мешает открыть порт, покажет команда «velmaris-cli "
                   "ports».");
const QString NoAnswerHint =
    QStringLiteral("ЭБУ не отвечает 10 секунд. Проверьте: включено ли зажигание, подключён ли "
                   "адаптер к этому порту, цел ли кабель; «velmaris-cli ports» покажет порты "
                   "системы.");

// The port to start on (see prog::StartPort); on Linux a remembered "COM1".."COM4" is the old
// programs' default, not the user's choice, and is passed over.
QString ChooseStartPort(const QString& remembered, const QStringList& offered) {
    std::string kept = remembered.toStdString();
#ifndef Q_OS_WIN
    if (prog::IsComAlias(kept))
        kept.clear();
#endif
    std::vector<std::string> names;
    for (const QString& name : offered)
        names.push_back(name.toStdString());
    return QString::fromStdString(prog::StartPort(kept, names));
}

// Lines of the log the window shows without scrolling.
constexpr int LogLines = 8;

QString RefusalText(prog::PreflightRefusal refusal) {
    switch (refusal) {
    case prog::PreflightRefusal::NotLoaded:
        return QStringLiteral("файл не открыт и ЭБУ не прочитан: в образе нет данных");
    case prog::PreflightRefusal::Incomplete:
        return QStringLiteral("образ загружен не полностью: недостающие байты были бы "
                              "записаны нулями");
    case prog::PreflightRefusal::Blank:
        return QStringLiteral("образ пуст: область программы 0x0000..0x5FEF заполнена только "
                              "0x00 или только 0xFF");
    case prog::PreflightRefusal::ChecksumMismatch:
        return QStringLiteral("контрольная сумма калибровок не совпадает с данными");
    }
    return QString();
}

QString Hex4(uint16_t value) {
    return QStringLiteral("0x") + QString::number(value, 16).toUpper().rightJustified(4, '0');
}

QFrame* LoweredPanel(QWidget* parent, const QRect& geometry) {
    auto* panel = new QFrame(parent);
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setGeometry(geometry);
    return panel;
}

// The image's 32 KB as they stand now.
std::vector<uint8_t> ImageBytes(const FirmwareImage& image) {
    return {image.Bytes(), image.Bytes() + FirmwareImage::Size};
}

} // namespace

std::function<void(QWidget*, QMessageBox::Icon, const QString&, const QString&)>
    TProgForm::ShowMessage =
        [](QWidget* parent, QMessageBox::Icon icon, const QString& caption, const QString& text) {
            QMessageBox box(icon, caption, text, QMessageBox::Ok, parent);
            box.exec();
        };

std::function<bool(QWidget*, QMessageBox::Icon, const QString&, const QString&)>
    TProgForm::AskConfirm =
        [](QWidget* parent, QMessageBox::Icon icon, const QString& caption, const QString& text) {
            QMessageBox box(icon, caption, text, QMessageBox::NoButton, parent);
            QPushButton* yes = box.addButton(QStringLiteral("Да"), QMessageBox::YesRole);
            QPushButton* no = box.addButton(QStringLiteral("Нет"), QMessageBox::NoRole);
            box.setDefaultButton(no); // Enter alone never erases a unit
            box.setEscapeButton(no);
            box.exec();
            return box.clickedButton() == yes;
        };

TProgForm::TProgForm(FirmwareImage& image, QWidget* parent, const QString& portName,
                     const QString& currentFile)
    : QDialog(parent), image_(image), currentFile_(currentFile) {
    buffer_.reset(new (std::nothrow) uint8_t[prog::MemorySize]);
    if (!buffer_)
        throw std::runtime_error("Could not allocate.");
    std::memset(buffer_.get(), 0, prog::MemorySize);

    setWindowTitle(QStringLiteral("Программатор"));

    GroupBox1 = new QGroupBox(QStringLiteral(" COM-порт "), this);
    GroupBox1->setGeometry(0, 0, 265, 73);
    Label2 = new QLabel(QStringLiteral("Выбор COM-порта:"), GroupBox1);
    Label2->move(8, 20);
    ComNumber = new QComboBox(GroupBox1);
    ComNumber->setEditable(true); // a device path may be typed in
    ComNumber->setInsertPolicy(QComboBox::InsertAtBottom);
    const QStringList offered = PortNames();
    ComNumber->addItems(offered);
    // Stable names are long: the list opens as wide as its longest name.
    int widest = 0;
    for (int i = 0; i < ComNumber->count(); ++i)
        widest =
            std::max(widest, ComNumber->fontMetrics().horizontalAdvance(ComNumber->itemText(i)));
    ComNumber->view()->setMinimumWidth(widest + 32);
    ComNumber->setToolTip(QStringLiteral("Выбор COM-порта"));
    ComNumber->setGeometry(112, 16, 89, ComNumber->sizeHint().height());
    const QString startPort = ChooseStartPort(portName, offered);
    int selected = ComNumber->findText(startPort);
    if (selected < 0 && !startPort.isEmpty()) {
        ComNumber->addItem(startPort);
        selected = ComNumber->count() - 1;
    }
    ComNumber->setCurrentIndex(selected); // none: an empty box to choose or type into
    Label5 = new QLabel(QStringLiteral("Скорость (бит/с):"), GroupBox1);
    Label5->move(8, 44);
    Speed = new QComboBox(GroupBox1);
    Speed->addItems({QStringLiteral("9600"), QStringLiteral("19200")});
    Speed->setGeometry(112, 40, 89, Speed->sizeHint().height());
    Speed->setCurrentIndex(1);

    Read = new QPushButton(QStringLiteral("Чтение"), this);
    Read->setGeometry(8, 80, 121, 25);
    Write = new QPushButton(QStringLiteral("Программирование"), this);
    Write->setGeometry(136, 80, 121, 25);
    Read->setEnabled(false);
    Write->setEnabled(false);
    // No default button: Enter in the port or speed box must never start a read (which
    // replaces the image) or a programming run. Enter there only confirms a typed port.
    for (QPushButton* button : {Read, Write}) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }
    Backup = new QCheckBox(QStringLiteral("Сохранить копию ЭБУ перед программированием"), this);
    Backup->setChecked(true);
    Backup->setToolTip(QStringLiteral("Перед стиранием ЭБУ читается, его содержимое "
                                      "сохраняется (.bin и .hex) в папке backups рядом с файлом"));
    LogList = new QListWidget(this);
    LogList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    LogList->setSelectionMode(QAbstractItemView::NoSelection);
    LogList->setFocusPolicy(Qt::NoFocus);
    // A long line (a backup path, a port error) wraps instead of running off the edge.
    LogList->setWordWrap(true);
    LogList->setTextElideMode(Qt::ElideNone);
    LogList->setResizeMode(QListView::Adjust);
    LogList->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    PanelProgress = LoweredPanel(this, QRect(0, 112, 265, 17));
    ProgressBar = new RunProgressBar(PanelProgress);
    ProgressBar->setGeometry(PanelProgress->contentsRect());
    ProgressBar->setRange(0, 255);
    ProgressBar->setValue(0);

    PanelLink = LoweredPanel(this, QRect(0, 132, 17, 17));
    PanelLink->setAutoFillBackground(true);
    PanelMess = new QLabel(this);
    PanelMess->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    PanelMess->setGeometry(20, 132, 245, 17);
    PanelMess->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    PanelMess->setText(NoLink);
    SetLamp(false);
    FitToFont();

    LinkTimer = new QTimer(this);
    LinkTimer->setSingleShot(true);
    connect(LinkTimer, &QTimer::timeout, this, &TProgForm::LinkTimerTimeout);
    // The box reports Enter on a typed path twice (return pressed, then editing finished):
    // the port changes once, after both.
    connect(ComNumber, qOverload<int>(&QComboBox::activated), this, [this] {
        if (portChangePending_)
            return;
        portChangePending_ = true;
        QTimer::singleShot(0, this, [this] {
            portChangePending_ = false;
            ComNumberChange();
        });
    });
    connect(Read, &QPushButton::clicked, this, &TProgForm::ReadClick);
    connect(Write, &QPushButton::clicked, this, &TProgForm::WriteClick);

    port_ = std::make_unique<COMPort>([this](const QString& caption, const QString& text) {
        Log(caption + QStringLiteral(": ") + text);
        if (holdPortReports_)
            portReasons_ << text;
        else if (failureLine_.isEmpty()) // a failed run's message already asked to check the line
            ShowMessage(this, QMessageBox::Warning, caption, text);
    });
    if (ComNumber->currentText().isEmpty()) {
        PanelMess->setText(NoPort);
        Log(NoPortHint);
        return;
    }
    port_->set_port_name(ComNumber->currentText());
    if (port_->open()) // on failure the port has said so; the window opens all the same
        Log(QStringLiteral("Порт %1 открыт").arg(ComNumber->currentText()));
    StartBringUp();
}

// The layout above is drawn for a narrow 8-point font. Where the system font is wider, the
// combo boxes move right of their labels, the buttons and the message line widen, and the
// window grows with them, so no caption, typed port path or result line is cut off.
void TProgForm::FitToFont() {
    const QFontMetrics fm = fontMetrics();
    const int labelsRight = Label2->x() + std::max(fm.horizontalAdvance(Label2->text()),
                                                   fm.horizontalAdvance(Label5->text()));
    const int comboX = std::max(112, labelsRight + 6);
    const int buttonWidth = std::max({121, Read->sizeHint().width(), Write->sizeHint().width()});
    int messageWidth = 0;
    for (const QString& text :
         {QStringLiteral(" Программирование успешно завершено"),
          QStringLiteral(" Ошибка программирования"), QStringLiteral(" Найдено различий: 32768"),
          WaitingForQuiet, MustFinish})
        messageWidth = std::max(messageWidth, fm.horizontalAdvance(text));
    messageWidth += 2 * PanelMess->frameWidth() + 4;
    // The port list also shows device paths such as /dev/ttyUSB0.
    const int comboWidth = std::max(89, fm.horizontalAdvance(QStringLiteral("/dev/ttyUSB0")) + 32);
    const int width = std::max({265, comboX + comboWidth + 8, 8 + 2 * buttonWidth + 7 + 8,
                                20 + messageWidth, 8 + Backup->sizeHint().width() + 8});

    comboX_ = comboX;
    buttonWidth_ = buttonWidth;
    const int checkHeight = std::max(17, Backup->sizeHint().height());
    const int logHeight = LogLines * fm.lineSpacing() + 2 * LogList->frameWidth() + 4;
    // The smallest window that shows every control whole; the window may grow from there, the
    // log taking the extra height and every line the extra width.
    const int height = 112 + checkHeight + 4 + logHeight + 3 + 38;
    setMinimumSize(width, height);
    resize(width, height);
    Place();
}

void TProgForm::Place() {
    const int w = width();
    GroupBox1->setGeometry(0, 0, w, 73);
    for (QComboBox* combo : {ComNumber, Speed})
        combo->setGeometry(comboX_, combo->y(), w - comboX_ - 8, combo->height());
    Read->setGeometry(8, 80, buttonWidth_, 25);
    Write->setGeometry(8 + buttonWidth_ + 7, 80, buttonWidth_, 25);
    // Under the buttons the backup choice and the log; the progress bar, the lamp and the
    // status line stay at the bottom, as designed.
    const int checkHeight = std::max(17, Backup->sizeHint().height());
    Backup->setGeometry(8, 112, w - 16, checkHeight);
    const int logTop = 112 + checkHeight + 4;
    const int progressTop = height() - 38;
    LogList->setGeometry(0, logTop, w, progressTop - 3 - logTop);
    PanelProgress->setGeometry(0, progressTop, w, 17);
    ProgressBar->setGeometry(PanelProgress->contentsRect());
    PanelLink->move(0, progressTop + 20);
    PanelMess->setGeometry(20, progressTop + 20, w - 20, 17);
}

void TProgForm::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    Place();
}

TProgForm::~TProgForm() {
    FormClose();
}

void TProgForm::done(int result) {
    if (busy_ && committed_) {
        // Erasing has begun: stopping now would leave a unit that cannot run. The run goes on
        // to its end (programming and verify), and the window stays open to show the result.
        PanelMess->setText(MustFinish);
        if (!mustFinishSaid_)
            Log(QStringLiteral("Закрыть окно нельзя: программирование должно завершиться"));
        mustFinishSaid_ = true;
        return;
    }
    if (busy_) {
        // A read is letting events through: stop it at the next block boundary and close
        // when it has ended, so the port and the buffer stay valid until then.
        closeRequested_ = true;
        return;
    }
    FormClose();
    QDialog::done(result);
}

void TProgForm::FormClose() {
    LinkTimer->stop();
    port_.reset();
}

bool TProgForm::Exchange(const std::function<void()>& body) {
    if (busy_ || !port_)
        return false;
    busy_ = true;
    RunGuarded(this, [&] {
        try {
            body();
        } catch (const std::exception& e) {
            Log(QString::fromUtf8(e.what())); // and shown by the error report
            throw;
        }
    });
    busy_ = false;
    committed_ = false;
    if (closeRequested_)
        QTimer::singleShot(0, this, [this] { done(QDialog::Rejected); });
    return true;
}

void TProgForm::SetLamp(bool green) {
    lampGreen_ = green;
    QPalette p = PanelLink->palette();
    p.setColor(QPalette::Window, green ? QColor(0, 128, 0) : QColor(255, 0, 0));
    PanelLink->setPalette(p);
}

void TProgForm::Message(const QString& text, QMessageBox::Icon icon) {
    Log(text);
    const QString reasons = TakePortReasons();
    ShowMessage(this, icon, windowTitle(),
                reasons.isEmpty() ? text : text + QStringLiteral("\n\nПричина: ") + reasons);
}

QString TProgForm::TakePortReasons() {
    const QString text = portReasons_.join(QLatin1Char('\n'));
    portReasons_.clear();
    return text;
}

void TProgForm::Log(const QString& text) {
    const QString line =
        QDateTime::currentDateTime().toString(QStringLiteral("HH:mm:ss  ")) + text.simplified();
    LogList->addItem(line);
    LogList->item(LogList->count() - 1)->setToolTip(line); // a long path is read in full there
    LogList->scrollToBottom();
}

void TProgForm::enable_controls() {
    for (QWidget* w : {static_cast<QWidget*>(Read), static_cast<QWidget*>(Write),
                       static_cast<QWidget*>(ComNumber), static_cast<QWidget*>(Speed)})
        w->setEnabled(true);
}

void TProgForm::disable_controls() {
    for (QWidget* w : {static_cast<QWidget*>(Read), static_cast<QWidget*>(Write),
                       static_cast<QWidget*>(ComNumber), static_cast<QWidget*>(Speed)})
        w->setEnabled(false);
}

void TProgForm::EnableAfterFailure() {
    Read->setEnabled(false);
    Write->setEnabled(false);
    ComNumber->setEnabled(true);
    Speed->setEnabled(true);
    ResumeLinkChecks();
}

void TProgForm::StartBringUp() {
    Read->setEnabled(false);
    Write->setEnabled(false);
    SetLamp(false);
    linkUp_ = false;
    if (failureLine_.isEmpty())
        PanelMess->setText(NoLink);
    bringUp_.Restart();
    LinkTimer->start(0);
}

void TProgForm::ResumeLinkChecks() {
    LinkTimer->start(prog::CheckDelayMs);
}

// Another port, or the same one again after it was lost: it is reopened and the link is
// brought up from the beginning, as the unit on it may be in any state.
void TProgForm::ComNumberChange() {
    if (busy_ || !port_)
        return;
    port_->close();
    if (ComNumber->currentText().isEmpty()) {
        LinkTimer->stop();
        linkUp_ = false;
        SetLamp(false);
        PanelMess->setText(NoPort);
        Log(NoPortHint);
        return;
    }
    port_->set_port_name(ComNumber->currentText());
    if (port_->open())
        Log(QStringLiteral("Порт %1 открыт").arg(ComNumber->currentText()));
    unitRead_ = false;
    StartBringUp();
}

void TProgForm::LinkTimerTimeout() {
    Exchange([this] {
        // The line went away (the unit's adapter or the unit itself gone during a run): the
        // device is opened afresh until it is back, so the same image can be programmed
        // again without closing the window.
        if (!port_->usable()) {
            if (!port_->reopen()) {
                LinkTimer->start(prog::WakeIntervalMs);
                return;
            }
            Log(QStringLiteral("Порт %1 открыт").arg(port_->port_name()));
            bringUp_.Restart();
        }
        bringUp_.set_speed(Speed->currentText().toInt());
        const prog::LinkStage before = bringUp_.stage();
        const prog::LinkStep step = bringUp_.Advance(*port_);
        ShowLinkStep(step, before);
        LinkTimer->start(step.nextInMs);
    });
}

void TProgForm::ShowLinkStep(const prog::LinkStep& step, prog::LinkStage before) {
    const prog::LinkStage stage = bringUp_.stage();
    if (stage == prog::LinkStage::WaitingForQuiet && before != stage) {
        // A unit still sending the rest of a read that was stopped (its window closed
        // half-way): nothing is sent into the stream until it has finished.
        Log(WaitingForQuiet);
        PanelMess->setText(WaitingForQuiet);
    } else if (before == prog::LinkStage::WaitingForQuiet && stage != before &&
               failureLine_.isEmpty()) {
        PanelMess->setText(NoLink);
    }
    if (step.hint)
        Log(NoAnswerHint);
    if (step.cameUp)
        Log(QStringLiteral("Связь с ЭБУ установлена (%1 бит/с)").arg(Speed->currentText()));
    if (step.lost)
        Log(QStringLiteral("Связь с ЭБУ потеряна"));
    if (bringUp_.linked()) {
        linkUp_ = true;
        Read->setEnabled(true);
        Write->setEnabled(true);
        // A failed run's red lamp and result line stay until the next run.
        if (failureLine_.isEmpty()) {
            SetLamp(true);
            if (resultLine_.isEmpty())
                PanelMess->setText(Linked);
        }
    } else if (step.lost || linkUp_) {
        linkUp_ = false;
        Read->setEnabled(false);
        Write->setEnabled(false);
        SetLamp(false);
        resultLine_.clear();
        if (failureLine_.isEmpty())
            PanelMess->setText(NoLink);
    }
}

void TProgForm::StartProgress(const QString& phase, int steps) {
    phase_ = phase;
    progress_.Start(steps);
    ProgressBar->setValue(0);
    ProgressBar->SetCaption(phase_);
}

void TProgForm::EndProgress() {
    ProgressBar->setValue(0);
    ProgressBar->SetCaption(QString());
}

bool TProgForm::ProgressStep() {
    progress_.Step();
    ProgressBar->setValue(std::min(progress_.done(), ProgressBar->maximum()));
    QString caption = QStringLiteral("%1: %2 %").arg(phase_).arg(progress_.Percent());
    if (progress_.Percent() < 100)
        caption += QStringLiteral(", осталось ") +
                   QString::fromStdString(prog::MinutesSeconds(progress_.SecondsLeft()));
    ProgressBar->SetCaption(caption);
    QCoreApplication::processEvents();
    return committed_ || !closeRequested_;
}

void TProgForm::compare_with_image() {
    const std::size_t count = prog::count_differences(image_.Bytes(), buffer_.get());
    match_ = count == 0;
    ShowResult(QStringLiteral(" Найдено различий: ") + QString::number(count));
}

TProgForm::ReadOutcome TProgForm::ReadUnit() {
    unitRead_ = false;
    const QString before = PanelMess->text();
    StartProgress(QStringLiteral("Чтение"), static_cast<int>(prog::BlockCount));
    const prog::RunResult r = prog::read_memory(
        *port_, buffer_.get(), [this] { return ProgressStep(); },
        [this] { PanelMess->setText(Reading); });
    EndProgress();
    if (r == prog::RunResult::Stopped) {
        Log(QStringLiteral("Чтение прервано: окно закрывается"));
        return ReadOutcome::Stopped;
    }
    if (r != prog::RunResult::Ok) {
        // No answer, or a block that did not arrive whole: the line no longer says that a
        // read is going on.
        PanelMess->setText(before);
        Message(ReadError);
        return ReadOutcome::Failed;
    }
    unitRead_ = true;
    lastRead_.assign(buffer_.get(), buffer_.get() + FirmwareImage::Size);
    return ReadOutcome::Ok;
}

void TProgForm::ReadClick() {
    if (Exchange([this] {
            holdPortReports_ = true;
            DoRead();
        }))
        EndRun();
}

void TProgForm::WriteClick() {
    if (Exchange([this] {
            holdPortReports_ = true;
            DoWrite();
        }))
        EndRun();
}

void TProgForm::EndRun() {
    holdPortReports_ = false;
    // Reports that no failure message took along (a run that went well after all).
    if (!portReasons_.isEmpty()) {
        const QString text = portReasons_.join(QLatin1Char('\n'));
        portReasons_.clear();
        ShowMessage(this, QMessageBox::Warning, PortErrorCaption, text);
    }
}

// A new run: a failure the last one left is no longer what the lamp and the line say.
void TProgForm::ClearFailure() {
    resultLine_.clear();
    if (failureLine_.isEmpty())
        return;
    failureLine_.clear();
    SetLamp(linkUp_);
}

// The result of a read or a run stays on the line until the next one (or until the link is
// lost), instead of giving way to "Связь с ЭБУ" at the next link check.
void TProgForm::ShowResult(const QString& line) {
    resultLine_ = line;
    PanelMess->setText(line);
    Log(line);
}

void TProgForm::DoRead() {
    ClearFailure();
    disable_controls();
    LinkTimer->stop();
    match_ = false;
    Log(QStringLiteral("Чтение ЭБУ"));
    const ReadOutcome outcome = ReadUnit();
    if (outcome == ReadOutcome::Stopped)
        return;
    enable_controls();
    if (outcome == ReadOutcome::Failed)
        return; // the image stays as it was; polling waits for a read that succeeds
    compare_with_image();
    Edit("Чтение ЭБУ", [this] { image_.ReplaceData(buffer_.get()); });
    image_.Loaded = true; // every block of the read arrived whole
    image_.Complete = true;
    imageFromUnit_ = true;
    imageReadAt_ = QDateTime::currentDateTime();
    ResumeLinkChecks();
}

bool TProgForm::PreflightPasses(std::vector<uint8_t>& refreshed) {
    std::vector<prog::PreflightRefusal> reasons = prog::preflight_check(image_);
    // The checksum is computed afresh, as saving does; the other reasons refuse.
    reasons.erase(
        std::remove(reasons.begin(), reasons.end(), prog::PreflightRefusal::ChecksumMismatch),
        reasons.end());
    if (reasons.empty()) {
        // The image itself takes the fresh checksum only once the user has said "Да".
        const std::unique_ptr<FirmwareImage> scratch = FirmwareImage::FromBytes(image_.Bytes());
        scratch->UpdateChecksum();
        refreshed = ImageBytes(*scratch);
        return true;
    }
    QString text = QStringLiteral("Программирование невозможно, ЭБУ не изменён:");
    for (prog::PreflightRefusal reason : reasons)
        text += QStringLiteral("\n- ") + RefusalText(reason) + QLatin1Char('.');
    Message(text);
    return false;
}

bool TProgForm::ConfirmProgramming(const std::vector<uint8_t>& refreshed) {
    auto ident = [](const char* text) { return QString::fromStdString(Cp1251ToUtf8(text)); };
    QString file = currentFile_.isEmpty()
                       ? QStringLiteral("не открыт")
                       : QDir::toNativeSeparators(QFileInfo(currentFile_).absoluteFilePath());
    if (imageFromUnit_)
        file += QStringLiteral(" (в образ прочитано содержимое ЭБУ)");
    const uint16_t stored = image_.StoredChecksum();
    const uint16_t fresh = static_cast<uint16_t>(refreshed[ChecksumBytes().first] |
                                                 refreshed[ChecksumBytes().first + 1] << 8);
    QString text =
        QStringLiteral("Стереть ЭБУ и записать в него образ?\n\n"
                       "Файл: %1\nТип блока управления: %2\nИдентификатор программы: %3\n"
                       "Контрольная сумма: %4\n")
            .arg(file, ident(image_.EcuType), ident(image_.ProgIdent), Hex4(fresh));
    if (fresh != stored)
        text += QStringLiteral("Контрольная сумма пересчитана: %1 → %2 (в образ она запишется "
                               "при ответе «Да»)\n")
                    .arg(Hex4(stored), Hex4(fresh));
    if (unitRead_) {
        const std::size_t changing = prog::count_differences(refreshed.data(), buffer_.get());
        text += QStringLiteral("Изменится байт: %1 (по сравнению с последним чтением ЭБУ)")
                    .arg(changing);
        if (changing == 0)
            text += QStringLiteral("\nЭБУ уже содержит этот образ: программировать его "
                                   "незачем.");
        for (const std::string& line :
             DifferenceSummary(CompareImages(refreshed.data(), buffer_.get(), image_.UseO2Maps)))
            text += QStringLiteral("\n  ") + QString::fromStdString(line);
    } else
        text += QStringLiteral("ЭБУ в этом окне не читался: число изменяемых байт неизвестно.");
    return AskConfirm(this, QMessageBox::Warning, windowTitle(), text);
}

QString TProgForm::BackupFolder() const {
    const QString beside = currentFile_.isEmpty()
                               ? QDir::currentPath()
                               : QFileInfo(currentFile_).absoluteDir().absolutePath();
    return QDir(beside).filePath(QStringLiteral("backups"));
}

bool TProgForm::SaveBackup() {
    const QString folder = BackupFolder();
    try {
        const std::string base = prog::save_unit_backup(
            buffer_.get(), QFile::encodeName(folder).toStdString(), std::time(nullptr));
        const QString path = QDir::toNativeSeparators(QFile::decodeName(base.c_str()));
        Log(QStringLiteral("Резервная копия ЭБУ сохранена: %1.bin, %1.hex").arg(path));
        lastBackup_ = path + QStringLiteral(".bin");
        return true;
    } catch (const std::exception& e) {
        Message(QStringLiteral("Не удалось сохранить резервную копию ЭБУ в папке %1: %2\n"
                               "Программирование не начато, ЭБУ не изменён.")
                    .arg(QDir::toNativeSeparators(folder), QString::fromUtf8(e.what())));
        return false;
    }
}

void TProgForm::DoWrite() {
    std::vector<uint8_t> refreshed;
    if (!PreflightPasses(refreshed))
        return;
    ClearFailure();
    match_ = false;
    mustFinishSaid_ = false;
    lastBackup_.clear();
    // The backup comes first: the question can then say exactly what changes in the unit.
    if (Backup->isChecked()) {
        disable_controls();
        LinkTimer->stop();
        Log(QStringLiteral("Резервная копия: чтение ЭБУ"));
        const ReadOutcome outcome = ReadUnit();
        if (outcome == ReadOutcome::Stopped)
            return;
        if (outcome == ReadOutcome::Failed || !SaveBackup()) {
            Log(QStringLiteral("Программирование не начато: без резервной копии ЭБУ не "
                               "стирается"));
            EnableAfterFailure();
            return;
        }
        resultLine_.clear(); // the backup's read is no result of its own
        PanelMess->setText(Linked);
    }
    if (!ConfirmProgramming(refreshed)) {
        Log(QStringLiteral("Программирование отменено"));
        enable_controls();
        ResumeLinkChecks();
        return;
    }
    const uint16_t stored = image_.StoredChecksum();
    Edit("Контрольная сумма", [this] { image_.UpdateChecksum(); });
    if (image_.StoredChecksum() != stored)
        Log(QStringLiteral("Контрольная сумма обновлена: %1 -> %2")
                .arg(Hex4(stored), Hex4(image_.StoredChecksum())));
    disable_controls();
    LinkTimer->stop();
    RunProgramming(ImageBytes(image_));
}

void TProgForm::RunProgramming(const std::vector<uint8_t>& bytes) {
    for (;;) {
        const prog::ProgramReport report = prog::program_image(
            *port_, bytes.data(), buffer_.get(), [this] { return ProgressStep(); },
            [this](prog::ProgramPhase phase) { ShowPhase(phase); });
        committed_ = false;
        if (!ShowProgramReport(report, bytes))
            return;
        Log(QStringLiteral("Повторное программирование"));
        mustFinishSaid_ = false;
        failureLine_.clear();
        disable_controls();
        LinkTimer->stop();
    }
}

void TProgForm::ShowPhase(prog::ProgramPhase phase) {
    switch (phase) {
    case prog::ProgramPhase::Protection:
        Log(QStringLiteral("Снятие защиты"));
        break;
    case prog::ProgramPhase::Erasing:
        committed_ = true; // from here on the run goes on to its end
        StartProgress(QStringLiteral("Стирание"), 0);
        PanelMess->setText(QStringLiteral(" Стирание ЭБУ"));
        Log(PanelMess->text());
        break;
    case prog::ProgramPhase::Programming:
        StartProgress(QStringLiteral("Программирование"), static_cast<int>(prog::BlockCount));
        PanelMess->setText(QStringLiteral(" Программирование ЭБУ"));
        Log(PanelMess->text());
        break;
    case prog::ProgramPhase::Verifying:
        StartProgress(QStringLiteral("Проверка"), static_cast<int>(prog::BlockCount));
        PanelMess->setText(Reading);
        Log(QStringLiteral("Проверка: чтение ЭБУ"));
        break;
    }
}

bool TProgForm::ShowProgramReport(const prog::ProgramReport& report,
                                  const std::vector<uint8_t>& bytes) {
    EndProgress(); // the result line says where the run stopped
    // The verifying read leaves the image alone: when they differ, the image is what the
    // user still wants in the unit.
    unitRead_ =
        report.state == prog::UnitState::Programmed || report.state == prog::UnitState::Differs;
    if (unitRead_)
        lastRead_.assign(buffer_.get(), buffer_.get() + FirmwareImage::Size);
    if (report.state == prog::UnitState::Programmed) {
        match_ = true;
        enable_controls();
        ShowResult(QStringLiteral(" Программирование успешно завершено"));
        ResumeLinkChecks();
        return false;
    }
    // The programmed bytes, decoded with the image's map set, name the differing bytes.
    const std::unique_ptr<FirmwareImage> programmed =
        FirmwareImage::FromBytes(bytes.data(), image_.UseO2Maps);
    const ProgramFailureNotice notice =
        DescribeProgramFailure(report, *programmed, buffer_.get(), lastBackup_, TakePortReasons());
    failureLine_ = notice.line;
    SetLamp(false);
    PanelMess->setText(failureLine_);
    Log(notice.text);
    if (report.state == prog::UnitState::Untouched || report.state == prog::UnitState::Erased ||
        report.state == prog::UnitState::PartlyProgrammed)
        EnableAfterFailure();
    else
        enable_controls();
    ResumeLinkChecks();
    if (notice.asksToProgramAgain)
        return AskConfirm(this, notice.icon, windowTitle(), notice.text);
    ShowMessage(this, notice.icon, windowTitle(), notice.text);
    return false;
}
