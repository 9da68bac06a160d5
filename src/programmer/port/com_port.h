#pragma once

#include "programmer/serial_link.h"

#include <QString>
#include <functional>
#include <memory>

class QSerialPort;

// The serial link to the control unit on a real serial port: opened for exclusive use, raw
// 8 data bits, no parity, one stop bit, DTR and RTS on, no flow control. Waits block in the
// system, so the process stays idle while it waits for the unit.
//
// The port shows nothing itself: it hands its messages (caption, text) to the reporter its
// owner supplies, so a window can show message boxes and a command-line tool print them.
class COMPort : public SerialLink {
public:
    using Reporter = std::function<void(const QString& caption, const QString& text)>;

    static constexpr int FirstByteTimeoutMs = 500; // read wait when nothing is queued
    static constexpr int BlockMsPerByte = 20;      // read_block's wait budget per byte

    explicit COMPort(Reporter reporter);
    ~COMPort() override;
    COMPort(const COMPort&) = delete;
    COMPort& operator=(const COMPort&) = delete;

    // "COM1".."COM4" or a device path; takes effect at the next open().
    void set_port_name(const QString& name) { name_ = name; }
    void set_port_number(int number);
    const QString& port_name() const { return name_; }

    // Opens the port with the line settings and the stored speed; does nothing if it is
    // already open. When the device cannot be opened, reports "Не удается найти указанный
    // порт." and stays closed. Returns whether the port is open.
    bool open();
    void close();
    bool is_open() const { return open_; }
    // Open, and the device has not gone away (a pulled USB adapter closes the port).
    bool usable() const;
    // Closes the port and opens it again under the same name, without reporting a failure to
    // open: the device of a line that went away may come back (an adapter plugged in again).
    bool reopen();
    int speed() const { return speed_; }

    void purge() override;
    void set_speed(int bitsPerSecond) override;
    int read_byte() override;
    bool write_byte(uint8_t value) override;
    bool read_block(uint8_t* buffer, std::size_t n) override;
    bool write_block(uint8_t* buffer, std::size_t n) override;
    std::size_t read_some(uint8_t* buffer, std::size_t max, int waitMs) override;

private:
    void report_last_error();
    // Marks the port lost when its last error says the device went away.
    void NoteLoss();
    // Waits at most ms for more input; false when none came or the port failed.
    bool WaitForInput(int ms);

    Reporter reporter_;
    std::unique_ptr<QSerialPort> port_;
    QString name_ = QStringLiteral("COM1");
    int speed_ = 19200;
    bool open_ = false;
    bool lost_ = false; // the device went away; the port must be opened again
    // The last system error shown. The same error again is not shown again until the port
    // has been reopened or has received a byte: a device that went away would otherwise
    // bring up a message at every wake-up attempt, twice a second.
    QString lastReported_;
};
