// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/ui/Application.h"
#include "platform/ui/SavedFileMessage.h"
#include "settings/AppInfo.h"

#include <QTest>

// A test main for windows that need the program's own application object (its
// notify() is the error report); QTEST_MAIN would build a plain QApplication.
// As in the program, what the desktop cannot open is said in a message box.
//
// An exception unwinding through Qt's own frames skips their cleanups (Qt's GUI
// libraries are built without exception support), so each one reported strands
// a few small Qt allocations: leak checking is off for such executables only.
#define QV_APP_TEST_MAIN(TestClass)                                                                \
    extern "C" const char* __lsan_default_options() {                                              \
        return "detect_leaks=0";                                                                   \
    }                                                                                              \
    int main(int argc, char** argv) {                                                              \
        qv::QuorvaneApplication app(argc, argv);                                                   \
        AppInfo::SetShellFailureReport(qv::ReportDesktopFailure);                                  \
        TestClass test;                                                                            \
        return QTest::qExec(&test, argc, argv);                                                    \
    }
