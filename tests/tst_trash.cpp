#include "FixedClock.h"
#include "TestHome.h"

#include "cleanup/Trash.h"
#include "cleanup/TrashInfo.h"

#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <optional>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace TrashInfo;

namespace {

// Raw-byte file helpers: QFile would turn names that are not UTF-8 into something else.
bool writeRaw(const QByteArray &path, const QByteArray &content)
{
    const int fd = open(path.constData(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
    if (fd < 0)
        return false;
    const bool ok = write(fd, content.constData(), size_t(content.size())) == content.size();
    return close(fd) == 0 && ok;
}

std::optional<QByteArray> readRaw(const QByteArray &path)
{
    const int fd = open(path.constData(), O_RDONLY);
    if (fd < 0)
        return std::nullopt;
    QByteArray content;
    char buffer[4096];
    ssize_t n = 0;
    while ((n = read(fd, buffer, sizeof buffer)) > 0)
        content.append(buffer, n);
    close(fd);
    return content;
}

bool exists(const QByteArray &path)
{
    struct stat st = {};
    return lstat(path.constData(), &st) == 0;
}

mode_t modeOf(const QByteArray &path)
{
    struct stat st = {};
    return lstat(path.constData(), &st) == 0 ? st.st_mode : 0;
}

QList<QByteArray> namesIn(const QByteArray &folder)
{
    QList<QByteArray> names;
    if (DIR *dir = opendir(folder.constData())) {
        while (const dirent *entry = readdir(dir)) {
            const QByteArray name(entry->d_name);
            if (name != "." && name != "..")
                names.append(name);
        }
        closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

QByteArray uid()
{
    return QByteArray::number(qulonglong(getuid()));
}

// A small tmpfs of the test's own, unmounted again when dropped.
class Tmpfs
{
public:
    Tmpfs(const QByteArray &at, const QByteArray &options) : m_at(at)
    {
        mkdir(at.constData(), 0755);
        m_mounted = mount("tmpfs", at.constData(), "tmpfs", 0, options.constData()) == 0;
        m_error = m_mounted ? QString() : QString::fromLocal8Bit(std::strerror(errno));
    }
    ~Tmpfs()
    {
        if (m_mounted)
            umount2(m_at.constData(), MNT_DETACH);
    }
    Tmpfs(const Tmpfs &) = delete;
    Tmpfs &operator=(const Tmpfs &) = delete;

    bool isMounted() const { return m_mounted; }
    QByteArray skipReason() const { return ("cannot mount a tmpfs here: " + m_error).toUtf8(); }
    bool makeReadOnly()
    {
        return mount(nullptr, m_at.constData(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    }

private:
    QByteArray m_at;
    bool m_mounted = false;
    QString m_error;
};

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

    void percentEncoding_data()
    {
        QTest::addColumn<QByteArray>("raw");
        QTest::addColumn<QByteArray>("encoded");
        QTest::newRow("plain") << QByteArray("/home/u/Desktop/a.png")
                               << QByteArray("/home/u/Desktop/a.png");
        QTest::newRow("unreserved kept") << QByteArray("/A-Z_a.z~09") << QByteArray("/A-Z_a.z~09");
        QTest::newRow("blanks") << QByteArray("/a b/Screen Shot 1.png")
                                << QByteArray("/a%20b/Screen%20Shot%201.png");
        QTest::newRow("percent") << QByteArray("/100%.png") << QByteArray("/100%25.png");
        QTest::newRow("reserved") << QByteArray("/?#[]@!$&'()*+,;=:")
                                  << QByteArray(
                                         "/%3F%23%5B%5D%40%21%24%26%27%28%29%2A%2B%2C%3B%3D%3A");
        QTest::newRow("line break")
            << QByteArray("/a\nPath=/etc") << QByteArray("/a%0APath%3D/etc");
        QTest::newRow("non-ascii")
            << QByteArray("/x/\xc3\xa9t\xc3\xa9.png") << QByteArray("/x/%C3%A9t%C3%A9.png");
        QTest::newRow("not utf-8") << QByteArray("/x/\xff\xfe\x80") << QByteArray("/x/%FF%FE%80");
        QTest::newRow("control and DEL") << QByteArray("/\x01\x7f") << QByteArray("/%01%7F");
    }

    void percentEncoding()
    {
        QFETCH(QByteArray, raw);
        QFETCH(QByteArray, encoded);
        QCOMPARE(percentEncodePath(raw), encoded);
        QCOMPARE(percentDecodePath(encoded), raw);
        QCOMPARE(percentDecodePath(encoded.toLower()), raw.toLower());
    }

    void malformedEscapes_data()
    {
        QTest::addColumn<QByteArray>("encoded");
        QTest::newRow("lone percent") << QByteArray("/a%");
        QTest::newRow("one digit") << QByteArray("/a%4");
        QTest::newRow("not hex") << QByteArray("/a%G1");
        QTest::newRow("sign") << QByteArray("/a%+1b");
    }

    void malformedEscapes()
    {
        QFETCH(QByteArray, encoded);
        QVERIFY(!percentDecodePath(encoded).has_value());
    }

    void deletionDates_data()
    {
        QTest::addColumn<double>("seconds");
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("winter") << 1.7e9 << QByteArray("2023-11-14T23:13:20");
        QTest::newRow("fraction cut, not rounded")
            << 1.7e9 + 0.999 << QByteArray("2023-11-14T23:13:20");
        QTest::newRow("summer time") << 1.69e9 << QByteArray("2023-07-22T06:26:40");
        QTest::newRow("just before the epoch") << -0.5 << QByteArray("1970-01-01T00:59:59");
    }

    void deletionDates()
    {
        QFETCH(double, seconds);
        QFETCH(QByteArray, text);
        QCOMPARE(deletionDateText(seconds), text);
    }

    void trashInfoDocument()
    {
        const QByteArray path("/home/u/Desktop/Screen Shot 50%.png");
        const QByteArray text = trashInfoText(path, "2023-11-14T23:13:20");
        QCOMPARE(text, QByteArray("[Trash Info]\nPath=/home/u/Desktop/Screen%20Shot%2050%25.png\n"
                                  "DeletionDate=2023-11-14T23:13:20\n"));
        QCOMPARE(trashInfoPath(text), path);
        QVERIFY(!trashInfoPath("[Other]\nPath=/a\n").has_value());
    }

    void entryNames_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<qint64>("suffix");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("first") << QByteArray("a.png") << qint64(1) << QByteArray("a.png");
        QTest::newRow("second") << QByteArray("a.png") << qint64(2) << QByteArray("a.2.png");
        QTest::newRow("two dots") << QByteArray("a.tar.gz") << qint64(3)
                                  << QByteArray("a.tar.3.gz");
        QTest::newRow("no extension") << QByteArray("notes") << qint64(2) << QByteArray("notes.2");
        QTest::newRow("leading dot")
            << QByteArray(".hidden") << qint64(2) << QByteArray(".hidden.2");
        QTest::newRow("trailing dot") << QByteArray("a.") << qint64(2) << QByteArray("a..2");
    }

    void entryNames()
    {
        QFETCH(QByteArray, name);
        QFETCH(qint64, suffix);
        QFETCH(QByteArray, expected);
        QCOMPARE(trashEntryName(name, suffix), expected);
    }

    void longNamesFitAndStayDistinct_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QByteArray>("ending");
        QTest::newRow("ascii") << QByteArray(251, 'x') + ".png" << QByteArray(".png");
        QTest::newRow("two-byte letters")
            << QByteArray("\xc3\xa9").repeated(125) + "x.png" << QByteArray(".png");
        QTest::newRow("long extension") << "a." + QByteArray(253, 'e') << QByteArray();
    }

    void longNamesFitAndStayDistinct()
    {
        QFETCH(QByteArray, name);
        QFETCH(QByteArray, ending);
        QCOMPARE(name.size(), 255);
        QSet<QByteArray> seen;
        for (qint64 suffix = 1; suffix <= 60; ++suffix) {
            const QByteArray shortened = trashEntryName(name, suffix);
            QVERIFY(shortened.size() + qsizetype(strlen(".trashinfo")) <= 255);
            QVERIFY(shortened.endsWith(ending));
            QCOMPARE(QString::fromUtf8(shortened).toUtf8(), shortened); // no cut sequence
            QVERIFY(!seen.contains(shortened));
            seen.insert(shortened);
        }
    }

    void movesFileWithInfo()
    {
        const QByteArray entry = m_desktop + "/Screen Shot 1.png";
        QVERIFY(writeRaw(entry, "pixels"));
        Trash trash(m_trash, m_clock);
        QString error;
        QVERIFY2(trash.trashEntry(entry, &error), qPrintable(error));
        QVERIFY(!exists(entry));
        QCOMPARE(readRaw(m_trash + "/files/Screen Shot 1.png"), QByteArray("pixels"));
        QCOMPARE(readRaw(m_trash + "/info/Screen Shot 1.png.trashinfo"),
                 "[Trash Info]\nPath=" + percentEncodePath(entry) +
                     "\nDeletionDate=2023-11-14T23:13:20\n");
        QCOMPARE(modeOf(m_trash + "/info/Screen Shot 1.png.trashinfo") & 07777, mode_t(0600));
    }

    void clashesKeepEveryEntry_data()
    {
        QTest::addColumn<bool>("oneTrashObject");
        QTest::newRow("one run") << true;
        QTest::newRow("one run per entry") << false;
    }

    void clashesKeepEveryEntry()
    {
        QFETCH(bool, oneTrashObject);
        const QByteArray entry = m_desktop + "/Screenshot.png";
        std::optional<Trash> trash;
        for (int i = 0; i < 50; ++i) {
            if (!trash || !oneTrashObject)
                trash.emplace(m_trash, m_clock);
            QVERIFY(writeRaw(entry, QByteArray::number(i)));
            QString error;
            QVERIFY2(trash->trashEntry(entry, &error), qPrintable(error));
        }
        const QList<QByteArray> infos = namesIn(m_trash + "/info");
        const QList<QByteArray> files = namesIn(m_trash + "/files");
        QCOMPARE(infos.size(), 50);
        QCOMPARE(files.size(), 50);
        QSet<QByteArray> contents;
        for (const QByteArray &info : infos) {
            QVERIFY(info.endsWith(".trashinfo"));
            const QByteArray name = info.chopped(qsizetype(strlen(".trashinfo")));
            QVERIFY2(files.contains(name), name.constData());
            QVERIFY(name.startsWith("Screenshot") && name.endsWith(".png"));
            QCOMPARE(trashInfoPath(*readRaw(m_trash + "/info/" + info)), entry);
            contents.insert(*readRaw(m_trash + "/files/" + name));
        }
        QCOMPARE(contents.size(), 50);
    }

    void strayEntryInFilesIsSkipped()
    {
        QCOMPARE(mkdir(m_trash.constData(), 0700), 0);
        QCOMPARE(mkdir((m_trash + "/files").constData(), 0700), 0);
        QVERIFY(writeRaw(m_trash + "/files/Screenshot.png", "stray"));
        const QByteArray entry = m_desktop + "/Screenshot.png";
        QVERIFY(writeRaw(entry, "new"));
        Trash trash(m_trash, m_clock);
        QString error;
        QVERIFY2(trash.trashEntry(entry, &error), qPrintable(error));
        QCOMPARE(readRaw(m_trash + "/files/Screenshot.png"), QByteArray("stray"));
        QCOMPARE(readRaw(m_trash + "/files/Screenshot.2.png"), QByteArray("new"));
        QCOMPARE(namesIn(m_trash + "/info"), QList<QByteArray>{"Screenshot.2.png.trashinfo"});
    }

    void movesDirectoryWhole()
    {
        const QByteArray entry = m_desktop + "/Screenshot folder.png";
        QCOMPARE(mkdir(entry.constData(), 0755), 0);
        QCOMPARE(mkdir((entry + "/inner").constData(), 0755), 0);
        QVERIFY(writeRaw(entry + "/inner/deep.txt", "deep"));
        Trash trash(m_trash, m_clock);
        QString error;
        QVERIFY2(trash.trashEntry(entry, &error), qPrintable(error));
        QVERIFY(!exists(entry));
        QCOMPARE(readRaw(m_trash + "/files/Screenshot folder.png/inner/deep.txt"),
                 QByteArray("deep"));
    }

    void movesLinksNotTargets_data()
    {
        QTest::addColumn<bool>("dangling");
        QTest::newRow("link to a file") << false;
        QTest::newRow("dangling link") << true;
    }

    void movesLinksNotTargets()
    {
        QFETCH(bool, dangling);
        const QByteArray target = QFile::encodeName(m_home->home()) + "/Pictures-target.png";
        if (!dangling)
            QVERIFY(writeRaw(target, "target"));
        const QByteArray entry = m_desktop + "/Screenshot link.png";
        QCOMPARE(symlink(target.constData(), entry.constData()), 0);
        Trash trash(m_trash, m_clock);
        QString error;
        QVERIFY2(trash.trashEntry(entry, &error), qPrintable(error));
        QVERIFY(!exists(entry));
        const QByteArray moved = m_trash + "/files/Screenshot link.png";
        QVERIFY(S_ISLNK(modeOf(moved)));
        char buffer[PATH_MAX] = {};
        QCOMPARE(readlink(moved.constData(), buffer, sizeof buffer - 1), target.size());
        QCOMPARE(QByteArray(buffer), target);
        if (dangling)
            QVERIFY(!exists(target));
        else
            QCOMPARE(readRaw(target), QByteArray("target"));
    }

    void nameThatIsNotUtf8()
    {
        const QByteArray name("Screenshot \xff\xfe.png");
        const QByteArray entry = m_desktop + '/' + name;
        QVERIFY(writeRaw(entry, "raw"));
        Trash trash(m_trash, m_clock);
        QString error;
        QVERIFY2(trash.trashEntry(entry, &error), qPrintable(error));
        QCOMPARE(readRaw(m_trash + "/files/" + name), QByteArray("raw"));
        const QByteArray info = *readRaw(m_trash + "/info/" + name + ".trashinfo");
        QVERIFY(info.contains("/Desktop/Screenshot%20%FF%FE.png\n"));
        QCOMPARE(trashInfoPath(info), entry);
    }

    void longestNameIsShortenedInTheTrash()
    {
        const QByteArray name = "Screenshot " + QByteArray(240, 'x') + ".png";
        QCOMPARE(name.size(), 255);
        Trash trash(m_trash, m_clock);
        for (int i = 0; i < 3; ++i) {
            QVERIFY(writeRaw(m_desktop + '/' + name, QByteArray::number(i)));
            QString error;
            QVERIFY2(trash.trashEntry(m_desktop + '/' + name, &error), qPrintable(error));
        }
        const QList<QByteArray> infos = namesIn(m_trash + "/info");
        QCOMPARE(infos.size(), 3);
        for (const QByteArray &info : infos) {
            QVERIFY(info.size() <= 255);
            QVERIFY(exists(m_trash + "/files/" + info.chopped(qsizetype(strlen(".trashinfo")))));
            QCOMPARE(trashInfoPath(*readRaw(m_trash + "/info/" + info)), m_desktop + '/' + name);
        }
    }

    void createsMissingDataFolder()
    {
        const QByteArray dataHome = QFile::encodeName(m_home->home()) + "/fresh/deeper/share";
        qputenv("XDG_DATA_HOME", dataHome);
        const QByteArray entry = m_desktop + "/Screenshot.png";
        QVERIFY(writeRaw(entry, "x"));
        {
            Trash trash;
            QString error;
            QVERIFY2(trash.trashEntry(entry, &error), qPrintable(error));
        }
        QCOMPARE(readRaw(dataHome + "/Trash/files/Screenshot.png"), QByteArray("x"));
        for (const char *folder :
             {"/fresh", "/fresh/deeper", "/fresh/deeper/share", "/fresh/deeper/share/Trash",
              "/fresh/deeper/share/Trash/files", "/fresh/deeper/share/Trash/info"})
            QCOMPARE(modeOf(QFile::encodeName(m_home->home()) + folder) & 07777, mode_t(0700));
        // Nothing may land beside the working folder (a relative "files" folder).
        QVERIFY(!exists("files/Screenshot.png"));
    }

    void failuresLeaveTheEntry_data()
    {
        QTest::addColumn<QByteArray>("entryName");
        QTest::addColumn<QByteArray>("trashFolder");
        QTest::addColumn<QByteArray>("blocker");
        QTest::addColumn<QString>("errorPart");
        QTest::newRow("missing entry") << QByteArray("gone.png") << QByteArray("Trash")
                                       << QByteArray() << QString::fromLocal8Bit(strerror(ENOENT));
        QTest::newRow("relative entry") << QByteArray("relative") << QByteArray("Trash")
                                        << QByteArray() << QStringLiteral("not an absolute path");
        QTest::newRow("relative trash") << QByteArray("a.png") << QByteArray("relative")
                                        << QByteArray() << QStringLiteral("not an absolute path");
        QTest::newRow("info is a file")
            << QByteArray("a.png") << QByteArray("Trash") << QByteArray("info")
            << QString::fromLocal8Bit(strerror(ENOTDIR));
        QTest::newRow("files is a link")
            << QByteArray("a.png") << QByteArray("Trash") << QByteArray("files")
            << QString::fromLocal8Bit(strerror(ENOTDIR));
    }

    void failuresLeaveTheEntry()
    {
        QFETCH(QByteArray, entryName);
        QFETCH(QByteArray, trashFolder);
        QFETCH(QByteArray, blocker);
        QFETCH(QString, errorPart);
        const QByteArray entry =
            entryName == "relative" ? QByteArray("Desktop/a.png") : m_desktop + '/' + entryName;
        QVERIFY(writeRaw(m_desktop + "/a.png", "keep"));
        const QByteArray trashPath = trashFolder == "relative" ? trashFolder : m_trash;
        if (blocker == "info") {
            QCOMPARE(mkdir(m_trash.constData(), 0700), 0);
            QVERIFY(writeRaw(m_trash + "/info", "not a folder"));
        } else if (blocker == "files") {
            QCOMPARE(mkdir(m_trash.constData(), 0700), 0);
            QCOMPARE(symlink(m_desktop.constData(), (m_trash + "/files").constData()), 0);
        }
        Trash trash(trashPath, m_clock);
        QString error;
        QVERIFY(!trash.trashEntry(entry, &error));
        QVERIFY2(error.contains(errorPart), qPrintable(error));
        QCOMPARE(readRaw(m_desktop + "/a.png"), QByteArray("keep"));
        QVERIFY(namesIn(m_trash + "/info").isEmpty() || blocker == "info");
    }

    void otherMountUsesItsTopFolderTrash_data()
    {
        QTest::addColumn<QByteArray>("sharedTrash");
        QTest::addColumn<QByteArray>("expectedTrash");
        const QByteArray perUser = ".Trash-" + uid();
        QTest::newRow("no .Trash") << QByteArray() << perUser;
        QTest::newRow("sticky .Trash") << QByteArray("sticky") << ".Trash/" + uid();
        QTest::newRow(".Trash not sticky") << QByteArray("plain") << perUser;
        QTest::newRow(".Trash is a link") << QByteArray("link") << perUser;
    }

    void otherMountUsesItsTopFolderTrash()
    {
        QFETCH(QByteArray, sharedTrash);
        QFETCH(QByteArray, expectedTrash);
        const QByteArray volume = QFile::encodeName(m_home->home()) + "/volume";
        Tmpfs tmpfs(volume, "size=1m");
        if (!tmpfs.isMounted())
            QSKIP(tmpfs.skipReason().constData());
        if (sharedTrash == "sticky" || sharedTrash == "plain") {
            QCOMPARE(mkdir((volume + "/.Trash").constData(), 0777), 0);
            QCOMPARE(
                chmod((volume + "/.Trash").constData(), sharedTrash == "sticky" ? 01777 : 0777), 0);
        } else if (sharedTrash == "link") {
            QCOMPARE(mkdir((volume + "/elsewhere").constData(), 0777), 0);
            QCOMPARE(chmod((volume + "/elsewhere").constData(), 01777), 0);
            QCOMPARE(symlink("elsewhere", (volume + "/.Trash").constData()), 0);
        }
        QCOMPARE(mkdir((volume + "/shots").constData(), 0755), 0);
        const QByteArray entry = volume + "/shots/Screen Shot.png";
        QVERIFY(writeRaw(entry, "on the volume"));

        Trash trash(m_trash, m_clock);
        QString error;
        QVERIFY2(trash.trashEntry(entry, &error), qPrintable(error));
        const QByteArray used = volume + '/' + expectedTrash;
        QCOMPARE(readRaw(used + "/files/Screen Shot.png"), QByteArray("on the volume"));
        QCOMPARE(trashInfoPath(*readRaw(used + "/info/Screen Shot.png.trashinfo")),
                 QByteArray("shots/Screen Shot.png"));
        QCOMPARE(modeOf(used) & 0777, mode_t(0700));
        QVERIFY(!exists(m_trash));
        if (sharedTrash == "link")
            QVERIFY(namesIn(volume + "/elsewhere").isEmpty());
    }

    void noUsableTrashOnTheMount()
    {
        const QByteArray volume = QFile::encodeName(m_home->home()) + "/volume";
        Tmpfs tmpfs(volume, "size=1m");
        if (!tmpfs.isMounted())
            QSKIP(tmpfs.skipReason().constData());
        QVERIFY(writeRaw(volume + "/.Trash-" + uid(), "a file where the trash should be"));
        const QByteArray entry = volume + "/Screenshot.png";
        QVERIFY(writeRaw(entry, "stays"));
        Trash trash(m_trash, m_clock);
        QString error;
        QVERIFY(!trash.trashEntry(entry, &error));
        QVERIFY2(error.startsWith(QStringLiteral("No usable trash on the file system of ")),
                 qPrintable(error));
        QCOMPARE(readRaw(entry), QByteArray("stays"));
        QVERIFY(!exists(m_trash)); // not copied home
    }

    void readOnlyVolume_data()
    {
        QTest::addColumn<bool>("trashExists");
        QTest::newRow("with a trash folder") << true;
        QTest::newRow("without a trash folder") << false;
    }

    void readOnlyVolume()
    {
        QFETCH(bool, trashExists);
        const QByteArray volume = QFile::encodeName(m_home->home()) + "/volume";
        Tmpfs tmpfs(volume, "size=1m");
        if (!tmpfs.isMounted())
            QSKIP(tmpfs.skipReason().constData());
        const QByteArray volumeTrash = volume + "/.Trash-" + uid();
        if (trashExists) {
            QCOMPARE(mkdir(volumeTrash.constData(), 0700), 0);
            QCOMPARE(mkdir((volumeTrash + "/files").constData(), 0700), 0);
            QCOMPARE(mkdir((volumeTrash + "/info").constData(), 0700), 0);
        }
        const QByteArray entry = volume + "/Screenshot.png";
        QVERIFY(writeRaw(entry, "stays"));
        QVERIFY(tmpfs.makeReadOnly());

        Trash trash(m_trash, m_clock);
        QString error;
        QVERIFY(!trash.trashEntry(entry, &error));
        QVERIFY2(error.contains(QString::fromLocal8Bit(strerror(EROFS))), qPrintable(error));
        QCOMPARE(readRaw(entry), QByteArray("stays"));
        QVERIFY(namesIn(volumeTrash + "/info").isEmpty());
    }

    void fullVolume_data()
    {
        QTest::addColumn<bool>("homeTrashOnVolume");
        QTest::addColumn<bool>("trashMadeBefore");
        QTest::newRow("top folder trash made before") << false << true;
        QTest::newRow("top folder trash made on demand") << false << false;
        QTest::newRow("home trash on the full volume") << true << false;
    }

    void fullVolume()
    {
        QFETCH(bool, homeTrashOnVolume);
        QFETCH(bool, trashMadeBefore);
        const QByteArray volume = QFile::encodeName(m_home->home()) + "/volume";
        Tmpfs tmpfs(volume, "size=128k");
        if (!tmpfs.isMounted())
            QSKIP(tmpfs.skipReason().constData());
        const QByteArray usedTrash =
            homeTrashOnVolume ? volume + "/share/Trash" : volume + "/.Trash-" + uid();
        if (trashMadeBefore) {
            QCOMPARE(mkdir(usedTrash.constData(), 0700), 0);
            QCOMPARE(mkdir((usedTrash + "/files").constData(), 0700), 0);
            QCOMPARE(mkdir((usedTrash + "/info").constData(), 0700), 0);
        }
        const QByteArray entry = volume + "/Screenshot.png";
        QVERIFY(writeRaw(entry, "precious"));
        const int filler = open((volume + "/filler").constData(), O_CREAT | O_WRONLY, 0600);
        QVERIFY(filler >= 0);
        const QByteArray block(4096, 'f');
        int blocks = 0;
        while (blocks < 1000 && write(filler, block.constData(), size_t(block.size())) > 0)
            ++blocks;
        QCOMPARE(errno, ENOSPC);
        close(filler);

        Trash trash(homeTrashOnVolume ? usedTrash : m_trash, m_clock);
        QString error;
        const bool moved = trash.trashEntry(entry, &error);
        const QList<QByteArray> infos = namesIn(usedTrash + "/info");
        if (moved) {
            QCOMPARE(readRaw(usedTrash + "/files/Screenshot.png"), QByteArray("precious"));
            QCOMPARE(infos.size(), 1);
            QCOMPARE(trashInfoPath(*readRaw(usedTrash + "/info/" + infos.first())).has_value(),
                     true);
        } else {
            QVERIFY2(error.contains(QString::fromLocal8Bit(strerror(ENOSPC))), qPrintable(error));
            QCOMPARE(readRaw(entry), QByteArray("precious"));
            QVERIFY(infos.isEmpty());
        }
    }

    void realTrashClientListsOriginalPaths()
    {
        const QString trashList = QStandardPaths::findExecutable(QStringLiteral("trash-list"));
        if (trashList.isEmpty())
            QSKIP("trash-list (Debian package trash-cli) is not installed");
        const QList<QByteArray> entries = {m_desktop + "/Screen Shot 1.png",
                                           m_desktop + "/Bildschirmfoto \xc3\xa4 50%.png"};
        {
            // The home trash named by XDG_DATA_HOME, where trash-list looks too.
            Trash trash(Trash::defaultHomeTrash(), m_clock);
            for (const QByteArray &entry : entries) {
                QVERIFY(writeRaw(entry, "x"));
                QString error;
                QVERIFY2(trash.trashEntry(entry, &error), qPrintable(error));
            }
        }
        QProcess process;
        process.start(trashList, {});
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(process.exitCode(), 0);
        const QString listed = QString::fromUtf8(process.readAllStandardOutput());
        for (const QByteArray &entry : entries)
            QVERIFY2(
                listed.contains(QStringLiteral("2023-11-14 23:13:20 ") + QString::fromUtf8(entry)),
                qPrintable(listed));
    }

private:
    std::optional<TestHome> m_home;
    FixedClock m_clock{1.7e9};
    QByteArray m_desktop;
    QByteArray m_trash;
};

QTEST_GUILESS_MAIN(TestTrash)
#include "tst_trash.moc"
