#include "process/WindowsCommandLine.h"

#include <QTest>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

// The command line a Windows tool is started with. On Windows the line is also
// split back by the system's own parser (CommandLineToArgvW) and must give the
// arguments as they were.
class TestWindowsCommandLine : public QObject
{
    Q_OBJECT

private slots:
    void quoting_data();
    void quoting();
};

void TestWindowsCommandLine::quoting_data()
{
    QTest::addColumn<QString>("argument");
    QTest::addColumn<QString>("quoted");
    QTest::newRow("plain") << "-resize"
                           << "-resize";
    QTest::newRow("a path without blanks keeps its backslashes") << "C:\\a\\b.jpg"
                                                                 << "C:\\a\\b.jpg";
    QTest::newRow("empty") << ""
                           << "\"\"";
    QTest::newRow("blank") << "a b.jpg"
                           << "\"a b.jpg\"";
    QTest::newRow("tab and newline") << "a\tb\nc"
                                     << "\"a\tb\nc\"";
    QTest::newRow("quote") << "a\"b"
                           << "\"a\\\"b\"";
    QTest::newRow("backslashes before a quote doubled") << "a\\\\\"b"
                                                        << "\"a\\\\\\\\\\\"b\"";
    QTest::newRow("backslashes elsewhere kept") << "C:\\my dir\\a b"
                                                << "\"C:\\my dir\\a b\"";
    QTest::newRow("trailing backslash before the closing quote") << "C:\\my dir\\"
                                                                 << "\"C:\\my dir\\\\\"";
    QTest::newRow("CJK and a blank") << QString::fromUtf8("图片 1.png") << QString::fromUtf8("\"图片 1.png\"");
    QTest::newRow("geometry") << "800x600>"
                              << "800x600>";
}

void TestWindowsCommandLine::quoting()
{
    QFETCH(QString, argument);
    QFETCH(QString, quoted);
    QCOMPARE(WindowsCommandLine::quoteArgument(argument), quoted);

    const QString program = QStringLiteral("C:\\Program Files\\Quorvane\\magick.exe");
    const QStringList arguments{QStringLiteral("in.png"), argument, QStringLiteral("out dir\\")};
    const QString line = WindowsCommandLine::join(program, arguments);
    QCOMPARE(line, "\"" + program + "\" in.png " + quoted + " \"out dir\\\\\"");
#ifdef Q_OS_WIN
    int count = 0;
    LPWSTR *split = ::CommandLineToArgvW(reinterpret_cast<LPCWSTR>(line.utf16()), &count);
    QVERIFY(split);
    QStringList back;
    for (int i = 0; i < count; ++i)
        back << QString::fromWCharArray(split[i]);
    ::LocalFree(split);
    QCOMPARE(back, QStringList{program} + arguments);
#endif
}

QTEST_APPLESS_MAIN(TestWindowsCommandLine)
#include "tst_windowscommandline.moc"
