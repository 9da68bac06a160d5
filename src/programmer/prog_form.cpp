#include "programmer/prog_form.h"

#include "app/error_report.h"
#include "image/firmware_image.h"
#include "programmer/com_port.h"
#include "programmer/port_names.h"
#include "programmer/protocol.h"
#include "programmer/runs.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFontMetrics>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <cstring>
#include <new>

namespace {

const QString NoLink = QStringLiteral(" Нет связи");
const QString Linked = QStringLiteral(" Связь с ЭБУ");
const QString ReadError = QStringLiteral("Ошибка чтения.");

QFrame* LoweredPanel(QWidget* parent, const QRect& geometry) {
    auto* panel = new QFrame(parent);
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setGeometry(geometry);
    return panel;
}

QTimer* MakeTimer(QObject* parent, int ms) {
    auto* t = new QTimer(parent);
    t->setInterval(ms);
    return t;
}

} // namespace

std::function<void(QWidget*, const QString&, const QString&)> TProgForm::ShowMessage =
    [](QWidget* parent, const QString& caption, const QString& text) {
        QMessageBox box(QMessageBox::Information, caption, text, QMessageBox::Ok, parent);
        box.exec();
    };

TProgForm::TProgForm(FirmwareImage& image, QWidget* parent, const QString& portName)
    : QDialog(parent), image_(image) {
    buffer_.reset(new (std::nothrow) uint8_t[prog::MemorySize]);
    if (!buffer_)
        throw std::runtime_error("Could not allocate.");
    std::memset(buffer_.get(), 0, prog::MemorySize);

    setWindowTitle(QStringLiteral("Программатор"));
    setFixedSize(265, 150);

    GroupBox1 = new QGroupBox(QStringLiteral(" COM-порт "), this);
    GroupBox1->setGeometry(0, 0, 265, 73);
    Label2 = new QLabel(QStringLiteral("Выбор COM-порта:"), GroupBox1);
    Label2->move(8, 20);
    ComNumber = new QComboBox(GroupBox1);
    ComNumber->setEditable(true); // a device path may be typed in
    ComNumber->setInsertPolicy(QComboBox::InsertAtBottom);
    ComNumber->addItems(PortNames());
    ComNumber->setToolTip(QStringLiteral("Выбор COM-порта"));
    ComNumber->setGeometry(112, 16, 89, ComNumber->sizeHint().height());
    int selected = ComNumber->findText(portName);
    if (selected < 0) {
        ComNumber->addItem(portName);
        selected = ComNumber->count() - 1;
    }
    ComNumber->setCurrentIndex(selected);
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

    PanelProgress = LoweredPanel(this, QRect(0, 112, 265, 17));
    ProgressBar = new QProgressBar(PanelProgress);
    ProgressBar->setGeometry(PanelProgress->contentsRect());
    ProgressBar->setRange(0, 255);
    ProgressBar->setValue(0);
    ProgressBar->setTextVisible(false);
    ProgressBar->setStyleSheet(QStringLiteral("QProgressBar { background: palette(button); "
                                              "border: none; } QProgressBar::chunk { "
                                              "background-color: rgb(0, 0, 128); }"));

    PanelLink = LoweredPanel(this, QRect(0, 132, 17, 17));
    PanelLink->setAutoFillBackground(true);
    PanelMess = new QLabel(this);
    PanelMess->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    PanelMess->setGeometry(20, 132, 245, 17);
    PanelMess->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    PanelMess->setText(NoLink);
    SetLamp(false);
    FitToFont();

    Timer1 = MakeTimer(this, 500);
    Timer2 = MakeTimer(this, 1000);
    Timer3 = MakeTimer(this, 500);
    Timer4 = MakeTimer(this, 1000);
    connect(Timer1, &QTimer::timeout, this, &TProgForm::Timer1Timer);
    connect(Timer2, &QTimer::timeout, this, &TProgForm::Timer2Timer);
    connect(Timer3, &QTimer::timeout, this, &TProgForm::Timer3Timer);
    connect(Timer4, &QTimer::timeout, this, &TProgForm::Timer4Timer);
    connect(ComNumber, qOverload<int>(&QComboBox::activated), this, &TProgForm::ComNumberChange);
    connect(Read, &QPushButton::clicked, this, &TProgForm::ReadClick);
    connect(Write, &QPushButton::clicked, this, &TProgForm::WriteClick);

    port_ = std::make_unique<COMPort>(
        [this](const QString& caption, const QString& text) { ShowMessage(this, caption, text); });
    port_->set_port_name(ComNumber->currentText());
    port_->open(); // on failure the port has said so; the window opens all the same
    Timer4->start();
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
          QStringLiteral(" Ошибка программирования"), QStringLiteral(" Найдено различий: 32768")})
        messageWidth = std::max(messageWidth, fm.horizontalAdvance(text));
    messageWidth += 2 * PanelMess->frameWidth() + 4;
    // The port list also shows device paths such as /dev/ttyUSB0.
    const int comboWidth = std::max(89, fm.horizontalAdvance(QStringLiteral("/dev/ttyUSB0")) + 32);
    const int width =
        std::max({265, comboX + comboWidth + 8, 8 + 2 * buttonWidth + 7 + 8, 20 + messageWidth});

    GroupBox1->setGeometry(0, 0, width, 73);
    for (QComboBox* combo : {ComNumber, Speed})
        combo->setGeometry(comboX, combo->y(), width - comboX - 8, combo->height());
    Read->setGeometry(8, 80, buttonWidth, 25);
    Write->setGeometry(8 + buttonWidth + 7, 80, buttonWidth, 25);
    PanelProgress->setGeometry(0, 112, width, 17);
    ProgressBar->setGeometry(PanelProgress->contentsRect());
    PanelMess->setGeometry(20, 132, width - 20, 17);
    setFixedSize(width, 150);
}

