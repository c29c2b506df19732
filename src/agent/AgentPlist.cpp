#include "AgentPlist.h"

#include "PlistWriter.h"

#include "platform/HostPaths.h"

#include <QVariantList>

QString agentOutputFolder()
{
    return HostPaths::stateHome() + QStringLiteral("/quillbrook");
}

QVariantMap makeAgentPlist(Frequency frequency, qint64 hourOfDay, const QString &executablePath)
{
    QVariantMap interval;
    switch (frequency) {
    case Frequency::Hourly:
        interval.insert(QStringLiteral("Minute"), qint64(0));
        break;
    case Frequency::Daily:
        interval.insert(QStringLiteral("Hour"), hourOfDay);
        interval.insert(QStringLiteral("Minute"), qint64(0));
        break;
    case Frequency::Weekly:
        interval.insert(QStringLiteral("Weekday"), qint64(0));
        interval.insert(QStringLiteral("Hour"), hourOfDay);
        interval.insert(QStringLiteral("Minute"), qint64(0));
        break;
    }

    QVariantMap plist;
    plist.insert(QStringLiteral("Label"), QString::fromLatin1(AgentLabel));
    plist.insert(QStringLiteral("ProgramArguments"),
                 QVariantList{executablePath, QStringLiteral("--headless")});
    plist.insert(QStringLiteral("StartCalendarInterval"), interval);
    plist.insert(QStringLiteral("RunAtLoad"), false);
    // Per user: a shared /tmp path could be another account's file, which systemd refuses to
    // open for our service (fs.protected_regular), and would show our output to everyone.
    plist.insert(QStringLiteral("StandardOutPath"),
                 agentOutputFolder() + QStringLiteral("/quillbrook.log"));
    plist.insert(QStringLiteral("StandardErrorPath"),
                 agentOutputFolder() + QStringLiteral("/quillbrook.err"));
    return plist;
}

QVariantMap makeAgentPlist(Frequency frequency, qint64 hourOfDay)
{
    return makeAgentPlist(frequency, hourOfDay, HostPaths::runningExecutable());
}

std::optional<QByteArray> serializeAgentPlist(const QVariantMap &plist, QString *error)
{
    return writeXmlPlist(plist, error);
}
