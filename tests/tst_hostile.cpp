#include "TestSupport.h"

#include "cleanup/ScreenshotCleanup.h"
#include "settings/AppSettings.h"

#include <climits>

// Names and paths nobody should ever hand the cleanup: every entry still ends up exactly once,
// in its folder or in the Trash under its exact original path; one that stays after it was
// selected shows as a "Failed to trash " line. Never a crash, a hang or a lost file.
class TestHostile : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_home.emplace();
        m_desktop = QFile::encodeName(m_home->home()) + "/Desktop";
        QCOMPARE(mkdir(m_desktop.constData(), 0700), 0);
        m_log.emplace();
    }
    void cleanup()
    {
        m_log.reset();
        m_home.reset();
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
        QVERIFY(namesIn(m_desktop).isEmpty());
        const QByteArray trash = QFile::encodeName(m_home->trash());
        const QHash<QByteArray, QByteArray> trashed = trashedEntries(trash);
        QCOMPARE(namesIn(trash + "/files").size(), names.size() * rounds);
        for (const QByteArray &name : names)
            QVERIFY2(trashed.contains(m_desktop + '/' + name), name.constData());
        for (const QByteArray &name : namesIn(trash + "/files")) // never cut inside a character
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
        const QByteArray path = folder + '/' + name;
        AppSettings(m_home->settingsFile(), m_home->home())
            .setSourceFolder(QFile::decodeName(folder));
        const qint64 moved = runOnce(ageValue);
        const bool stayed = faccessat(fd, name.constData(), F_OK, AT_SYMLINK_NOFOLLOW) == 0;
        close(fd);
        const bool inTrash = trashedEntries(QFile::encodeName(m_home->trash())).contains(path);
        removeTreeAt(AT_FDCWD, base.constData());
        QVERIFY(stayed != inTrash);
        QCOMPARE(moved, qint64(inTrash));
        const bool failureLogged = stayed && ageValue < 0 && folder.size() < PATH_MAX;
        QCOMPARE(m_log->lines.size(), int(failureLogged));
        QVERIFY(!failureLogged || m_log->lines.first().startsWith("Failed to trash "));
        QVERIFY(inTrash || path.size() >= PATH_MAX);
    }

private:
    // One run in this process with an age limit of @p ageValue hours.
    qint64 runOnce(qint64 ageValue)
    {
        AppSettings settings(m_home->settingsFile(), m_home->home());
        settings.setAgeValue(ageValue);
        settings.setAgeUnit(AgeUnit::Hours);
        const qint64 moved = runCleanup(settings);
        QCoreApplication::processEvents();
        return moved;
    }

    std::optional<TestHome> m_home;
    std::optional<LogCapture> m_log;
    QByteArray m_desktop;
};

QTEST_GUILESS_MAIN(TestHostile)
#include "tst_hostile.moc"
