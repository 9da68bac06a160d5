#pragma once

#include <QDialog>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

class COMPort;
class FirmwareImage;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

// The modal programmer window: owns the serial port, brings the link to the control unit up
// with a chain of four timers and then checks it every second, reads the unit's memory into
// the image and programs the image into the unit with a verifying read.
//
// Everything runs on the window's thread. During a read or programming run the window handles
// pending events once per 128-byte block; a busy guard keeps any second exchange from starting
// meanwhile, and a close request then only stops the run at the next block boundary.
class TProgForm : public QDialog {
    Q_OBJECT
public:
    // The window's message dialogs and the port's message boxes. Tests replace it to see the
    // texts instead of a modal dialog.
    static std::function<void(QWidget* parent, const QString& caption, const QString& text)>
        ShowMessage;

    // portName: the port selected at start ("COM1" unless given).
    explicit TProgForm(FirmwareImage& image, QWidget* parent = nullptr,
                       const QString& portName = QStringLiteral("COM1"));
    ~TProgForm() override;

    // Controls, named as in the window's layout.
    QGroupBox* GroupBox1;
    QLabel* Label2;
    QComboBox* ComNumber;
    QLabel* Label5;
    QComboBox* Speed;
    QPushButton* Read;
    QPushButton* Write;
    QFrame* PanelProgress;
    QProgressBar* ProgressBar;
    QFrame* PanelLink;
    QLabel* PanelMess;
    QTimer* Timer1; // wake-up attempts, every 500 ms
    QTimer* Timer2; // link check, every second
    QTimer* Timer3; // synchronisation, 500 ms after the unit answered
    QTimer* Timer4; // first listen, 1000 ms after opening

    bool match() const { return match_; }
    bool busy() const { return busy_; }
    bool link_lamp_green() const { return lampGreen_; }

    // Event handlers.
    void ComNumberChange();
    void Timer1Timer();
    void Timer2Timer();
    void Timer3Timer();
    void Timer4Timer();
    void ReadClick();
    void WriteClick();

public slots:
    void done(int result) override;

private:
    enum class ReadOutcome { Ok, Failed, Stopped };

    void FormClose();
    // Widens the designed layout where the system font needs more room.
    void FitToFont();
    void enable_controls();
    void disable_controls();
    void compare_with_image();
    // The read of ReadClick. A verifying read leaves the image as it is.
    ReadOutcome DoRead(bool verify);
    void DoWrite();
    bool ProgressStep();
    void SetLamp(bool green);
    void Message(const QString& text);
    // Runs one exchange under the busy guard, with errors shown and never thrown on.
    void Exchange(const std::function<void()>& body);

    FirmwareImage& image_;
    std::unique_ptr<COMPort> port_;
    std::unique_ptr<uint8_t[]> buffer_;
    bool match_ = false;
    bool busy_ = false;
    bool closeRequested_ = false;
    bool lampGreen_ = false;
};
