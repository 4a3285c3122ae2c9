// One QApplication for all window tests, on Qt's offscreen platform.
#pragma once

#include <QApplication>
#include <QByteArray>

namespace quorvane::testing {

inline QApplication& TestApp() {
    static int Argc = 1;
    static char Name[] = "uiqt_tests";
    static char* Argv[] = {Name, nullptr};
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication* App = new QApplication(Argc, Argv);
    return *App;
}

}  // namespace quorvane::testing
