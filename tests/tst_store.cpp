#include "TestSupport.h"
#include "settings/AppSettings.h"

#include <QProcess>

#include <memory>

// Two processes, one store: headless runs record their result while this process writes other
// keys. No key may be lost, every value must read back, the file is never seen half-written.
class TestStore : public QObject
{
    Q_OBJECT

private slots:
    void init() { m_home = std::make_unique<TestHome>(); }
    void cleanup() { m_home.reset(); }

    void recordAndSettingsWritesRace()
    {
        const QString desktop = m_home->home() + "/Desktop", file = m_home->settingsFile();
        QVERIFY(QDir().mkpath(desktop));
        AppSettings settings(file, m_home->home());
        settings.setAgeValue(-1); // a cutoff in the future: every screenshot is old enough
        QProcess run;
        run.setProcessEnvironment(m_home->processEnvironment());
        qint64 runs = 0, expected = 0;
        for (int i = 0; runs < 4 && i < 2000; ++i) {
            if (run.state() == QProcess::NotRunning) {
                if (runs > 0) { // each run moves its own number of files: its record tells
                    QCOMPARE(run.exitCode(), 0);
                    QCOMPARE(settings.lastRunCount(), expected);
                }
                expected = 1 + runs % 3;
                for (qint64 n = 0; n < expected; ++n)
                    QVERIFY(writeRaw(QFile::encodeName(
                        desktop + QString("/Screenshot %1-%2.png").arg(runs).arg(n))));
                run.start(TestHome::quillbrookExecutable(), {"--headless"});
                QVERIFY(run.waitForStarted());
                ++runs;
            }
            settings.setHourOfDay(i);
            settings.setFrequency(i % 2 ? Frequency::Weekly : Frequency::Hourly);
            settings.setSourceFolder(desktop);
            AppSettings reader(file, m_home->home()); // as fresh as another process's
            QCOMPARE(reader.hourOfDay(), i);
            QCOMPARE(reader.frequency(), i % 2 ? Frequency::Weekly : Frequency::Hourly);
            QCOMPARE(reader.values().ageValue, -1);
            const QByteArray text = readRaw(QFile::encodeName(file)).value();
            QVERIFY2(text.startsWith("[General]\n") && text.endsWith('\n') &&
                         text.contains("\nageValue=-1\n"),
                     text.constData());
            run.waitForFinished(1);
        }
        QVERIFY(run.waitForFinished(60000));
        QCOMPARE(settings.lastRunCount(), expected);
        QCOMPARE(runs, 4);
        // Neither the lock file nor a temporary copy of the store is left behind.
        QCOMPARE(namesIn(QFile::encodeName(QFileInfo(file).path())),
                 QList<QByteArray>{"quillbrook.conf"});
    }

private:
    std::unique_ptr<TestHome> m_home;
};

QTEST_GUILESS_MAIN(TestStore)
#include "tst_store.moc"
