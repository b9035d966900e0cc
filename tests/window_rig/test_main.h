// main() for the window tests: the program's own application object on the offscreen platform
// unless another one is asked for.
#pragma once

#include <QTest>

#include "cartloom/app/application.h"

#define CARTLOOM_TEST_MAIN(TestClass)                       \
    int main(int argc, char** argv) {                       \
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) \
            qputenv("QT_QPA_PLATFORM", "offscreen");        \
        TApplication app(argc, argv);                       \
        TestClass test;                                     \
        return QTest::qExec(&test, argc, argv);             \
    }
