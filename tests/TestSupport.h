#pragma once

// What many tests need: a temporary HOME, a fixed clock, log capture, a fake program that
// records its arguments, raw-byte file helpers and the complete entries of a Trash. No test
// touches the real home, Trash, autostart folder or scheduler.

#include "cleanup/Clock.h"
#include "cleanup/TrashInfo.h"
#include "platform/Log.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

// The names in @p folder, sorted, without "." and "..", read as raw bytes.
inline QList<QByteArray> namesIn(const QByteArray &folder)
{
    QList<QByteArray> names;
    if (DIR *dir = opendir(folder.constData())) {
        while (const dirent *entry = readdir(dir))
            if (qstrcmp(entry->d_name, ".") != 0 && qstrcmp(entry->d_name, "..") != 0)
                names.append(entry->d_name);
        closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Removes a tree by raw bytes, never through a link: Qt cannot remove names that are not UTF-8.
inline void removeTree(const QByteArray &path)
{
    nftw(
        path.constData(),
        [](const char *name, const struct stat *, int, FTW *) { return remove(name); }, 16,
        FTW_DEPTH | FTW_PHYS);
}

inline bool writeRaw(const QByteArray &path, const QByteArray &content = {})
{
    const int fd = open(path.constData(), O_CREAT | O_WRONLY | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    const bool ok = write(fd, content.constData(), size_t(content.size())) == content.size();
    return close(fd) == 0 && ok;
}

inline std::optional<QByteArray> readRaw(const QByteArray &path)
{
    // By raw bytes: a name that is not UTF-8 would not survive QFile's decoding.
    QFile file;
    const int fd = open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC); // a FIFO never waits
    if (fd < 0 || !file.open(fd, QIODevice::ReadOnly, QFile::AutoCloseHandle))
        return std::nullopt;
    return file.readAll();
}

// The entry's own type and mode bits (a link is not followed), 0 when there is none.
inline mode_t modeOf(const QByteArray &path)
{
    struct stat st = {};
    return lstat(path.constData(), &st) == 0 ? st.st_mode : 0;
}

inline bool exists(const QByteArray &path)
{
    return modeOf(path) != 0;
}

// Sets the modification time of the entry itself (a link is not followed).
inline bool setModified(const QByteArray &path, double seconds)
{
    const timespec times[2] = {{0, UTIME_OMIT},
                               {time_t(seconds), long((seconds - time_t(seconds)) * 1e9)}};
    return utimensat(AT_FDCWD, path.constData(), times, AT_SYMLINK_NOFOLLOW) == 0;
}

// A fresh temporary HOME with its own XDG folders. Make one in init() and drop it in cleanup(),
// which also puts back the desktop's name a test may have set.
class TestHome
{
public:
    TestHome()
    {
        for (const char *name : Variables)
            m_saved.append(qgetenv(name));
        qputenv("HOME", QFile::encodeName(home()));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(configHome()));
        qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome()));
        qputenv("XDG_STATE_HOME", QFile::encodeName(stateHome()));
        QDir().mkpath(configHome());
        QDir().mkpath(dataHome());
    }
    ~TestHome()
    {
        removeTree(QFile::encodeName(m_dir.path()));
        for (int i = 0; i < m_saved.size(); ++i)
            qputenv(Variables[i], m_saved[i]);
    }

    QString home() const { return m_dir.path(); }
    QString configHome() const { return home() + QStringLiteral("/.config"); }
    QString dataHome() const { return home() + QStringLiteral("/.local/share"); }
    QString stateHome() const { return home() + QStringLiteral("/.local/state"); }
    QString trash() const { return dataHome() + QStringLiteral("/Trash"); }
    QString settingsFile() const { return configHome() + "/quillbrook/quillbrook.conf"; }
    static QString quillbrookExecutable() { return QUILLBROOK_BINARY_DIR "/quillbrook"; }

    // For a child process of ours: this HOME and its XDG folders, no display to reach, English.
    QProcessEnvironment processEnvironment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name : Variables)
            env.insert(QString::fromLatin1(name), QString::fromLocal8Bit(qgetenv(name)));
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        // The program's own English, whatever language the developer's session speaks.
        env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
        env.remove(QStringLiteral("LANGUAGE"));
        return env;
    }

private:
    static constexpr const char *Variables[] = {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME",
                                                "XDG_STATE_HOME", "XDG_CURRENT_DESKTOP"};
    QTemporaryDir m_dir;
    QList<QByteArray> m_saved;
};

// A clock that stands still until a test moves it.
class FixedClock final : public Clock
{
public:
    explicit FixedClock(double now = 1.7e9) : m_now(now) {}
    double now() const override { return m_now; }
    void set(double now) { m_now = now; }

private:
    double m_now;
};

// Every logLine() while it lives, instead of the system log.
class LogCapture
{
public:
    LogCapture() : m_previous(setLogSink([this](const QString &line) { lines.append(line); })) {}
    ~LogCapture() { setLogSink(m_previous); }
    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;
    QStringList lines;

private:
    LogSink m_previous;
};

// A program that appends one line per call to its log, its arguments joined by "|", and exits
// with the given status.
class FakeProgram
{
public:
    FakeProgram(const QString &path, int exitStatus = 0, const QByteArray &extra = {})
        : m_path(path), m_log(path + QStringLiteral(".calls"))
    {
        QFile script(path);
        if (!script.open(QIODevice::WriteOnly))
            qFatal("cannot write the fake program %s", qPrintable(path));
        script.write("#!/bin/sh\n(IFS='|'; printf '%s\\n' \"$*\") >> '" + QFile::encodeName(m_log) +
                     "'\n" + extra + "exit " + QByteArray::number(exitStatus) + "\n");
        script.setPermissions(script.permissions() | QFile::ExeOwner);
    }
    QString path() const { return m_path; }
    QStringList calls() const
    {
        return QString::fromUtf8(readRaw(QFile::encodeName(m_log)).value_or(QByteArray()))
            .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

private:
    QString m_path;
    QString m_log;
};

// How a program we ran ended (exitCode -1: not by itself) and what it wrote.
struct ProgramRun
{
    int exitCode = -1;
    QString out, err;
};

inline ProgramRun
runProgram(const QString &program, const QStringList &arguments,
           const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return {};
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

// Original path (as the info file records it) -> name in files/, for each complete entry of
// @p trash: an info file with the group, a Path and a well-formed DeletionDate, and its entry.
inline QHash<QByteArray, QByteArray> trashedEntries(const QByteArray &trash)
{
    static const QRegularExpression date(
        QStringLiteral("\nDeletionDate=\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\n"));
    QHash<QByteArray, QByteArray> entries;
    for (const QByteArray &infoName : namesIn(trash + "/info")) {
        const QByteArray name = infoName.chopped(qsizetype(sizeof(".trashinfo") - 1));
        const QByteArray text = readRaw(trash + "/info/" + infoName).value_or(QByteArray());
        const std::optional<QByteArray> path = TrashInfo::trashInfoPath(text);
        if (infoName.endsWith(".trashinfo") && text.startsWith("[Trash Info]\n") && path &&
            date.match(QString::fromUtf8(text)).hasMatch() && exists(trash + "/files/" + name))
            entries.insert(*path, name);
    }
    return entries;
}
