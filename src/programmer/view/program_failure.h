#pragma once

#include "programmer/runs.h"

#include <QMessageBox>
#include <QString>
#include <cstdint>

class FirmwareImage;

// What the programmer window says when a programming run did not end with a verified unit:
// one message box (its icon, and its text stating what the unit holds now and the way out)
// and the result line that stays under the progress bar until the next run.
struct ProgramFailureNotice {
    QMessageBox::Icon icon = QMessageBox::Critical;
    QString line; // the result line, e.g. " Ошибка программирования"
    QString text; // the message box
    // A failed verify asks whether to program again: text ends with that question.
    bool asksToProgramAgain = false;
};

// image: what was programmed (its map set names the differing bytes); readBack: the verifying
// read (used for Differs); backup: the path of the backup saved before this run, empty when
// none was; portReason: what the serial port reported during the run, empty when nothing.
ProgramFailureNotice DescribeProgramFailure(const prog::ProgramReport& report,
                                            const FirmwareImage& image, const uint8_t* readBack,
                                            const QString& backup, const QString& portReason);
