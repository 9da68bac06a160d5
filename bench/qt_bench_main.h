#pragma once

#include "ui/error_report.h"

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdio>

// The main of a benchmark that drives windows: offscreen unless a platform is chosen, settings
// the windows remember in a folder of the run, errors printed instead of shown in a box.
inline int RunQtBenchmarks(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir settings;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    ShowErrorMessage = [](QWidget*, const QString& text) {
        fprintf(stderr, "error: %s\n", qPrintable(text));
    };
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
