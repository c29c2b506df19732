#include "AgentInstaller.h"

#include "AgentPlist.h"

#include "platform/ChildProcess.h"
#include "platform/ErrorText.h"
#include "platform/HostPaths.h"
#include "platform/Log.h"
#include "settings/AppSettings.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <cerrno>
#include <sys/stat.h>

namespace {

// Each missing folder on the way is made private (0700), as the base directory rules ask.
bool makePrivateFolder(const QString &path, QString *error)
{
    const QByteArray native = QFile::encodeName(path);
    for (qsizetype end = 1; end <= native.size(); ++end) {
        if (end < native.size() && native.at(end) != '/')
            continue;
        if (mkdir(native.left(end).constData(), 0700) != 0 && errno != EEXIST) {
            if (error)
                *error = errorText(QStringLiteral("Cannot create the folder"), path, errno);
            return false;
        }
    }
    return true;
}

} // namespace

AgentContext AgentContext::standard()
{
    return {HostPaths::configHome() + QStringLiteral("/quillbrook/LaunchAgents"), agentToolPath()};
}

QString agentToolPath()
{
    // Same folder as the executable the document names, so a build tree and an installed copy
    // each use their own tool.
    return QFileInfo(HostPaths::runningExecutable()).absolutePath() +
           QStringLiteral("/quillbrook-agentctl");
}

QString agentFilePath(const AgentContext &context)
{
    return context.agentFolder + QLatin1Char('/') + QString::fromLatin1(AgentLabel) +
           QStringLiteral(".plist");
}

void applySchedule(AppSettings &settings, const AgentContext &context)
{
    // A failed installation is dropped here on purpose: the setting stays as the user chose it.
    if (settings.enabled())
        installAgent(settings.frequency(), settings.hourOfDay(), context);
    else
        removeAgent(context);
}

bool installAgent(Frequency frequency, qint64 hourOfDay, const AgentContext &context,
                  QString *error)
{
    const QString file = agentFilePath(context);
    // systemd opens the output files itself and fails the run when their folder is missing.
    if (!makePrivateFolder(context.agentFolder, error) ||
        !makePrivateFolder(agentOutputFolder(), error))
        return false;

    removeAgent(context);

    const std::optional<QByteArray> bytes =
        serializeAgentPlist(makeAgentPlist(frequency, hourOfDay), error);
    if (!bytes)
        return false;

    // A plain write: the earlier file is already gone, so there is nothing to keep intact.
    QFile out(file);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        if (error)
            *error = errorText(QStringLiteral("Cannot write"), file, errno);
        return false;
    }
    if (out.write(*bytes) != bytes->size() || !out.flush()) {
        if (error)
            *error = errorText(QStringLiteral("Cannot write"), file, errno);
        out.remove(); // a truncated document would only mislead the next unload
        return false;
    }
    out.close();

    runLaunchctl({QStringLiteral("load"), file}, context);
    return true;
}

void removeAgent(const AgentContext &context)
{
    const QString file = agentFilePath(context);
    // exists() follows links; a dangling link is still something to remove.
    if (!QFileInfo(file).exists() && !QFileInfo(file).isSymLink())
        return;
    runLaunchctl({QStringLiteral("unload"), file}, context);
    QFile::remove(file);
}

int runLaunchctl(const QStringList &arguments, const AgentContext &context)
{
    QProcess process;
    process.setProgram(context.toolPath);
    process.setArguments(arguments);
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.setInputChannelMode(QProcess::ForwardedInputChannel);
    process.start();
    if (!process.waitForStarted(-1)) {
        logLine(QStringLiteral("launchctl failed: ") + process.errorString());
        return -1;
    }
    if (!process.waitForFinished(int(ChildProcessTimeout.count()))) {
        // A hung tool must not hold the panel for good; the next change loads afresh.
        process.kill();
        process.waitForFinished(-1);
        logLine(QStringLiteral("launchctl failed: no answer within %1 s")
                    .arg(ChildProcessTimeout.count() / 1000));
        return -1;
    }
    if (process.exitStatus() != QProcess::NormalExit)
        return -1;
    return process.exitCode();
}
