#include "FixedClock.h"
#include "TestHome.h"

#include "cleanup/PreviewCount.h"
#include "cleanup/ScreenshotCleanup.h"
#include "cleanup/Trash.h"
#include "platform/Log.h"
#include "settings/AppSettings.h"

#include <QDateTime>
#include <QFile>
#include <QTest>

#include <limits>
#include <memory>

namespace {

void touch(const QString &path)
{
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
    file.write("x");
}

QStringList sortedEntries(const QString &folder)
{
    QStringList names = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                               QDir::NoDotAndDotDot);
    names.sort();
    return names;
}

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
        m_home = std::make_unique<TestHome>();
        m_desktop = m_home->home() + QStringLiteral("/Desktop");
        QDir().mkpath(m_desktop);
        m_settings = std::make_unique<AppSettings>(m_home->settingsFile(), m_home->home());
        m_logged.clear();
        setLogSink([this](const QString &line) { m_logged.append(line); });
    }

    void cleanup()
    {
        setLogSink({});
        m_settings.reset();
        m_home.reset();
    }

    void nameRule_data()
    {
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<bool>("screenshot");
        QTest::newRow("macOS style") << QByteArray("/d/Screenshot 2024-05-01 at 10.15.00.png") << true;
        QTest::newRow("upper case, blank") << QByteArray("/d/SCREEN SHOT 2019-01-01.PNG") << true;
        QTest::newRow("mixed-case jpeg") << QByteArray("/d/screenshot.Jpeg") << true;
        QTest::newRow("third prefix heic") << QByteArray("/d/CleanShot 2023-07-01.HEIC") << true;
        QTest::newRow("jpg") << QByteArray("/d/screenshot_1.jpg") << true;
        QTest::newRow("last dot only") << QByteArray("/d/Screenshot.backup.png") << true;
        QTest::newRow("other name") << QByteArray("/d/IMG_0001.png") << false;
        QTest::newRow("prefix not at start") << QByteArray("/d/My screenshot.png") << false;
        QTest::newRow("gif") << QByteArray("/d/Screenshot 2024.gif") << false;
        QTest::newRow("tiff") << QByteArray("/d/Screenshot 2024.tiff") << false;
        QTest::newRow("no extension") << QByteArray("/d/Screenshot") << false;
        QTest::newRow("empty extension") << QByteArray("/d/Screenshot.") << false;
        QTest::newRow("image before other ext") << QByteArray("/d/Screenshot.png.txt") << false;
        QTest::newRow("blank after ext") << QByteArray("/d/Screenshot.png ") << false;
        QTest::newRow("folder name not used") << QByteArray("/Screenshot.png/IMG.png") << false;
        QTest::newRow("non-ASCII") << QByteArray("/d/SCREENSHOT \xc4\xb0stanbul.PNG") << true;
        QTest::newRow("invalid UTF-8") << QByteArray("/d/Screenshot \xff\xfe.png") << true;
        QTest::newRow("invalid UTF-8 ext") << QByteArray("/d/Screenshot.p\xffng") << false;
        QTest::newRow("screen-shot hyphen") << QByteArray("/d/Screen-shot.png") << false;
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
        QTest::newRow("creation wins") << std::optional(1000.5) << std::optional(10.0) << 5000.0
                                       << false;
        QTest::newRow("creation wins, old") << std::optional(10.0) << std::optional(4000.0)
                                            << 5000.0 << true;
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
        const double now = 1.7e9;
        const double max = double(std::numeric_limits<qint64>::max());
        QTest::newRow("1 day") << qint64(1) << AgeUnit::Days << now - 86400.0;
        QTest::newRow("2 weeks") << qint64(2) << AgeUnit::Weeks << now - 1209600.0;
        QTest::newRow("0 hours") << qint64(0) << AgeUnit::Hours << now;
        QTest::newRow("negative") << qint64(-3) << AgeUnit::Hours << now + 10800.0;
        QTest::newRow("huge") << std::numeric_limits<qint64>::max() << AgeUnit::Weeks
                              << now - max * 604800.0;
        QTest::newRow("most negative") << std::numeric_limits<qint64>::min() << AgeUnit::Weeks
                                       << now + max * 604800.0;
    }

    void cutoff()
    {
        QFETCH(qint64, ageValue);
        QFETCH(AgeUnit, unit);
        QFETCH(double, expected);
        QCOMPARE(ageCutoff(1.7e9, ageValue, unit), expected);
    }

    void runMovesExactlyTheSelectedEntries()
    {
        touch(m_desktop + "/Screenshot a.png");
        touch(m_desktop + "/.Screenshot hidden.png");
        touch(m_desktop + "/IMG_1.png");
        QDir().mkpath(m_desktop + "/sub");
        touch(m_desktop + "/sub/Screenshot inner.png");
        QDir().mkpath(m_desktop + "/Screenshot stash.png");
        touch(m_desktop + "/Screenshot stash.png/inside.txt");
        touch(m_desktop + "/target.txt");
        QVERIFY(QFile::link(m_desktop + "/target.txt", m_desktop + "/Screenshot link.png"));

        FixedClock clock(realNow() + 3 * 86400.0);
        QCOMPARE(countCandidates(*m_settings, clock), qint64(3));
        QCOMPARE(runCleanup(*m_settings, clock), qint64(3));

        QCOMPARE(sortedEntries(m_desktop), (QStringList{".Screenshot hidden.png", "IMG_1.png", "sub", "target.txt"}));
        QVERIFY(QFile::exists(m_desktop + "/sub/Screenshot inner.png"));
        QCOMPARE(sortedEntries(m_home->trash() + "/files"),
                 (QStringList{"Screenshot a.png", "Screenshot link.png", "Screenshot stash.png"}));
        QVERIFY(QFileInfo(m_home->trash() + "/files/Screenshot link.png").isSymLink());
        QVERIFY(QFile::exists(m_home->trash() + "/files/Screenshot stash.png/inside.txt"));
        QVERIFY(m_logged.isEmpty());

        // The record is queued, not written during the run.
        QCOMPARE(m_settings->lastRunCount(), qint64(0));
        QCoreApplication::processEvents();
        QCOMPARE(m_settings->lastRunCount(), qint64(3));
        QCOMPARE(m_settings->lastRunDate(), clock.now());
    }

    void youngScreenshotsStay()
    {
        touch(m_desktop + "/Screenshot young.png");
        FixedClock clock(realNow() + 3600.0);
        QCOMPARE(countCandidates(*m_settings, clock), qint64(0));
        QCOMPARE(runCleanup(*m_settings, clock), qint64(0));
        QVERIFY(QFile::exists(m_desktop + "/Screenshot young.png"));
    }

    void unlistableFolderStillRecordsARun_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::newRow("missing") << QStringLiteral("/Desktop-that-is-not-there");
        QTest::newRow("a file") << QStringLiteral("/file");
        QTest::newRow("relative") << QStringLiteral("Desktop");
        QTest::newRow("empty") << QString();
    }

    void unlistableFolderStillRecordsARun()
    {
        QFETCH(QString, folder);
        touch(m_desktop + "/Screenshot old.png");
        touch(m_home->home() + "/file");
        // A relative path must not be read against the working folder.
        QDir::setCurrent(m_home->home());
        m_settings->setSourceFolder(folder.startsWith('/') ? m_home->home() + folder : folder);
        m_settings->setLastRunCount(7);
        FixedClock clock(realNow() + 3 * 86400.0);
        QCOMPARE(runCleanup(*m_settings, clock), qint64(0));
        QCoreApplication::processEvents();
        QCOMPARE(m_settings->lastRunCount(), qint64(0));
        QCOMPARE(m_settings->lastRunDate(), clock.now());
        QVERIFY(QFile::exists(m_desktop + "/Screenshot old.png"));
        QVERIFY(probeFolderAccess(*m_settings));
        QVERIFY(m_logged.isEmpty());
    }

    void probeAnswersOnlyWhetherTheFolderLists()
    {
        QVERIFY(!probeFolderAccess(*m_settings));
        touch(m_desktop + "/.hidden");
        QVERIFY(!probeFolderAccess(*m_settings));
        QCOMPARE(countCandidates(*m_settings), qint64(0));
    }

    void failedMoveIsLoggedAndTheRunGoesOn()
    {
        touch(m_desktop + "/Screenshot 1.png");
        touch(m_desktop + "/Screenshot 3.png");
        const QByteArray vanished = QFile::encodeName(m_desktop + "/Screenshot 2%s.png");
        const QList<QByteArray> candidates = {QFile::encodeName(m_desktop + "/Screenshot 1.png"),
                                              vanished,
                                              QFile::encodeName(m_desktop + "/Screenshot 3.png")};
        Trash trash;
        QCOMPARE(trashEntries(candidates, trash), qint64(2));
        QCOMPARE(m_logged.size(), 1);
        QVERIFY2(m_logged[0].startsWith("Failed to trash " + m_desktop + "/Screenshot 2%s.png: "),
                 qPrintable(m_logged[0]));
        QVERIFY(m_logged[0].size() > QString("Failed to trash " + vanished + ": ").size());
    }

private:
    std::unique_ptr<TestHome> m_home;
    std::unique_ptr<AppSettings> m_settings;
    QString m_desktop;
    QStringList m_logged;
};

QTEST_GUILESS_MAIN(TestScreenshotCleanup)
#include "tst_screenshotcleanup.moc"
