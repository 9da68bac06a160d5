#pragma once

#include <QCoreApplication>
#include <memory>

// Qt's SQL drivers and serial ports need an application object. Returns a new one when none
// exists yet (keep it alive while Qt is used), else null.
inline std::unique_ptr<QCoreApplication> EnsureCoreApplication() {
    if (QCoreApplication::instance())
        return nullptr;
    // QCoreApplication keeps references to these for its whole life.
    static int argc = 1;
    static char name[] = "velmaris-cli";
    static char* argv[] = {name, nullptr};
    return std::make_unique<QCoreApplication>(argc, argv);
}
