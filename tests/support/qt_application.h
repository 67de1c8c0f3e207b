#pragma once

#include <QApplication>

namespace qv::test {

// The one QApplication of a widget test program, made on first use. It is
// never destroyed: Qt's own statics may go before it at exit.
inline QApplication& qtApplication()
{
    static int argc = 1;
    static char name[] = "quorvelin-test";
    static char* argv[] = {name, nullptr};
    static QApplication* application = new QApplication(argc, argv);
    return *application;
}

// A base of test fixtures whose members are widgets: made before them.
struct WithApplication {
    WithApplication() { qtApplication(); }
};

}  // namespace qv::test
