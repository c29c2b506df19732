#include "TestSupport.h"

#include "settings/AppSettings.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QThread>

// Headless runs killed with SIGKILL at random moments. After every kill each entry exists
// exactly once: where it was, or in the Trash with a complete info file naming it (an info file
// whose entry never arrived is tolerated; an entry without its info file is not). A later run
// finishes the job.
class TestKill : public QObject
{
    Q_OBJECT

private slots:
    void killedRunsLoseNothing()
    {
        TestHome home;
        const QByteArray desktop = QFile::encodeName(home.home()) + "/Desktop";
        const QByteArray trash = QFile::encodeName(home.trash());
        QCOMPARE(mkdir(desktop.constData(), 0755), 0);
        AppSettings(home.settingsFile(), home.home()).setAgeValue(-1); // everything is old
        const quint32 seed = QRandomGenerator::global()->generate();
        QRandomGenerator random(seed);
        qint64 fullRun = 0;
        for (int round = 0; round < 4; ++round) {
            QList<QByteArray> entries;
            for (int i = 0; i < 200; ++i) {
                entries.append(desktop + "/Screenshot " + QByteArray::number(round * 1000 + i) +
                               ".png");
                QVERIFY(writeRaw(entries.last(), entries.last()));
            }
            QProcess run;
            run.setProcessEnvironment(home.processEnvironment());
            QElapsedTimer timer;
            timer.start();
            run.start(TestHome::quillbrookExecutable(), {QStringLiteral("--headless")});
            QVERIFY(run.waitForStarted());
            if (round > 0) { // the first run measures how long an undisturbed run takes
                QThread::usleep(quint64(random.bounded(fullRun + fullRun / 10 + 1)));
                run.kill();
            }
            QVERIFY(run.waitForFinished(60000));
            fullRun = qMax(fullRun, round == 0 ? timer.nsecsElapsed() / 1000 : 0);
            for (int pass = 0; pass < 2; ++pass) {
                const QHash<QByteArray, QByteArray> trashed = trashedEntries(trash);
                for (const QByteArray &name : namesIn(trash + "/files"))
                    QVERIFY2(!trashed.key(name).isEmpty(), name.constData()); // info file beside it
                for (const QByteArray &entry : entries) {
                    const bool inTrash = trashed.contains(entry);
                    QVERIFY2(exists(entry) != inTrash,
                             qPrintable(entry + " seed " + QByteArray::number(seed)));
                    QVERIFY(!inTrash || readRaw(trash + "/files/" + trashed.value(entry)) == entry);
                    QVERIFY(pass == 0 || inTrash);
                }
                if (pass == 1)
                    break;
                QProcess finish;
                finish.setProcessEnvironment(home.processEnvironment());
                finish.start(TestHome::quillbrookExecutable(), {QStringLiteral("--headless")});
                QVERIFY(finish.waitForFinished(60000) && finish.exitCode() == 0);
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestKill)
#include "tst_kill.moc"
