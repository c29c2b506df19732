#include "TestSupport.h"

#include "cleanup/FileSystem.h"

#include <QDirIterator>

using namespace FileSystem;

class TestFileSystem : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_home.emplace();
        m_root = QFile::encodeName(m_home->home()) + '/';
    }
    void cleanup() { m_home.reset(); }

    void listsInDirectoryOrderWithoutHidden()
    {
        for (const char *name : {"b.png", ".hidden.png", "..double", "Screenshot 1.png", "z", "c"})
            QVERIFY(writeRaw(m_root + name));
        // QDirIterator reads the folder unsorted too, so its order is the directory's own.
        QList<QByteArray> expected;
        for (QDirIterator it(m_home->home(), QDir::Files | QDir::Hidden); it.hasNext();)
            if (!it.next().contains("/."))
                expected.append(QFile::encodeName(it.filePath()));
        QCOMPARE(expected.size(), 4);
        QCOMPARE(listVisibleEntries(m_root + "/"), expected);
    }

    void unlistableFolders_data()
    {
        QTest::addColumn<QByteArray>("target");
        QTest::addColumn<bool>("listable");
        QTest::newRow("only hidden entries") << QByteArray("hidden-only") << true;
        QTest::newRow("link to a folder") << QByteArray("link") << true;
        QTest::newRow("missing") << QByteArray("missing") << false;
        QTest::newRow("regular file") << QByteArray("file") << false;
        QTest::newRow("dangling link") << QByteArray("dangling") << false;
        QTest::newRow("refused") << QByteArray("closed") << false;
        QTest::newRow("empty path") << QByteArray() << false;
    }
    void unlistableFolders()
    {
        QFETCH(QByteArray, target);
        QFETCH(bool, listable);
        if (target == "closed" && geteuid() == 0)
            QSKIP("root reads any folder whatever its mode, so a refusal cannot be set up");
        QVERIFY(mkdir((m_root + "hidden-only").constData(), 0755) == 0 &&
                writeRaw(m_root + "hidden-only/.a.png") && writeRaw(m_root + "file") &&
                mkdir((m_root + "closed").constData(), 0) == 0);
        QVERIFY(symlink("hidden-only", (m_root + "link").constData()) == 0 &&
                symlink("nowhere", (m_root + "dangling").constData()) == 0);
        const QByteArray folder = target.isEmpty() ? target : m_root + target;
        QCOMPARE(listVisibleEntries(folder),
                 listable ? std::optional(QList<QByteArray>()) : std::nullopt);
        QCOMPARE(canList(folder), listable);
        chmod((m_root + "closed").constData(), 0700);
    }

    void datesOfALinkAreTheLinksOwn()
    {
        QVERIFY(writeRaw(m_root + "target.png") && setModified(m_root + "target.png", 1e9 + 0.25));
        QCOMPARE(symlink("target.png", (m_root + "link.png").constData()), 0);
        QVERIFY(setModified(m_root + "link.png", 1.2e9 + 0.5));
        QCOMPARE(entryDates(m_root + "target.png").modification, 1e9 + 0.25);
        QCOMPARE(entryDates(m_root + "link.png").modification, 1.2e9 + 0.5);
        const EntryDates missing = entryDates(m_root + "missing.png");
        QVERIFY(!missing.creation && !missing.modification);
    }

    void nearestFolders_data()
    {
        QTest::addColumn<QString>("relative");
        QTest::addColumn<QString>("expected");
        QTest::newRow("itself") << "shots"
                                << "shots";
        QTest::newRow("missing deep") << "shots/gone/deeper"
                                      << "shots";
        QTest::newRow("a file") << "shots/file.png"
                                << "shots";
        QTest::newRow("trailing slash") << "shots/"
                                        << "shots";
        QTest::newRow("relative") << "!relative/path"
                                  << "";
        QTest::newRow("empty") << "!"
                               << "";
        QTest::newRow("top missing") << "!/no-such-top-folder/x"
                                     << "/";
    }
    void nearestFolders()
    {
        QFETCH(QString, relative);
        QFETCH(QString, expected);
        QVERIFY(QDir(m_home->home()).mkpath("shots") && writeRaw(m_root + "shots/file.png"));
        const bool raw = relative.startsWith('!');
        QCOMPARE(nearestExistingFolder(raw ? relative.mid(1) : m_home->home() + '/' + relative),
                 raw ? expected : m_home->home() + '/' + expected);
    }

private:
    std::optional<TestHome> m_home;
    QByteArray m_root;
};

QTEST_GUILESS_MAIN(TestFileSystem)
#include "tst_filesystem.moc"
