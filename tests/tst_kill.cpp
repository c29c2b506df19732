#include "TestHome.h"

#include "cleanup/TrashInfo.h"
#include "settings/AppSettings.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QRandomGenerator>
#include <QTest>
#include <QThread>

#include <memory>
#include <sys/stat.h>

// A headless run killed with SIGKILL at random moments, many times. After every kill each entry
// must exist exactly once: where it was, or in Trash/files with a complete .trashinfo naming its
// original path. An info file whose entry never arrived is tolerated (the run may die between
// its two steps); an entry in files/ without its info file is not. A later run finishes the job.
class TestKill : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_home = std::make_unique<TestHome>();
        m_desktop = m_home->home() + QStringLiteral("/Desktop");
        QVERIFY(QDir().mkpath(m_desktop));
        // Everything made before a run starts is old enough.
        AppSettings settings(m_home->settingsFile(), m_home->home());
        settings.setAgeValue(0);
        settings.setAgeUnit(AgeUnit::Hours);
    }

    void cleanup() { m_home.reset(); }

    void killedRunsLoseNothing()
    {
        const int rounds = qEnvironmentVariableIntValue("QUILLBROOK_KILL_ROUNDS") > 0
                               ? qEnvironmentVariableIntValue("QUILLBROOK_KILL_ROUNDS")
                               : 25;
        const int entries = 2000;
        const quint32 seed = qEnvironmentVariableIsSet("QUILLBROOK_KILL_SEED")
                                 ? quint32(qEnvironmentVariableIntValue("QUILLBROOK_KILL_SEED"))
                                 : QRandomGenerator::global()->generate();
        qInfo("seed %u (set QUILLBROOK_KILL_SEED to repeat), %d rounds of %d entries", seed, rounds,
              entries);
        QRandomGenerator random(seed);

        // How long an undisturbed run takes here tells where the random kills should fall.
        QStringList names = makeEntries(0, entries);
        QElapsedTimer timer;
        timer.start();
        runToCompletion();
        const qint64 fullRunMicros = qMax<qint64>(timer.nsecsElapsed() / 1000, 1000);
        verifyExactlyOnce(names, Finished::Yes);
        if (QTest::currentTestFailed())
            return;

        int orphans = 0;
        int interrupted = 0;
        for (int round = 1; round <= rounds; ++round) {
            QDir(m_home->trash()).removeRecursively();
            names = makeEntries(round, entries);
            QProcess run;
            run.setProcessEnvironment(m_home->processEnvironment());
            run.start(TestHome::quillbrookExecutable(), {QStringLiteral("--headless")});
            QVERIFY(run.waitForStarted());
            QThread::usleep(quint64(random.bounded(fullRunMicros + fullRunMicros / 10)));
            run.kill();
            QVERIFY(run.waitForFinished(30000));
            if (run.exitStatus() == QProcess::CrashExit)
                ++interrupted;

            verifyExactlyOnce(names, Finished::No, &orphans);
            if (QTest::currentTestFailed()) {
                qWarning("round %d (seed %u) broke the invariant", round, seed);
                return;
            }
            runToCompletion();
            verifyExactlyOnce(names, Finished::Yes);
            if (QTest::currentTestFailed())
                return;
        }
        qInfo("%d of %d runs were killed before they ended; %d info files without an entry",
              interrupted, rounds, orphans);
    }

