#include "AppSettings.h"

#include "platform/ErrorText.h"
#include "platform/HostPaths.h"
#include "platform/Log.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <cerrno>
#include <charconv>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

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

// The value stored under a key, if it parses strictly as T.
template <typename T> std::optional<T> parseStored(const QVariant &value)
{
    if constexpr (std::is_same_v<T, bool>)
        return parseBool(value);
    else if constexpr (std::is_same_v<T, qint64>)
        return parseInt64(value);
    else if constexpr (std::is_same_v<T, double>)
        return parseDouble(value);
    else if constexpr (std::is_same_v<T, QString>)
        // An unquoted value with commas comes back as a list: not a path we wrote.
        return isText(value) ? std::optional(value.toString()) : std::nullopt;
    else // enumerations are stored by their raw text, exactly and case-sensitively
        return isText(value) ? enumFromText<T>(value.toString()) : std::nullopt;
}

template <typename T> QVariant storedForm(const T &value)
{
    if constexpr (std::is_enum_v<T>)
        return enumText(value);
    else
        return QVariant::fromValue(value);
}

// The key of each setting, in the order of AppSettings::Key: both come from the one list.
constexpr const char *KeyNames[] = {
#define QUILLBROOK_SETTING_NAME(name, Name, Type, fallback) #name,
    QUILLBROOK_SETTINGS(QUILLBROOK_SETTING_NAME)
#undef QUILLBROOK_SETTING_NAME
};

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
    : QObject(parent), m_store(filePath, QSettings::IniFormat), m_home(homePath)
{
}

QString AppSettings::defaultSourceFolder() const
{
    return HostPaths::screenshotFolder(m_home, HostPaths::configHome(),
                                       qEnvironmentVariable("XDG_CURRENT_DESKTOP"));
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

// The default is asked for only when the file holds no usable value: the source folder's looks
// at the disk.
template <typename T, typename Fallback>
T AppSettings::parsed(Key key, const Fallback &fallback) const
{
    const std::optional<T> stored =
        parseStored<T>(m_store.value(QLatin1String(KeyNames[size_t(key)])));
    return stored ? *stored : T(fallback());
}

// Each read first picks up a file another process replaced since the last read.
#define QUILLBROOK_SETTING_ACCESSORS(name, Name, Type, fallback)                                   \
    Type AppSettings::name() const                                                                 \
    {                                                                                              \
        m_store.sync();                                                                            \
        return parsed<Type>(Key::Name, [&] { return fallback; });                                  \
    }                                                                                              \
    void AppSettings::set##Name(const Type &value)                                                 \
    {                                                                                              \
        save({{Key::Name, storedForm(value)}});                                                    \
    }
QUILLBROOK_SETTINGS(QUILLBROOK_SETTING_ACCESSORS)
#undef QUILLBROOK_SETTING_ACCESSORS

AppSettings::Values AppSettings::values() const
{
    m_store.sync();
    return Values{
#define QUILLBROOK_SETTING_VALUE(name, Name, Type, fallback)                                       \
    parsed<Type>(Key::Name, [&] { return fallback; }),
        QUILLBROOK_SETTINGS(QUILLBROOK_SETTING_VALUE)
#undef QUILLBROOK_SETTING_VALUE
    };
}

void AppSettings::recordRun(const RunRecord &record)
{
    save({{Key::LastRunDate, storedForm(record.date)},
          {Key::LastRunCount, storedForm(record.count)},
          {Key::LastRunFailedCount, storedForm(record.failedCount)},
          {Key::LastRunError, storedForm(record.error)}});
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

void AppSettings::save(std::initializer_list<std::pair<Key, QVariant>> values)
{
    checkReadable();
    // A store of its own per save: QSettings keeps the first error it met for the life of the
    // object, so only a fresh one tells whether this very save reached the disk. It shares the
    // parsed file with m_store, so the next read sees the values either way.
    const std::optional<FileStamp> previous = fileStamp(filePath());
    QSettings store(filePath(), QSettings::IniFormat);
    for (const auto &[key, value] : values)
        store.setValue(QLatin1String(KeyNames[size_t(key)]), value);
    store.sync();
    keepModificationTimeApart(filePath(), previous ? std::optional(previous->modifiedNs / 1000000)
                                                   : std::nullopt);
    if (store.status() == QSettings::AccessError)
        logLine(QStringLiteral("Failed to save settings: ") + saveFailure(filePath()));
    else
        m_checked = fileStamp(filePath()); // QSettings wrote it: readable
    emit changed();
}
