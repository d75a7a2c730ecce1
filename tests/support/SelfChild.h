#pragma once

#include "support/StandInDecoder.h"

#include <QProcess>
#include <QStringList>

// Tests that need a process of their own (exit status, command-line bytes) start
// their own program again in a child mode.
namespace SelfChild {

// Starts this test program offscreen with args and waits for it to end; false on
// a time-out.
bool run(QProcess &child, const QStringList &args, int timeoutMs = 30000);

} // namespace SelfChild

// A test main that runs childMain instead of the tests when the first argument is
// mode, and plays the RAW decoder when started as one (StandInDecoder).
#define QUORVANE_TEST_MAIN_WITH_CHILD(TestClass, mode, childMain)                                                      \
    int main(int argc, char **argv)                                                                                    \
    {                                                                                                                  \
        if (StandInDecoder::invoked(argc, argv))                                                                       \
            return StandInDecoder::main(argc, argv);                                                                   \
        if (argc >= 2 && qstrcmp(argv[1], mode) == 0)                                                                  \
            return childMain(argc, argv);                                                                              \
        QApplication app(argc, argv);                                                                                  \
        TestClass test;                                                                                                \
        QTEST_SET_MAIN_SOURCE_PATH                                                                                     \
        return QTest::qExec(&test, argc, argv);                                                                        \
    }
