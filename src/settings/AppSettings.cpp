#include "AppSettings.h"

#include "platform/HostPaths.h"
#include "platform/Log.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTemporaryFile>

#include <charconv>
#include <cmath>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>

namespace {

const QString EnabledKey = QStringLiteral("enabled");
const QString FrequencyKey = QStringLiteral("frequency");
const QString HourOfDayKey = QStringLiteral("hourOfDay");
const QString AgeValueKey = QStringLiteral("ageValue");
const QString AgeUnitKey = QStringLiteral("ageUnit");
const QString SourceFolderKey = QStringLiteral("sourceFolder");
const QString LastRunDateKey = QStringLiteral("lastRunDate");
const QString LastRunCountKey = QStringLiteral("lastRunCount");
const QString LastRunFailedCountKey = QStringLiteral("lastRunFailedCount");
const QString LaunchAtLoginKey = QStringLiteral("launchAtLogin");

constexpr bool DefaultEnabled = false;
constexpr Frequency DefaultFrequency = Frequency::Daily;
constexpr qint64 DefaultHourOfDay = 3;
constexpr qint64 DefaultAgeValue = 1;
constexpr AgeUnit DefaultAgeUnit = AgeUnit::Days;
constexpr double DefaultLastRunDate = 0.0;
constexpr qint64 DefaultLastRunCount = 0;
constexpr qint64 DefaultLastRunFailedCount = 0;
constexpr bool DefaultLaunchAtLogin = true;

// The INI file holds text, but a value this process wrote is held by QSettings in its own type
// until the file is read again; both forms are accepted, nothing looser.
bool isText(const QVariant &value)
{
    return value.typeId() == QMetaType::QString;
}

std::optional<bool> parseBool(const QVariant &value)
{
    if (value.typeId() == QMetaType::Bool)
        return value.toBool();
    if (!isText(value))
        return std::nullopt;
    const QString text = value.toString();
    if (text == QLatin1String("true"))
        return true;
    if (text == QLatin1String("false"))
        return false;
    return std::nullopt;
}

// std::from_chars over the whole text: no sign prefix, no blanks, no trailing characters.
template <typename Number> std::optional<Number> parseWholeText(const QString &text, auto... format)
{
    const QByteArray bytes = text.toUtf8();
    const char *const begin = bytes.constData();
    const char *const end = begin + bytes.size();
    Number number{};
    const auto [stop, error] = std::from_chars(begin, end, number, format...);
    if (error != std::errc() || stop != end || begin == end)
        return std::nullopt;
    return number;
}

std::optional<qint64> parseInt64(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::LongLong:
    case QMetaType::Int:
        return value.toLongLong();
    case QMetaType::QString:
        return parseWholeText<qint64>(value.toString(), 10);
    default:
        return std::nullopt;
    }
}

// QSettings writes a double in its shortest exact form ("1733500000.123456", "1.7e+09", "nan",
// "-inf"), all of which from_chars reads back bit for bit.
std::optional<double> parseDouble(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::Double:
    case QMetaType::LongLong:
    case QMetaType::Int:
        return value.toDouble();
    case QMetaType::QString:
        return parseWholeText<double>(value.toString(), std::chars_format::general);
    default:
        return std::nullopt;
    }
}

// QLocale offers only long and short dates; the medium form is the long one without the weekday
// and with the abbreviated month ("dddd, MMMM d, yyyy" -> "MMM d, yyyy").
QString mediumDateFormat(const QLocale &locale)
{
    const QString longFormat = locale.dateFormat(QLocale::LongFormat);
    QString medium;
    bool quoted = false;
    qsizetype i = 0;
    while (i < longFormat.size()) {
        const QChar c = longFormat.at(i);
        if (c == QLatin1Char('\'')) {
            quoted = !quoted;
            medium += c;
            ++i;
            continue;
        }
        if (quoted || (c != QLatin1Char('d') && c != QLatin1Char('M'))) {
            medium += c;
            ++i;
            continue;
        }
        qsizetype run = 0;
        while (i + run < longFormat.size() && longFormat.at(i + run) == c)
            ++run;
        i += run;
        if (c == QLatin1Char('d') && run >= 3) {
            // Drop the weekday and the separator that tied it to the rest.
            while (i < longFormat.size() &&
                   (longFormat.at(i) == QLatin1Char(',') || longFormat.at(i).isSpace()))
                ++i;
        } else if (c == QLatin1Char('M') && run == 4) {
            medium += QStringLiteral("MMM");
        } else {
            medium += QString(run, c);
        }
    }
    while (!medium.isEmpty() && (medium.back() == QLatin1Char(',') || medium.back().isSpace()))
        medium.chop(1);
    return medium;
}

