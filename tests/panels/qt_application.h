#pragma once

#include <QApplication>

namespace qv::test {

// The application object widget tests need, made once per test program.
inline QApplication& qtApplication()
{
    static int argc = 1;
    static char name[] = "quorvelin-test";
    static char* argv[] = {name, nullptr};
    static QApplication app(argc, argv);
    return app;
}

}  // namespace qv::test
