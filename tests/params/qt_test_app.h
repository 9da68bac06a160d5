#pragma once

#include <QApplication>

// The one application object of a Qt test program, made on first use and kept to the end. Test
// discovery runs the program without the test environment, so the offscreen platform is chosen here
// too.
inline QApplication& TestApp() {
    static int argc = 1;
    static char arg0[] = "velmaris_params_test";
    static char* argv[] = {arg0, nullptr};
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Never destroyed: Qt's own statics may already be gone when a static object would be.
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}
