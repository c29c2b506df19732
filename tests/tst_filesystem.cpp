#include "RawTree.h"

#include "cleanup/FileSystem.h"

#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace FileSystem;

namespace {

void makeFile(const QByteArray &path)
{
    const int fd = open(path.constData(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
    QVERIFY2(fd >= 0, path.constData());
    close(fd);
}

void setTimes(const QByteArray &path, double seconds, int flags)
{
    timespec times[2];
    times[0].tv_sec = times[1].tv_sec = time_t(seconds);
    times[0].tv_nsec = times[1].tv_nsec = long((seconds - double(time_t(seconds))) * 1e9);
    QCOMPARE(utimensat(AT_FDCWD, path.constData(), times, flags), 0);
}

} // namespace

class TestFileSystem : public QObject
{
    Q_OBJECT

private slots:
    void init() { QVERIFY(m_dir.emplace().isValid()); }
    void cleanup()
    {
        removeTree(QFile::encodeName(m_dir->path()));
        m_dir.reset();
    }

    void listsInDirectoryOrderWithoutHidden()
    {
        const QByteArray folder = QFile::encodeName(m_dir->path());
        for (const char *name : {"b.png", "a.png", ".hidden.png", "..double", "Screenshot 1.png",
                                 "z", "sub", "c d e.jpg", ".config"})
            makeFile(folder + '/' + name);

        // QDirIterator reads the folder unsorted too, so its order is the directory's own.
        QList<QByteArray> expected;
        QDirIterator it(m_dir->path(),
                        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        while (it.hasNext()) {
            const QString path = it.next();
            if (!it.fileName().startsWith(QLatin1Char('.')))
                expected.append(QFile::encodeName(path));
        }
        QCOMPARE(expected.size(), 6);
        QCOMPARE(listVisibleEntries(folder), expected);
        QCOMPARE(listVisibleEntries(folder + "//"), expected);
    }

    void unlistableFolders_data()
    {
        QTest::addColumn<QByteArray>("target");
        QTest::addColumn<bool>("listable");
        QTest::newRow("empty folder") << QByteArray("empty") << true;
        QTest::newRow("only hidden entries") << QByteArray("hidden-only") << true;
        QTest::newRow("link to a folder") << QByteArray("link-to-folder") << true;
        QTest::newRow("missing") << QByteArray("missing") << false;
        QTest::newRow("regular file") << QByteArray("file") << false;
        QTest::newRow("dangling link") << QByteArray("dangling") << false;
        QTest::newRow("empty path") << QByteArray() << false;
    }

    void unlistableFolders()
    {
        QFETCH(QByteArray, target);
        QFETCH(bool, listable);
        const QByteArray root = QFile::encodeName(m_dir->path()) + '/';
        QCOMPARE(mkdir((root + "empty").constData(), 0755), 0);
        QCOMPARE(mkdir((root + "hidden-only").constData(), 0755), 0);
        makeFile(root + "hidden-only/.a");
        makeFile(root + "hidden-only/.b.png");
        makeFile(root + "file");
        QCOMPARE(symlink("empty", (root + "link-to-folder").constData()), 0);
        QCOMPARE(symlink("nowhere", (root + "dangling").constData()), 0);

        const QByteArray folder = target.isEmpty() ? target : root + target;
        const auto entries = listVisibleEntries(folder);
        QCOMPARE(entries.has_value(), listable);
        if (entries)
            QVERIFY(entries->isEmpty());
        QCOMPARE(canList(folder), listable);
    }

    void refusedFolder()
    {
        if (geteuid() == 0)
            QSKIP("root reads any folder whatever its mode, so a refusal cannot be set up");
        const QByteArray folder = QFile::encodeName(m_dir->path()) + "/closed";
        QCOMPARE(mkdir(folder.constData(), 0000), 0);
        QVERIFY(!listVisibleEntries(folder).has_value());
        QVERIFY(!canList(folder));
        chmod(folder.constData(), 0700);
    }

    void invalidUtf8NameIsListedAndDecoded()
    {
        const QByteArray folder = QFile::encodeName(m_dir->path());
        const QByteArray name("Screenshot \xff\xfe 1.png");
        makeFile(folder + '/' + name);
        const auto entries = listVisibleEntries(folder);
        QVERIFY(entries);
        QCOMPARE(*entries, QList<QByteArray>{folder + '/' + name});
        QCOMPARE(lastComponent(entries->first()), name);
        QCOMPARE(decodeLeniently(lastComponent(entries->first())),
                 QStringLiteral("Screenshot \uFFFD\uFFFD 1.png"));
    }

    void decodesLeniently_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("ascii") << QByteArray("Screenshot.png") << QStringLiteral("Screenshot.png");
        QTest::newRow("non-ascii") << QByteArray("Bildschirmfoto \xc3\xa4.png")
                                   << QStringLiteral("Bildschirmfoto \u00e4.png");
        QTest::newRow("stray byte") << QByteArray("a\x80z") << QStringLiteral("a\uFFFDz");
        QTest::newRow("cut sequence at end")
            << QByteArray("a\xe2\x82") << QStringLiteral("a\uFFFD\uFFFD");
        QTest::newRow("overlong slash")
            << QByteArray("\xc0\xaf.png") << QStringLiteral("\uFFFD\uFFFD.png");
        QTest::newRow("surrogate")
            << QByteArray("\xed\xa0\x80x") << QStringLiteral("\uFFFD\uFFFD\uFFFDx");
        // A byte-order mark is part of the name, not something to drop.
        QTest::newRow("leading BOM")
            << QByteArray("\xef\xbb\xbfScreenshot.png") << QStringLiteral("\uFEFFScreenshot.png");
    }

    void decodesLeniently()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QCOMPARE(decodeLeniently(bytes), text);
    }

    void lastComponentOfPaths_data()
    {
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<QByteArray>("name");
        QTest::newRow("plain") << QByteArray("/home/u/Desktop/a.png") << QByteArray("a.png");
        QTest::newRow("trailing slash") << QByteArray("/home/u/Desktop/") << QByteArray("Desktop");
        QTest::newRow("root") << QByteArray("/") << QByteArray();
        QTest::newRow("bare name") << QByteArray("a.png") << QByteArray("a.png");
        QTest::newRow("raw bytes") << QByteArray("/x/\xff.png") << QByteArray("\xff.png");
    }

    void lastComponentOfPaths()
    {
        QFETCH(QByteArray, path);
        QFETCH(QByteArray, name);
        QCOMPARE(lastComponent(path), name);
    }

    void datesOfALinkAreTheLinksOwn()
    {
        const QByteArray root = QFile::encodeName(m_dir->path()) + '/';
        makeFile(root + "target.png");
        setTimes(root + "target.png", 1000000000.25, 0);
        QCOMPARE(symlink("target.png", (root + "link.png").constData()), 0);
        QCOMPARE(symlink("nowhere.png", (root + "dangling.png").constData()), 0);
        setTimes(root + "link.png", 1200000000.5, AT_SYMLINK_NOFOLLOW);
        setTimes(root + "dangling.png", 1300000000.0, AT_SYMLINK_NOFOLLOW);

        QCOMPARE(entryDates(root + "target.png").modification, 1000000000.25);
        QCOMPARE(entryDates(root + "link.png").modification, 1200000000.5);
        QCOMPARE(entryDates(root + "dangling.png").modification, 1300000000.0);

        // Where the file system keeps birth times, the link's is its own: it was made after the
        // target's modification time was set far into the past.
        const EntryDates link = entryDates(root + "link.png");
        if (link.creation)
            QVERIFY(*link.creation > 1500000000.0);
    }

    void failedDateRequestLeavesBothAbsent()
    {
        const EntryDates dates = entryDates(QFile::encodeName(m_dir->path()) + "/missing.png");
        QVERIFY(!dates.creation);
        QVERIFY(!dates.modification);
        QVERIFY(!entryDates(QByteArray()).modification);
    }

private:
    std::optional<QTemporaryDir> m_dir;
};

QTEST_GUILESS_MAIN(TestFileSystem)
#include "tst_filesystem.moc"
