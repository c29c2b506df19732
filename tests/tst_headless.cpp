#include "TestSupport.h"

#include "platform/UniqueFd.h"
#include "settings/AppSettings.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QThread>

#include <csignal>
#include <sys/file.h>

// The built program run as the scheduler runs it, in a temporary HOME with a real Trash and no
// display; also stopped and killed part way, after which each entry is exactly once in one place.
class TestHeadless : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_home.emplace();
        m_desktop = QFile::encodeName(m_home->home()) + "/Desktop";
        m_trash = QFile::encodeName(m_home->trash());
        QCOMPARE(mkdir(m_desktop.constData(), 0755), 0);
        m_settings.emplace(m_home->settingsFile(), m_home->home());
    }
    void cleanup()
    {
        m_settings.reset();
        m_home.reset();
    }

    // What a scheduled run or a put back exits with and says, run as the scheduler runs it: no
    // GUI platform plugin is loaded (its trace would show in the output), and a real trash
    // client reads back what a run trashed, with its original path and date.
    void exitStatus_data()
    {
        QTest::addColumn<QString>("option");
        QTest::addColumn<QByteArray>("setup");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("said"); // %1: the home folder
        QTest::newRow("a run that moves the screenshot") << "--headless" << QByteArray() << 0 << "";
        QTest::newRow("a move failed")
            << "--headless" << QByteArray("info is a file") << 1
            << "Failed to trash %1/Desktop/Screen Shot 100% \u00e4 #1.png: Cannot open the trash "
               "folder %1/.local/share/Trash/info: Not a directory";
        QTest::newRow("the folder cannot be listed")
            << "--headless" << QByteArray("no folder") << 1
            << "Cannot list the source folder %1/Desktop: No such file or directory";
        QTest::newRow("a put back while another is under way")
            << "--put-back" << QByteArray("lock held") << 1 << "Another cleanup is running";
    }
    void exitStatus()
    {
        QFETCH(QString, option);
        QFETCH(QByteArray, setup);
        QFETCH(int, status);
        QFETCH(QString, said);
        const QString shot = m_home->home() + "/Desktop/Screen Shot 100% \u00e4 #1.png";
        QVERIFY(writeRaw(QFile::encodeName(shot)));
        m_settings->setAgeValue(-1);
        QVERIFY(setup != "info is a file" ||
                (QDir().mkpath(m_home->trash()) && writeRaw(m_trash + "/info")));
        QVERIFY(setup != "no folder" || QDir(QFile::decodeName(m_desktop)).removeRecursively());
        const QByteArray state = QFile::encodeName(m_home->stateHome()) + "/quillbrook";
        QVERIFY(QDir().mkpath(QFile::decodeName(state)));
        const UniqueFd lock(open(state + "/lock", O_RDWR | O_CREAT | O_CLOEXEC, 0600));
        QVERIFY(setup != "lock held" || flock(lock.get(), LOCK_EX) == 0);
        QProcessEnvironment env = m_home->processEnvironment();
        env.insert("QT_DEBUG_PLUGINS", "1");
        env.remove("QT_QPA_PLATFORM");
        const ProgramRun ran = runProgram(TestHome::quillbrookExecutable(), {option}, env);
        const QString output = (ran.out + ran.err).trimmed();
        QCOMPARE(ran.exitCode, status);
        QCOMPARE(output, said.arg(m_home->home()));
        QCOMPARE(m_settings->lastRunError(), setup == "no folder" ? output : QString());
        if (status != 0)
            return;
        QCOMPARE(m_settings->lastRunCount(), qint64(1));
        QVERIFY(trashedEntries(m_trash).contains(QFile::encodeName(shot)));
        const QString trashList = QStandardPaths::findExecutable("trash-list");
        if (trashList.isEmpty())
            QSKIP("trash-list (Debian package trash-cli) is not installed");
        const QString listing = runProgram(trashList, {}, m_home->processEnvironment()).out;
        const QString line = QDateTime::currentDateTime().toString("yyyy-MM-dd ") +
                             "\\d\\d:\\d\\d:\\d\\d " + QRegularExpression::escape(shot);
        // This home's lines alone: trash-list also lists the trash of a volume another test mounts.
        const QStringList ours = listing.split('\n').filter(m_home->home());
        QVERIFY2(ours.size() == 1 && QRegularExpression("^" + line + "$").match(ours[0]).hasMatch(),
                 qPrintable(listing));
    }

    // A run or put back ended by a signal, then put back: every entry is back, none lost or
    // doubled, no info or temporary file left. SIGTERM, SIGINT or SIGHUP (sent as the first entry
    // moves, its handler then in place) ends it after its current entry; SIGKILL at any moment.
    // QUILLBROOK_KILL_ROUNDS and QUILLBROOK_KILL_ENTRIES make it larger (3 of 200 each).
    void killedRunsLoseNothing_data()
    {
        QTest::addColumn<QString>("option");
        QTest::addColumn<int>("signal");
        QTest::newRow("run, SIGTERM") << "--headless" << SIGTERM;
        QTest::newRow("run, SIGKILL") << "--headless" << SIGKILL;
        QTest::newRow("put back, SIGTERM") << "--put-back" << SIGTERM;
        QTest::newRow("put back, SIGKILL") << "--put-back" << SIGKILL;
        QTest::newRow("run, SIGINT") << "--headless" << SIGINT;
        QTest::newRow("put back, SIGHUP") << "--put-back" << SIGHUP;
    }
    void killedRunsLoseNothing()
    {
        QFETCH(QString, option);
        QFETCH(int, signal);
        const bool putBack = option == "--put-back";
        const int rounds = 1 + qMax(3, qEnvironmentVariableIntValue("QUILLBROOK_KILL_ROUNDS"));
        const int count = qMax(200, qEnvironmentVariableIntValue("QUILLBROOK_KILL_ENTRIES"));
        m_settings->setAgeValue(-1); // everything is old
        QList<QByteArray> shots;
        for (int i = 0; i < count; ++i)
            shots.append(m_desktop + "/Screenshot " + QByteArray::number(i) + ".png");
        const quint32 seed = QRandomGenerator::global()->generate();
        QRandomGenerator random(seed);
        qint64 fullRun = 0, checked = 0, partWay = 0;
        for (int round = 0; round < rounds; ++round) {
            for (const QByteArray &shot : shots)
                QVERIFY(writeRaw(shot, shot) && setModified(shot, 1e9 + round)); // not kept
            QVERIFY(!putBack || run("--headless") == 0);
            QProcess killed;
            QElapsedTimer timer;
            timer.start();
            QVERIFY(start(killed, option));
            const pid_t pid = pid_t(killed.processId());
            if (round > 0 && signal == SIGKILL) { // at any moment; round 0 measures a whole one
                QThread::usleep(quint64(random.bounded(fullRun + 1)));
                ::kill(pid, signal);
            } else if (round > 0) {
                // Held still as the first entry moves, so that the signal surely lands part way.
                const QByteArray watched = putBack ? m_desktop : m_trash + "/files";
                while (namesIn(watched).isEmpty() && !killed.waitForFinished(1))
                    ;
                QVERIFY(::kill(pid, SIGSTOP) == 0 && ::kill(pid, signal) == 0);
                QVERIFY(::kill(pid, SIGCONT) == 0);
            }
            QVERIFY(killed.waitForFinished(60000));
            fullRun = qMax(fullRun, round == 0 ? timer.nsecsElapsed() / 1000 : 0);
            const QByteArray context =
                "round " + QByteArray::number(round) + ", seed " + QByteArray::number(seed);
            QVERIFY2(signal == SIGKILL || killed.exitStatus() == QProcess::NormalExit, context);
            const QHash<QByteArray, QByteArray> trashed = trashedEntries(m_trash);
            partWay += round > 0 && trashed.size() > 0 && trashed.size() < count;
            QVERIFY2(signal == SIGKILL || round == 0 || partWay == round, context); // it stopped
            for (const QByteArray &name : namesIn(m_trash + "/files"))
                QVERIFY2(!trashed.key(name).isEmpty(), name + ", " + context); // info beside it
            for (const QByteArray &shot : shots)
                QVERIFY2(exists(shot) != trashed.contains(shot), shot + ", " + context);
            QCOMPARE(run("--put-back"), 0);
            for (const QByteArray &shot : shots)
                QVERIFY2(readRaw(shot) == shot, shot + ", " + context);
            QList<QByteArray> left = namesIn(m_trash + "/files") + namesIn(m_trash + "/info");
            for (const QByteArray &name :
                 namesIn(QFile::encodeName(m_home->stateHome()) + "/quillbrook"))
                if (name != "kept" && name != "last-run" && name != "lock")
                    left.append(name); // a temporary file
            QVERIFY2(left.isEmpty(), context + ", left: " + left.join(' '));
            checked += count;
        }
        qInfo(
            "%s: %d rounds interrupted (%lld part way), %lld entries checked, nothing left behind",
            QTest::currentDataTag(), rounds - 1, partWay, checked);
    }

    // One run or put back under way and frozen while it holds the lock: a second scheduled run
    // skips with one line and exit 0; a put back waits its turn. The record, the journal and the
    // kept list stay whole: everything comes back, and a later run takes nothing put back.
    void secondRunWhileOneIsUnderWay_data()
    {
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second");
        QTest::addColumn<QByteArray>("said");
        const QByteArray skipped("Skipped: another cleanup is running");
        const QString headless = "--headless", putBack = "--put-back";
        QTest::newRow("a run during a run") << headless << headless << skipped;
        QTest::newRow("a run during a put back") << putBack << headless << skipped;
        QTest::newRow("a put back during a run")
            << headless << putBack << QByteArray("Put back 300 of 300");
    }
    void secondRunWhileOneIsUnderWay()
    {
        QFETCH(QString, first);
        QFETCH(QString, second);
        QFETCH(QByteArray, said);
        m_settings->setAgeValue(-1);
        for (int i = 0; i < 300; ++i)
            QVERIFY(writeRaw(m_desktop + "/Screenshot " + QByteArray::number(i) + ".png"));
        QVERIFY(first == "--headless" || run("--headless") == 0);
        QProcess one, two;
        QVERIFY(start(one, first));
        while (!holdsLock(one.processId()) && one.state() == QProcess::Running)
            QThread::usleep(200);
        QVERIFY(::kill(pid_t(one.processId()), SIGSTOP) == 0 && holdsLock(one.processId()));
        QVERIFY(start(two, second));
        QCOMPARE(two.waitForFinished(1000), second == "--headless"); // put back waits
        QVERIFY(::kill(pid_t(one.processId()), SIGCONT) == 0);
        QVERIFY(one.waitForFinished(60000));
        QVERIFY(two.state() == QProcess::NotRunning || two.waitForFinished(60000));
        QCOMPARE(one.exitCode() + two.exitCode(), 0);
        QVERIFY2(two.readAll().contains(said), said);
        QVERIFY(second == "--put-back" || first == "--put-back" || run("--put-back") == 0);
        QCOMPARE(run("--headless"), 0); // all kept
        QCOMPARE(namesIn(m_desktop).size(), 300);
        QVERIFY(namesIn(m_trash + "/files").isEmpty());
    }

private:
    // Whether the process @p pid holds a file lock (ours is the only one it takes).
    static bool holdsLock(qint64 pid)
    {
        return readRaw("/proc/locks").value_or("").contains(" " + QByteArray::number(pid) + " ");
    }

    // Starts ours in this HOME, its output and errors merged.
    bool start(QProcess &process, const QString &option)
    {
        process.setProcessEnvironment(m_home->processEnvironment());
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(TestHome::quillbrookExecutable(), {option});
        return process.waitForStarted();
    }

    // Runs ours in this HOME to its end: its exit code, -1 when it did not end by itself.
    int run(const QString &option) const
    {
        return runProgram(TestHome::quillbrookExecutable(), {option}, m_home->processEnvironment())
            .exitCode;
    }

    std::optional<TestHome> m_home;
    std::optional<AppSettings> m_settings;
    QByteArray m_desktop;
    QByteArray m_trash;
};

QTEST_GUILESS_MAIN(TestHeadless)
#include "tst_headless.moc"
