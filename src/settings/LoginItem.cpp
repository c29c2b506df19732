#include "LoginItem.h"

#include "platform/Autostart.h"
#include "platform/HostPaths.h"
#include "platform/Log.h"

void registerLoginItem()
{
    QString error;
    if (!Autostart::install(HostPaths::runningExecutable(), &error))
        logLine(QStringLiteral("Failed to register login item: ") + error);
}

void unregisterLoginItem()
{
    QString error;
    if (!Autostart::remove(&error))
        logLine(QStringLiteral("Failed to unregister login item: ") + error);
}
