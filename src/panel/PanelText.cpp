#include "PanelText.h"

#include <QDir>
#include <QFileInfo>

QString hourLabel(qint64 hour)
{
    const qint64 clockHour = hour == 0 ? 12 : (hour > 12 ? hour - 12 : hour);
    return QString::number(clockHour) + QStringLiteral(":00 ") +
           (hour < 12 ? QStringLiteral("AM") : QStringLiteral("PM"));
}

QString countPhrase(qint64 count)
{
    return QString::number(count) +
           (count == 1 ? QStringLiteral(" screenshot") : QStringLiteral(" screenshots"));
}

QString displayFolderPath(const QString &folder, const QString &home)
{
    // A plain prefix test would turn "/home/ab" into "~b" for the home "/home/a", which reads as
    // another user's home folder.
    QString base = home;
    while (base.size() > 1 && base.endsWith(QLatin1Char('/')))
        base.chop(1);
    if (base.isEmpty() || base == QStringLiteral("/"))
        return folder;
    if (folder == base)
        return QStringLiteral("~");
    if (folder.startsWith(base + QLatin1Char('/')))
        return QLatin1Char('~') + folder.mid(base.size());
    return folder;
}

QString nearestExistingFolder(const QString &folder)
{
    if (!QDir::isAbsolutePath(folder))
        return {};
    QString path = QDir::cleanPath(folder);
    for (;;) {
        const QFileInfo info(path);
        if (info.isDir())
            return path;
        const QString parent = info.path();
        if (parent == path)
            return {};
        path = parent;
    }
}
