#pragma once

#include <QApplication>

namespace qv::test {

// The widget application of a test program, made on first use and kept to
// the end (ctest runs the tests on the offscreen platform).
inline QApplication& guiApplication()
{
    static int argc = 1;
    static char name[] = "quorvelin-test";
    static char* argv[] = {name, nullptr};
    static auto* app = new QApplication(argc, argv);
    return *app;
}

}  // namespace qv::test
