#include "TestSupport.h"

#include "cleanup/CleanupCommands.h"
#include "cleanup/FileSystem.h"
#include "cleanup/PutBack.h"
#include "cleanup/RunJournal.h"
#include "cleanup/ScreenshotCleanup.h"
#include "cleanup/Trash.h"
#include "settings/AppSettings.h"

#include <QDateTime>

#include <climits>
#include <limits>

using namespace TrashInfo;

namespace {

double realNow()
{
    return double(QDateTime::currentMSecsSinceEpoch()) / 1000.0;
}

mode_t modeOf(const QByteArray &path)
{
    struct stat st = {};
    return lstat(path.constData(), &st) == 0 ? st.st_mode : 0;
}

const QByteArray Uid = QByteArray::number(qulonglong(getuid()));

} // namespace

// The selection rules, the Trash, a run and its record, and put back. Hostile names and paths
// end up exactly once, in their folder or in the Trash; one that stays after it was selected
// shows as a "Failed to trash " line.
class TestScreenshotCleanup : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // Central European time, spelled as a POSIX rule so that no zone database is needed.
        qputenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3");
        tzset();
    }
    void init()
    {
        m_home.emplace();
        m_desktop = QFile::encodeName(m_home->home()) + "/Desktop";
        m_trash = QFile::encodeName(m_home->trash());
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

    // The name rule, the age rule (the cutoff is 1000 in its rows), the cutoff, the texts of the
    // Trash and the nearest existing folder.
    void rules_data()
    {
        QTest::addColumn<QByteArray>("actual");
        QTest::addColumn<QByteArray>("expected");
        const auto row = [](const QByteArray &name, const QByteArray &actual,
                            const QByteArray &expected) {
            QTest::newRow(name.constData()) << actual << expected;
        };
        const auto number = [](double value) { return QByteArray::number(value, 'g', 17); };
        for (const char *yes :
             {"/d/Screenshot 2024-05-01 at 10.15.00.png", "/d/SCREEN SHOT 2019-01-01.PNG",
              "/d/screenshot.Jpeg", "/d/CleanShot 2023-07-01.HEIC", "/d/screenshot_1.jpg",
              "/d/Screenshot.backup.png", "/d/SCREENSHOT \xc4\xb0stanbul.PNG",
              "/d/Screenshot \xff\xfe.png", "/d/Screenshot \xc0\xaf\xe2\x82.png",
              "/d/Screenshot 1.png/"})
            row(yes, number(isScreenshotName(yes)), "1");
        for (const char *no :
             {"/d/IMG_0001.png", "/d/My screenshot.png", "/d/Screenshot 2024.gif", "/d/Screenshot",
              "/d/Screenshot.", "/d/Screenshot.png.txt", "/d/Screenshot.png ",
              "/Screenshot.png/IMG.png", "/d/Screenshot.p\xffng", "/d/Screen-shot.png",
              "/d/\xef\xbb\xbfScreenshot.png"}) // a byte-order mark is part of the name
            row(no, number(isScreenshotName(no)), "0");
        const auto age = [&](const char *name, std::optional<double> creation,
                             std::optional<double> modification, double now, bool old) {
            row(name, number(passesAgeRule({creation, modification}, 1000.0, now)), number(old));
        };
        const std::nullopt_t none = std::nullopt;
        age("created 1 ms before", 999.999, none, 5e3, true);
        age("created at cutoff", 1000.0, none, 5e3, false);
        age("creation wins", 1000.5, 10.0, 5e3, false);
        age("creation wins, old", 10.0, 4e3, 5e3, true);
        age("modification only", none, 999.999, 5e3, true);
        age("modification at cutoff", none, 1000.0, 5e3, false);
        age("no dates", none, none, 5e3, false);
        age("no dates, future cutoff", none, none, 999.0, true);
        const double now = 1.7e9, max = double(std::numeric_limits<qint64>::max());
        const auto cutoff = [&](const char *name, qint64 value, AgeUnit unit, double expected) {
            row(name, number(ageCutoff(now, value, unit)), number(expected));
        };
        cutoff("1 day", 1, AgeUnit::Days, now - 86400.0);
        cutoff("2 weeks", 2, AgeUnit::Weeks, now - 1209600.0);
        cutoff("negative hours", -3, AgeUnit::Hours, now + 10800.0);
        cutoff("huge", std::numeric_limits<qint64>::max(), AgeUnit::Weeks, now - max * 604800.0);
        cutoff("most negative", std::numeric_limits<qint64>::min(), AgeUnit::Weeks,
               now + max * 604800.0);
        const QList<std::pair<const char *, const char *>> escapes = {
            {"/A-Z_a.z~09", "/A-Z_a.z~09"},
            {"/a b/50%", "/a%20b/50%25"},
            {"/?#[]@!$&'()*+,;=:", "/%3F%23%5B%5D%40%21%24%26%27%28%29%2A%2B%2C%3B%3D%3A"},
            {"/a\nPath=/etc", "/a%0APath%3D/etc"},
            {"/\xc3\xa9\xff\x01\x7f", "/%C3%A9%FF%01%7F"},
            {"-", "/a%"},
            {"-", "/a%4"},
            {"-", "/a%G1"},
            {"-", "/a%+1b"}}; // "-": malformed, decodes to nothing
        for (const auto &[raw, encoded] : escapes) {
            const QByteArray lower = QByteArray(encoded).toLower();
            row("decode " + lower, percentDecodePath(lower).value_or("-"),
                QByteArray(raw).toLower());
            row(encoded, percentDecodePath(encoded).value_or("-"), raw);
            if (*raw != '-')
                row("encode " + QByteArray(encoded), percentEncodePath(raw), encoded);
        }
        row("winter", deletionDateText(1.7e9 + 0.999), "2023-11-14T23:13:20");
        row("summer time", deletionDateText(1.69e9), "2023-07-22T06:26:40");
        row("before the epoch", deletionDateText(-0.5), "1970-01-01T00:59:59");
        row("info path", *trashInfoPath("[Trash Info]\r\nDeletionDate=x\nPath = /a%20b \n"),
            "/a b");
        row("info in another group", trashInfoPath("[Other]\nPath=/a\n").value_or("-"), "-");
        row("first name", trashEntryName("a.png", 1), "a.png");
        row("two dots", trashEntryName("a.tar.gz", 3), "a.tar.3.gz");
        row("no extension", trashEntryName("notes", 2), "notes.2");
        row("leading dot", trashEntryName(".hidden", 2), ".hidden.2");
        row("trailing dot", trashEntryName("a.", 2), "a..2");
        row("long name", trashEntryName(QByteArray(251, 'x') + ".png", 2),
            QByteArray(239, 'x') + ".2.png"); // 245 bytes, room for ".trashinfo"
        row("long extension", trashEntryName("a." + QByteArray(253, 'e'), 2),
            "a." + QByteArray(241, 'e') + ".2");
        const auto folder = [](const char *path) {
            return QFile::encodeName(FileSystem::nearestExistingFolder(path));
        };
        row("folder itself", folder("/usr/lib/"), "/usr/lib");
        row("folder of a file", folder("/usr/bin/env"), "/usr/bin");
        row("missing folders", folder("/usr/no/such/folder"), "/usr");
        row("missing top folder", folder("/no-such-top-folder/x"), "/");
        row("relative folder", folder("usr/lib"), "");
        row("no folder", folder(""), "");
    }
    void rules()
    {
        QFETCH(QByteArray, actual);
        QFETCH(QByteArray, expected);
        QCOMPARE(actual, expected);
    }

    // Files, folders, links (never their targets) and names that are not UTF-8 move whole.
    void movesEntryWithInfo_data()
    {
        QTest::addColumn<QByteArray>("kind");
        for (const char *kind : {"file", "folder", "link", "dangling link", "not utf-8"})
            QTest::newRow(kind) << QByteArray(kind);
    }
    void movesEntryWithInfo()
    {
        QFETCH(QByteArray, kind);
        const QByteArray name = kind == "not utf-8" ? "Screenshot \xff.png" : "Screen Shot 1.png";
        const QByteArray entry = m_desktop + '/' + name, target = m_desktop + "/target";
        if (kind == "folder")
            QVERIFY(mkdir(entry.constData(), 0755) == 0 && writeRaw(entry + "/in", "deep"));
        else if (kind.endsWith("link"))
            QCOMPARE(symlink(target.constData(), entry.constData()), 0);
        else
            QVERIFY(writeRaw(entry, "pixels"));
        QVERIFY(kind != "link" || writeRaw(target, "target"));
        Trash trash(m_trash, m_clock);
        QString error;
        TrashedEntry placed;
        QVERIFY2(trash.trashEntry(entry, &error, &placed), qPrintable(error));
        QVERIFY(!exists(entry));
        QCOMPARE(placed.originalPath, entry);
        QCOMPARE(placed.trashFolder + '/' + placed.name, m_trash + '/' + name);
        QCOMPARE(readRaw(m_trash + "/info/" + name + ".trashinfo"),
                 "[Trash Info]\nPath=" + percentEncodePath(entry) +
                     "\nDeletionDate=2023-11-14T23:13:20\n");
        QCOMPARE(modeOf(m_trash + "/info/" + name + ".trashinfo") & 07777, mode_t(0600));
        QVERIFY(kind != "folder" || readRaw(m_trash + "/files/" + name + "/in") == "deep");
        QCOMPARE(S_ISLNK(modeOf(m_trash + "/files/" + name)), kind.endsWith("link"));
        QCOMPARE(exists(target), kind == "link");
    }

    // In one run and in one run per entry.
    void clashesKeepEveryEntry()
    {
        for (const bool oneRun : {true, false}) {
            removeTreeAt(AT_FDCWD, m_trash);
            const QByteArray entry = m_desktop + "/Screenshot.png";
            // A stray entry without an info file holds the first name.
            QVERIFY(QDir().mkpath(m_home->trash() + "/files"));
            QVERIFY(writeRaw(m_trash + "/files/Screenshot.png", "stray"));
            std::optional<Trash> trash;
            for (int i = 0; i < 10; ++i) {
                if (!trash || !oneRun)
                    trash.emplace(m_trash, m_clock);
                QVERIFY(writeRaw(entry, QByteArray::number(i)) &&
                        trash->trashEntry(entry, nullptr));
            }
            QCOMPARE(readRaw(m_trash + "/files/Screenshot.png"), "stray");
            QCOMPARE(readRaw(m_trash + "/files/Screenshot.2.png"), "0");
            QSet<QByteArray> contents;
            for (const QByteArray &name : namesIn(m_trash + "/info"))
                contents.insert(readRaw(m_trash + "/files/" + name.chopped(10)).value_or(""));
            QCOMPARE(contents.size(), 10);
            QCOMPARE(trashedEntries(m_trash).keys(), QList<QByteArray>{entry});
        }
    }

    // The trash and its parents are made 0700; one the user removes during a run is made afresh.
    void makesTheTrashAsNeeded()
    {
        const QByteArray fresh = QFile::encodeName(m_home->home()) + "/fresh";
        qputenv("XDG_DATA_HOME", fresh + "/share");
        Trash trash(Trash::defaultHomeTrash(), m_clock);
        for (const char *name : {"/Screenshot 1.png", "/Screenshot 2.png"}) {
            QVERIFY(writeRaw(m_desktop + name, name) &&
                    trash.trashEntry(m_desktop + name, nullptr));
            QB_VERIFY_TRASHED(fresh + "/share/Trash", m_desktop + name);
            for (const char *folder :
                 {"", "/share", "/share/Trash", "/share/Trash/files", "/share/Trash/info"})
                QCOMPARE(modeOf(fresh + folder) & 07777, mode_t(0700));
            removeTreeAt(AT_FDCWD, fresh + "/share/Trash");
        }
    }

    void failuresLeaveTheEntry()
    {
        // Entry, trash ("" for ours), what is in its way, the error's reason (0: ": not a ...").
        const std::tuple<QByteArray, QByteArray, QByteArray, int> rows[] = {
            {"/gone.png", "", "", ENOENT},
            {"a.png", "", "", 0},
            {"/", "", "", 0},
            {"/a.png", "rel", "", 0},
            {"/a.png", "", "info", ENOTDIR},
            {"/a.png", "", "files", ENOTDIR}};
        for (const auto &[entry, trash, blocker, reason] : rows) {
            removeTreeAt(AT_FDCWD, m_trash);
            QVERIFY(writeRaw(m_desktop + "/a.png", "keep") && mkdir(m_trash, 0700) == 0);
            QVERIFY(blocker != "info" || writeRaw(m_trash + "/info", "not a folder"));
            QVERIFY(blocker != "files" || symlink(m_desktop, m_trash + "/files") == 0);
            QString error;
            QVERIFY(
                !Trash(trash.isEmpty() ? m_trash : trash, m_clock)
                     .trashEntry(entry.size() > 1 && entry[0] == '/' ? m_desktop + entry : entry,
                                 &error));
            QVERIFY2(error.startsWith("Cannot ") &&
                         error.contains(reason ? strerror(reason) : ": not a"),
                     qPrintable(error));
            QCOMPARE(readRaw(m_desktop + "/a.png"), "keep");
            QCOMPARE(namesIn(m_desktop).size(), 1); // nothing moved in through a linked files/
            QVERIFY(namesIn(m_trash + "/info").isEmpty() || blocker == "info");
        }
    }

    // An empty "used": no trash on the volume can take the entry, and it stays.
    void otherMountUsesItsTopFolderTrash_data()
    {
        QTest::addColumn<QByteArray>("shared");
        QTest::addColumn<QByteArray>("used");
        QTest::newRow("no .Trash") << QByteArray() << ".Trash-" + Uid;
        QTest::newRow("sticky .Trash") << QByteArray("sticky") << ".Trash/" + Uid;
        QTest::newRow(".Trash not sticky") << QByteArray("plain") << ".Trash-" + Uid;
        QTest::newRow(".Trash is a link") << QByteArray("link") << ".Trash-" + Uid;
        QTest::newRow("another's .Trash/uid") << QByteArray("foreign") << ".Trash-" + Uid;
        QTest::newRow("file in the way") << QByteArray("blocked") << QByteArray();
        QTest::newRow("read-only") << QByteArray("read-only") << QByteArray();
        QTest::newRow("full") << QByteArray("full") << QByteArray();
    }
    void otherMountUsesItsTopFolderTrash()
    {
        QFETCH(QByteArray, shared);
        QFETCH(QByteArray, used);
        const QByteArray volume = QFile::encodeName(m_home->home()) + "/volume";
        Tmpfs tmpfs(volume, "size=128k");
        if (!tmpfs.isMounted())
            QSKIP(tmpfs.skipReason().constData());
        const QByteArray sharedAt = shared == "link" ? volume + "/elsewhere" : volume + "/.Trash";
        if (shared == "sticky" || shared == "plain" || shared == "link" || shared == "foreign")
            QVERIFY(mkdir(sharedAt.constData(), 0777) == 0 &&
                    chmod(sharedAt.constData(), shared == "plain" ? 0777 : 01777) == 0);
        QVERIFY(shared != "link" || symlink("elsewhere", (volume + "/.Trash").constData()) == 0);
        if (shared == "foreign" && (mkdir(sharedAt + '/' + Uid, 0700) != 0 ||
                                    chown(sharedAt + '/' + Uid, getuid() + 1, getgid()) != 0))
            QSKIP("cannot give a folder to another user here");
        QVERIFY(shared != "blocked" || writeRaw(volume + "/.Trash-" + Uid, "in the way"));
        QVERIFY(mkdir((volume + "/shots").constData(), 0755) == 0 &&
                writeRaw(volume + "/shots/Screen Shot.png", "on the volume"));
        QVERIFY(shared != "read-only" || tmpfs.makeReadOnly());
        QVERIFY(shared != "full" || !writeRaw(volume + "/filler", QByteArray(256 * 1024, 'f')));

        m_settings->setSourceFolder(QFile::decodeName(volume + "/shots"));
        QCOMPARE(runOnce(-1), qint64(!used.isEmpty()));
        QVERIFY(!exists(m_trash)); // never copied home
        const int reason = shared == "blocked" ? ENOTDIR : shared == "full" ? ENOSPC : EROFS;
        const QString failure = m_log->lines.value(0);
        QVERIFY2(!used.isEmpty() || failure.contains(strerror(reason)), qPrintable(failure));
        QCOMPARE(m_settings->lastRunFailedCount(), qint64(used.isEmpty()));
        QCOMPARE(lastRunJournal().firstFailure, failure);
        QVERIFY(!used.isEmpty() || namesIn(volume + "/.Trash-" + Uid + "/info").isEmpty());
        QCOMPARE(readRaw(volume + "/shots/Screen Shot.png").has_value(), used.isEmpty());
        if (used.isEmpty())
            return;
        QCOMPARE(lastRunJournal().entries.value(0).trashFolder, volume + '/' + used);
        QCOMPARE(trashedEntries(volume + '/' + used).value("shots/Screen Shot.png"),
                 "Screen Shot.png");
        QCOMPARE(modeOf(volume + '/' + used) & 0777, mode_t(0700));
        QVERIFY(namesIn(volume + "/elsewhere").isEmpty());
        QCOMPARE(putBackLastRun().summary, "Put back 1 of 1"); // by the path below the volume
        QCOMPARE(readRaw(volume + "/shots/Screen Shot.png"), "on the volume");
    }

    // Where the file system records birth times, a file made now is young whatever its mtime.
    // A link's dates are its own.
    void datesOfEntries()
    {
        const QByteArray path = m_desktop + "/Screenshot new.png", link = m_desktop + "/link";
        QVERIFY(writeRaw(path) && setModified(path, 1e9 + 0.25));
        QVERIFY(symlink("Screenshot new.png", link.constData()) == 0 && setModified(link, 2e9));
        QCOMPARE(FileSystem::entryDates(path).modification, 1e9 + 0.25);
        QCOMPARE(FileSystem::entryDates(link).modification, 2e9);
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

        m_settings->setSourceFolder(m_home->home() + "/Desktop//"); // no "//" in the paths
        FixedClock clock(realNow() + 3 * 86400.0);
        QCOMPARE(countCandidates(*m_settings, clock), qint64(3));
        std::optional<FixedClock> runClock(clock.now() + 5);
        QCOMPARE(runCleanup(*m_settings, *runClock), qint64(3));
        runClock.reset(); // the queued record must not need the caller's clock any more
        QCOMPARE(namesIn(m_desktop),
                 (QList<QByteArray>{".Screenshot hidden.png", "IMG_1.png", "sub", "t.txt"}));
        QCOMPARE(
            namesIn(m_trash + "/files"),
            (QList<QByteArray>{"Screenshot a.png", "Screenshot link.png", "Screenshot stash.png"}));
        QVERIFY(m_log->lines.isEmpty());
        QB_VERIFY_TRASHED(m_trash, m_desktop + "/Screenshot a.png");
        QCOMPARE(m_settings->lastRunCount(), qint64(0)); // queued, not written during the run
        QCoreApplication::processEvents();
        QCOMPARE(m_settings->lastRunCount(), qint64(3));
        QCOMPARE(m_settings->lastRunDate(), clock.now() + 5);
    }

    // A folder that cannot be listed is reported by the probe; a run there still records itself.
    void unlistableFolderStillRecordsARun_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<bool>("missing");
        for (const char *folder : {"/Desktop-that-is-not-there", "/Desktop/Screenshot old.png",
                                   "Desktop", "/dangling", ""})
            QTest::newRow(folder) << QString::fromUtf8(folder) << true;
        for (const char *folder : {"/Desktop", "/hidden-only", "/link"})
            QTest::newRow(folder) << QString::fromUtf8(folder) << false;
    }
    void unlistableFolderStillRecordsARun()
    {
        QFETCH(QString, folder);
        QFETCH(bool, missing);
        const QByteArray home = QFile::encodeName(m_home->home());
        QVERIFY(writeRaw(m_desktop + "/Screenshot old.png") &&
                mkdir(home + "/hidden-only", 0755) == 0 && writeRaw(home + "/hidden-only/.a"));
        QVERIFY(symlink("hidden-only", home + "/link") == 0 &&
                symlink("none", home + "/dangling") == 0);
        QDir::setCurrent(m_home->home()); // a relative path must not be read against it
        m_settings->setSourceFolder(folder.startsWith('/') ? m_home->home() + folder : folder);
        m_settings->setLastRunCount(7);
        QCOMPARE(probeFolderAccess(*m_settings), missing);
        QCOMPARE(FileSystem::listVisibleEntries(home + "/hidden-only/"), QList<QByteArray>());
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
        QCOMPARE(m_log->lines, QStringList("Failed to trash " + candidates[1] + ": Cannot find " +
                                           candidates[1] + ": " + strerror(ENOENT)));
    }

    void hostileNames_data()
    {
        QTest::addColumn<QList<QByteArray>>("names");
        QTest::addColumn<int>("rounds");
        QList<QByteArray> bytes = {"Screenshot \n[Trash Info]\nPath=%2Fetc%2Fpasswd\n.png",
                                   "Screenshot %2F%00.png", "Screenshot ", "Screenshot "};
        for (int byte = 1; byte < 256; ++byte) {
            if (byte != '/') {
                bytes.append("Screenshot " + QByteArray(1, char(byte)) + ".png");
                bytes[byte < 128 ? 2 : 3].append(char(byte));
            }
        }
        bytes[2].append(".png");
        bytes[3].append(".png");
        QTest::newRow("every byte") << bytes << 1;
        // 255 bytes leave no room for ".trashinfo"; a second round forces clashes at full length.
        QList<QByteArray> longest;
        for (const QByteArray unit : {"x", "\xc3\xa9", "\xe2\x82\xac", "\xf0\x9f\x93\xb7"}) {
            const QByteArray name = "Screenshot " + unit.repeated(240 / unit.size());
            longest.append(name + QByteArray(251 - name.size(), '_') + ".png");
        }
        QTest::newRow("longest names") << longest << 2;
    }
    void hostileNames()
    {
        QFETCH(QList<QByteArray>, names);
        QFETCH(int, rounds);
        for (int round = 0; round < rounds; ++round) {
            for (const QByteArray &name : names)
                QVERIFY2(writeRaw(m_desktop + '/' + name), name.constData());
            QCOMPARE(runOnce(0), qint64(names.size()));
        }
        QVERIFY2(m_log->lines.isEmpty(), qPrintable(m_log->lines.join('\n')));
        const QHash<QByteArray, QByteArray> trashed = trashedEntries(m_trash);
        QCOMPARE(namesIn(m_trash + "/files").size(), names.size() * rounds);
        for (const QByteArray &name : names)
            QVERIFY2(trashed.contains(m_desktop + '/' + name), name.constData());
        for (const QByteArray &name : namesIn(m_trash + "/files")) // never cut inside a character
            QVERIFY(rounds == 1 || QString::fromUtf8(name).toUtf8() == name);
    }

    void pathsNearPathMax_data()
    {
        QTest::addColumn<int>("folderLength");
        QTest::addColumn<qint64>("ageValue");
        QTest::newRow("longest path that fits") << PATH_MAX - 1 - 256 << qint64(0);
        QTest::newRow("path one past the limit") << PATH_MAX - 1 - 255 << qint64(-1);
        QTest::newRow("path past the limit, by age") << PATH_MAX - 100 << qint64(0);
        QTest::newRow("path past the limit, forced") << PATH_MAX - 100 << qint64(-1);
        QTest::newRow("folder past the limit") << PATH_MAX + 300 << qint64(-1);
    }
    void pathsNearPathMax()
    {
        QFETCH(int, folderLength);
        QFETCH(qint64, ageValue);
        const QByteArray base = QFile::encodeName(m_home->home()) + "/deep";
        QCOMPARE(mkdir(base.constData(), 0700), 0);
        int fd = open(base.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        QByteArray folder = base;
        while (folder.size() < folderLength) {
            // Components of up to 200 bytes, never leaving a remainder no component can fill.
            const int room = int(folderLength - folder.size()) - 1;
            const QByteArray component(room <= 200 ? room : room == 201 ? 199 : 200, 'd');
            QVERIFY(mkdirat(fd, component.constData(), 0700) == 0);
            const int next = openat(fd, component.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            close(fd);
            QVERIFY((fd = next) >= 0);
            folder += '/' + component;
        }
        const QByteArray name = "Screenshot " + QByteArray(240, 'n') + ".png";
        const int file =
            openat(fd, name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        QVERIFY(file >= 0 && close(file) == 0);
        m_settings->setSourceFolder(QFile::decodeName(folder));
        const qint64 moved = runOnce(ageValue);
        const bool stayed = faccessat(fd, name.constData(), F_OK, AT_SYMLINK_NOFOLLOW) == 0;
        close(fd);
        const bool inTrash = trashedEntries(m_trash).contains(folder + '/' + name);
        QVERIFY(stayed != inTrash);
        QCOMPARE(moved, qint64(inTrash));
        QVERIFY2(m_log->lines.isEmpty(), qPrintable(m_log->lines.join('\n')));
        QVERIFY(inTrash || folder.size() + name.size() >= PATH_MAX - 1);
    }

    // Put back never replaces a taken name; entries put back are kept from the next run until
    // they change.
    void putBack_data()
    {
        QTest::addColumn<QByteArray>("spoil");
        QTest::addColumn<QString>("summary");
        QTest::newRow("all") << QByteArray() << "Put back 3 of 3";
        QTest::newRow("name taken") << QByteArray("taken") << "Put back 2 of 3; 1 name is taken";
        QTest::newRow("gone") << QByteArray("gone")
                              << "Put back 2 of 3; 1 is no longer in the Trash";
        QTest::newRow("info changed")
            << QByteArray("info") << "Put back 2 of 3; 1 no longer matches its info file";
    }
    void putBack()
    {
        QFETCH(QByteArray, spoil);
        QFETCH(QString, summary);
        const QList<QByteArray> shots = {m_desktop + "/Screenshot 1.png",
                                         m_desktop + "/Screenshot 2.png",
                                         m_desktop + "/Screenshot \xff.png"};
        for (const QByteArray &shot : shots)
            QVERIFY(writeRaw(shot, shot));
        m_settings->setAgeValue(-1); // everything made before a run is old
        m_settings->setAgeUnit(AgeUnit::Hours);
        const QList<PreviewEntry> preview = previewEntries(*m_settings);
        QCOMPARE(runCleanup(*m_settings), qint64(3));
        const RunJournal journal = lastRunJournal();
        QCOMPARE(journal.entries.size(), preview.size());
        for (qsizetype i = 0; i < preview.size(); ++i)
            QCOMPARE(journal.entries[i].originalPath, preview[i].path);
        QCOMPARE(entriesStillInTrash(journal), qint64(3));
        const QByteArray spoiled = m_trash + "/files/Screenshot 2.png";
        if (spoil == "taken")
            QVERIFY(writeRaw(shots[1], "new"));
        else if (spoil == "gone")
            QCOMPARE(unlink(spoiled.constData()), 0);
        else if (spoil == "info")
            QVERIFY(
                writeRaw(m_trash + "/info/Screenshot 2.png.trashinfo", "[Trash Info]\nPath=/x\n"));

        const PutBackResult result = putBackLastRun();
        QCOMPARE(result.summary, summary);
        QCOMPARE(readRaw(shots[0]), shots[0]);
        QCOMPARE(readRaw(shots[2]), shots[2]);
        QCOMPARE(readRaw(shots[1]).value_or("(none)"), spoil == "taken"  ? "new"
                                                       : spoil.isEmpty() ? shots[1]
                                                                         : "(none)");
        QCOMPARE(exists(spoiled), spoil == "taken" || spoil == "info");
        QCOMPARE(trashedEntries(m_trash).size(), int(spoil == "taken"));
        QCOMPARE(namesIn(m_trash + "/info").size(), int(spoil == "taken" || spoil == "info"));

        // Kept from the next run until changed; then taken again.
        QCOMPARE(runCleanup(*m_settings),
                 qint64(spoil == "taken")); // the new file is not kept
        QVERIFY(setModified(shots[0], 1e9));
        QCOMPARE(countCandidates(*m_settings), qint64(1));
        QCOMPARE(previewEntries(*m_settings).value(0).path, shots[0]);
        QCOMPARE(previewEntries(*m_settings).value(0).source, DateSource::Created);
        QCOMPARE(putBackLastRun().summary,
                 spoil == "taken" ? "Put back 1 of 1" : "Nothing to put back");
    }

    void previewCommandLines()
    {
        QVERIFY(writeRaw(m_desktop + "/Screenshot a.png"));
        m_settings->setAgeValue(-1);
        QString text, errors;
        QTextStream out(&text), err(&errors);
        QCOMPARE(previewCommand(*m_settings, out, err), 0);
        const QRegularExpression line("^" + QFile::decodeName(m_desktop) +
                                      "/Screenshot a.png\t\\d{4}-\\d\\d-\\d\\dT[\\d:]{8}"
                                      "(Z|[+-]\\d\\d:\\d\\d)\\tcreated\\n$");
        QVERIFY2(line.match(text).hasMatch(), qPrintable(text));
        m_settings->setSourceFolder(QStringLiteral("/no/such/folder"));
        QCOMPARE(previewCommand(*m_settings, out, err), 1);
        QVERIFY2(errors.contains("Cannot list the source folder /no/such/folder"),
                 qPrintable(errors));
    }

private:
    // One run with an age limit of @p ageValue hours, its record written.
    qint64 runOnce(qint64 ageValue)
    {
        m_settings->setAgeValue(ageValue);
        m_settings->setAgeUnit(AgeUnit::Hours);
        const qint64 moved = runCleanup(*m_settings);
        QCoreApplication::processEvents();
        return moved;
    }

    std::optional<TestHome> m_home;
    std::optional<AppSettings> m_settings;
    std::optional<LogCapture> m_log;
    FixedClock m_clock{1.7e9};
    QByteArray m_desktop;
    QByteArray m_trash;
};

QTEST_GUILESS_MAIN(TestScreenshotCleanup)
#include "tst_screenshotcleanup.moc"
