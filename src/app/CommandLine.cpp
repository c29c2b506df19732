#include "CommandLine.h"

#include "cleanup/CleanupCommands.h"
#include "platform/StopSignals.h"
#include "platform/Translations.h"
#include "settings/AppSettings.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <optional>

namespace {

constexpr int ExitUsage = 2;

struct OptionRow
{
    QStringList names; // a one-letter name is the short form
    const char *description;
};

// The options the parser knows and the help lists, in the order the help lists them.
const OptionRow Options[] = {
    {{QStringLiteral("headless")},
     QT_TRANSLATE_NOOP("CommandLine", "move old screenshots to the Trash once, then exit")},
    {{QStringLiteral("preview")},
     QT_TRANSLATE_NOOP("CommandLine", "list what a run now would move, and move nothing")},
    {{QStringLiteral("put-back")},
     QT_TRANSLATE_NOOP("CommandLine", "move the last run's screenshots back from the Trash")},
    {{QStringLiteral("autostart")},
     QT_TRANSLATE_NOOP("CommandLine", "start the tray app as the login entry does")},
    {{QStringLiteral("V"), QStringLiteral("version")},
     QT_TRANSLATE_NOOP("CommandLine", "print the version")},
    {{QStringLiteral("h"), QStringLiteral("help")},
     QT_TRANSLATE_NOOP("CommandLine", "print this help")},
};

QString helpText()
{
    QString text = QCoreApplication::translate(
        "CommandLine", "Usage: quillbrook [OPTION]\nKeeps a folder free of old screenshots; "
                       "without options, starts the tray app.\n\n");
    for (const OptionRow &option : Options) {
        QStringList names;
        for (const QString &name : option.names)
            names.append((name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name);
        const QString shown = (option.names.size() == 1 ? QStringLiteral("    ") : QString()) +
                              names.join(QStringLiteral(", "));
        text += QStringLiteral("  ") + shown.leftJustified(17) +
                QCoreApplication::translate("CommandLine", option.description) + QLatin1Char('\n');
    }
    return text;
}

// What QGuiApplication and QApplication take out of argv themselves (either with one dash or
// two); the tray app's QApplication still sees them.
const QStringList QtOptionsWithValue = {
    QStringLiteral("platform"),        QStringLiteral("platformpluginpath"),
    QStringLiteral("platformtheme"),   QStringLiteral("plugin"),
    QStringLiteral("qwindowgeometry"), QStringLiteral("geometry"),
    QStringLiteral("qwindowtitle"),    QStringLiteral("title"),
    QStringLiteral("qwindowicon"),     QStringLiteral("icon"),
    QStringLiteral("display"),         QStringLiteral("name"),
    QStringLiteral("session"),         QStringLiteral("style"),
    QStringLiteral("stylesheet")};
const QStringList QtFlags = {QStringLiteral("reverse"), QStringLiteral("widgetcount"),
                             QStringLiteral("nograb"), QStringLiteral("dograb"),
                             QStringLiteral("testability")};
const QStringList QtValuePrefixes = {QStringLiteral("qmljsdebugger="), QStringLiteral("style="),
                                     QStringLiteral("stylesheet=")};

QString qtOptionName(const QString &argument)
{
    if (argument.startsWith(QLatin1String("--")))
        return argument.mid(2);
    return argument.startsWith(QLatin1Char('-')) ? argument.mid(1) : QString();
}

QStringList withoutQtOptions(const QStringList &arguments)
{
    QStringList rest = arguments.mid(0, 1);
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString name = qtOptionName(arguments.at(i));
        if (arguments.at(i) == QLatin1String("--")) {
            rest += arguments.mid(i);
            break;
        }
        if (QtOptionsWithValue.contains(name))
            ++i;
        else if (!QtFlags.contains(name) &&
                 std::none_of(QtValuePrefixes.cbegin(), QtValuePrefixes.cend(),
                              [&name](const QString &prefix) { return name.startsWith(prefix); }))
            rest.append(arguments.at(i));
    }
    return rest;
}

// The scheduler's switch, anywhere and whatever surrounds it; but a user who asked to see or undo
// a run must never get one instead.
std::optional<LaunchRequest> headlessRequest(const QStringList &arguments)
{
    if (!arguments.contains(QLatin1String("--headless")))
        return std::nullopt;
    for (const QLatin1String other : {QLatin1String("--preview"), QLatin1String("--put-back")}) {
        if (arguments.indexOf(other, 1) > 0)
            return LaunchRequest{LaunchAction::UsageError,
                                 QCoreApplication::translate(
                                     "CommandLine", "--headless and %1 cannot be used together.")
                                     .arg(other)};
    }
    return LaunchRequest{LaunchAction::Headless, {}};
}

int runWithSettings(LaunchAction action, int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    StopSignals::install(&app); // a put back ends after its current entry, its journal complete
    installTranslations(QLocale::system(), false);
    int status = 1;
    // Inside the event loop, so that anything the command queues (a run's record) is handled
    // before the process ends.
    QTimer::singleShot(0, &app, [action, &status] {
        QTextStream out(stdout);
        QTextStream err(stderr);
        status = action == LaunchAction::Preview ? previewCommand(AppSettings::shared(), out, err)
                                                 : putBackCommand(AppSettings::shared(), out, err);
        QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit,
                                  Qt::QueuedConnection);
    });
    app.exec();
    return status;
}

} // namespace

QStringList argumentList(int argc, const char *const *argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    return arguments;
}

LaunchRequest parseLaunchArguments(const QStringList &arguments)
{
    if (const std::optional<LaunchRequest> headless = headlessRequest(arguments))
        return *headless;
    QCommandLineParser parser;
    for (const OptionRow &option : Options)
        parser.addOption(QCommandLineOption(option.names));
    if (!parser.parse(withoutQtOptions(arguments)))
        return {LaunchAction::UsageError, parser.errorText()};
    if (parser.isSet(QStringLiteral("help")))
        return {LaunchAction::Help, {}};
    if (parser.isSet(QStringLiteral("version")))
        return {LaunchAction::Version, {}};
    const bool preview = parser.isSet(QStringLiteral("preview"));
    const bool putBack = parser.isSet(QStringLiteral("put-back"));
    if (preview && putBack)
        return {LaunchAction::UsageError,
                QCoreApplication::translate("CommandLine",
                                            "--preview and --put-back cannot be used together.")};
    if (preview || putBack)
        return {preview ? LaunchAction::Preview : LaunchAction::PutBack, {}};
    return {};
}

int runCommandLineAction(const LaunchRequest &request, int argc, char **argv)
{
    if (request.action == LaunchAction::Preview || request.action == LaunchAction::PutBack)
        return runWithSettings(request.action, argc, argv);
    if (request.action == LaunchAction::Version) {
        std::printf("quillbrook %s\n", QUILLBROOK_VERSION);
        return 0;
    }
    // The arguments were read before any catalogue was loaded; read them again in the user's
    // language, Qt's own texts of the parser included.
    QCoreApplication app(argc, argv);
    installTranslations(QLocale::system(), true);
    if (request.action == LaunchAction::Help) {
        std::fputs(helpText().toLocal8Bit().constData(), stdout);
        return 0;
    }
    const QString error = parseLaunchArguments(argumentList(argc, argv)).error;
    std::fprintf(
        stderr, "quillbrook: %s %s\n", error.simplified().toLocal8Bit().constData(),
        qPrintable(QCoreApplication::translate("CommandLine", "Try 'quillbrook --help'.")));
    return ExitUsage;
}
