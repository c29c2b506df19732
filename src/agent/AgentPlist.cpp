#include "AgentPlist.h"

#include "PlistWriter.h"

#include "platform/HostPaths.h"

#include <QVariantList>

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
    plist.insert(QStringLiteral("StandardOutPath"), QStringLiteral("/tmp/quillbrook.log"));
    plist.insert(QStringLiteral("StandardErrorPath"), QStringLiteral("/tmp/quillbrook.err"));
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
