#include "TestSupport.h"

#include "settings/AppSettings.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QThread>

// The built executable run as the scheduler runs it: a temporary HOME with a real Trash, no
// display; also killed at random moments, after which each entry exists exactly once: where it
// was, or in the Trash with a complete info file naming it.
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

    void headlessRunCleansTheDesktopIntoTheTrash()
    {
        const QString desktop = QFile::decodeName(m_desktop);
        const QStringList moved = {"CleanShot #1.heic", "SCREEN SHOT 100% \u00e4.PNG",
                                   "Screenshot link.png"};
        QVERIFY(QDir().mkpath(desktop + "/sub"));
        for (const QString &name :
             moved.mid(0, 2) + QStringList{"IMG_0001.png", ".Screenshot.png", "sub/Screenshot.png"})
            QVERIFY(writeRaw(QFile::encodeName(desktop + '/' + name), "png"));
        QVERIFY(QFile::link(desktop + "/IMG_0001.png", desktop + "/Screenshot link.png"));
        m_settings->setAgeValue(0); // made before the run: old enough
        const double before = double(QDateTime::currentMSecsSinceEpoch()) / 1000.0;
        QProcessEnvironment env = m_home->processEnvironment();
        env.insert("QT_DEBUG_PLUGINS", "1"); // any GUI platform plugin would show in its trace
        env.remove("QT_QPA_PLATFORM");
        QByteArray output;
        QCOMPARE(run({"--headless"}, &output, env), 0);
        QVERIFY2(!output.contains("Failed to trash") && !output.contains("platforms"), output);
        QCOMPARE(namesIn(m_desktop), (QList<QByteArray>{".Screenshot.png", "IMG_0001.png", "sub"}));
        QCOMPARE(m_settings->lastRunCount(), qint64(3));
        QVERIFY(m_settings->lastRunDate() >= before);
        for (const QString &name : moved)
            QB_VERIFY_TRASHED(m_trash, QFile::encodeName(desktop + '/' + name));

        // A real trash client reads back what was trashed, with the original paths and dates.
        const QString trashList = QStandardPaths::findExecutable("trash-list");
        if (trashList.isEmpty())
            QSKIP("trash-list (Debian package trash-cli) is not installed");
        QCOMPARE(run({}, &output, {}, trashList), 0);
        const QString listing = QString::fromUtf8(output);
        const QString day = QDateTime::currentDateTime().toString("yyyy-MM-dd ");
        for (const QString &name : moved)
            QVERIFY2(listing.contains(
                         QRegularExpression(day + "\\d\\d:\\d\\d:\\d\\d " +
                                            QRegularExpression::escape(desktop + '/' + name))),
                     qPrintable(listing));
    }

    void interactiveStartWithoutDisplayFailsCleanly()
    {
        QByteArray output;
        QVERIFY(run({}, &output) > 0);
        QVERIFY2(output.contains("display") && !output.trimmed().contains('\n'), output);
    }

    // A killed run or put back, then one left to finish: nothing lost, nothing twice, and an
    // entry never in files/ without its info file (an info file alone is tolerated).
    void killedRunsLoseNothing_data()
    {
        QTest::addColumn<QString>("option");
        QTest::newRow("run") << "--headless";
        QTest::newRow("put back") << "--put-back";
    }
    void killedRunsLoseNothing()
    {
        QFETCH(QString, option);
        const bool putBack = option == "--put-back";
        m_settings->setAgeValue(-1); // everything is old
        QList<QByteArray> shots;
        for (int i = 0; i < 200; ++i)
            shots.append(m_desktop + "/Screenshot " + QByteArray::number(i) + ".png");
        const quint32 seed = QRandomGenerator::global()->generate();
        QRandomGenerator random(seed);
        qint64 fullRun = 0;
        for (int round = 0; round < 4; ++round) {
            for (const QByteArray &shot : shots)
                QVERIFY(writeRaw(shot, shot) && setModified(shot, 1e9 + round)); // not kept
            QVERIFY(!putBack || run({"--headless"}) == 0);
            QProcess killed;
            killed.setProcessEnvironment(m_home->processEnvironment());
            QElapsedTimer timer;
            timer.start();
            killed.start(TestHome::quillbrookExecutable(), {option});
            QVERIFY(killed.waitForStarted());
            if (round > 0) { // the first round measures how long an undisturbed one takes
                QThread::usleep(quint64(random.bounded(fullRun + fullRun / 10 + 1)));
                killed.kill();
            }
            QVERIFY(killed.waitForFinished(60000));
            fullRun = qMax(fullRun, round == 0 ? timer.nsecsElapsed() / 1000 : 0);
            for (int pass = 0; pass < 2; ++pass) {
                const QHash<QByteArray, QByteArray> trashed = trashedEntries(m_trash);
                for (const QByteArray &name : namesIn(m_trash + "/files"))
                    QVERIFY2(!trashed.key(name).isEmpty(), name.constData()); // info beside it
                for (const QByteArray &shot : shots) {
                    const bool inTrash = trashed.contains(shot);
                    QVERIFY2(exists(shot) != inTrash,
                             qPrintable(shot + " seed " + QByteArray::number(seed)));
                    QVERIFY(!inTrash || readRaw(m_trash + "/files/" + trashed.value(shot)) == shot);
                    QVERIFY(pass == 0 || inTrash != putBack);
                }
                QVERIFY(pass == 1 || run({option}) == 0 || putBack); // some may be gone
            }
            if (!putBack)
                removeTreeAt(AT_FDCWD, m_trash);
        }
    }

private:
    // Runs @p program (ours by default) to its end: its exit code, -1 when it did not end by
    // itself; its output and errors in @p output.
    int run(const QStringList &arguments, QByteArray *output = nullptr,
            QProcessEnvironment env = {}, const QString &program = {})
    {
        QProcess process;
        process.setProcessEnvironment(env.isEmpty() ? m_home->processEnvironment() : env);
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(program.isEmpty() ? TestHome::quillbrookExecutable() : program, arguments);
        const bool ended = process.waitForFinished(60000);
        if (output)
            *output = process.readAll();
        return ended && process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }

    std::optional<TestHome> m_home;
    std::optional<AppSettings> m_settings;
    QByteArray m_desktop;
    QByteArray m_trash;
};

QTEST_GUILESS_MAIN(TestHeadless)
#include "tst_headless.moc"
