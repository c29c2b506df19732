#include "TestSupport.h"
#include "settings/AppSettings.h"

#include <QSignalSpy>

// A setting's value as text; every key's, from the one list of settings.
struct Text
{
    static QString of(bool value) { return value ? "true" : "false"; }
    static QString of(qint64 value) { return QString::number(value); }
    static QString of(double value) { return QString::number(value, 'g', 17); }
    static QString of(const QString &value) { return value; }
    template <typename Enum> static QString of(Enum value) { return enumText(value); }
};
#define QB_TEXT(name, Name, Type, fallback) {#name, Text::of(from.name)},
#define QB_TEXT_READ(name, Name, Type, fallback) {#name, Text::of(from.name())},

static QMap<QString, QString> texts(const AppSettings::Values &from)
{
    return {QUILLBROOK_SETTINGS(QB_TEXT)};
}

// Through the accessors, one key at a time.
static QMap<QString, QString> texts(const AppSettings &from)
{
    return {QUILLBROOK_SETTINGS(QB_TEXT_READ)};
}

class TestAppSettings : public QObject
{
    Q_OBJECT

    QString path() const { return m_home->settingsFile(); }
    // The same file under another name: QSettings shares what it parsed among the objects of
    // one path in a process, so a reader here sees only what another process would.
    AppSettings other() const { return {m_home->home() + "/link/quillbrook.conf", m_home->home()}; }

    std::optional<TestHome> m_home;

private slots:
    void init()
    {
        m_home.emplace();
        QVERIFY(QDir().mkpath(QFileInfo(path()).path()));
        QVERIFY(QFile::link(QFileInfo(path()).path(), m_home->home() + "/link"));
    }
    void cleanup() { m_home.reset(); }

    // Every key set; read back from the bytes on disk, each holds exactly its value. The run
    // record's four keys change with one save.
    void writesReadBack()
    {
        const qint64 max = std::numeric_limits<qint64>::max();
        AppSettings::Values v = {.enabled = true,
                                 .frequency = Frequency::Weekly,
                                 .hourOfDay = -40,
                                 .ageValue = max,
                                 .ageUnit = AgeUnit::Hours,
                                 .sourceFolder = "/a, b;c=d \"e\" 100% #f \\g \u00fc\u00a0\u6f22",
                                 .lastRunDate = 1733500000.123456,
                                 .lastRunCount = -max - 1,
                                 .lastRunFailedCount = qint64(1) << 40,
                                 .lastRunError = "Cannot list the source folder /x: No such file",
                                 .launchAtLogin = false};
        AppSettings settings(path(), m_home->home());
#define QB_SET(name, Name, Type, fallback) settings.set##Name(v.name);
        QUILLBROOK_SETTINGS(QB_SET)
        QCOMPARE(texts(other()), texts(v));
        QSignalSpy changed(&settings, &AppSettings::changed);
        settings.recordRun({.date = 2e9, .count = 5, .failedCount = 0, .error = ""});
        QCOMPARE(changed.count(), 1);
        std::tie(v.lastRunDate, v.lastRunCount, v.lastRunFailedCount, v.lastRunError) =
            std::tuple(2e9, 5, 0, "");
        QCOMPARE(texts(other()), texts(v));
        // Another process writes other keys meanwhile: each write is seen at once, none is lost.
        AppSettings reader = other();
        for (qint64 i = 10; i < 15; ++i) {
            settings.setLastRunCount(i);
            reader.setHourOfDay(i);
            QCOMPARE(reader.lastRunCount(), i);
            QCOMPARE(settings.hourOfDay(), i);
        }
    }

