#include "TestHome.h"
#include "platform/HostPaths.h"
#include "platform/Log.h"
#include "settings/AppSettings.h"

#include <QSignalSpy>
#include <QTest>

#include <cmath>
#include <limits>
#include <memory>

class TestAppSettings : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void defaultsOnAnEmptyStore();
    void readsNeverCreateKeys();
    void storedValuesParseStrictly_data();
    void storedValuesParseStrictly();
    void writesReadBackExactlyFromDisk_data();
    void writesReadBackExactlyFromDisk();
    void anotherWriterIsSeenByTheNextRead();
    void everyWriteSignalsChanged();
    void unreadableFileIsKeptBeforeTheFirstWrite_data();
    void unreadableFileIsKeptBeforeTheFirstWrite();
    void writeCreatesMissingFolders();
    void failedWriteIsLogged();
    void sharedInstanceUsesTheHostPaths();
    void lastRunText_data();
    void lastRunText();

private:
    QString path() const { return m_home->settingsFile(); }
    void store(const QByteArray &contents) const;
    QString defaultFolder() const { return m_home->home() + QStringLiteral("/Desktop"); }

    std::unique_ptr<TestHome> m_home;
    QLocale m_savedLocale;
};

namespace {

QString numberText(double value)
{
    if (std::isnan(value))
        return QStringLiteral("nan");
    return QString::number(value, 'g', 17);
}

// Every property as text, so one table can hold rows for all of them.
QString readAsText(const AppSettings &settings, const QString &key)
{
    const auto boolText = [](bool value) {
        return value ? QStringLiteral("true") : QStringLiteral("false");
    };
    if (key == QLatin1String("enabled"))
        return boolText(settings.enabled());
    if (key == QLatin1String("launchAtLogin"))
        return boolText(settings.launchAtLogin());
    if (key == QLatin1String("frequency"))
        return rawValue(settings.frequency());
    if (key == QLatin1String("ageUnit"))
        return rawValue(settings.ageUnit());
    if (key == QLatin1String("hourOfDay"))
        return QString::number(settings.hourOfDay());
    if (key == QLatin1String("ageValue"))
        return QString::number(settings.ageValue());
    if (key == QLatin1String("lastRunCount"))
        return QString::number(settings.lastRunCount());
    if (key == QLatin1String("lastRunDate"))
        return numberText(settings.lastRunDate());
    if (key == QLatin1String("sourceFolder"))
        return settings.sourceFolder();
    qFatal("unknown key");
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

double localSeconds(QDate date, QTime time)
{
    return double(QDateTime(date, time, Qt::LocalTime).toMSecsSinceEpoch()) / 1000.0;
}

} // namespace

void TestAppSettings::initTestCase()
{
    m_savedLocale = QLocale();
}

void TestAppSettings::init()
{
    m_home = std::make_unique<TestHome>();
}

void TestAppSettings::cleanup()
{
    m_home.reset();
    QLocale::setDefault(m_savedLocale);
}

void TestAppSettings::store(const QByteArray &contents) const
{
    QDir().mkpath(QFileInfo(path()).absolutePath());
    QFile file(path());
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(contents);
}

void TestAppSettings::defaultsOnAnEmptyStore()
{
    AppSettings settings(path(), m_home->home());
    QCOMPARE(settings.enabled(), false);
    QCOMPARE(settings.frequency(), Frequency::Daily);
    QCOMPARE(settings.hourOfDay(), 3);
    QCOMPARE(settings.ageValue(), 1);
    QCOMPARE(settings.ageUnit(), AgeUnit::Days);
    QCOMPARE(settings.sourceFolder(), defaultFolder());
    QCOMPARE(settings.lastRunDate(), 0.0);
    QCOMPARE(settings.lastRunCount(), 0);
    QCOMPARE(settings.launchAtLogin(), true);
    QCOMPARE(settings.lastRunText(), QStringLiteral("Never"));

    // A home of "/" must not give "//Desktop".
    QCOMPARE(AppSettings(path(), QStringLiteral("/")).sourceFolder(), QStringLiteral("/Desktop"));
}

void TestAppSettings::readsNeverCreateKeys()
{
    const auto readEverything = [this] {
        AppSettings settings(path(), m_home->home());
        settings.enabled();
        settings.frequency();
        settings.hourOfDay();
        settings.ageValue();
        settings.ageUnit();
        settings.sourceFolder();
        settings.lastRunCount();
        settings.launchAtLogin();
        settings.lastRunText();
    };
    readEverything();
    QVERIFY(!QFile::exists(path()));

    const QByteArray contents = "[General]\nhourOfDay=5\n";
    store(contents);
    readEverything();
    QCOMPARE(readFile(path()), contents);
}

void TestAppSettings::storedValuesParseStrictly_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QString>("expected"); // "<default folder>" for the folder default