// Hours and minutes only: some locales (C among them) put seconds into their short time.
QString shortTimeFormat(const QLocale &locale)
{
    QString format = locale.timeFormat(QLocale::ShortFormat);
    const qsizetype seconds = format.indexOf(QLatin1String(":ss"));
    if (seconds >= 0)
        format.remove(seconds, 3);
    return format;
}

void keepUnreadableCopy(const QString &path)
{
    // QSettings rewrites the whole file on every write and silently drops the lines it could not
    // parse (after an unbalanced quote, every line that follows). Those lines never meant anything
    // to us, but they may mean something to the user who typed them, so keep them.
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QByteArray bytes = file.readAll();
    file.close();
    if (bytes.isEmpty())
        return;

    // A private copy, so that the check parses the whole file afresh and does not disturb the
    // state QSettings keeps for the real path.
    QTemporaryFile probeFile;
    if (!probeFile.open() || probeFile.write(bytes) != bytes.size() || !probeFile.flush())
        return;
    {
        QSettings probe(probeFile.fileName(), QSettings::IniFormat);
        probe.allKeys();
        if (probe.status() != QSettings::FormatError)
            return;
    }

    const QString base = path + QStringLiteral(".unreadable");
    QString copyPath = base;
    for (int n = 2; QFile::exists(copyPath); ++n)
        copyPath = base + QLatin1Char('-') + QString::number(n);
    QFile copy(copyPath);
    if (copy.open(QIODevice::WriteOnly | QIODevice::NewOnly) && copy.write(bytes) == bytes.size() &&
        copy.flush()) {
        logLine(QStringLiteral("Settings file ") + path +
                QStringLiteral(" holds lines that cannot be read; they were kept in ") + copyPath);
    }
}

// In milliseconds, as QSettings compares it.
std::optional<qint64> modificationTime(const QString &path)
{
    struct stat info;
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return std::nullopt;
    return qint64(info.st_mtim.tv_sec) * 1000 + info.st_mtim.tv_nsec / 1000000;
}

// Another process's QSettings takes the file as unchanged while its size and its modification
// time in milliseconds are; two writes of one length in the same millisecond (a run record's
// date and count) would leave the second unseen. So no version we write shares the previous
// version's millisecond.
void keepModificationTimeApart(const QString &path, std::optional<qint64> previous)
{
    if (!previous || modificationTime(path) != previous)
        return;
    const qint64 next = *previous + 1;
    const struct timespec times[2] = {{0, UTIME_OMIT}, {next / 1000, (next % 1000) * 1000000}};
    ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0);
}

} // namespace

AppSettings::AppSettings(const QString &filePath, const QString &homePath, QObject *parent)
    : QObject(parent), m_store(filePath, QSettings::IniFormat),
      m_defaultSourceFolder(QDir::cleanPath(homePath + QStringLiteral("/Desktop")))
{
}

AppSettings &AppSettings::shared()
{
    // Never released: a headless run's queued record is still written while the process ends.
    static AppSettings *const instance =
        new AppSettings(HostPaths::settingsFile(), HostPaths::home());
    return *instance;
}

QString AppSettings::filePath() const
{
    return m_store.fileName();
}

QVariant AppSettings::read(const QString &key) const
{
    // Picks up a file another process replaced since the last read.
    m_store.sync();
    return m_store.value(key);
}

void AppSettings::write(const QString &key, const QVariant &value)
{
    keepUnreadableCopy(filePath());
    // A store of its own per write: QSettings keeps the first error it met for the life of the
    // object, so only a fresh one tells whether this very write reached the disk. It shares the
    // parsed file with m_store, so the next read sees the value either way.
    const std::optional<qint64> previousTime = modificationTime(filePath());
    QSettings store(filePath(), QSettings::IniFormat);
    store.setValue(key, value);
    store.sync();
    keepModificationTimeApart(filePath(), previousTime);
    if (store.status() == QSettings::AccessError)
        logLine(QStringLiteral("Failed to save settings: cannot write ") + filePath());
    emit changed();
}

