#include "HeadlessRun.h"

#include "cleanup/ScreenshotCleanup.h"
#include "settings/AppSettings.h"

#include <QCoreApplication>
#include <QTimer>

int runHeadless(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTimer::singleShot(0, &app, [] {
        runCleanup(AppSettings::shared());
        // The run queued its record behind us on this loop; quitting through the same queue
        // lets the record reach the store first, so the panel shows scheduled runs too.
        QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit,
                                  Qt::QueuedConnection);
    });
    return app.exec();
}