    const auto row = [](const char *name, const char *key, const char *stored,
                        const char *expected) {
        QTest::newRow(name) << QString::fromLatin1(key) << QByteArray(stored)
                            << QString::fromUtf8(expected);
    };
    row("bool true", "enabled", "true", "true");
    row("bool false", "launchAtLogin", "false", "false");
    row("bool abc", "enabled", "abc", "false");
    row("bool abc, default true", "launchAtLogin", "abc", "true");
    row("bool 1", "enabled", "1", "false");
    row("bool 0, default true", "launchAtLogin", "0", "true");
    row("bool upper case", "enabled", "TRUE", "false");
    row("bool empty", "launchAtLogin", "", "true");
    row("frequency exact", "frequency", "Weekly", "Weekly");
    row("frequency lower case", "frequency", "weekly", "Daily");
    row("frequency blank", "frequency", "\"Hourly \"", "Daily");
    row("unit exact", "ageUnit", "Hours", "Hours");
    row("unit lower case", "ageUnit", "hours", "Days");
    row("int64 max", "hourOfDay", "9223372036854775807", "9223372036854775807");
    row("int64 min", "ageValue", "-9223372036854775808", "-9223372036854775808");
    row("int64 overflow", "hourOfDay", "9223372036854775808", "3");
    row("int64 underflow", "ageValue", "-9223372036854775809", "1");
    row("int beyond 32 bits", "lastRunCount", "4294967297", "4294967297");
    row("int exponent", "ageValue", "1e3", "1");
    row("int fraction", "hourOfDay", "3.5", "3");
    row("int hex", "lastRunCount", "0x10", "0");
    row("int trailing text", "lastRunCount", "12abc", "0");
    row("int plus sign", "ageValue", "+5", "1");
    row("int list", "ageValue", "1,2", "1");
    row("double fraction", "lastRunDate", "1733500000.123456", "1733500000.123456");
    row("double exponent", "lastRunDate", "1.7e+09", "1700000000");
    row("double negative", "lastRunDate", "-5", "-5");
    row("double nan", "lastRunDate", "nan", "nan");
    row("double inf", "lastRunDate", "inf", "inf");
    row("double minus inf", "lastRunDate", "-inf", "-inf");
    row("double smallest", "lastRunDate", "5e-324", "4.9406564584124654e-324");
    row("double text", "lastRunDate", "abc", "0");
    row("double hex", "lastRunDate", "0x1p3", "0");
    row("double decimal comma", "lastRunDate", "1,5", "0");
    row("folder plain", "sourceFolder", "/srv/shots", "/srv/shots");
    row("folder quoted comma", "sourceFolder", "\"/srv/a, b\"", "/srv/a, b");
    row("folder unquoted comma", "sourceFolder", "/srv/a, b", "<default folder>");
    row("folder byte array", "sourceFolder", "@ByteArray(/srv)", "<default folder>");
}

void TestAppSettings::storedValuesParseStrictly()
{
    QFETCH(QString, key);
    QFETCH(QByteArray, stored);
    QFETCH(QString, expected);
    if (expected == QLatin1String("<default folder>"))
        expected = defaultFolder();

    store("[General]\n" + key.toLatin1() + '=' + stored + '\n');
    const QVariant before = QSettings(path(), QSettings::IniFormat).value(key);

    AppSettings settings(path(), m_home->home());
    QCOMPARE(readAsText(settings, key), expected);

    // Writing another key leaves the unreadable value as it was.
    if (key == QLatin1String("enabled"))
        settings.setLastRunCount(9);
    else
        settings.setEnabled(true);
    QCOMPARE(QSettings(path(), QSettings::IniFormat).value(key), before);
    QCOMPARE(readAsText(settings, key), expected);
}

