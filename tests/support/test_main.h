// The main of a test program: QTest's own, in a namespace of its own, ended
// the way the program ends (platform::endProgram), so that a test program
// under Windows ends as the program does once its report is written.
#pragma once

#include "store/platform.h"

#include <QTest>

#define YZ_TEST_MAIN_WITH(qtMain, TestObject)                                                                          \
    namespace yz_test_main {                                                                                           \
    qtMain(TestObject)                                                                                                 \
    }                                                                                                                  \
    int main(int argc, char *argv[])                                                                                   \
    {                                                                                                                  \
        return platform::endProgram(yz_test_main::main(argc, argv));                                                   \
    }

#define YZ_TEST_MAIN(TestObject) YZ_TEST_MAIN_WITH(QTEST_MAIN, TestObject)
#define YZ_TEST_GUILESS_MAIN(TestObject) YZ_TEST_MAIN_WITH(QTEST_GUILESS_MAIN, TestObject)
#define YZ_TEST_APPLESS_MAIN(TestObject) YZ_TEST_MAIN_WITH(QTEST_APPLESS_MAIN, TestObject)