TProgForm::~TProgForm() {
    FormClose();
}

void TProgForm::done(int result) {
    if (busy_) {
        // A run is letting events through: stop it at the next block boundary and close
        // when it has ended, so the port and the buffer stay valid until then.
        closeRequested_ = true;
        return;
    }
    FormClose();
    QDialog::done(result);
}

void TProgForm::FormClose() {
    for (QTimer* t : {Timer1, Timer2, Timer3, Timer4})
        t->stop();
    port_.reset();
}

void TProgForm::Exchange(const std::function<void()>& body) {
    if (busy_ || !port_)
        return;
    busy_ = true;
    RunGuarded(this, body);
    busy_ = false;
    if (closeRequested_)
        QTimer::singleShot(0, this, [this] { done(QDialog::Rejected); });
}

void TProgForm::SetLamp(bool green) {
    lampGreen_ = green;
    QPalette p = PanelLink->palette();
    p.setColor(QPalette::Window, green ? QColor(0, 128, 0) : QColor(255, 0, 0));
    PanelLink->setPalette(p);
}

void TProgForm::Message(const QString& text) {
    ShowMessage(this, windowTitle(), text);
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

void TProgForm::ComNumberChange() {
    if (busy_ || !port_)
        return;
    port_->close();
    port_->set_port_name(ComNumber->currentText());
    port_->open();
}

void TProgForm::Timer4Timer() {
    Exchange([this] {
        Timer1->stop();
        if (prog::listen(*port_))
            Timer3->start();
        else
            Timer1->start();
        Timer4->stop();
    });
}

void TProgForm::Timer1Timer() {
    Exchange([this] {
        if (prog::wake_up(*port_)) {
            Timer1->stop();
            Timer3->start();
        }
    });
}

void TProgForm::Timer3Timer() {
    Exchange([this] {
        Timer3->stop();
        prog::synchronise(*port_);
        Timer2->start();
    });
}

void TProgForm::Timer2Timer() {
    Exchange([this] {
        if (prog::check_link(*port_, Speed->currentText().toInt())) {
            Read->setEnabled(true);
            Write->setEnabled(true);
            SetLamp(true);
            PanelMess->setText(Linked);
        } else {
            Read->setEnabled(false);
            Write->setEnabled(false);
            Timer1->start();
            Timer2->stop();
            SetLamp(false);
            PanelMess->setText(NoLink);
        }
    });
}

bool TProgForm::ProgressStep() {
    ProgressBar->setValue(ProgressBar->value() + 1);
    QCoreApplication::processEvents();
    return !closeRequested_;
}

void TProgForm::compare_with_image() {
    const std::size_t count = prog::count_differences(image_.Data.get(), buffer_.get());
    match_ = count == 0;
    PanelMess->setText(QStringLiteral(" Найдено различий: ") + QString::number(count));
}

TProgForm::ReadOutcome TProgForm::DoRead(bool verify) {
    disable_controls();
    Timer2->stop();
    match_ = false;
    const QString before = PanelMess->text();
    const prog::RunResult r = prog::read_memory(
        *port_, buffer_.get(), [this] { return ProgressStep(); },
        [this] { PanelMess->setText(QStringLiteral(" Чтение ЭБУ")); });
    ProgressBar->setValue(0);
    if (r == prog::RunResult::Stopped)
        return ReadOutcome::Stopped;
    if (r != prog::RunResult::Ok) {
        // No answer, or a block that did not arrive whole: the image stays as it was, and
        // the line no longer says that a read is going on.
        PanelMess->setText(before);
        Message(ReadError);
        enable_controls();
        return ReadOutcome::Failed;
    }
    compare_with_image();
    enable_controls();
    if (!verify) {
        std::memcpy(image_.Data.get(), buffer_.get(), prog::MemorySize);
        image_.Loaded = true; // every block of the read arrived whole
        image_.Complete = true;
        image_.DecodeIdent();
    }
    Timer2->start();
    return ReadOutcome::Ok;
}

void TProgForm::ReadClick() {
    Exchange([this] { DoRead(false); });
}

void TProgForm::WriteClick() {
    Exchange([this] { DoWrite(); });
}

void TProgForm::DoWrite() {
    disable_controls();
    Timer2->stop();
    // After a failed protection or erase step polling restarts, as after a failed block, so
    // the user can try again once the link is checked.
    if (!prog::protection_step(*port_)) {
        Message(QStringLiteral("Ошибка защиты."));
        Timer2->start();
        return;
    }
    if (!prog::erase_all(*port_)) {
        Message(QStringLiteral("Error while erasing."));
        Timer2->start();
        return;
    }
    PanelMess->setText(QStringLiteral(" Программирование ЭБУ"));
    for (int region = 0; region < prog::RegionCount; ++region) {
        const prog::RunResult r = prog::program_region(*port_, image_.Data.get(), region,
                                                       [this] { return ProgressStep(); });
        if (r == prog::RunResult::Stopped) {
            Message(QStringLiteral("Программирование прервано: в ЭБУ записана только часть "
                                   "программы."));
            return;
        }
        if (r != prog::RunResult::Ok) {
            PanelMess->setText(QStringLiteral(" Ошибка программирования"));
            Timer2->start();
            return;
        }
    }
    ProgressBar->setValue(0);
    // The verifying read compares the unit with the image but leaves the image alone: when
    // they differ, the image is what the user still wants in the unit.
    if (DoRead(true) == ReadOutcome::Stopped) {
        // Every block went out, but nobody knows what the unit holds: say so.
        Message(QStringLiteral("Проверка прервана: записанная в ЭБУ программа не проверена."));
        return;
    }
    enable_controls();
    PanelMess->setText(match_ ? QStringLiteral(" Программирование успешно завершено")
                              : QStringLiteral(" Ошибка сравнения"));
    Timer2->start();
}