void TestAppSettings::writesReadBackExactlyFromDisk_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QByteArray>("line"); // as it stands in the file; empty: not checked

    const double fraction = 1733500000.123456;
    QTest::newRow("enabled") << "enabled" << QVariant(true) << QByteArray("enabled=true");
    QTest::newRow("launch off") << "launchAtLogin" << QVariant(false)
                                << QByteArray("launchAtLogin=false");
    QTest::newRow("weekly") << "frequency" << QVariant::fromValue(Frequency::Weekly)
                            << QByteArray("frequency=Weekly");
    QTest::newRow("hours") << "ageUnit" << QVariant::fromValue(AgeUnit::Hours)
                           << QByteArray("ageUnit=Hours");
    QTest::newRow("hour out of range")
        << "hourOfDay" << QVariant(qint64(-40)) << QByteArray("hourOfDay=-40");
    QTest::newRow("int64 max") << "ageValue" << QVariant(std::numeric_limits<qint64>::max())
                               << QByteArray("ageValue=9223372036854775807");
    QTest::newRow("int64 min") << "lastRunCount" << QVariant(std::numeric_limits<qint64>::min())
                               << QByteArray("lastRunCount=-9223372036854775808");
    QTest::newRow("date with fraction")
        << "lastRunDate" << QVariant(fraction) << QByteArray("lastRunDate=1733500000.123456");
    QTest::newRow("date 0.1 + 0.2") << "lastRunDate" << QVariant(0.1 + 0.2) << QByteArray();
    QTest::newRow("date negative")
        << "lastRunDate" << QVariant(-5.0) << QByteArray("lastRunDate=-5");
    QTest::newRow("date nan") << "lastRunDate" << QVariant(std::numeric_limits<double>::quiet_NaN())
                              << QByteArray("lastRunDate=nan");
    QTest::newRow("date inf") << "lastRunDate" << QVariant(std::numeric_limits<double>::infinity())
                              << QByteArray("lastRunDate=inf");
    QTest::newRow("date denormal")
        << "lastRunDate" << QVariant(std::numeric_limits<double>::denorm_min()) << QByteArray();
    QTest::newRow("folder odd characters")
        << "sourceFolder" << QVariant(QStringLiteral("/srv/a, b;c=d \"e\" 100% #f \\g ü\u00a0漢"))
        << QByteArray();
    QTest::newRow("folder starting with @")
        << "sourceFolder" << QVariant(QStringLiteral("@home")) << QByteArray();
    QTest::newRow("folder empty") << "sourceFolder" << QVariant(QString()) << QByteArray();
}

void TestAppSettings::writesReadBackExactlyFromDisk()
{
    QFETCH(QString, key);
    QFETCH(QVariant, value);
    QFETCH(QByteArray, line);

    {
        AppSettings settings(path(), m_home->home());
        if (key == QLatin1String("enabled"))
            settings.setEnabled(value.toBool());
        else if (key == QLatin1String("launchAtLogin"))
            settings.setLaunchAtLogin(value.toBool());
        else if (key == QLatin1String("frequency"))
            settings.setFrequency(value.value<Frequency>());
        else if (key == QLatin1String("ageUnit"))
            settings.setAgeUnit(value.value<AgeUnit>());
        else if (key == QLatin1String("hourOfDay"))
            settings.setHourOfDay(value.toLongLong());
        else if (key == QLatin1String("ageValue"))
            settings.setAgeValue(value.toLongLong());
        else if (key == QLatin1String("lastRunCount"))
            settings.setLastRunCount(value.toLongLong());
        else if (key == QLatin1String("lastRunDate"))
            settings.setLastRunDate(value.toDouble());
        else
            settings.setSourceFolder(value.toString());
    }
    const QByteArray contents = readFile(path());
    if (!line.isEmpty())
        QVERIFY2(contents.split('\n').contains(line), contents.constData());

    // QSettings shares what it parsed among all objects on one path in a process; a copy under
    // another name makes this read come from the bytes on disk.
    const QString copy = m_home->home() + QStringLiteral("/copy.conf");
    QVERIFY(QFile::copy(path(), copy));
    AppSettings reread(copy, m_home->home());
    QString expected;
    if (value.typeId() == QMetaType::Bool)
        expected = value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    else if (value.typeId() == QMetaType::Double)
        expected = numberText(value.toDouble());
    else if (key == QLatin1String("frequency"))
        expected = rawValue(value.value<Frequency>());
    else if (key == QLatin1String("ageUnit"))
        expected = rawValue(value.value<AgeUnit>());
    else
        expected = value.toString();
    QCOMPARE(readAsText(reread, key), expected);
}