private:
    enum class Finished
    {
        No,
        Yes
    };

    // Each file holds its own name, so a mix-up of entries would show.
    QStringList makeEntries(int round, int count) const
    {
        QStringList names;
        for (int i = 0; i < count; ++i) {
            const QString name = QStringLiteral("Screenshot r%1 n%2.png")
                                     .arg(round, 3, 10, QLatin1Char('0'))
                                     .arg(i, 5, 10, QLatin1Char('0'));
            QFile file(m_desktop + '/' + name);
            if (!file.open(QIODevice::NewOnly) || file.write(name.toUtf8()) != name.size())
                qFatal("cannot create %s", qPrintable(file.fileName()));
            names.append(name);
        }
        return names;
    }

    void runToCompletion() const
    {
        QProcess run;
        run.setProcessEnvironment(m_home->processEnvironment());
        run.start(TestHome::quillbrookExecutable(), {QStringLiteral("--headless")});
        QVERIFY(run.waitForFinished(120000));
        QCOMPARE(run.exitStatus(), QProcess::NormalExit);
        QCOMPARE(run.exitCode(), 0);
        const QByteArray err = run.readAllStandardError();
        QVERIFY2(!err.contains("Failed to trash"), err.left(2000).constData());
    }

    static bool isCompleteInfo(const QByteArray &text)
    {
        const QList<QByteArray> lines = text.split('\n');
        return lines.size() == 4 && lines.at(0) == "[Trash Info]" &&
               lines.at(1).startsWith("Path=") && lines.at(2).startsWith("DeletionDate=") &&
               lines.at(2).size() == 13 + 19 && lines.at(3).isEmpty();
    }

    // Counts the info files whose entry never arrived into @p orphans.
    void verifyExactlyOnce(const QStringList &names, Finished finished,
                           int *orphans = nullptr) const
    {
        const QString files = m_home->trash() + QStringLiteral("/files/");
        const QString info = m_home->trash() + QStringLiteral("/info/");
        const QDir::Filters all =
            QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;

        // Original path -> how many complete entries in the trash name it.
        QHash<QString, int> inTrash;
        for (const QString &infoName : QDir(info).entryList(all)) {
            if (!infoName.endsWith(QLatin1String(".trashinfo")))
                continue;
            const QString entryName = infoName.chopped(10);
            struct stat st
            {
            };
            const bool arrived = lstat(QFile::encodeName(files + entryName).constData(), &st) == 0;
            QFile file(info + infoName);
            if (!file.open(QIODevice::ReadOnly))
                qFatal("cannot read %s", qPrintable(file.fileName()));
            const QByteArray text = file.readAll();
            if (!arrived) {
                if (orphans)
                    ++*orphans;
                continue;
            }
            if (!isCompleteInfo(text)) {
                QFAIL(qPrintable(QStringLiteral("incomplete info file beside its entry: ") +
                                 infoName + QStringLiteral(": ") + QString::fromUtf8(text)));
            }
            const std::optional<QByteArray> path = TrashInfo::trashInfoPath(text);
            if (!path) {
                QFAIL(qPrintable(QStringLiteral("unreadable Path in ") + infoName));
            }
            const QString original = QFile::decodeName(*path);
            ++inTrash[original];
            // The entry in the trash is the one the info file names.
            QFile entry(files + entryName);
            if (!entry.open(QIODevice::ReadOnly) ||
                entry.readAll() != original.mid(original.lastIndexOf('/') + 1).toUtf8()) {
                QFAIL(qPrintable(QStringLiteral("trashed entry does not match its info file: ") +
                                 entryName));
            }
        }
        for (const QString &entryName : QDir(files).entryList(all)) {
            if (!QFile::exists(info + entryName + QStringLiteral(".trashinfo"))) {
                QFAIL(qPrintable(QStringLiteral("entry in files/ without its info file: ") +
                                 entryName));
            }
        }
        for (const QString &name : names) {
            const QString original = m_desktop + '/' + name;
            const int where = (QFile::exists(original) ? 1 : 0) + inTrash.value(original);
            if (where != 1) {
                QFAIL(qPrintable(QStringLiteral("%1 exists %2 times").arg(name).arg(where)));
            }
            if (finished == Finished::Yes && inTrash.value(original) != 1) {
                QFAIL(qPrintable(QStringLiteral("a complete run left %1 behind").arg(name)));
            }
        }
    }

    std::unique_ptr<TestHome> m_home;
    QString m_desktop;
};

QTEST_GUILESS_MAIN(TestKill)
#include "tst_kill.moc"
