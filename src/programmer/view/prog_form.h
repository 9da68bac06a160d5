#pragma once

#include "image/edit_steps.h"
#include "programmer/bring_up.h"
#include "programmer/progress_text.h"
#include "programmer/runs.h"

#include <QDateTime>
#include <QDialog>
#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class COMPort;
class FirmwareImage;
class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QResizeEvent;
class QListWidget;
class RunProgressBar;
class QPushButton;
class QTimer;

// The modal programmer window: owns the serial port, brings the link to the control unit up
// with the core's bring-up driven by one timer and then checks it every second, reads the unit's
// memory into the image and programs the image into the unit with a verifying read.
//
// Programming never starts on an image that must not reach a unit (nothing opened, an
// incomplete or blank image). Unless told otherwise it first reads the unit and saves what it
// holds; then it asks once before erasing, naming the bytes that change and the checksum it
// computed afresh (written into the image, as saving does, only when the answer is "Да"). A run
// that fails says in one message box what the unit holds now and the way out; the lamp stays red
// and the result line stays until the next run.
//
// Everything runs on the window's thread. During a read or programming run the window handles
// pending events once per 128-byte block; a busy guard keeps any second exchange from starting
// meanwhile. A close request stops a read at the next block boundary; once erasing has begun
// it is refused, as a unit left erased or part-written cannot run.
class TProgForm : public QDialog {
    Q_OBJECT
public:
    // The window's message dialogs and the port's message boxes, with the icon that fits the
    // message. Tests replace it to see the texts instead of a modal dialog.
    static std::function<void(QWidget* parent, QMessageBox::Icon icon, const QString& caption,
                              const QString& text)>
        ShowMessage;
    // The question before erasing the unit, and the offer to program again after a failed
    // verify; true for "Да" ("Нет" is the default). Tests replace it to answer.
    static std::function<bool(QWidget* parent, QMessageBox::Icon icon, const QString& caption,
                              const QString& text)>
        AskConfirm;

    // portName: the port remembered from the last run; without one the window starts on the
    // first USB adapter, or on no port at all. currentFile: the main
    // window's file, named in the question before programming; backups are saved in a
    // "backups" folder beside it (beside the working folder when there is none).
    explicit TProgForm(FirmwareImage& image, QWidget* parent = nullptr,
                       const QString& portName = QString(), const QString& currentFile = QString());
    ~TProgForm() override;

    // Controls, named as in the window's layout.
    QGroupBox* GroupBox1;
    QLabel* Label2;
    QComboBox* ComNumber;
    QLabel* Label5;
    QComboBox* Speed;
    QPushButton* Read;
    QPushButton* Write;
    QCheckBox* Backup;    // read the unit and save what it holds before programming
    QListWidget* LogList; // one time-stamped line per operation and result
    QFrame* PanelProgress;
    RunProgressBar* ProgressBar; // the phase, the percent and the time left
    QFrame* PanelLink;
    QLabel* PanelMess;
    QTimer* LinkTimer; // the bring-up's next step, then the link check every second

    bool match() const { return match_; }
    bool busy() const { return busy_; }
    bool link_lamp_green() const { return lampGreen_; }
    prog::LinkStage link_stage() const { return bringUp_.stage(); }
    // The unit's whole memory as last read whole in this window (a read or the verifying read
    // of programming); empty when none was.
    const std::vector<uint8_t>& LastUnitRead() const { return lastRead_; }
    // When a read last replaced the image with the unit's memory; null when none did.
    const QDateTime& ImageReadAt() const { return imageReadAt_; }

    // Event handlers.
    void ComNumberChange();
    void LinkTimerTimeout();
    void ReadClick();
    void WriteClick();

    // The unit read and the checksum refresh change the image this way, each as one step; the
    // main window makes them steps of its edit history.
    EditPath Edit = DirectEditPath();

public slots:
    void done(int result) override;

private:
    enum class ReadOutcome { Ok, Failed, Stopped };