void TestAppSettings::anotherWriterIsSeenByTheNextRead()
{
    AppSettings settings(path(), m_home->home());
    QCOMPARE(settings.lastRunCount(), 0);

    // Another object in this process.
    AppSettings other(path(), m_home->home());
    other.setLastRunCount(4);
    QCOMPARE(settings.lastRunCount(), 4);

    // Another process: QSettings there writes a new file and renames it over ours.
    const auto replaceFile = [this](const QByteArray &contents, int secondsAhead) {
        const QString next = path() + QStringLiteral(".next");
        QFile file(next);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(contents);
        file.flush();
        file.setFileTime(QDateTime::currentDateTime().addSecs(secondsAhead),
                         QFileDevice::FileModificationTime);
        file.close();
        QVERIFY(std::rename(QFile::encodeName(next).constData(),
                            QFile::encodeName(path()).constData()) == 0);
    };
    replaceFile("[General]\nlastRunCount=12\nlastRunDate=1733500000.5\n", 2);
    QCOMPARE(settings.lastRunCount(), 12);
    QCOMPARE(settings.lastRunDate(), 1733500000.5);
    replaceFile("[General]\nlastRunCount=13\nlastRunDate=1733500000.5\n", 4);
    QCOMPARE(settings.lastRunCount(), 13);
}

void TestAppSettings::everyWriteSignalsChanged()
{
    AppSettings settings(path(), m_home->home());
    QSignalSpy spy(&settings, &AppSettings::changed);
    settings.setEnabled(true);
    settings.setFrequency(Frequency::Hourly);
    settings.setHourOfDay(7);
    settings.setAgeValue(2);
    settings.setAgeUnit(AgeUnit::Weeks);
    settings.setSourceFolder(QStringLiteral("/srv"));
    settings.setLastRunDate(1.5);
    settings.setLastRunCount(3);
    settings.setLaunchAtLogin(false);
    QCOMPARE(spy.count(), 9);
    // Setting the value a key already holds is still a write.
    settings.setLaunchAtLogin(false);
    QCOMPARE(spy.count(), 10);
}

void TestAppSettings::unreadableFileIsKeptBeforeTheFirstWrite_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<bool>("kept");

    QByteArray binary;
    for (int i = 0; i < 256; ++i)
        binary.append(char(i));
    QTest::newRow("binary garbage") << binary + "\n[unterminated\nhourOfDay=5\n" << true;
    QTest::newRow("unbalanced quote")
        << QByteArray("[General]\nenabled=true\n\"odd=7\nhourOfDay=5\n") << true;
    QTest::newRow("clean file") << QByteArray("[General]\nhourOfDay=5\n") << false;
}

void TestAppSettings::unreadableFileIsKeptBeforeTheFirstWrite()
{
    QFETCH(QByteArray, contents);
    QFETCH(bool, kept);

    store(contents);
    QStringList lines;
    const LogSink previous = setLogSink([&lines](const QString &line) { lines.append(line); });
    {
        AppSettings settings(path(), m_home->home());
        settings.setAgeValue(6);
        settings.setAgeValue(7);
        QCOMPARE(settings.ageValue(), 7);
    }
    setLogSink(previous);

    const QString copy = path() + QStringLiteral(".unreadable");
    QCOMPARE(QFile::exists(copy), kept);
    if (kept) {
        QCOMPARE(readFile(copy), contents);
        QCOMPARE(lines, QStringList{QStringLiteral("Settings file ") + path() +
                                    QStringLiteral(" holds lines that cannot be read; they were "
                                                   "kept in ") +
                                    copy});
    } else {
        QVERIFY(lines.isEmpty());
    }
    // Only one copy, made before the write that repaired the file.
    QVERIFY(!QFile::exists(copy + QStringLiteral("-2")));
}

