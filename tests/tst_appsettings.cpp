#include "TestSupport.h"
#include "platform/HostPaths.h"
#include "settings/AppSettings.h"

#include <QRandomGenerator>
#include <QSignalSpy>

#include <memory>

namespace {

const QStringList Keys = {
    "enabled",      "frequency",   "hourOfDay",    "ageValue",           "ageUnit",
    "sourceFolder", "lastRunDate", "lastRunCount", "lastRunFailedCount", "launchAtLogin"};

QString boolText(bool value)
{
    return value ? "true" : "false";
}

// Every key as text, in the order of Keys.
QStringList texts(const AppSettings::Values &v)
{
    const auto n = [](qint64 number) { return QString::number(number); };
    return {boolText(v.enabled),
            rawValue(v.frequency),
            n(v.hourOfDay),
            n(v.ageValue),
            rawValue(v.ageUnit),
            v.sourceFolder,
            QString::number(v.lastRunDate, 'g', 17),
            n(v.lastRunCount),
            n(v.lastRunFailedCount),
            boolText(v.launchAtLogin)};
}

AppSettings::Values viaAccessors(const AppSettings &s)
{
    return {s.enabled(),      s.frequency(),    s.hourOfDay(),
            s.ageValue(),     s.ageUnit(),      s.sourceFolder(),
            s.lastRunDate(),  s.lastRunCount(), s.lastRunFailedCount(),
            s.launchAtLogin()};
}

QStringList accessorTexts(const AppSettings &s)
{
    return texts(viaAccessors(s));
}

QByteArray randomBytes(quint32 seed, int size)
{
    QByteArray bytes(size, '\0');
    QRandomGenerator(seed).fillRange(reinterpret_cast<quint32 *>(bytes.data()), size / 4);
    return bytes;
}

} // namespace

class TestAppSettings : public QObject
{
    Q_OBJECT

    QString path() const { return m_home->settingsFile(); }
    // The same file under another name: QSettings shares what it parsed among the objects of
    // one path in a process, so a reader here sees only what another process would.
    QString otherName() const { return m_home->home() + "/link/quillbrook.conf"; }
    QString desktop() const { return m_home->home() + "/Desktop"; }

    std::unique_ptr<TestHome> m_home;

private slots:
    void init()
    {
        m_home = std::make_unique<TestHome>();
        QVERIFY(QDir().mkpath(QFileInfo(path()).path()));
        QVERIFY(QFile::link(QFileInfo(path()).path(), m_home->home() + "/link"));
    }
    void cleanup() { m_home.reset(); }

