#include "AppSettings.h"

#include "platform/ErrorText.h"
#include "platform/HostPaths.h"
#include "platform/Log.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <array>
#include <cerrno>
#include <charconv>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

enum class Type
{
    Bool,
    Int64,
    Double,
    Text,
    Frequency,
    AgeUnit
};

struct Directive
{
    QString name;
    Type type;
    // Null for the source folder, whose default depends on the home folder.
    QVariant defaultValue;
};

// In the order of AppSettings::Key.
const std::array<Directive, 11> &directives()
{
    static const std::array<Directive, 11> table = {{
        {QStringLiteral("enabled"), Type::Bool, false},
        {QStringLiteral("frequency"), Type::Frequency, QVariant::fromValue(Frequency::Daily)},
        {QStringLiteral("hourOfDay"), Type::Int64, qint64(3)},
        {QStringLiteral("ageValue"), Type::Int64, qint64(1)},
        {QStringLiteral("ageUnit"), Type::AgeUnit, QVariant::fromValue(AgeUnit::Days)},
        {QStringLiteral("sourceFolder"), Type::Text, QVariant()},
        {QStringLiteral("lastRunDate"), Type::Double, 0.0},
        {QStringLiteral("lastRunCount"), Type::Int64, qint64(0)},
        {QStringLiteral("lastRunFailedCount"), Type::Int64, qint64(0)},
        {QStringLiteral("lastRunError"), Type::Text, QStringLiteral("")},
        {QStringLiteral("launchAtLogin"), Type::Bool, true},
    }};
    return table;
}

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

template <typename T> std::optional<QVariant> wrapped(const std::optional<T> &value)
{
    if (!value)
        return std::nullopt;
    return QVariant::fromValue(*value);
}

// Enumerations are stored by their raw text, exactly and case-sensitively.
template <typename Enum>
std::optional<QVariant> parseEnum(const QVariant &value,
                                  std::optional<Enum> (*fromRaw)(const QString &))
{
    return isText(value) ? wrapped(fromRaw(value.toString())) : std::nullopt;
}

std::optional<QVariant> parseStored(Type type, const QVariant &value)
{
    switch (type) {
    case Type::Bool:
        return wrapped(parseBool(value));
    case Type::Int64:
        return wrapped(parseInt64(value));
    case Type::Double:
        return wrapped(parseDouble(value));
    case Type::Text:
        // An unquoted value with commas comes back as a list: not a path we wrote.
        return isText(value) ? std::optional(value) : std::nullopt;
    case Type::Frequency:
        return parseEnum(value, frequencyFromRaw);
    case Type::AgeUnit:
        return parseEnum(value, ageUnitFromRaw);
    }
    return std::nullopt;
}

QVariant storedForm(Type type, const QVariant &value)
{
    if (type == Type::Frequency)
        return rawValue(value.value<Frequency>());
    if (type == Type::AgeUnit)
        return rawValue(value.value<AgeUnit>());
    return value;
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

// Another process's QSettings takes the file as unchanged while its size and its modification
// time in milliseconds are; two writes of one length in the same millisecond (a run record's
// date and count) would leave the second unseen. So no version we write shares the previous
// version's millisecond.
void keepModificationTimeApart(const QString &path, std::optional<qint64> previousMs)
{
    struct stat info;
    if (!previousMs || ::stat(QFile::encodeName(path).constData(), &info) != 0 ||
        qint64(info.st_mtim.tv_sec) * 1000 + info.st_mtim.tv_nsec / 1000000 != *previousMs)
        return;
    const qint64 next = *previousMs + 1;
    const struct timespec times[2] = {{0, UTIME_OMIT}, {next / 1000, (next % 1000) * 1000000}};
    // Should this fail, the value is on disk all the same; a reader that compares times only
    // catches up with the file's next change, and there is nothing better to do about it here.
    (void)::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0);
}

// QSettings only says that the save failed. A nameless file made where it writes gives the
// system's reason: a folder on the way that is a file, no permission, a read-only file system.
QString saveFailure(const QString &path)
{
    QString folder = QFileInfo(path).absolutePath();
    for (;;) {
        const int fd =
            ::open(QFile::encodeName(folder).constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
        const int code = errno;
        if (fd >= 0) {
            ::close(fd);
            return QStringLiteral("Cannot write ") + path;
        }
        const QString parent = QFileInfo(folder).path();
        // QSettings makes missing folders itself: the reason lies with the nearest one there is.
        if (code != ENOENT || parent == folder)
            return errorText(QStringLiteral("Cannot write"), path, code);
        folder = parent;
    }
}

} // namespace

AppSettings::AppSettings(const QString &filePath, const QString &homePath, QObject *parent)
    : QObject(parent), m_store(filePath, QSettings::IniFormat),
      m_defaultSourceFolder(HostPaths::screenshotFolder(
          homePath, HostPaths::configHome(), qEnvironmentVariable("XDG_CURRENT_DESKTOP")))
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

QVariant AppSettings::parsed(Key key) const
{
    const Directive &directive = directives()[size_t(key)];
    const std::optional<QVariant> value =
        parseStored(directive.type, m_store.value(directive.name));
    if (value)
        return *value;
    return directive.defaultValue.isNull() ? QVariant(m_defaultSourceFolder)
                                           : directive.defaultValue;
}

QVariant AppSettings::get(Key key) const
{
    // Picks up a file another process replaced since the last read.
    m_store.sync();
    return parsed(key);
}

AppSettings::Values AppSettings::values() const
{
    m_store.sync();
    return Values{parsed(Key::Enabled).toBool(),
                  parsed(Key::Frequency).value<Frequency>(),
                  parsed(Key::HourOfDay).toLongLong(),
                  parsed(Key::AgeValue).toLongLong(),
                  parsed(Key::AgeUnit).value<AgeUnit>(),
                  parsed(Key::SourceFolder).toString(),
                  parsed(Key::LastRunDate).toDouble(),
                  parsed(Key::LastRunCount).toLongLong(),
                  parsed(Key::LastRunFailedCount).toLongLong(),
                  parsed(Key::LastRunError).toString(),
                  parsed(Key::LaunchAtLogin).toBool()};
}

std::optional<AppSettings::FileStamp> AppSettings::fileStamp(const QString &path)
{
    struct stat info;
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return std::nullopt;
    return FileStamp{quint64(info.st_dev), quint64(info.st_ino), qint64(info.st_size),
                     qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec};
}

void AppSettings::checkReadable()
{
    // The check parses the whole file: once per version of it is enough.
    const std::optional<FileStamp> stamp = fileStamp(filePath());
    if (!stamp || stamp == m_checked)
        return;
    keepUnreadableCopy(filePath());
    m_checked = stamp;
}

void AppSettings::set(Key key, const QVariant &value)
{
    const Directive &directive = directives()[size_t(key)];
    checkReadable();
    // A store of its own per write: QSettings keeps the first error it met for the life of the
    // object, so only a fresh one tells whether this very write reached the disk. It shares the
    // parsed file with m_store, so the next read sees the value either way.
    const std::optional<FileStamp> previous = fileStamp(filePath());
    QSettings store(filePath(), QSettings::IniFormat);
    store.setValue(directive.name, storedForm(directive.type, value));
    store.sync();
    keepModificationTimeApart(filePath(), previous ? std::optional(previous->modifiedNs / 1000000)
                                                   : std::nullopt);
    if (store.status() == QSettings::AccessError)
        logLine(QStringLiteral("Failed to save settings: ") + saveFailure(filePath()));
    else
        m_checked = fileStamp(filePath()); // QSettings wrote it: readable
    emit changed();
}
