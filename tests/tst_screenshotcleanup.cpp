#include "TestSupport.h"

#include "cleanup/CleanupCommands.h"
#include "cleanup/FileSystem.h"
#include "cleanup/PutBack.h"
#include "cleanup/RunJournal.h"
#include "cleanup/ScreenshotCleanup.h"
#include "cleanup/Trash.h"
#include "platform/StopRequest.h"
#include "settings/AppSettings.h"

#include <QDateTime>
#include <QScopeGuard>

#include <sys/mount.h>

static const QByteArray Uid = QByteArray::number(qulonglong(getuid()));

// The selection rules, the Trash, a run and its record, and put back: every entry ends up exactly
// once, in its folder or in the Trash; one left where it was shows as a "Failed to trash " line.
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

    void nameRule_data()
    {
        QTest::addColumn<bool>("screenshot");
        for (const char *yes :
             {"/d/Screenshot 2024-05-01 at 10.15.00.png", "/d/SCREEN SHOT 2019-01-01.PNG",
              "/d/screenshot.Jpeg", "/d/CleanShot 2023-07-01.HEIC", "/d/Screenshot.backup.png",
              "/d/SCREENSHOT \xc4\xb0stanbul.PNG", "/d/Screenshot \xff\xfe.png",
              "/d/Screenshot 1.png/"})
            QTest::newRow(yes) << true;
        for (const char *no :
             {"/d/My screenshot.png", "/d/Screenshot 2024.gif", "/d/Screenshot.",
              "/d/Screenshot.png.txt", "/d/Screenshot.png ", "/Screenshot.png/IMG.png",
              "/d/Screen-shot.png", "/d/\xef\xbb\xbfScreenshot.png"}) // a byte-order mark counts
            QTest::newRow(no) << false;
    }
    void nameRule() { QTEST(isScreenshotName(QTest::currentDataTag()), "screenshot"); }

    // The cutoff is 1000, now 5000 unless a row says otherwise.
    void ageRule_data()
    {
        QTest::addColumn<std::optional<double>>("created");
        QTest::addColumn<std::optional<double>>("modified");
        QTest::addColumn<double>("now");
        QTest::addColumn<bool>("old");
        const std::optional<double> none;
        QTest::newRow("created 1 ms before") << std::optional(999.999) << none << 5e3 << true;
        QTest::newRow("created at cutoff") << std::optional(1000.0) << none << 5e3 << false;
        QTest::newRow("creation wins")
            << std::optional(1e3 + 1) << std::optional(1.0) << 5e3 << false;
        QTest::newRow("modification at cutoff") << none << std::optional(1000.0) << 5e3 << false;
        QTest::newRow("no dates") << none << none << 5e3 << false;
        QTest::newRow("no dates, future cutoff") << none << none << 999.0 << true;
    }
    void ageRule()
    {
        QFETCH(std::optional<double>, created);
        QFETCH(std::optional<double>, modified);
        QFETCH(double, now);
        QTEST(passesAgeRule({created, modified}, 1000.0, now), "old");
    }

    // Files, folders, links (never their targets) and names that are not UTF-8 move whole, with
    // a 0600 info file, into a trash made 0700 with its parents; one the user removes during a
    // run is made afresh.
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
        QVERIFY(setModified(entry, 2e9 + 0.25)); // a link's own date, not its target's
        QCOMPARE(FileSystem::entryDates(entry).modification, 2e9 + 0.25);
        const QByteArray fresh = QFile::encodeName(m_home->home()) + "/fresh";
        qputenv("XDG_DATA_HOME", fresh + "/share");
        Trash trash(Trash::defaultHomeTrash(), m_clock);
        const QByteArray ours = fresh + "/share/Trash";
        QString error;
        TrashedEntry placed;
        QVERIFY2(trash.trashEntry(entry, &error, &placed), qPrintable(error));
        QVERIFY(!exists(entry));
        QCOMPARE(placed.originalPath, entry);
        QCOMPARE(placed.trashFolder + '/' + placed.name, ours + '/' + name);
        QCOMPARE(readRaw(ours + "/info/" + name + ".trashinfo"),
                 "[Trash Info]\nPath=" + TrashInfo::percentEncodePath(entry) +
                     "\nDeletionDate=2023-11-14T23:13:20\n");
        QCOMPARE(modeOf(ours + "/info/" + name + ".trashinfo") & 07777, mode_t(0600));
        for (const char *folder :
             {"", "/share", "/share/Trash", "/share/Trash/files", "/share/Trash/info"})
            QCOMPARE(modeOf(fresh + folder) & 07777, mode_t(0700));
        QVERIFY(kind != "folder" || readRaw(ours + "/files/" + name + "/in") == "deep");
        QCOMPARE(S_ISLNK(modeOf(ours + "/files/" + name)), kind.endsWith("link"));
        QCOMPARE(exists(target), kind == "link");
        removeTree(ours);
        QVERIFY(writeRaw(m_desktop + "/Screenshot 2.png") &&
                trash.trashEntry(m_desktop + "/Screenshot 2.png", nullptr));
        QVERIFY(trashedEntries(ours).contains(m_desktop + "/Screenshot 2.png"));
    }

    // In one run and in one run per entry.
    void clashesKeepEveryEntry()
    {
        for (const bool oneRun : {true, false}) {
            removeTree(m_trash);
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

    // An empty "used": no trash on the volume can take the entry, and it stays. "planted": after
    // the run, the other user who owns .Trash puts a link or a folder of theirs, holding a file
    // of the same name, in place of our .Trash/$uid; put back must move nothing.
    void otherMountUsesItsTopFolderTrash_data()
    {
        QTest::addColumn<QByteArray>("shared");
        QTest::addColumn<QByteArray>("used");
        QTest::addColumn<QByteArray>("planted");
        const QByteArray none, shared = ".Trash/" + Uid, own = ".Trash-" + Uid;
        QTest::newRow("no .Trash") << none << own << none;
        QTest::newRow("sticky .Trash") << QByteArray("sticky") << shared << none;
        QTest::newRow(".Trash not sticky") << QByteArray("plain") << own << none;
        QTest::newRow(".Trash is a link") << QByteArray("link") << own << none;
        QTest::newRow("another's .Trash/uid") << QByteArray("foreign") << own << none;
        QTest::newRow("file in the way") << QByteArray("blocked") << none << none;
        QTest::newRow("full") << QByteArray("full") << none << none;
        QTest::newRow("another's .Trash, a link planted")
            << QByteArray("theirs") << shared << QByteArray("link");
        QTest::newRow("another's .Trash, a folder planted")
            << QByteArray("theirs") << shared << QByteArray("folder");
    }
    void otherMountUsesItsTopFolderTrash()
    {
        QFETCH(QByteArray, shared);
        QFETCH(QByteArray, used);
        QFETCH(QByteArray, planted);
        const QByteArray volume = QFile::encodeName(m_home->home()) + "/volume";
        QCOMPARE(mkdir(volume, 0755), 0); // a small tmpfs of the test's own
        if (mount("tmpfs", volume, "tmpfs", 0, "size=128k") != 0)
            QSKIP("cannot mount a tmpfs here: " + QByteArray(strerror(errno)));
        const auto unmount = qScopeGuard([&] { umount2(volume, MNT_DETACH); });
        const QByteArray sharedAt = shared == "link" ? volume + "/elsewhere" : volume + "/.Trash";
        if (shared != "blocked" && !shared.isEmpty() && shared != "full")
            QVERIFY(mkdir(sharedAt.constData(), 0777) == 0 &&
                    chmod(sharedAt.constData(), shared == "plain" ? 0777 : 01777) == 0);
        QVERIFY(shared != "link" || symlink("elsewhere", (volume + "/.Trash").constData()) == 0);
        if ((shared == "foreign" && (mkdir(sharedAt + '/' + Uid, 0700) != 0 ||
                                     chown(sharedAt + '/' + Uid, getuid() + 1, getgid()) != 0)) ||
            (shared == "theirs" && chown(sharedAt, getuid() + 1, getgid()) != 0))
            QSKIP("cannot give a folder to another user here");
        QVERIFY(shared != "blocked" || writeRaw(volume + "/.Trash-" + Uid, "in the way"));
        QVERIFY(mkdir((volume + "/shots").constData(), 0755) == 0 &&
                writeRaw(volume + "/shots/Screen Shot.png", "on the volume"));
        QVERIFY(shared != "full" || !writeRaw(volume + "/filler", QByteArray(256 * 1024, 'f')));

        m_settings->setSourceFolder(QFile::decodeName(volume + "/shots"));
        QCOMPARE(runOnce(-1), qint64(!used.isEmpty()));
        QVERIFY(!exists(m_trash)); // never copied home
        const int reason = shared == "blocked" ? ENOTDIR : ENOSPC;
        const QString failure = m_log->lines.value(0);
        QVERIFY2(!used.isEmpty() || failure.contains(strerror(reason)), qPrintable(failure));
        QCOMPARE(m_settings->lastRunFailedCount(), qint64(used.isEmpty()));
        QCOMPARE(lastRunJournal().firstFailure, failure);
        QVERIFY(!used.isEmpty() || namesIn(volume + "/.Trash-" + Uid + "/info").isEmpty());
        QCOMPARE(readRaw(volume + "/shots/Screen Shot.png").has_value(), used.isEmpty());
        if (used.isEmpty())
            return;
        QCOMPARE(trashedEntries(volume + '/' + used).value("shots/Screen Shot.png"),
                 "Screen Shot.png");
        QCOMPARE(modeOf(volume + '/' + used) & 0777, mode_t(0700));
        const QByteArray ours = volume + '/' + used, theirs = volume + "/theirs";
        if (!planted.isEmpty()) {
            QVERIFY(QDir().mkpath(QFile::decodeName(theirs + "/info")) &&
                    QDir().mkpath(QFile::decodeName(theirs + "/files")));
            QVERIFY(writeRaw(theirs + "/files/Screen Shot.png", "planted") &&
                    writeRaw(theirs + "/info/Screen Shot.png.trashinfo",
                             "[Trash Info]\nPath=shots/Screen%20Shot.png\n"));
            QVERIFY(chown(theirs, getuid() + 1, getgid()) == 0 &&
                    rename(ours, volume + "/.Trash/renamed") == 0);
            QVERIFY(planted == "link" ? symlink(theirs, ours) == 0 : rename(theirs, ours) == 0);
        }
        QString text, errors;
        QTextStream out(&text), err(&errors);
        // By the path below the volume; nothing through a link, nothing of another user's.
        QCOMPARE(putBackCommand(*m_settings, out, err), int(!planted.isEmpty()));
        QCOMPARE(readRaw(volume + "/shots/Screen Shot.png").value_or("(none)"),
                 planted.isEmpty() ? "on the volume" : "(none)");
        QVERIFY2(planted.isEmpty() ||
                     errors.startsWith("Cannot put back " + volume + "/shots/Screen Shot.png: "),
                 qPrintable(errors));
        QVERIFY(planted.isEmpty() || readRaw(ours + "/files/Screen Shot.png") == "planted");
    }

    // A folder that cannot be listed (one inside a Trash counts as such) is reported by the probe
    // and by the run, which logs and records why, moves nothing and still records itself.
    void unlistableFolderStillRecordsARun_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("reason"); // empty: it can be listed
        const auto row = [](const char *name, const char *folder, const QString &reason) {
            QTest::newRow(name) << QString(folder) << reason;
        };
        const QString trash = "it lies inside a Trash", relative = "not an absolute path";
        row("missing", "/Desktop-that-is-not-there", strerror(ENOENT));
        row("a file", "/Desktop/Screenshot old.png", strerror(ENOTDIR));
        row("relative", "Desktop", relative);
        row("home trash's info, by a link", "/trash-link/info", trash);
        row("below a volume's own trash", "/v/.Trash-5/files/sub", trash);
        row("a volume's shared trash", "/v/.Trash/5/info", trash);
        row("listable", "/Desktop", "");
    }
    void unlistableFolderStillRecordsARun()
    {
        QFETCH(QString, folder);
        QFETCH(QString, reason);
        const QByteArray home = QFile::encodeName(m_home->home());
        QVERIFY(writeRaw(m_desktop + "/Screenshot old.png") &&
                mkdir(home + "/hidden-only", 0755) == 0 && writeRaw(home + "/hidden-only/.a"));
        QVERIFY(symlink(m_trash, home + "/trash-link") == 0);
        for (const char *made : {"/v/.Trash-5/files/sub", "/v/.Trash/5/info"})
            QVERIFY(QDir().mkpath(m_home->home() + made));
        QVERIFY(QDir().mkpath(m_home->trash() + "/info") &&
                QDir().mkpath(m_home->trash() + "/files"));
        QVERIFY(writeRaw(m_trash + "/files/Screenshot old.png"));
        QDir::setCurrent(m_home->home()); // a relative path must not be read against it
        const QString stored = folder.startsWith('/') ? m_home->home() + folder : folder;
        m_settings->setSourceFolder(stored);
        m_settings->setLastRunCount(7);
        QCOMPARE(probeFolderAccess(*m_settings), !reason.isEmpty());
        QCOMPARE(FileSystem::listVisibleEntries(home + "/hidden-only/"), QList<QByteArray>());
        const FixedClock clock(double(QDateTime::currentSecsSinceEpoch() - 3 * 86400));
        QCOMPARE(runCleanup(*m_settings, clock), qint64(0));
        QCoreApplication::processEvents();
        const QString line = "Cannot list the source folder " + stored + ": " + reason;
        QCOMPARE(m_settings->lastRunError(), reason.isEmpty() ? QString() : line);
        QCOMPARE(m_log->lines, reason.isEmpty() ? QStringList() : QStringList(line));
        QCOMPARE(m_settings->lastRunCount(), qint64(0));
        QCOMPARE(m_settings->lastRunDate(), clock.now());
        QVERIFY(exists(m_desktop + "/Screenshot old.png") &&
                exists(m_trash + "/files/Screenshot old.png"));
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
        m_settings->setSourceFolder(QFile::decodeName(m_desktop) + "//"); // no "//" in the paths
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
        QTest::newRow("another entry of the same name")
            << QByteArray("replaced") << "Put back 2 of 3; 1 is not the one the run moved";
        QTest::newRow("info file replaced by a FIFO")
            << QByteArray("fifo") << "Put back 2 of 3; 1 no longer matches its info file";
    }
    void putBack()
    {
        QFETCH(QByteArray, spoil);
        const QList<QByteArray> shots = {m_desktop + "/Screenshot 1.png",
                                         m_desktop + "/Screenshot 2.png",
                                         m_desktop + "/Screenshot \xff.png"};
        for (const QByteArray &shot : shots)
            QVERIFY(writeRaw(shot, shot));
        QVERIFY(QDir().mkpath(m_home->trash() + "/files") && // a stray entry: a name clash
                writeRaw(m_trash + "/files/Screenshot 1.png", "stray"));
        QCOMPARE(runOnce(-1), qint64(3)); // everything made before a run is old
        QCOMPARE(entriesStillInTrash(lastRunJournal()), qint64(3));
        const QByteArray spoiled = m_trash + "/files/Screenshot 2.png";
        const QByteArray info = m_trash + "/info/Screenshot 2.png.trashinfo";
        if (spoil == "taken")
            QVERIFY(writeRaw(shots[1], "new"));
        else if (spoil == "gone")
            QCOMPARE(unlink(spoiled.constData()), 0);
        else if (spoil == "fifo")
            QVERIFY(unlink(info.constData()) == 0 && mkfifo(info.constData(), 0600) == 0);
        else if (spoil == "replaced") // made before the old one goes: another inode
            QVERIFY(writeRaw(spoiled + ".new") && rename(spoiled + ".new", spoiled) == 0);
        else if (spoil == "info")
            QVERIFY(writeRaw(info, "[Trash Info]\nPath=/x\n"));

        QTEST(putBackLastRun().summary, "summary");
        QCOMPARE(readRaw(shots[0]), shots[0]);
        QCOMPARE(readRaw(shots[2]), shots[2]);
        QCOMPARE(readRaw(shots[1]).value_or("(none)"), spoil == "taken"  ? "new"
                                                       : spoil.isEmpty() ? shots[1]
                                                                         : "(none)");
        const bool stays = !spoil.isEmpty() && spoil != "gone";
        QCOMPARE(exists(spoiled), stays);
        QCOMPARE(trashedEntries(m_trash).size(), int(spoil == "taken" || spoil == "replaced"));
        QCOMPARE(namesIn(m_trash + "/info").size(), int(stays));

        // Kept from the next run until changed; then taken again.
        QCOMPARE(runCleanup(*m_settings), qint64(spoil == "taken")); // the new one is not kept
        QVERIFY(setModified(shots[0], 1e9));
        QCOMPARE(countCandidates(*m_settings), qint64(1));
        QCOMPARE(previewEntries(*m_settings).value(0).path, shots[0]);
        QCOMPARE(putBackLastRun().summary,
                 spoil == "taken" ? "Put back 1 of 1" : "Nothing to put back");
    }

    // One line per entry, its path escaped: no name splits a line, adds a column or reaches the
    // terminal as a control.
    void previewLines_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QByteArray>("shown");
        const auto row = [](const char *tag, const QByteArray &name, const QByteArray &shown) {
            QTest::newRow(tag) << "Screenshot " + name + ".png"
                               << "Screenshot " + shown + ".png";
        };
        row("plain", "a", "a");
        row("tab and newline", "a\tb\nc", "a\\tb\\nc");
        row("backslash", "\\n", "\\\\n");
        row("escape and carriage return", "\x1b[2J\r", "\\x1B[2J\\x0D");
        row("delete and a C1 control", "\x7f\xc2\x9b", "\\x7F\\xC2\\x9B");
        row("bytes that are not UTF-8", "\xff\xfe", "\\xFF\\xFE");
        row("overlong slashes, a surrogate and a cut sequence",
            "\xc0\xaf\xe0\x80\xaf\xed\xa0\x80\xe2\x82",
            "\\xC0\\xAF\\xE0\\x80\\xAF\\xED\\xA0\\x80\\xE2\\x82");
        row("the replacement character", "\xef\xbf\xbd", "\xef\xbf\xbd");
    }
    void previewLines()
    {
        QFETCH(QByteArray, name);
        QFETCH(QByteArray, shown);
        QVERIFY(writeRaw(m_desktop + '/' + name));
        m_settings->setAgeValue(-1);
        QString text, errors;
        QTextStream out(&text), err(&errors);
        QCOMPARE(previewCommand(*m_settings, out, err), 0);
        const QRegularExpression line(
            "^" + QRegularExpression::escape(QString::fromUtf8(m_desktop + '/' + shown)) +
            "\t\\d{4}-\\d\\d-\\d\\dT[\\d:]{8}(Z|[+-]\\d\\d:\\d\\d)\\t(created|modified)\\n$");
        QVERIFY2(line.match(text).hasMatch(), qPrintable(text));
        m_settings->setSourceFolder(QStringLiteral("/no/such/folder"));
        QCOMPARE(previewCommand(*m_settings, out, err), 1);
        QCOMPARE(errors, "quillbrook: Cannot list the source folder /no/such/folder: " +
                             QString(strerror(ENOENT)) + '\n');
        // Whether the file system keeps birth times is asked of the kernel, not of the code under
        // test: where it does, "created" must hold, not skip.
        struct statx st = {};
        if (statx(AT_FDCWD, m_desktop + '/' + name, 0, STATX_BTIME, &st) != 0 ||
            !(st.stx_mask & STATX_BTIME))
            QSKIP("this file system keeps no birth time");
        QVERIFY(text.endsWith("\tcreated\n"));
    }

    // Whatever stands in place of a state file is never followed, waited on or read whole;
    // --preview writes nothing; a run or put back replaces it with a 0600 file, except the lock,
    // which is only ever locked: one that is not a regular file stops both.
    void stateFilesAreNeverTrusted_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QByteArray>("kind");
        for (const char *file : {"kept", "last-run", "lock"})
            for (const char *kind : {"a link", "a FIFO", "64 MiB and a byte"})
                QTest::addRow("%s is %s", file, kind) << QByteArray(file) << QByteArray(kind);
    }
    void stateFilesAreNeverTrusted()
    {
        QFETCH(QByteArray, file);
        QFETCH(QByteArray, kind);
        const QByteArray state = QFile::encodeName(m_home->stateHome()) + "/quillbrook";
        const QByteArray path = state + '/' + file, target = m_desktop + "/target";
        QVERIFY(QDir().mkpath(QFile::decodeName(state)) && chmod(state, 0755) == 0);
        QVERIFY(writeRaw(target, "target") && writeRaw(m_desktop + "/Screenshot 1.png"));
        if (kind == "a link")
            QCOMPARE(symlink(target, path), 0);
        else if (kind == "a FIFO")
            QCOMPARE(mkfifo(path, 0600), 0);
        else
            QVERIFY(writeRaw(path) && truncate(path, RunJournalStore::MaxStateFileBytes + 1) == 0);
        m_settings->setAgeValue(-1);
        QString text, errors;
        QTextStream out(&text), err(&errors);
        QCOMPARE(previewCommand(*m_settings, out, err), 0);
        QVERIFY(text.startsWith(QFile::decodeName(m_desktop) + "/Screenshot 1.png\t"));
        QCOMPARE(namesIn(state), QList<QByteArray>{file});
        QCOMPARE(modeOf(state) & 0777, mode_t(0755));

        const bool refused = file == "lock" && kind != "64 MiB and a byte";
        QCOMPARE(runCleanup(*m_settings), qint64(!refused));
        QCOMPARE(putBackLastRun().allBack(), !refused);
        QVERIFY(exists(m_desktop + "/Screenshot 1.png") && readRaw(target) == "target");
        QCOMPARE(modeOf(state) & 0777, mode_t(0700));
        QVERIFY(refused || modeOf(path) == (S_IFREG | 0600));
        const QString logged = m_log->lines.join('\n');
        QVERIFY2(!refused || logged.contains("Cannot lock " + path), qPrintable(logged));
        QVERIFY2(file == "lock" || logged.contains("Cannot read " + path), qPrintable(logged));
    }

    // A stop request ends a run after the entry it is moving, with its journal complete.
    void stopsBetweenEntries()
    {
        for (const char *name : {"/Screenshot 1.png", "/Screenshot 2.png", "/Screenshot 3.png"})
            QVERIFY(writeRaw(m_desktop + name));
        m_settings->setAgeValue(-1);
        StopRequest stop;
        QList<qint64> progress;
        RunOptions options;
        options.stop = &stop;
        options.progress = [&](qint64 done, qint64 total) {
            progress.append(done * 10 + total);
            if (done == 2)
                stop.request();
        };
        const RunReport report = runCleanup(*m_settings, options);
        QVERIFY(report.stopped && report.moved == 2 && report.exitStatus() == 0);
        QCOMPARE(progress, (QList<qint64>{13, 23}));
        QCOMPARE(lastRunJournal().entries.size(), 2);
        QCOMPARE(putBackLastRun().summary, "Put back 2 of 2");
    }

    // An info file the journal names whose entry is not in files/ (a run killed before its move,
    // a put back after it), whole or empty, goes with the next put back or run, as does a killed
    // state write's temporary file; one naming another path, or not named, stays.
    void strandedInfoFiles_data()
    {
        QTest::addColumn<QByteArray>("info"); // "-": as the run wrote it
        QTest::addColumn<bool>("byRun");
        QTest::addColumn<bool>("removed");
        const QByteArray whole("-"), other("[Trash Info]\nPath=/elsewhere.png\n");
        QTest::newRow("whole, by put back") << whole << false << true;
        QTest::newRow("whole, by the next run") << whole << true << true;
        QTest::newRow("empty, by the next run") << QByteArray() << true << true;
        QTest::newRow("another path's, by put back") << other << false << false;
    }
    void strandedInfoFiles()
    {
        QFETCH(QByteArray, info);
        QFETCH(bool, byRun);
        const QByteArray shot = m_desktop + "/Screenshot 1.png";
        const QByteArray infoFile = m_trash + "/info/Screenshot 1.png.trashinfo";
        QVERIFY(writeRaw(shot) && runOnce(-1) == 1);
        QCOMPARE(rename(m_trash + "/files/Screenshot 1.png", shot), 0);
        QVERIFY(info == "-" || writeRaw(infoFile, info));
        const QByteArray leftover = RunJournalStore::stateFolder() + "/last-run.Ab12Cd";
        QVERIFY(writeRaw(m_trash + "/info/Not named.png.trashinfo") && writeRaw(leftover));
        if (byRun)
            QCOMPARE(runOnce(1000), qint64(0));
        else
            QCOMPARE(putBackLastRun().summary, "Nothing to put back");
        QTEST(!exists(infoFile), "removed");
        QVERIFY(exists(m_trash + "/info/Not named.png.trashinfo") && exists(shot));
        QVERIFY(!exists(leftover)); // a write killed half way left it
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