    // A file of any content: reading never crashes or writes, a value not strictly of its key's
    // type reads as the default, and writing another key leaves the value as it was. Lines
    // QSettings cannot parse, which the next write drops, are kept once per version of the file.
    void fileOfAnyContent_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("key");      // empty: no key to read back
        QTest::addColumn<QString>("expected"); // null: the default source folder
        QTest::addColumn<int>("kept");         // 1: kept as .unreadable, 0: not, -1: either
        const auto row = [](const char *name, const char *key, const QByteArray &stored,
                            const QString &expected) {
            QTest::newRow(name) << "[General]\n" + QByteArray(key) + '=' + stored + '\n'
                                << QString(key) << expected << 0;
        };
        const auto file = [](const char *name, const QByteArray &content, int kept) {
            QTest::newRow(name) << content << QString() << QString() << kept;
        };
        row("TRUE in capitals is no boolean", "enabled", "TRUE", "false");
        row("0 is no boolean", "launchAtLogin", "0", "true");
        row("Hourly is a frequency", "frequency", "Hourly", "Hourly");
        row("a frequency in lower case is none", "frequency", "weekly", "Daily");
        row("Weeks is a unit", "ageUnit", "Weeks", "Weeks");
        row("a unit as bytes is none", "ageUnit", "@ByteArray(Hours)", "Days");
        row("a list is no integer", "hourOfDay", "1,2", "3");
        row("trailing letters are no integer", "hourOfDay", "12abc", "3");
        row("the smallest integer", "ageValue", "-9223372036854775808", "-9223372036854775808");
        row("an integer below the smallest", "ageValue", "-9223372036854775809", "1");
        row("an integer beyond 32 bits", "lastRunCount", "4294967297", "4294967297");
        row("a date with an exponent", "lastRunDate", "1.7e+09", "1700000000");
        row("a date beyond a double", "lastRunDate", "1e400", "0");
        row("a hexadecimal date", "lastRunDate", "0x1p3", "0");
        row("not a number", "lastRunDate", "nan", "nan");
        row("a folder with an unquoted comma is a list", "sourceFolder", "/srv/a, b", QString());
        file("unbalanced quote", "[General]\n\"odd=7\nhourOfDay=5\n", 1);
        file("binary", readRaw(QCoreApplication::applicationFilePath().toUtf8())->left(8192), -1);
        file("NUL", QByteArray("[General]\nenabled=tr\0ue\n", 24), -1);
        file("bad UTF-8", "[General]\nsourceFolder=/\xff\xc3(\n", -1);
    }
    void fileOfAnyContent()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, key);
        QFETCH(QString, expected);
        QFETCH(int, kept);
        const QByteArray file = QFile::encodeName(path()), copy = file + ".unreadable";
        QVERIFY(writeRaw(file, content));
        const QVariant before = QSettings(path(), QSettings::IniFormat).value(key);
        LogCapture log;
        AppSettings settings(path(), m_home->home());
        const QMap<QString, QString> read = texts(settings);
        QCOMPARE(texts(settings.values()), read);
        if (!key.isEmpty())
            QCOMPARE(read[key], expected.isNull() ? m_home->home() + "/Desktop" : expected);
        QCOMPARE(readRaw(file), content);
        key == "ageValue" ? settings.setEnabled(true) : settings.setAgeValue(7);
        QVERIFY(key == "ageValue" || other().ageValue() == 7);
        QCOMPARE(QSettings(path(), QSettings::IniFormat).value(key), before);
        QVERIFY(kept < 0 || exists(copy) == bool(kept));
        QCOMPARE(log.lines.join(""),
                 exists(copy) ? "Settings file " + path() +
                                    " holds lines that cannot be read; they were kept in " + copy
                              : "");
        QCOMPARE(readRaw(copy).value_or(content), content);
        if (kept == 1) { // a new version of the file is checked again
            QVERIFY(writeRaw(file, content + "x"));
            settings.setAgeValue(8);
            QCOMPARE(readRaw(copy + "-2"), content + "x");
        }
    }

    // Folders made under HOME; the answer is under HOME too.
    void defaultFolderIsWhereThisDesktopSavesScreenshots_data()
    {
        QTest::addColumn<QByteArray>("desktop"); // XDG_CURRENT_DESKTOP
        QTest::addColumn<QStringList>("folders");
        QTest::addColumn<QByteArray>("userDirs");    // user-dirs.dirs
        QTest::addColumn<QByteArray>("spectaclerc"); // the KDE screenshot tool's settings
        QTest::addColumn<QString>("expected");
        const QByteArray localised = "# by xdg-user-dirs\nXDG_DESKTOP_DIR=\"$HOME/Mein Tisch\"\n"
                                     "XDG_PICTURES_DIR=\"$HOME/Bilder\"\n";
        QTest::newRow("GNOME saves into Screenshots in the pictures folder")
            << QByteArray("ubuntu:GNOME") << QStringList{"/Desktop", "/Pictures/Screenshots"}
            << QByteArray() << QByteArray() << "/Pictures/Screenshots";
        QTest::newRow("KDE takes the folder its screenshot tool is set to")
            << QByteArray("KDE") << QStringList{"/Pictures/Screenshots", "/Shots x"} << QByteArray()
            << QByteArray("[General]\ndefaultSaveLocation=file:///\n[Save]\n"
                          "defaultSaveLocation[$e]=file://$HOME/Shots%20x/\n")
            << "/Shots x";
        QTest::newRow("KDE's newer setting wins, with ~ for the home")
            << QByteArray("KDE") << QStringList{"/Shots", "/Old"} << QByteArray()
            << QByteArray(
                   "[Save]\ndefaultSaveLocation=~/Old\n[ImageSave]\nimageSaveLocation=~/Shots")
            << "/Shots";
        QTest::newRow("KDE without a set folder takes Screenshots in the pictures folder")
            << QByteArray("KDE") << QStringList{"/Desktop", "/Pictures/Screenshots"} << QByteArray()
            << QByteArray("[Save]\nlastSaveLocation=file:///\n") << "/Pictures/Screenshots";
        QTest::newRow("KDE whose set folder is gone takes the pictures folder")
            << QByteArray("KDE") << QStringList{"/Desktop", "/Bilder"} << localised
            << QByteArray("[Save]\ndefaultSaveLocation=file:///gone\n") << "/Bilder";
        QTest::newRow("another desktop takes the localised desktop folder")
            << QByteArray("XFCE") << QStringList{"/Desktop", "/Mein Tisch", "/Bilder/Screenshots"}
            << localised << QByteArray() << "/Mein Tisch";
        QTest::newRow("nothing there gives ~/Desktop all the same")
            << QByteArray() << QStringList{"/Pictures"} << QByteArray("XDG_DESKTOP_DIR=\"$HOME\"\n")
            << QByteArray("[Save]\ndefaultSaveLocation=~/Pictures\n") << "/Desktop";
    }
    void defaultFolderIsWhereThisDesktopSavesScreenshots()
    {
        QFETCH(QByteArray, desktop);
        QFETCH(QStringList, folders);
        QFETCH(QByteArray, userDirs);
        QFETCH(QByteArray, spectaclerc);
        const AppSettings settings(path(), m_home->home()); // before all this: worked out at reads
        for (const QString &folder : folders)
            QVERIFY(QDir().mkpath(m_home->home() + folder));
        QVERIFY(writeRaw(QFile::encodeName(m_home->configHome()) + "/user-dirs.dirs", userDirs));
        QVERIFY(writeRaw(QFile::encodeName(m_home->configHome()) + "/spectaclerc", spectaclerc));
        qputenv("XDG_CURRENT_DESKTOP", desktop); // the home puts it back
        QTEST(settings.sourceFolder().mid(m_home->home().size()), "expected");
    }

    // A folder on the way that is a file: the write fails and says why, and only that write.
    void failedWriteIsLoggedAndReadsCreateNothing()
    {
        const QString blocker = m_home->home() + "/blocker";
        QVERIFY(writeRaw(QFile::encodeName(blocker)));
        LogCapture log;
        AppSettings settings(blocker + "/quillbrook.conf", "/");
        QCOMPARE(settings.sourceFolder(), "/Desktop"); // not "//Desktop"
        QSignalSpy changed(&settings, &AppSettings::changed);
        settings.setEnabled(true);
        QVERIFY(QFile::remove(blocker));
        settings.setEnabled(false);
        QCOMPARE(changed.count(), 2);
        QCOMPARE(log.lines.join(""), "Failed to save settings: Cannot write " + blocker +
                                         "/quillbrook.conf: Not a directory");
        AppSettings(m_home->home() + "/not/there/quillbrook.conf", "/").values();
        QVERIFY(!QFileInfo::exists(m_home->home() + "/not"));
    }
};

QTEST_GUILESS_MAIN(TestAppSettings)
#include "tst_appsettings.moc"