bool AppSettings::enabled() const
{
    return parseBool(read(EnabledKey)).value_or(DefaultEnabled);
}

void AppSettings::setEnabled(bool value)
{
    write(EnabledKey, value);
}

Frequency AppSettings::frequency() const
{
    const QVariant value = read(FrequencyKey);
    if (!isText(value))
        return DefaultFrequency;
    return frequencyFromRaw(value.toString()).value_or(DefaultFrequency);
}

void AppSettings::setFrequency(Frequency value)
{
    write(FrequencyKey, rawValue(value));
}

qint64 AppSettings::hourOfDay() const
{
    return parseInt64(read(HourOfDayKey)).value_or(DefaultHourOfDay);
}

void AppSettings::setHourOfDay(qint64 value)
{
    write(HourOfDayKey, value);
}

qint64 AppSettings::ageValue() const
{
    return parseInt64(read(AgeValueKey)).value_or(DefaultAgeValue);
}

void AppSettings::setAgeValue(qint64 value)
{
    write(AgeValueKey, value);
}

AgeUnit AppSettings::ageUnit() const
{
    const QVariant value = read(AgeUnitKey);
    if (!isText(value))
        return DefaultAgeUnit;
    return ageUnitFromRaw(value.toString()).value_or(DefaultAgeUnit);
}

void AppSettings::setAgeUnit(AgeUnit value)
{
    write(AgeUnitKey, rawValue(value));
}

QString AppSettings::sourceFolder() const
{
    // An unquoted value with commas comes back as a list: not a path we wrote.
    const QVariant value = read(SourceFolderKey);
    return isText(value) ? value.toString() : m_defaultSourceFolder;
}

void AppSettings::setSourceFolder(const QString &value)
{
    write(SourceFolderKey, value);
}

double AppSettings::lastRunDate() const
{
    return parseDouble(read(LastRunDateKey)).value_or(DefaultLastRunDate);
}

void AppSettings::setLastRunDate(double value)
{
    write(LastRunDateKey, value);
}

qint64 AppSettings::lastRunCount() const
{
    return parseInt64(read(LastRunCountKey)).value_or(DefaultLastRunCount);
}

void AppSettings::setLastRunCount(qint64 value)
{
    write(LastRunCountKey, value);
}

qint64 AppSettings::lastRunFailedCount() const
{
    return parseInt64(read(LastRunFailedCountKey)).value_or(DefaultLastRunFailedCount);
}

void AppSettings::setLastRunFailedCount(qint64 value)
{
    write(LastRunFailedCountKey, value);
}

bool AppSettings::launchAtLogin() const
{
    return parseBool(read(LaunchAtLoginKey)).value_or(DefaultLaunchAtLogin);
}

void AppSettings::setLaunchAtLogin(bool value)
{
    write(LaunchAtLoginKey, value);
}

QString AppSettings::lastRunText() const
{
    return lastRunText(QDateTime::currentDateTime());
}

QString AppSettings::lastRunText(const QDateTime &now) const
{
    const QString never = QStringLiteral("Never");
    // Read once: a second read could see another process's newer record.
    const double seconds = lastRunDate();
    if (!(seconds > 0))
        return never;
    // Milliseconds must fit a qint64; a record beyond that (or infinite) is no date at all.
    const double milliseconds = std::floor(seconds * 1000.0);
    if (!(milliseconds < 9.0e18))
        return never;
    const QDateTime when = QDateTime::fromMSecsSinceEpoch(qint64(milliseconds), Qt::LocalTime);
    if (!when.isValid())
        return never;

    const QLocale locale;
    const QDate day = when.date();
    const QDate today = now.toLocalTime().date();
    QString date;
    if (day == today)
        date = tr("Today");
    else if (day == today.addDays(-1))
        date = tr("Yesterday");
    else
        date = locale.toString(day, mediumDateFormat(locale));
    return date + QStringLiteral(", ") + locale.toString(when.time(), shortTimeFormat(locale));
}
