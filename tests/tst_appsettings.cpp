#include "TestSupport.h"
#include "platform/HostPaths.h"
#include "settings/AppSettings.h"

#include <QRandomGenerator>
#include <QSignalSpy>

#include <functional>
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
    return {boolText(v.enabled),
            rawValue(v.frequency),
            QString::number(v.hourOfDay),
            QString::number(v.ageValue),
            rawValue(v.ageUnit),
            v.sourceFolder,
            QString::number(v.lastRunDate, 'g', 17),
            QString::number(v.lastRunCount),
            QString::number(v.lastRunFailedCount),
            boolText(v.launchAtLogin)};
}

QStringList accessorTexts(const AppSettings &s)
{
    return texts({s.enabled(), s.frequency(), s.hourOfDay(), s.ageValue(), s.ageUnit(),
                  s.sourceFolder(), s.lastRunDate(), s.lastRunCount(), s.lastRunFailedCount(),
                  s.launchAtLogin()});
}

const std::function<void(AppSettings &, const QVariant &)> Setters[] = {
    [](AppSettings &s, const QVariant &v) { s.setEnabled(v.toBool()); },
    [](AppSettings &s, const QVariant &v) { s.setFrequency(v.value<Frequency>()); },
    [](AppSettings &s, const QVariant &v) { s.setHourOfDay(v.toLongLong()); },
    [](AppSettings &s, const QVariant &v) { s.setAgeValue(v.toLongLong()); },
    [](AppSettings &s, const QVariant &v) { s.setAgeUnit(v.value<AgeUnit>()); },
    [](AppSettings &s, const QVariant &v) { s.setSourceFolder(v.toString()); },
    [](AppSettings &s, const QVariant &v) { s.setLastRunDate(v.toDouble()); },
    [](AppSettings &s, const QVariant &v) { s.setLastRunCount(v.toLongLong()); },
    [](AppSettings &s, const QVariant &v) { s.setLastRunFailedCount(v.toLongLong()); },
    [](AppSettings &s, const QVariant &v) { s.setLaunchAtLogin(v.toBool()); }};

QByteArray randomBytes(quint32 seed, int size)
{
    QByteArray bytes(size, '\0');
    QRandomGenerator random(seed);
    for (char &c : bytes)
        c = char(random.bounded(256));
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
        const auto row = [](const char *key, const char *stored, const char *expected) {
            QTest::addRow("%s=%s", key, stored) << key << QByteArray(stored) << expected;
        };
        for (const char *bad : {"1", "TRUE", "", "abc"}) {
            row("enabled", bad, "false");
            row("launchAtLogin", bad, "true");
        }
        row("enabled", "true", "true");
        row("launchAtLogin", "false", "false");
        row("frequency", "Weekly", "Weekly");
        row("frequency", "weekly", "Daily");
        row("frequency", "\"Hourly \"", "Daily");
        row("ageUnit", "Hours", "Hours");
        row("ageUnit", "hours", "Days");
        row("ageUnit", "@ByteArray(Hours)", "Days");
        row("hourOfDay", "9223372036854775807", "9223372036854775807");
        row("ageValue", "-9223372036854775808", "-9223372036854775808");
        row("hourOfDay", "9223372036854775808", "3");
        row("ageValue", "-9223372036854775809", "1");
        row("lastRunCount", "4294967297", "4294967297");
        row("lastRunFailedCount", "-7", "-7");
        for (const char *bad : {"1e3", "3.5", "0x10", "12abc", "+5", "1,2"}) {
            row("hourOfDay", bad, "3");
            row("lastRunFailedCount", bad, "0");
        }
        row("lastRunCount", "@Variant(\\0\\0\\0\\x7f\\0\\0\\0\\0)", "0");
        row("lastRunDate", "1733500000.123456", "1733500000.123456");
        row("lastRunDate", "1.7e+09", "1700000000");
        row("lastRunDate", "nan", "nan");
        row("lastRunDate", "-inf", "-inf");
        row("lastRunDate", "5e-324", "4.9406564584124654e-324");
        for (const char *bad : {"abc", "0x1p3", "1,5", "1e400"})
            row("lastRunDate", bad, "0");
        row("sourceFolder", "/srv/shots", "/srv/shots");
        row("sourceFolder", "\"/srv/a, b\"", "/srv/a, b");
        row("sourceFolder", "/srv/a, b", "~");
        row("sourceFolder", "@Rect(1 2 3 4)", "~");
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

    void writesReadBack_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QVariant>("value");
        QTest::newRow("enabled") << "enabled" << QVariant(true);
        QTest::newRow("launch off") << "launchAtLogin" << QVariant(false);
        QTest::newRow("weekly") << "frequency" << QVariant::fromValue(Frequency::Weekly);
        QTest::newRow("hours") << "ageUnit" << QVariant::fromValue(AgeUnit::Hours);
        QTest::newRow("hour -40") << "hourOfDay" << QVariant(qint64(-40));
        QTest::newRow("int64 max") << "ageValue" << QVariant(std::numeric_limits<qint64>::max());
        QTest::newRow("int64 min")
            << "lastRunCount" << QVariant(std::numeric_limits<qint64>::min());
        QTest::newRow("failed") << "lastRunFailedCount" << QVariant(qint64(1) << 40);
        QTest::newRow("date fraction") << "lastRunDate" << QVariant(1733500000.123456);
        QTest::newRow("date 0.1 + 0.2") << "lastRunDate" << QVariant(0.1 + 0.2);
        QTest::newRow("date nan") << "lastRunDate" << QVariant(std::nan(""));
        QTest::newRow("date denormal") << "lastRunDate" << QVariant(5e-324);
        QTest::newRow("folder odd")
            << "sourceFolder" << QVariant(QStringLiteral("/a, b;c=d \"e\" 100% #f \\g ü\u00a0漢"));
        QTest::newRow("folder @") << "sourceFolder" << QVariant(QStringLiteral("@home"));
        QTest::newRow("folder empty") << "sourceFolder" << QVariant(QString(""));
    }
    void writesReadBack()
    {
        QFETCH(QString, key);
        QFETCH(QVariant, value);
        const int index = Keys.indexOf(key);
        AppSettings settings(path(), m_home->home());
        QSignalSpy changed(&settings, &AppSettings::changed);
        Setters[index](settings, value);
        QCOMPARE(changed.count(), 1);
        Setters[index](settings, value); // the same value again is still a write
        QCOMPARE(changed.count(), 2);
        QStringList expected = {"false",   "Daily", "3", "1", "Days",
                                desktop(), "0",     "0", "0", "true"};
        expected[index] = index == 1   ? rawValue(value.value<Frequency>())
                          : index == 4 ? rawValue(value.value<AgeUnit>())
                          : index == 6 ? QString::number(value.toDouble(), 'g', 17)
                          : value.typeId() == QMetaType::Bool ? boolText(value.toBool())
                                                              : value.toString();
        // From the bytes on disk, every key: only this one changed, to exactly this value.
        QCOMPARE(accessorTexts(AppSettings(otherName(), m_home->home())), expected);
    }

    void anotherProcessesWritesAreSeen()
    {
        AppSettings writer(path(), m_home->home());
        AppSettings reader(otherName(), m_home->home());
        // Records of one length, a few in the same tick of the file system's clock.
        for (qint64 i = 1; i <= 9; ++i) {
            writer.setLastRunCount(i);
            writer.setLastRunDate(1e9 + double(i));
            QCOMPARE(reader.lastRunCount(), i);
            QCOMPARE(reader.values().lastRunDate, 1e9 + double(i));
        }
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
