#include "programmer/port/com_port.h"

#include "programmer/port/port_names.h"
#include "programmer/port_doctor.h"
#include "programmer/timer.h"

#include <QFile>
#include <QSerialPort>
#include <algorithm>
#include <chrono>
#include <thread>
#include <utility>

namespace {

// Why the device could not be opened: the heading, and what stands in the way on lines of
// their own after it. Only a device that is not there is said not to be found; a port another
// program holds is said to be busy, and any other refusal gives the system's reason.
QString OpenFailure(const QString& device, const QString& systemReason) {
    const QString missing = QStringLiteral("Не удается найти указанный порт.");
#ifdef Q_OS_WIN
    Q_UNUSED(device);
    Q_UNUSED(systemReason);
    return missing;
#else
    // The diagnosis only adds to the message: a failure of its own leaves the message as is.
    try {
        const portdoc::PortReport report = portdoc::DiagnosePort(
            portdoc::PortSystem::Real(), QFile::encodeName(device).toStdString());
        const std::string text = portdoc::DiagnosisText(report);
        QString heading = missing;
        if (report.present && !report.holders.empty())
            heading = QStringLiteral("Не удается открыть порт %1: он занят другой программой.")
                          .arg(device);
        else if (report.present)
            heading = QStringLiteral("Не удается открыть порт %1 (%2).").arg(device, systemReason);
        return text.empty() ? heading
                            : heading + QStringLiteral("\n\n") + QString::fromStdString(text);
    } catch (const std::exception&) {
        return missing;
    }
#endif
}

} // namespace

COMPort::COMPort(Reporter reporter)
    : reporter_(std::move(reporter)), port_(std::make_unique<QSerialPort>()) {}

COMPort::~COMPort() {
    close();
}

void COMPort::set_port_number(int number) {
    set_port_name(QStringLiteral("COM%1").arg(std::clamp(number, 0, 3) + 1));
}

bool COMPort::open() {
    if (open_)
        return true;
    lastReported_.clear();
    lost_ = false;
    port_->setPortName(DeviceForPortName(name_));
    // QSerialPort opens the device exclusively (lock file and TIOCEXCL).
    if (!port_->open(QIODevice::ReadWrite)) {
        const QString reason = port_->errorString();
        port_->clearError();
        if (reporter_)
            reporter_(QStringLiteral("Ошибка"), OpenFailure(DeviceForPortName(name_), reason));
        return false;
    }
    // A failed line setting is reported and opening goes on, as the port may still work.
    if (!port_->setBaudRate(speed_) || !port_->setDataBits(QSerialPort::Data8) ||
        !port_->setParity(QSerialPort::NoParity) || !port_->setStopBits(QSerialPort::OneStop) ||
        !port_->setFlowControl(QSerialPort::NoFlowControl))
        report_last_error();
    // DTR and RTS power the line adapter. Devices without modem lines (pseudo-terminals,
    // some adapters) refuse them; that is no reason to stop, nor worth a message.
    port_->setDataTerminalReady(true);
    port_->setRequestToSend(true);
    port_->clearError();
    open_ = true;
    purge();
    return true;
}

bool COMPort::reopen() {
    close();
    const Reporter reporter = std::exchange(reporter_, Reporter());
    const bool opened = open();
    reporter_ = reporter;
    return opened;
}

void COMPort::close() {
    if (!open_)
        return;
    if (!port_->isOpen()) { // the device went away and the port closed itself
        open_ = false;
        return;
    }
    purge();
    port_->close();
    if (port_->error() != QSerialPort::NoError && port_->isOpen()) {
        report_last_error();
        return;
    }
    port_->clearError();
    open_ = false;
}

void COMPort::set_speed(int bitsPerSecond) {
    speed_ = bitsPerSecond;
    if (usable() && !port_->setBaudRate(bitsPerSecond))
        report_last_error();
}

void COMPort::purge() {
    if (!usable())
        return;
    port_->clear(QSerialPort::AllDirections);
    port_->clearError();
}

bool COMPort::usable() const {
    return open_ && port_->isOpen() && !lost_;
}

void COMPort::NoteLoss() {
    if (port_->error() == QSerialPort::ResourceError)
        lost_ = true;
}

bool COMPort::WaitForInput(int ms) {
    if (ms <= 0)
        return false;
    if (port_->waitForReadyRead(ms))
        return true;
    if (port_->error() == QSerialPort::TimeoutError)
        port_->clearError();
    return false;
}

int COMPort::read_byte() {
    if (!usable())
        return NoByte;
    if (port_->bytesAvailable() == 0 && !WaitForInput(FirstByteTimeoutMs)) {
        if (port_->error() != QSerialPort::NoError)
            report_last_error();
        return NoByte;
    }
    char c = 0;
    if (!port_->getChar(&c)) {
        report_last_error();
        return NoByte;
    }
    lastReported_.clear(); // the line works again
    return static_cast<uint8_t>(c);
}

bool COMPort::write_byte(uint8_t value) {
    if (!usable())
        return false;
    const char c = static_cast<char>(value);
    if (port_->write(&c, 1) != 1 || !port_->waitForBytesWritten(10000 + 1)) {
        report_last_error();
        return false;
    }
    return read_byte() == value; // the echo
}

bool COMPort::read_block(uint8_t* buffer, std::size_t n) {
    if (!usable())
        return false;
    const auto wanted = static_cast<qint64>(n);
    const int64_t budget = static_cast<int64_t>(n) * BlockMsPerByte;
    timer t;
    t.start();
    bool failed = false;
    while (port_->bytesAvailable() < wanted) {
        const int64_t left = budget - t.elapsed_ms();
        if (left <= 0)
            break;
        if (!WaitForInput(static_cast<int>(left))) {
            failed = port_->error() != QSerialPort::NoError;
            break;
        }
    }
    // As with the port's read time-outs: when nothing at all has come, the read itself
    // waits up to 500 ms for a first byte, then takes what is there.
    if (!failed && port_->bytesAvailable() == 0)
        WaitForInput(FirstByteTimeoutMs);
    const qint64 got = port_->read(reinterpret_cast<char*>(buffer), wanted);
    NoteLoss();
    port_->clearError();
    return got == wanted;
}

std::size_t COMPort::read_some(uint8_t* buffer, std::size_t max, int waitMs) {
    if (!usable()) {
        // A port that went away waits like a quiet line, so a caller watching it does not spin.
        std::this_thread::sleep_for(std::chrono::milliseconds(std::max(waitMs, 0)));
        return 0;
    }
    if (max == 0)
        return 0;
    if (port_->bytesAvailable() == 0)
        WaitForInput(waitMs);
    const qint64 got = port_->read(reinterpret_cast<char*>(buffer), static_cast<qint64>(max));
    NoteLoss();
    port_->clearError();
    if (got > 0)
        lastReported_.clear(); // the line works again
    return got > 0 ? static_cast<std::size_t>(got) : 0;
}

bool COMPort::write_block(uint8_t* buffer, std::size_t n) {
    if (!usable())
        return false;
    purge();
    const auto count = static_cast<qint64>(n);
    if (port_->write(reinterpret_cast<const char*>(buffer), count) != count ||
        !port_->waitForBytesWritten(10000 + static_cast<int>(n))) {
        NoteLoss();
        port_->clearError();
        return false;
    }
    return read_block(buffer, n);
}

void COMPort::report_last_error() {
    const QString text = port_->errorString();
    NoteLoss();
    port_->clearError();
    if (text == lastReported_)
        return;
    lastReported_ = text;
    if (reporter_)
        reporter_(QStringLiteral("Ошибка порта"), text);
}
