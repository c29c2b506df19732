#include "AgentControl.h"

#include "AgentJob.h"
#include "PlistReader.h"
#include "SystemdUnits.h"

#include "platform/AtomicFile.h"
#include "platform/ChildProcess.h"
#include "platform/ErrorText.h"
#include "platform/HostPaths.h"
#include "platform/PrivateFolder.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int ExitFailure = 1;
constexpr int ExitUsage = 2;

const char Usage[] = "Usage: quillbrook-agentctl load|unload AGENT.plist\n";

void printError(const QString &message)
{
    std::fprintf(stderr, "quillbrook-agentctl: %s\n", message.toLocal8Bit().constData());
}

struct UnitPaths
{
    QString folder;
    QString service;
    QString timer;
    QString wantsLink;
    QString stamp; // where systemd records a persistent timer's last run

    explicit UnitPaths(const QString &label)
        : folder(HostPaths::configHome() + QStringLiteral("/systemd/user")),
          service(folder + QLatin1Char('/') + label + QStringLiteral(".service")),
          timer(folder + QLatin1Char('/') + label + QStringLiteral(".timer")),
          wantsLink(folder + QStringLiteral("/timers.target.wants/") + label +
                    QStringLiteral(".timer")),
          stamp(HostPaths::dataHome() + QStringLiteral("/systemd/timers/stamp-") + label +
                QStringLiteral(".timer"))
    {
    }
};

bool isPresent(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

// Units the user wrote under the same name are theirs: never replaced, never removed.
std::optional<QString> foreignUnit(const UnitPaths &paths)
{
    for (const QString &unit : {paths.service, paths.timer}) {
        if (!isPresent(unit))
            continue;
        QFile file(unit);
        if (!file.open(QIODevice::ReadOnly) ||
            file.readLine(sizeof SystemdUnitMarker + 1).trimmed() != SystemdUnitMarker)
            return unit;
    }
    if (isPresent(paths.wantsLink) && !QFileInfo(paths.wantsLink).isSymLink())
        return paths.wantsLink;
    return std::nullopt;
}

QString cannotLoad(const QString &path, const QString &reason)
{
    return QStringLiteral("Cannot load %1: %2").arg(path, reason);
}

// Only a regular file is read, opened without blocking: a FIFO or a device in its place would
// otherwise hang the tool or feed it without end.
std::optional<QByteArray> readDocument(const QString &path, QString *error)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    struct stat st = {};
    if (fd < 0 || fstat(fd, &st) != 0) {
        *error = errorText(QStringLiteral("Cannot read"), path, errno);
        if (fd >= 0)
            ::close(fd);
        return std::nullopt;
    }
    QFile file;
    if (!S_ISREG(st.st_mode) || !file.open(fd, QIODevice::ReadOnly, QFile::AutoCloseHandle)) {
        ::close(fd);
        *error = cannotLoad(path, QStringLiteral("not a regular file"));
        return std::nullopt;
    }
    const QByteArray bytes = file.read(PlistMaxBytes + 1);
    if (bytes.size() > PlistMaxBytes) {
        *error = cannotLoad(path, QStringLiteral("larger than %1 bytes").arg(PlistMaxBytes));
        return std::nullopt;
    }
    return bytes;
}

bool writeAtomically(const QString &path, const QString &text, QString *error)
{
    return writeFileAtomically(QFile::encodeName(path), text.toUtf8(), error);
}

// What "systemctl enable" does: a link in the target's wants folder, replaced in one step.
bool linkAtomically(const QString &target, const QString &link, QString *error)
{
    const QByteArray temporary = QFile::encodeName(link + QStringLiteral(".new"));
    ::unlink(temporary.constData());
    if (::symlink(QFile::encodeName(target).constData(), temporary.constData()) != 0 ||
        std::rename(temporary.constData(), QFile::encodeName(link).constData()) != 0) {
        *error = errorText(QStringLiteral("Cannot create the link"), link, errno);
        ::unlink(temporary.constData());
        return false;
    }
    return true;
}