void TestAppSettings::writeCreatesMissingFolders()
{
    const QString nested = m_home->home() + QStringLiteral("/not/yet/there/quillbrook.conf");
    AppSettings settings(nested, m_home->home());
    QCOMPARE(settings.hourOfDay(), 3);
    QVERIFY(!QFileInfo::exists(m_home->home() + QStringLiteral("/not")));
    settings.setHourOfDay(22);
    QVERIFY(readFile(nested).contains("hourOfDay=22"));
}

void TestAppSettings::failedWriteIsLogged()
{
    // The folder the file should go in is a regular file: no write can succeed, even as root.
    const QString blocker = m_home->home() + QStringLiteral("/blocker");
    QFile file(blocker);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    const QString unwritable = blocker + QStringLiteral("/quillbrook.conf");

    QStringList lines;
    const LogSink previous = setLogSink([&lines](const QString &line) { lines.append(line); });
    AppSettings settings(unwritable, m_home->home());
    QSignalSpy spy(&settings, &AppSettings::changed);
    settings.setEnabled(true);
    setLogSink(previous);

    QCOMPARE(spy.count(), 1);
    QCOMPARE(lines,
             QStringList{QStringLiteral("Failed to save settings: cannot write ") + unwritable});
}

void TestAppSettings::sharedInstanceUsesTheHostPaths()
{
    AppSettings &shared = AppSettings::shared();
    QCOMPARE(&AppSettings::shared(), &shared);
    QCOMPARE(shared.filePath(), HostPaths::settingsFile());
}

void TestAppSettings::lastRunText_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<double>("lastRun");
    QTest::addColumn<QString>("expected");

    const QString us = QStringLiteral("en_US");
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    QTest::newRow("zero") << us << 0.0 << "Never";
    QTest::newRow("negative") << us << -5.0 << "Never";
    QTest::newRow("nan") << us << nan << "Never";
    QTest::newRow("minus inf") << us << -inf << "Never";
    QTest::newRow("inf") << us << inf << "Never";
    QTest::newRow("beyond any date") << us << 1e300 << "Never";

    // now: 2026-12-06 15:30 local time (see the test body)
    QTest::newRow("today") << us << localSeconds({2026, 12, 6}, {15, 4, 59, 900})
                           << "Today, 3:04 PM";
    QTest::newRow("today, fraction just below the minute")
        << us << localSeconds({2026, 12, 6}, {15, 4, 59, 999}) + 0.0004 << "Today, 3:04 PM";
    QTest::newRow("today at midnight")
        << us << localSeconds({2026, 12, 6}, {0, 0}) << "Today, 12:00 AM";
    QTest::newRow("yesterday late")
        << us << localSeconds({2026, 12, 5}, {23, 59, 59}) << "Yesterday, 11:59 PM";
    QTest::newRow("yesterday at midnight")
        << us << localSeconds({2026, 12, 5}, {0, 0}) << "Yesterday, 12:00 AM";
    QTest::newRow("two days ago") << us << localSeconds({2026, 12, 4}, {23, 59})
                                  << "Dec 4, 2026, 11:59 PM";
    QTest::newRow("a year ago") << us << localSeconds({2025, 12, 6}, {15, 4})
                                << "Dec 6, 2025, 3:04 PM";
    QTest::newRow("tomorrow") << us << localSeconds({2026, 12, 7}, {9, 0})
                              << "Dec 7, 2026, 9:00 AM";
    // The test runs with TZ=UTC.
    QTest::newRow("one second after 1970") << us << 1.0 << "Jan 1, 1970, 12:00 AM";
    QTest::newRow("C locale") << QStringLiteral("C") << localSeconds({2026, 12, 4}, {15, 4, 30})
                              << "4 Dec 2026, 15:04";
    QTest::newRow("German") << QStringLiteral("de_DE") << localSeconds({2026, 12, 4}, {15, 4, 30})
                            << "4. Dez. 2026, 15:04";
}

void TestAppSettings::lastRunText()
{
    QFETCH(QString, locale);
    QFETCH(double, lastRun);
    QFETCH(QString, expected);

    QLocale::setDefault(QLocale(locale));
    AppSettings settings(path(), m_home->home());
    settings.setLastRunDate(lastRun);
    const QDateTime now(QDate(2026, 12, 6), QTime(15, 30), Qt::LocalTime);
    QCOMPARE(settings.lastRunText(now), expected);
}

QTEST_GUILESS_MAIN(TestAppSettings)
#include "tst_appsettings.moc"
