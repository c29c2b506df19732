#include "HeadlessRun.h"

#include "cleanup/ScreenshotCleanup.h"
#include "platform/Log.h"
#include "platform/StopSignals.h"
#include "settings/AppSettings.h"

#include <QCoreApplication>
#include <QTimer>

int runHeadless(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    // systemd ends a running job with SIGTERM at logout: the run finishes its current entry,
    // completes its journal and record, and exits.
    StopSignals::install(&app);
    int status = 0;
    QTimer::singleShot(0, &app, [&status] {
        const RunReport report = runCleanup(AppSettings::shared(), RunOptions());
        if (report.busy)
            logLine(QStringLiteral("Skipped: another cleanup is running"));
        status = report.exitStatus();
        // The run queued its record behind us on this loop; quitting through the same queue
        // lets the record reach the store first, so the panel shows scheduled runs too.
        QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit,
                                  Qt::QueuedConnection);
    });
    app.exec();
    return status;
}
