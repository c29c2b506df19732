#include "platform/Log.h"

#include <QTemporaryFile>
#include <QTest>

#include <cstdio>
#include <unistd.h>

class TestLog : public QObject
{
    Q_OBJECT

private slots:
    void formatCharactersReachTheSinkVerbatim();
    void formatCharactersReachStandardErrorVerbatim();
};

namespace {

const QString FormatLine = QStringLiteral("Failed to trash /tmp/100%s %n %% done: %d%x");

} // namespace

void TestLog::formatCharactersReachTheSinkVerbatim()
{
    QStringList lines;
    const LogSink previous = setLogSink([&lines](const QString &line) { lines.append(line); });
    logLine(FormatLine);
    setLogSink(previous);
    QCOMPARE(lines, QStringList{FormatLine});
}

void TestLog::formatCharactersReachStandardErrorVerbatim()
{
    // The real path: syslog plus standard error. A "%n" taken as a format would write through a
    // stray pointer; here it must come out as text.
    QTemporaryFile capture;
    QVERIFY(capture.open());
    std::fflush(stderr);
    const int savedStderr = ::dup(STDERR_FILENO);
    QVERIFY(savedStderr >= 0);
    QVERIFY(::dup2(capture.handle(), STDERR_FILENO) >= 0);
    const LogSink previous = setLogSink({});
    logLine(FormatLine);
    setLogSink(previous);
    std::fflush(stderr);
    ::dup2(savedStderr, STDERR_FILENO);
    ::close(savedStderr);

    capture.seek(0);
    QCOMPARE(capture.readAll(), FormatLine.toUtf8() + '\n');
}

QTEST_GUILESS_MAIN(TestLog)
#include "tst_log.moc"