    void storedValuesParseStrictly_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<QString>("expected"); // "~" for the default folder
        // key|stored|expected; everything not strictly of the key's type reads as the default.
        // clang-format off
        for (const char *row : {
                 "enabled|true|true", "enabled|1|false", "enabled|TRUE|false", "enabled||false",
                 "launchAtLogin|false|false", "launchAtLogin|0|true", "launchAtLogin|abc|true",
                 "frequency|Weekly|Weekly", "frequency|weekly|Daily", "frequency|\"Hourly \"|Daily",
                 "ageUnit|Hours|Hours", "ageUnit|hours|Days", "ageUnit|@ByteArray(Hours)|Days",
                 "hourOfDay|9223372036854775807|9223372036854775807", "hourOfDay|1e3|3",
                 "ageValue|-9223372036854775808|-9223372036854775808", "hourOfDay|3.5|3",
                 "hourOfDay|9223372036854775808|3", "ageValue|-9223372036854775809|1",
                 "lastRunCount|4294967297|4294967297", "lastRunCount|0x10|0", "lastRunCount|12abc|0",
                 "lastRunFailedCount|-7|-7", "lastRunFailedCount|+5|0", "lastRunFailedCount|1,2|0",
                 "lastRunCount|@Variant(\\0\\0\\0\\x7f\\0\\0\\0\\0)|0",
                 "lastRunDate|1733500000.123456|1733500000.123456", "lastRunDate|1.7e+09|1700000000",
                 "lastRunDate|nan|nan", "lastRunDate|-inf|-inf", "lastRunDate|abc|0",
                 "lastRunDate|5e-324|4.9406564584124654e-324", "lastRunDate|0x1p3|0",
                 "lastRunDate|1,5|0", "lastRunDate|1e400|0", "sourceFolder|/srv/shots|/srv/shots",
                 "sourceFolder|\"/srv/a, b\"|/srv/a, b", "sourceFolder|/srv/a, b|~",
                 "sourceFolder|@Rect(1 2 3 4)|~"}) { // clang-format on
            const QStringList parts = QString::fromUtf8(row).split('|');
            QTest::newRow(row) << parts[0] << parts[1].toUtf8() << parts[2];
        }
    }
    void storedValuesParseStrictly()
    {
        QFETCH(QString, key);
        QFETCH(QByteArray, stored);
        QFETCH(QString, expected);
        const QByteArray content = "[General]\n" + key.toLatin1() + '=' + stored + '\n';
        QVERIFY(writeRaw(QFile::encodeName(path()), content));
        const QVariant before = QSettings(path(), QSettings::IniFormat).value(key);

        AppSettings settings(path(), m_home->home());
        const QString value = texts(settings.values()).at(Keys.indexOf(key));
        QCOMPARE(value, expected == "~" ? desktop() : expected);
        QCOMPARE(accessorTexts(settings), texts(settings.values()));
        QCOMPARE(readRaw(QFile::encodeName(path())), content); // reading never writes
        // Writing another key leaves the value as it was.
        key == "enabled" ? settings.setLastRunCount(9) : settings.setEnabled(true);
        QCOMPARE(QSettings(path(), QSettings::IniFormat).value(key), before);
        QCOMPARE(accessorTexts(AppSettings(otherName(), m_home->home())).at(Keys.indexOf(key)),
                 value);
    }

    // Each round sets every key; read back from the bytes on disk, each holds exactly its value.
    void writesReadBack()
    {
        const qint64 max = std::numeric_limits<qint64>::max();
        for (const AppSettings::Values &v : std::initializer_list<AppSettings::Values>{
                 {true, Frequency::Weekly, -40, max, AgeUnit::Hours,
                  "/a, b;c=d \"e\" 100% #f \\g \u00fc\u00a0\u6f22", 1733500000.123456, -max - 1,
                  qint64(1) << 40, false},
                 {false, Frequency::Hourly, 23, 0, AgeUnit::Weeks, "@home", 0.1 + 0.2, 5, -1, true},
                 {true, Frequency::Daily, 4, 2, AgeUnit::Days, "", std::nan(""), 6, 7, false},
                 {false, Frequency::Weekly, 5, 3, AgeUnit::Hours, "/x", 5e-324, 8, 9, true}}) {
            AppSettings settings(path(), m_home->home());
            QSignalSpy changed(&settings, &AppSettings::changed);
            settings.setEnabled(v.enabled);
            settings.setFrequency(v.frequency);
            settings.setHourOfDay(v.hourOfDay);
            settings.setAgeValue(v.ageValue);
            settings.setAgeUnit(v.ageUnit);
            settings.setSourceFolder(v.sourceFolder);
            settings.setLastRunDate(v.lastRunDate);
            settings.setLastRunCount(v.lastRunCount);
            settings.setLastRunFailedCount(v.lastRunFailedCount);
            settings.setLaunchAtLogin(v.launchAtLogin);
            settings.setLaunchAtLogin(v.launchAtLogin); // the same value again is still a write
            QCOMPARE(changed.count(), 11);
            QCOMPARE(accessorTexts(AppSettings(otherName(), m_home->home())), texts(v));
        }
    }

    void anotherProcessesWritesAreSeen()
    {
        AppSettings writer(path(), m_home->home());
        AppSettings reader(otherName(), m_home->home());
        // Records of one length.
        for (qint64 i = 10; i < 15; ++i) {
            writer.setLastRunCount(i);
            QCOMPARE(reader.lastRunCount(), i);
        }
        writer.setLastRunDate(1e9);
        QCOMPARE(reader.values().lastRunDate, 1e9);
    }

    void fileOfAnyContent_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("kept"); // 1: kept as .unreadable, 0: not, -1: either
        QTest::newRow("binary") << randomBytes(1, 256) + "\n[unterminated\nhourOfDay=5\n" << 1;
        QTest::newRow("unbalanced quote") << QByteArray("[General]\n\"odd=7\nhourOfDay=5\n") << 1;
        QTest::newRow("clean") << QByteArray("[General]\nhourOfDay=5\n") << 0;
        QTest::newRow("random") << randomBytes(2, 8192) << -1;
        QTest::newRow("NUL") << QByteArray("[General]\nhourOfDay=1\0002\nenabled=tr\0ue\n", 38)
                             << -1;
        QTest::newRow("bad UTF-8")
            << QByteArray("[General]\nsourceFolder=/\xff\xc3\nageUnit=\xc3(\n") << -1;
        QTest::newRow("long number") << "[General]\nhourOfDay=" + QByteArray(65536, '7') << -1;
        QTest::newRow("escapes") << "[General]\nsourceFolder=\"" + QByteArray(65536, '\\') << -1;
        QTest::newRow("many keys") << "[General]\n" + QByteArray("k=v\n").repeated(20000) << -1;
    }
    // Reading anything never crashes or writes; lines QSettings cannot parse, which the next
    // write drops, are kept once per version of the file.
    void fileOfAnyContent()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, kept);
        const QByteArray file = QFile::encodeName(path()), copy = file + ".unreadable";
        QVERIFY(writeRaw(file, content));
        LogCapture log;
        AppSettings settings(path(), m_home->home());
        accessorTexts(settings);
        QCOMPARE(readRaw(file), content);
        settings.setAgeValue(6);
        settings.setAgeValue(7);
        QCOMPARE(AppSettings(otherName(), m_home->home()).ageValue(), 7);
        QVERIFY(kept < 0 || exists(copy) == bool(kept));
        const QString line =
            "Settings file " + path() + " holds lines that cannot be read; they were kept in ";
        QCOMPARE(log.lines, exists(copy) ? QStringList{line + copy} : QStringList());
        if (exists(copy))
            QCOMPARE(readRaw(copy), content);
        QVERIFY(!exists(copy + "-2"));
        if (kept == 1) { // a new version of the file is checked again
            QVERIFY(writeRaw(file, content + "x"));
            settings.setAgeValue(8);
            QCOMPARE(readRaw(copy + "-2"), content + "x");
        }
    }

    void failedWriteIsLogged()
    {
        const QString blocker = m_home->home() + "/blocker"; // a file: no write can succeed
        QVERIFY(writeRaw(QFile::encodeName(blocker)));
        LogCapture log;
        AppSettings settings(blocker + "/quillbrook.conf", m_home->home());
        QSignalSpy changed(&settings, &AppSettings::changed);
        settings.setEnabled(true);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(log.lines, QStringList{"Failed to save settings: Cannot write " + blocker +
                                        "/quillbrook.conf: Not a directory"});
    }

    void sharedInstanceAndReadsThatCreateNothing()
    {
        QCOMPARE(AppSettings::shared().filePath(), HostPaths::settingsFile());
        const QString nested = m_home->home() + "/not/there/quillbrook.conf";
        AppSettings settings(nested, "/");
        accessorTexts(settings);
        QCOMPARE(settings.values().sourceFolder, "/Desktop"); // not "//Desktop"
        QVERIFY(!QFileInfo::exists(m_home->home() + "/not"));
    }
};

QTEST_GUILESS_MAIN(TestAppSettings)
#include "tst_appsettings.moc"
