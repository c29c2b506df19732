#include "LoginItem.h"

#include "platform/Autostart.h"
#include "platform/Log.h"

#include <QCoreApplication>

namespace {

// Where the program is installed when Qt cannot tell the running executable's path.
const char FallbackExecutable[] = "/usr/bin/quillbrook";

QString runningExecutable()
{
    const QString path = QCoreApplication::applicationFilePath();
    return path.isEmpty() ? QString::fromLatin1(FallbackExecutable) : path;
}

} // namespace

void registerLoginItem()
{
    QString error;
    if (!Autostart::install(runningExecutable(), &error))
        logLine(QStringLiteral("Failed to register login item: ") + error);
}

void unregisterLoginItem()
{
    QString error;
    if (!Autostart::remove(&error))
        logLine(QStringLiteral("Failed to unregister login item: ") + error);
}
