#include "TestHome.h"

#include "settings/AppSettings.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTest>
#include <QThread>

#include <memory>

// Two processes, one store: headless runs record their result while this process writes every
// other key, hundreds of times. No key may be lost, every value must read back, and the file
// must never be seen half-written.
class TestStore : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_home = std::make_unique<TestHome>();
        m_desktop = m_home->home() + QStringLiteral("/Desktop");
        QVERIFY(QDir().mkpath(m_desktop));
    }

    void cleanup() { m_home.reset(); }

    void recordAndSettingsWritesRace()
    {
        AppSettings settings(m_home->settingsFile(), m_home->home());
        settings.setSourceFolder(m_desktop);
        settings.setAgeValue(-1);

        const int writes = 400;
        int runs = 0;
        qint64 expectedCount = -1;
        double lastDate = 0;
        QProcess run;
        run.setProcessEnvironment(m_home->processEnvironment());
        QElapsedTimer runTimer;
        qint64 slowestRun = 0;
        const auto startRun = [&] {
            // Each run moves a known number of entries: its record tells runs apart.
            expectedCount = 1 + runs % 3;
            for (qint64 i = 0; i < expectedCount; ++i) {
                QFile file(m_desktop + QStringLiteral("/Screenshot %1-%2.png").arg(runs).arg(i));
                QVERIFY(file.open(QIODevice::NewOnly));
            }
            run.start(TestHome::quillbrookExecutable(), {QStringLiteral("--headless")});
            QVERIFY(run.waitForStarted());
            runTimer.start();
            ++runs;
        };
        const auto checkRecord = [&] {
            slowestRun = qMax(slowestRun, runTimer.elapsed());
            QCOMPARE(run.exitStatus(), QProcess::NormalExit);
            QCOMPARE(run.exitCode(), 0);
            QCOMPARE(settings.lastRunCount(), expectedCount);
            QVERIFY(settings.lastRunDate() > lastDate);
            lastDate = settings.lastRunDate();
        };

        startRun();
        // QLockFile backs off exponentially (100 ms, 200 ms, ... up to seconds) while another
        // process holds the lock, so a run can wait long under a storm of writes; short pauses
        // between rounds and extra rounds until a few runs have overlapped keep the test bounded.
        for (int i = 0; i < writes || (runs < 3 && i < 10 * writes); ++i) {
            const bool enabled = i % 2 == 0;
            const Frequency frequency =
                std::array{Frequency::Hourly, Frequency::Daily, Frequency::Weekly}[i % 3];
            // A negative age limit puts the cutoff in the future: every screenshot is old enough.
            const qint64 ageValue = -1 - i;
            const AgeUnit unit = std::array{AgeUnit::Hours, AgeUnit::Days, AgeUnit::Weeks}[i % 3];
            settings.setEnabled(enabled);
            settings.setFrequency(frequency);
            settings.setHourOfDay(i);
            settings.setAgeValue(ageValue);
            settings.setAgeUnit(unit);
            settings.setSourceFolder(m_desktop);
            settings.setLaunchAtLogin(!enabled);

            // A fresh reader, as the other process would be, sees every key this one wrote.
            AppSettings reader(m_home->settingsFile(), m_home->home());
            QCOMPARE(reader.enabled(), enabled);
            QCOMPARE(reader.frequency(), frequency);
            QCOMPARE(reader.hourOfDay(), qint64(i));
            QCOMPARE(reader.ageValue(), ageValue);
            QCOMPARE(reader.ageUnit(), unit);
            QCOMPARE(reader.sourceFolder(), m_desktop);
            QCOMPARE(reader.launchAtLogin(), !enabled);
            verifyWholeFile();

            // Polls without an event loop; a finished run is followed by the next at once.
            if (run.waitForFinished(0) || run.state() == QProcess::NotRunning) {
                checkRecord();
                startRun();
            }
            QThread::msleep(2);
        }
        QVERIFY(run.waitForFinished(60000));
        checkRecord();
        verifyWholeFile();
        QVERIFY2(runs >= 3,
                 qPrintable(QStringLiteral("only %1 runs overlapped the writes").arg(runs)));
        qInfo("%d headless runs recorded during at least %d rounds of writes; the slowest took "
              "%lld ms",
              runs, writes, slowestRun);

        // Neither the lock file nor a temporary copy of the store is left behind.
        const QStringList left = QDir(QFileInfo(m_home->settingsFile()).path())
                                     .entryList(QDir::Files | QDir::Hidden | QDir::System);
        QCOMPARE(left, QStringList{QStringLiteral("quillbrook.conf")});
    }

private:
    // Read as raw bytes at an arbitrary moment, the file is one complete document: a group
    // header, every key this test writes, and a final line break.
    void verifyWholeFile() const
    {
        QFile file(m_home->settingsFile());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray text = file.readAll();
        QVERIFY2(text.startsWith("[General]\n") && text.endsWith('\n'), text.constData());
        for (const char *key : {"enabled=", "frequency=", "hourOfDay=", "ageValue=", "ageUnit=",
                                "sourceFolder=", "launchAtLogin="})
            QVERIFY2(text.contains(QByteArray("\n") + key), text.constData());

        QSettings parsed(m_home->settingsFile(), QSettings::IniFormat);
        QCOMPARE(parsed.status(), QSettings::NoError);
    }

    std::unique_ptr<TestHome> m_home;
    QString m_desktop;
};

QTEST_GUILESS_MAIN(TestStore)
#include "tst_store.moc"
