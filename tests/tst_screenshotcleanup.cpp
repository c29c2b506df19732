#include "TestSupport.h"

#include "cleanup/ScreenshotCleanup.h"
#include "cleanup/Trash.h"
#include "settings/AppSettings.h"

#include <QDateTime>

#include <limits>

namespace {

double realNow()
{
    return double(QDateTime::currentMSecsSinceEpoch()) / 1000.0;
}

} // namespace

class TestScreenshotCleanup : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_home.emplace();
        m_desktop = QFile::encodeName(m_home->home()) + "/Desktop";
        QCOMPARE(mkdir(m_desktop.constData(), 0755), 0);
        m_settings.emplace(m_home->settingsFile(), m_home->home());
        m_log.emplace();
    }
    void cleanup()
    {
        m_log.reset();
        m_settings.reset();
        m_home.reset();
    }

    void nameRule_data()
    {
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<bool>("screenshot");
        const auto row = [](const char *name, bool yes) {
            QTest::newRow(name) << QByteArray(name) << yes;
        };
        row("/d/Screenshot 2024-05-01 at 10.15.00.png", true);
        row("/d/SCREEN SHOT 2019-01-01.PNG", true);
        row("/d/screenshot.Jpeg", true);
        row("/d/CleanShot 2023-07-01.HEIC", true);
        row("/d/screenshot_1.jpg", true);
        row("/d/Screenshot.backup.png", true);
        row("/d/SCREENSHOT \xc4\xb0stanbul.PNG", true);
        row("/d/Screenshot \xff\xfe.png", true);
        row("/d/IMG_0001.png", false);
        row("/d/My screenshot.png", false);
        row("/d/Screenshot 2024.gif", false);
        row("/d/Screenshot", false);
        row("/d/Screenshot.", false);
        row("/d/Screenshot.png.txt", false);
        row("/d/Screenshot.png ", false);
        row("/Screenshot.png/IMG.png", false);
        row("/d/Screenshot.p\xffng", false);
        row("/d/Screen-shot.png", false);
        row("/d/\xef\xbb\xbfScreenshot.png", false); // a byte-order mark is part of the name
        row("/d/Screenshot \xc0\xaf\xe2\x82.png", true);
        row("/d/Screenshot 1.png/", true);
    }
    void nameRule()
    {
        QFETCH(QByteArray, path);
        QFETCH(bool, screenshot);
        QCOMPARE(isScreenshotName(path), screenshot);
    }

    void ageRule_data()
    {
        QTest::addColumn<std::optional<double>>("creation");
        QTest::addColumn<std::optional<double>>("modification");
        QTest::addColumn<double>("now");
        QTest::addColumn<bool>("old");
        const std::optional<double> none;
        // The cutoff is 1000 in every row.
        QTest::newRow("created 1 ms before") << std::optional(999.999) << none << 5000.0 << true;
        QTest::newRow("created at cutoff") << std::optional(1000.0) << none << 5000.0 << false;
        QTest::newRow("creation wins")
            << std::optional(1000.5) << std::optional(10.0) << 5e3 << false;
        QTest::newRow("creation wins, old")
            << std::optional(10.0) << std::optional(4e3) << 5e3 << true;
        QTest::newRow("modification only") << none << std::optional(999.999) << 5000.0 << true;
        QTest::newRow("modification at cutoff") << none << std::optional(1000.0) << 5000.0 << false;
        QTest::newRow("no dates") << none << none << 5000.0 << false;
        QTest::newRow("no dates, future cutoff") << none << none << 999.0 << true;
    }
    void ageRule()
    {
        QFETCH(std::optional<double>, creation);
        QFETCH(std::optional<double>, modification);
        QFETCH(double, now);
        QFETCH(bool, old);
        QCOMPARE(passesAgeRule(EntryDates{creation, modification}, 1000.0, now), old);
    }

    void cutoff_data()
    {
        QTest::addColumn<qint64>("ageValue");
        QTest::addColumn<AgeUnit>("unit");
        QTest::addColumn<double>("expected");
        const double now = 1.7e9, max = double(std::numeric_limits<qint64>::max());
        QTest::newRow("1 day") << qint64(1) << AgeUnit::Days << now - 86400.0;
        QTest::newRow("2 weeks") << qint64(2) << AgeUnit::Weeks << now - 1209600.0;
        QTest::newRow("negative hours") << qint64(-3) << AgeUnit::Hours << now + 10800.0;
        QTest::newRow("huge") << std::numeric_limits<qint64>::max() << AgeUnit::Weeks
                              << now - max * 604800.0;
        QTest::newRow("most negative")
            << std::numeric_limits<qint64>::min() << AgeUnit::Weeks << now + max * 604800.0;
    }
    void cutoff()
    {
        QFETCH(qint64, ageValue);
        QFETCH(AgeUnit, unit);
        QFETCH(double, expected);
        QCOMPARE(ageCutoff(1.7e9, ageValue, unit), expected);
    }

    // Where the file system records birth times, a file made now is young whatever its mtime.
    void birthTimeDecides()
    {
        const QByteArray path = m_desktop + "/Screenshot new.png";
        QVERIFY(writeRaw(path) && setModified(path, 1e9));
        if (!FileSystem::entryDates(path).creation)
            QSKIP("this file system keeps no birth time (statx gives none)");
        const double now = realNow();
        QVERIFY(!isTrashCandidate(path, now - 3600.0, FixedClock(now)));
        QVERIFY(isTrashCandidate(path, now + 3600.0, FixedClock(now)));
    }

    void runMovesExactlyTheSelectedEntries()
    {
        for (const char *name :
             {"Screenshot a.png", ".Screenshot hidden.png", "IMG_1.png", "t.txt"})
            QVERIFY(writeRaw(m_desktop + '/' + name));
        QVERIFY(QDir().mkpath(QFile::decodeName(m_desktop + "/sub")) &&
                writeRaw(m_desktop + "/sub/Screenshot in.png"));
        QVERIFY(QDir().mkpath(QFile::decodeName(m_desktop + "/Screenshot stash.png")));
        QCOMPARE(symlink("t.txt", (m_desktop + "/Screenshot link.png").constData()), 0);

        FixedClock clock(realNow() + 3 * 86400.0);
        QCOMPARE(countCandidates(*m_settings, clock), qint64(3));
        std::optional<FixedClock> runClock(clock.now() + 5);
        QCOMPARE(runCleanup(*m_settings, *runClock), qint64(3));
        runClock.reset(); // the queued record must not need the caller's clock any more
        QCOMPARE(namesIn(m_desktop),
                 (QList<QByteArray>{".Screenshot hidden.png", "IMG_1.png", "sub", "t.txt"}));
        QCOMPARE(
            namesIn(QFile::encodeName(m_home->trash()) + "/files"),
            (QList<QByteArray>{"Screenshot a.png", "Screenshot link.png", "Screenshot stash.png"}));
        QVERIFY(m_log->lines.isEmpty());
        QCOMPARE(m_settings->lastRunCount(), qint64(0)); // queued, not written during the run
        QCoreApplication::processEvents();
        QCOMPARE(m_settings->lastRunCount(), qint64(3));
        QCOMPARE(m_settings->lastRunDate(), clock.now() + 5);
    }

    void unlistableFolderStillRecordsARun_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::newRow("missing") << QStringLiteral("/Desktop-that-is-not-there");
        QTest::newRow("a file") << QStringLiteral("/Desktop/Screenshot old.png");
        QTest::newRow("relative") << QStringLiteral("Desktop");
        QTest::newRow("listable") << QStringLiteral("/Desktop");
    }
    void unlistableFolderStillRecordsARun()
    {
        QFETCH(QString, folder);
        QVERIFY(writeRaw(m_desktop + "/Screenshot old.png") && writeRaw(m_desktop + "/.hidden"));
        QDir::setCurrent(m_home->home()); // a relative path must not be read against it
        m_settings->setSourceFolder(folder.startsWith('/') ? m_home->home() + folder : folder);
        m_settings->setLastRunCount(7);
        QCOMPARE(probeFolderAccess(*m_settings), folder != "/Desktop");
        const FixedClock clock(realNow() - 3 * 86400.0);
        QCOMPARE(runCleanup(*m_settings, clock), qint64(0));
        QCoreApplication::processEvents();
        QCOMPARE(m_settings->lastRunCount(), qint64(0));
        QCOMPARE(m_settings->lastRunDate(), clock.now());
        QVERIFY(exists(m_desktop + "/Screenshot old.png") && m_log->lines.isEmpty());
    }

    void failedMoveIsLoggedAndTheRunGoesOn()
    {
        QVERIFY(writeRaw(m_desktop + "/Screenshot 1.png") &&
                writeRaw(m_desktop + "/Screenshot 3.png"));
        const QList<QByteArray> candidates = {m_desktop + "/Screenshot 1.png",
                                              m_desktop + "/Screenshot 2%s.png",
                                              m_desktop + "/Screenshot 3.png"};
        Trash trash;
        QCOMPARE(trashEntries(candidates, trash), qint64(2));
        QCOMPARE(m_log->lines.size(), 1);
        QCOMPARE(m_log->lines[0], "Failed to trash " + candidates[1] + ": Cannot find " +
                                      candidates[1] + ": " + strerror(ENOENT));
    }

private:
    std::optional<TestHome> m_home;
    std::optional<AppSettings> m_settings;
    std::optional<LogCapture> m_log;
    QByteArray m_desktop;
};

QTEST_GUILESS_MAIN(TestScreenshotCleanup)
#include "tst_screenshotcleanup.moc"
