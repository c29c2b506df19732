#include "AgentInstaller.h"

#include "AgentPlist.h"

#include "platform/AtomicFile.h"
#include "platform/ChildProcess.h"
#include "platform/HostPaths.h"
#include "platform/Log.h"
#include "platform/PrivateFolder.h"
#include "settings/AppSettings.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>

namespace {

// Both folders are ours alone (the documents and the scheduled runs' output).
bool makeOurFolder(const QString &path, QString *error)
{
    return makePrivateFolder(QFile::encodeName(path), error, ExistingFolder::Tighten);
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
    if (!makeOurFolder(context.agentFolder, error) || !makeOurFolder(agentOutputFolder(), error))
        return false;

    removeAgent(context);

    const std::optional<QByteArray> bytes =
        serializeAgentPlist(makeAgentPlist(frequency, hourOfDay), error);
    if (!bytes)
        return false;

    if (!writeFileAtomically(QFile::encodeName(file), *bytes, error))
        return false;

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