// Returns whether systemctl ran and exited with 0; its output goes straight to ours.
bool systemctl(const QStringList &arguments)
{
    const QString program = QStandardPaths::findExecutable(QStringLiteral("systemctl"));
    if (program.isEmpty())
        return false;
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start(program, QStringList{QStringLiteral("--user")} + arguments);
    if (!process.waitForStarted(-1))
        return false;
    // Two calls fit within the time the app gives the whole tool.
    if (!process.waitForFinished(int(ChildProcessTimeout.count() / 3))) {
        process.kill();
        process.waitForFinished(-1);
        return false;
    }
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

int load(const QString &documentPath)
{
    QString error;
    const std::optional<QByteArray> bytes = readDocument(documentPath, &error);
    std::optional<QVariant> plist = bytes ? readXmlPlist(*bytes, &error) : std::nullopt;
    const std::optional<AgentJob> job = plist ? agentJobFromPlist(*plist, &error) : std::nullopt;
    if (!job) {
        printError(bytes ? cannotLoad(documentPath, error) : error);
        return ExitFailure;
    }

    const UnitPaths paths(job->label);
    if (const std::optional<QString> foreign = foreignUnit(paths)) {
        printError(QStringLiteral("Left %1 as it is: it was not written by quillbrook-agentctl")
                       .arg(*foreign));
        return ExitFailure;
    }
    if (!makePrivateFolder(QFile::encodeName(QFileInfo(paths.wantsLink).absolutePath()), &error) ||
        !writeAtomically(paths.service, systemdServiceUnit(*job), &error) ||
        !writeAtomically(paths.timer, systemdTimerUnit(*job), &error) ||
        !linkAtomically(paths.timer, paths.wantsLink, &error)) {
        printError(error);
        return ExitFailure;
    }

    const QString timerUnit = job->label + QStringLiteral(".timer");
    if (QStandardPaths::findExecutable(QStringLiteral("systemctl")).isEmpty()) {
        printError(QStringLiteral("Warning: systemctl not found; %1 is enabled and starts with "
                                  "the next session")
                       .arg(timerUnit));
    } else if (!systemctl({QStringLiteral("daemon-reload")}) ||
               !systemctl({QStringLiteral("start"), timerUnit})) {
        printError(QStringLiteral("Warning: no user service manager reachable (systemctl --user "
                                  "failed); %1 is enabled and starts with the next session")
                       .arg(timerUnit));
    }
    return 0;
}

// The label the document names, else the one its file name carries, so that a damaged document
// can still be unloaded.
std::optional<QString> labelForUnload(const QString &documentPath)
{
    QString ignored;
    if (const std::optional<QByteArray> bytes = readDocument(documentPath, &ignored)) {
        const QVariant label =
            readXmlPlist(*bytes).value_or(QVariant()).toMap().value(QStringLiteral("Label"));
        if (label.typeId() == QMetaType::QString && isValidAgentLabel(label.toString()))
            return label.toString();
    }
    QString name = QFileInfo(documentPath).fileName();
    if (name.endsWith(QLatin1String(".plist")))
        name.chop(6);
    if (isValidAgentLabel(name))
        return name;
    return std::nullopt;
}

int unload(const QString &documentPath)
{
    const std::optional<QString> label = labelForUnload(documentPath);
    if (!label) {
        printError(QStringLiteral("Cannot unload %1: no usable Label in the document or its "
                                  "file name")
                       .arg(documentPath));
        return ExitFailure;
    }
    const UnitPaths paths(*label);
    if (!isPresent(paths.service) && !isPresent(paths.timer) && !isPresent(paths.wantsLink))
        return 0;
    if (const std::optional<QString> foreign = foreignUnit(paths)) {
        printError(QStringLiteral("Left %1 as it is: it was not written by quillbrook-agentctl")
                       .arg(*foreign));
        return ExitFailure;
    }

    // Without a manager there is nothing to stop; the removed files are what counts.
    systemctl({QStringLiteral("stop"), *label + QStringLiteral(".timer")});
    for (const QString &path : {paths.wantsLink, paths.timer, paths.service}) {
        if (isPresent(path) && ::unlink(QFile::encodeName(path).constData()) != 0) {
            printError(errorText(QStringLiteral("Cannot remove"), path, errno));
            return ExitFailure;
        }
    }
    systemctl({QStringLiteral("daemon-reload")});
    // A stale record of the last run would make the next load catch up on a run at once.
    QFile::remove(paths.stamp);
    return 0;
}

} // namespace

int runAgentControl(const QStringList &arguments)
{
    if (arguments == QStringList{QStringLiteral("--version")}) {
        std::printf("quillbrook-agentctl %s\n", QUILLBROOK_VERSION);
        return 0;
    }
    if (arguments == QStringList{QStringLiteral("--help")}) {
        std::fputs(Usage, stdout);
        std::fputs("\n"
                   "  load PATH    read the agent document at PATH and install a systemd user\n"
                   "               timer for it: <Label>.service and <Label>.timer in\n"
                   "               $XDG_CONFIG_HOME/systemd/user, enabled, and started when a\n"
                   "               user service manager runs\n"
                   "  unload PATH  stop and disable that timer and remove both units\n"
                   "  --version    print the version\n",
                   stdout);
        return 0;
    }
    if (arguments.size() == 2 && arguments.first() == QLatin1String("load"))
        return load(arguments.at(1));
    if (arguments.size() == 2 && arguments.first() == QLatin1String("unload"))
        return unload(arguments.at(1));
    std::fputs(Usage, stderr);
    return ExitUsage;
}