    void FormClose();
    // Widens the designed layout where the system font needs more room.
    void FitToFont();
    void ShowResult(const QString& line);
    void Place(); // lays the controls out for the window's present size
    void resizeEvent(QResizeEvent* event) override;
    void enable_controls();
    void disable_controls();
    // After a run that failed: the port and speed boxes work again, polling restarts and the
    // run buttons come back with the next good link check.
    void EnableAfterFailure();
    // Starts bringing the link up from the beginning, as on opening the window.
    void StartBringUp();
    // After a run: the link is checked again a second later.
    void ResumeLinkChecks();
    // What the window shows of one bring-up step.
    void ShowLinkStep(const prog::LinkStep& step, prog::LinkStage before);
    void compare_with_image();
    // Reads the unit's memory into the buffer with the progress bar; says so on a failure.
    ReadOutcome ReadUnit();
    void DoRead();
    void DoWrite();
    // The checks before programming; false after showing why the image must not be
    // programmed. refreshed receives the image's bytes with the checksum computed afresh.
    bool PreflightPasses(std::vector<uint8_t>& refreshed);
    bool ConfirmProgramming(const std::vector<uint8_t>& refreshed);
    bool SaveBackup();
    // Programs bytes into the unit and verifies it; after a failed verify, as often as the
    // user asks, again.
    void RunProgramming(const std::vector<uint8_t>& bytes);
    void ShowPhase(prog::ProgramPhase phase);
    // Shows the result of a run; true when the user asks to program again.
    bool ShowProgramReport(const prog::ProgramReport& report, const std::vector<uint8_t>& bytes);
    // What the port reported since the run began, one reason a line; cleared.
    QString TakePortReasons();
    QString BackupFolder() const;
    bool ProgressStep();
    // A phase of a run with its steps begins: the bar starts again from 0.
    void StartProgress(const QString& phase, int steps);
    // The run is over: the bar goes back to 0 and shows no text.
    void EndProgress();
    void SetLamp(bool green);
    void Message(const QString& text, QMessageBox::Icon icon = QMessageBox::Warning);
    void Log(const QString& text);
    // Runs one exchange under the busy guard, with errors shown and never thrown on; false
    // when another exchange was going on and body did not run.
    bool Exchange(const std::function<void()>& body);
    // After a read or programming run: the port reports no failure message took along.
    void EndRun();
    // A new run begins: the lamp and the line no longer show the last run's failure.
    void ClearFailure();

    FirmwareImage& image_;
    QString currentFile_;
    std::unique_ptr<COMPort> port_;
    std::unique_ptr<uint8_t[]> buffer_;
    bool match_ = false;
    bool busy_ = false;
    bool closeRequested_ = false;
    bool lampGreen_ = false;
    // Erasing has begun: the run must go on to its end.
    bool committed_ = false;
    bool mustFinishSaid_ = false;
    // The buffer holds the unit's whole memory as last read in this window.
    bool unitRead_ = false;
    std::vector<uint8_t> lastRead_;
    // The image was replaced by a read of the unit in this window.
    bool imageFromUnit_ = false;
    QDateTime imageReadAt_;
    prog::LinkBringUp bringUp_;
    prog::ProgressEstimate progress_;
    QString phase_;         // the phase the bar shows
    QString resultLine_;    // the last read's or run's result, kept on the line until the next
    int comboX_ = 112;      // where the port and speed boxes start, fitted to the font
    int buttonWidth_ = 121; // the buttons' width, fitted to their captions
    bool portChangePending_ = false;
    // A run failed: the lamp stays red and this result line stays until the next run.
    QString failureLine_;
    // The link is up as far as the last check knows (the lamp may be red for a failure).
    bool linkUp_ = false;
    // During a read or programming run the port's reports are held here and told with the
    // run's result, so that one failure brings one message box.
    bool holdPortReports_ = false;
    QStringList portReasons_;
    // The backup saved before the current programming run, for the failure message.
    QString lastBackup_;
};
