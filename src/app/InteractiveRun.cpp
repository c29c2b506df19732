#include "InteractiveRun.h"

#include "AccessibleApplication.h"
#include "AppDelegate.h"
#include "platform/Autostart.h"
#include "platform/StopSignals.h"
#include "platform/Translations.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <unistd.h>

namespace {

struct PendingMessage
{
    QtMsgType type;
    QString text;
};

QList<PendingMessage> &pendingMessages()
{
    static QList<PendingMessage> messages;
    return messages;
}

// While the GUI platform starts, Qt reports a missing display with qFatal, which aborts and dumps
// core, and its text advises reinstalling, which never helps here. Hold its messages back; on a
// fatal one print a single line of our own, naming what the display was looked for by.
void startupMessageHandler(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (type == QtFatalMsg) {
        const QString line = QCoreApplication::translate(
            "InteractiveRun", "quillbrook: cannot open the tray app: no graphical display "
                              "(DISPLAY=\"%1\", WAYLAND_DISPLAY=\"%2\"); use 'quillbrook "
                              "--headless' to run one cleanup without a display");
        std::fprintf(
            stderr, "%s\n",
            line.arg(qEnvironmentVariable("DISPLAY"), qEnvironmentVariable("WAYLAND_DISPLAY"))
                .toLocal8Bit()
                .constData());
        std::fflush(stderr);
        _exit(1);
    }
    Q_UNUSED(context);
    pendingMessages().append({type, text});
}

} // namespace

int runInteractive(int argc, char **argv)
{
    AccessibleApplication::install();
    QtMessageHandler previous = qInstallMessageHandler(startupMessageHandler);
    QApplication app(argc, argv);
    AccessibleApplication::install(); // again, ahead of Qt's own, which the application installs
    qInstallMessageHandler(previous);
    for (const PendingMessage &message : std::as_const(pendingMessages()))
        qt_message_output(message.type, QMessageLogContext(), message.text);
    pendingMessages().clear();

    // An accessory app: windows closing never ends it, only "Quit" (or the session) does.
    QApplication::setQuitOnLastWindowClosed(false);
    // At logout a Run Now under way ends after its current entry, then the app quits.
    StopSignals::install(&app, [] { QCoreApplication::quit(); });
    // The name is the X11 class and the tray item's title; the desktop entry names the class
    // (StartupWMClass). The entry's id is the Wayland app id, by which shells show our name and
    // icon for the panel's window.
    QApplication::setApplicationName(QStringLiteral("Quillbrook"));
    QGuiApplication::setDesktopFileName(QStringLiteral(QUILLBROOK_APP_ID));
    installTranslations(QLocale::system(), true);

    // Started at login, the app often comes up before the desktop's tray does: give the tray a
    // moment before falling back to a window, which would otherwise open at every login.
    using namespace std::chrono_literals;
    const bool atLogin =
        QCoreApplication::arguments().contains(QLatin1String(Autostart::LaunchArgument));
    AppDelegate delegate(atLogin ? 15s : 0s);
    QTimer::singleShot(0, &delegate, &AppDelegate::applicationDidFinishLaunching);
    return app.exec();
}
