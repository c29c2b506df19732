#include "TestSupport.h"

#include "cleanup/Trash.h"

using namespace TrashInfo;

namespace {

mode_t modeOf(const QByteArray &path)
{
    struct stat st = {};
    return lstat(path.constData(), &st) == 0 ? st.st_mode : 0;
}

const QByteArray Uid = QByteArray::number(qulonglong(getuid()));

} // namespace

class TestTrash : public QObject
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
    }
    void cleanup() { m_home.reset(); }

    // An empty raw column: the escape is malformed and decodes to nothing.
    void percentEncoding_data()
    {
        QTest::addColumn<QByteArray>("raw");
        QTest::addColumn<QByteArray>("encoded");
        const auto row = [](const char *raw, const char *encoded) {
            QTest::newRow(encoded) << QByteArray(raw) << QByteArray(encoded);
        };
        row("/A-Z_a.z~09", "/A-Z_a.z~09");
        row("/a b/50%", "/a%20b/50%25");
        row("/?#[]@!$&'()*+,;=:", "/%3F%23%5B%5D%40%21%24%26%27%28%29%2A%2B%2C%3B%3D%3A");
        row("/a\nPath=/etc", "/a%0APath%3D/etc");
        row("/\xc3\xa9\xff\x01\x7f", "/%C3%A9%FF%01%7F");
        for (const char *bad : {"/a%", "/a%4", "/a%G1", "/a%+1b"})
            row("", bad);
    }
    void percentEncoding()
    {
        QFETCH(QByteArray, raw);
        QFETCH(QByteArray, encoded);
        QCOMPARE(percentDecodePath(encoded), raw.isEmpty() ? std::nullopt : std::optional(raw));
        QCOMPARE(percentDecodePath(encoded.toLower()).value_or(""), raw.toLower());
        QVERIFY(raw.isEmpty() || percentEncodePath(raw) == encoded);
    }

    void texts_data()
    {
        QTest::addColumn<QByteArray>("actual");
        QTest::addColumn<QByteArray>("expected");
        const auto row = [](const char *name, const QByteArray &actual, const char *expected) {
            QTest::newRow(name) << actual << QByteArray(expected);
        };
        row("winter", deletionDateText(1.7e9), "2023-11-14T23:13:20");
        row("fraction cut", deletionDateText(1.7e9 + 0.999), "2023-11-14T23:13:20");
        row("summer time", deletionDateText(1.69e9), "2023-07-22T06:26:40");
        row("before the epoch", deletionDateText(-0.5), "1970-01-01T00:59:59");
        row("info path", *trashInfoPath("[Trash Info]\r\nDeletionDate=x\nPath = /a%20b \n"),
            "/a b");
        row("info in another group", trashInfoPath("[Other]\nPath=/a\n").value_or("-"), "-");
        row("first name", trashEntryName("a.png", 1), "a.png");
        row("second name", trashEntryName("a.png", 2), "a.2.png");
        row("two dots", trashEntryName("a.tar.gz", 3), "a.tar.3.gz");
        row("no extension", trashEntryName("notes", 2), "notes.2");
        row("leading dot", trashEntryName(".hidden", 2), ".hidden.2");
        row("trailing dot", trashEntryName("a.", 2), "a..2");
    }
    void texts()
    {
        QFETCH(QByteArray, actual);
        QFETCH(QByteArray, expected);
        QCOMPARE(actual, expected);
    }

    void longNamesFitAndStayDistinct_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QByteArray>("ending");
        QTest::newRow("ascii") << QByteArray(251, 'x') + ".png" << QByteArray(".png");
        QTest::newRow("two-byte") << "\xc3\xa9" + QByteArray(250, 'x') + ".png"
                                  << QByteArray(".png");
        QTest::newRow("long extension") << "a." + QByteArray(253, 'e') << QByteArray();
    }
    void longNamesFitAndStayDistinct()
    {
        QFETCH(QByteArray, name);
        QFETCH(QByteArray, ending);
        QSet<QByteArray> seen;
        for (qint64 suffix = 1; suffix <= 40; ++suffix) {
            const QByteArray shortened = trashEntryName(name, suffix);
            QVERIFY(shortened.size() <= 245 && shortened.endsWith(ending));
            QCOMPARE(QString::fromUtf8(shortened).toUtf8(), shortened); // no cut sequence
            seen.insert(shortened);
        }
        QCOMPARE(seen.size(), 40);
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

    void clashesKeepEveryEntry_data()
    {
        QTest::addColumn<bool>("oneRun");
        QTest::newRow("one run") << true;
        QTest::newRow("one run per entry") << false;
    }
    void clashesKeepEveryEntry()
    {
        QFETCH(bool, oneRun);
        const QByteArray entry = m_desktop + "/Screenshot.png";
        // A stray entry without an info file holds the first name.
        QVERIFY(QDir().mkpath(m_home->trash() + "/files"));
        QVERIFY(writeRaw(m_trash + "/files/Screenshot.png", "stray"));
        std::optional<Trash> trash;
        for (int i = 0; i < 20; ++i) {
            if (!trash || !oneRun)
                trash.emplace(m_trash, m_clock);
            QVERIFY(writeRaw(entry, QByteArray::number(i)) && trash->trashEntry(entry, nullptr));
        }
        QCOMPARE(readRaw(m_trash + "/files/Screenshot.png"), "stray");
        QCOMPARE(readRaw(m_trash + "/files/Screenshot.2.png"), "0");
        QSet<QByteArray> contents;
        for (const QByteArray &name : namesIn(m_trash + "/info"))
            contents.insert(readRaw(m_trash + "/files/" + name.chopped(10)).value_or(""));
        QCOMPARE(contents.size(), 20);
        QCOMPARE(trashedEntries(m_trash).keys(), QList<QByteArray>{entry});
    }

    void createsMissingDataFolder()
    {
        const QByteArray fresh = QFile::encodeName(m_home->home()) + "/fresh";
        qputenv("XDG_DATA_HOME", fresh + "/share");
        QVERIFY(writeRaw(m_desktop + "/Screenshot.png", "x"));
        QVERIFY(Trash(Trash::defaultHomeTrash(), m_clock)
                    .trashEntry(m_desktop + "/Screenshot.png", nullptr));
        QCOMPARE(readRaw(fresh + "/share/Trash/files/Screenshot.png"), "x");
        for (const char *folder :
             {"", "/share", "/share/Trash", "/share/Trash/files", "/share/Trash/info"})
            QCOMPARE(modeOf(fresh + folder) & 07777, mode_t(0700));
    }

    void failuresLeaveTheEntry_data()
    {
        QTest::addColumn<QByteArray>("entry");
        QTest::addColumn<QByteArray>("trash");
        QTest::addColumn<QByteArray>("blocker");
        QTest::addColumn<int>("reason");
        const auto row = [](const char *name, const char *entry, const char *trash,
                            const char *blocker, int reason) {
            QTest::newRow(name) << QByteArray(entry) << QByteArray(trash) << QByteArray(blocker)
                                << reason;
        };
        row("missing entry", "/gone.png", "", "", ENOENT);
        row("relative entry", "a.png", "", "", 0);
        row("root", "/", "", "", 0);
        row("relative trash", "/a.png", "rel", "", 0);
        row("info is a file", "/a.png", "", "info", ENOTDIR);
        row("files is a link", "/a.png", "", "files", ENOTDIR);
    }
    void failuresLeaveTheEntry()
    {
        QFETCH(QByteArray, entry);
        QFETCH(QByteArray, trash);
        QFETCH(QByteArray, blocker);
        QFETCH(int, reason);
        QVERIFY(writeRaw(m_desktop + "/a.png", "keep"));
        QCOMPARE(mkdir(m_trash.constData(), 0700), 0);
        QVERIFY(blocker != "info" || writeRaw(m_trash + "/info", "not a folder"));
        QVERIFY(blocker != "files" ||
                symlink(m_desktop.constData(), (m_trash + "/files").constData()) == 0);
        QString error;
        QVERIFY(!Trash(trash.isEmpty() ? m_trash : trash, m_clock)
                     .trashEntry(entry.size() > 1 && entry[0] == '/' ? m_desktop + entry : entry,
                                 &error));
        QVERIFY2(error.startsWith("Cannot ") &&
                     error.contains(reason ? strerror(reason) : ": not a"),
                 qPrintable(error));
        QCOMPARE(readRaw(m_desktop + "/a.png"), "keep");
        QCOMPARE(namesIn(m_desktop).size(), 1); // nothing moved in through a linked files/
        QVERIFY(namesIn(m_trash + "/info").isEmpty() || blocker == "info");
    }

    // The trash is opened once per run; one the user removes during the run is made afresh.
    void trashRemovedDuringTheRun()
    {
        Trash trash(m_trash, m_clock);
        for (const char *name : {"/Screenshot 1.png", "/Screenshot 2.png"}) {
            QVERIFY(writeRaw(m_desktop + name, name) &&
                    trash.trashEntry(m_desktop + name, nullptr));
            QB_VERIFY_TRASHED(m_trash, m_desktop + name);
            removeTreeAt(AT_FDCWD, m_trash.constData());
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
        if (shared == "sticky" || shared == "plain" || shared == "link")
            QVERIFY(mkdir(sharedAt.constData(), 0777) == 0 &&
                    chmod(sharedAt.constData(), shared == "plain" ? 0777 : 01777) == 0);
        QVERIFY(shared != "link" || symlink("elsewhere", (volume + "/.Trash").constData()) == 0);
        QVERIFY(shared != "blocked" || writeRaw(volume + "/.Trash-" + Uid, "in the way"));
        QVERIFY(mkdir((volume + "/shots").constData(), 0755) == 0 &&
                writeRaw(volume + "/shots/Screen Shot.png", "on the volume"));
        QVERIFY(shared != "read-only" || tmpfs.makeReadOnly());
        QVERIFY(shared != "full" || !writeRaw(volume + "/filler", QByteArray(256 * 1024, 'f')));

        Trash trash(m_trash, m_clock);
        QString error;
        TrashedEntry placed;
        QCOMPARE(trash.trashEntry(volume + "/shots/Screen Shot.png", &error, &placed),
                 !used.isEmpty());
        QVERIFY(!exists(m_trash)); // never copied home
        const int reason = shared == "blocked" ? ENOTDIR : shared == "full" ? ENOSPC : EROFS;
        QVERIFY2(!used.isEmpty() || error.contains(strerror(reason)), qPrintable(error));
        QVERIFY(!used.isEmpty() || namesIn(volume + "/.Trash-" + Uid + "/info").isEmpty());
        QCOMPARE(readRaw(volume + "/shots/Screen Shot.png").has_value(), used.isEmpty());
        if (used.isEmpty())
            return;
        QCOMPARE(placed.trashFolder, volume + '/' + used);
        QCOMPARE(placed.originalPath, volume + "/shots/Screen Shot.png");
        QCOMPARE(trashedEntries(volume + '/' + used).value("shots/Screen Shot.png"),
                 "Screen Shot.png");
        QCOMPARE(modeOf(volume + '/' + used) & 0777, mode_t(0700));
        QVERIFY(namesIn(volume + "/elsewhere").isEmpty());
    }

private:
    std::optional<TestHome> m_home;
    FixedClock m_clock{1.7e9};
    QByteArray m_desktop;
    QByteArray m_trash;
};

QTEST_GUILESS_MAIN(TestTrash)
#include "tst_trash.moc"
