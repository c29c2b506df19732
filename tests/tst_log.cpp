#include "platform/Log.h"

#include <QTemporaryFile>
#include <QTest>

#include <cstdio>
#include <unistd.h>

class TestLog : public QObject
{
    Q_OBJECT

private slots:
    // The real road: syslog plus standard error. A "%n" taken as a format would write through a
    // stray pointer; it must come out as text.
    void formatCharactersComeOutVerbatim()
    {
        const QString line = QStringLiteral("Failed to trash /tmp/100%s %n %% done: %d%x");
        QTemporaryFile capture;
        QVERIFY(capture.open());
        std::fflush(stderr);
        const int savedStderr = ::dup(STDERR_FILENO);
        QVERIFY(savedStderr >= 0 && ::dup2(capture.handle(), STDERR_FILENO) >= 0);
        const LogSink previous = setLogSink({});
        logLine(line);
        setLogSink(previous);
        std::fflush(stderr);
        ::dup2(savedStderr, STDERR_FILENO);
        ::close(savedStderr);
        capture.seek(0);
        QCOMPARE(capture.readAll(), line.toUtf8() + '\n');
    }
};

QTEST_GUILESS_MAIN(TestLog)
#include "tst_log.moc"
