#include "HostPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUrl>

namespace {

// The base-directory rules say a relative value is invalid and must be ignored.
QString xdgVariable(const char *name, const QString &fallbackUnderHome)
{
    const QString value = qEnvironmentVariable(name);
    if (!value.isEmpty() && QDir::isAbsolutePath(value))
        return QDir::cleanPath(value);
    return QDir::cleanPath(HostPaths::home() + QLatin1Char('/') + fallbackUnderHome);
}

// XDG_<name>_DIR from user-dirs.dirs, whose only forms are "$HOME/rest" and "/absolute",
// double-quoted with backslash escapes. A folder set to the home itself is switched off.
QString userDir(const QString &home, const QString &configHome, const QString &name)
{
    static const QRegularExpression entry(
        QStringLiteral(R"re(^\s*XDG_(\w+)_DIR\s*=\s*"((?:[^"\\]|\\.)*)"\s*$)re"));
    static const QRegularExpression escape(QStringLiteral(R"(\\(.))"));
    QFile file(configHome + QStringLiteral("/user-dirs.dirs"));
    QString found;
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return found;
    while (!file.atEnd()) {
        const QRegularExpressionMatch match = entry.match(QString::fromUtf8(file.readLine()));
        if (!match.hasMatch() || match.captured(1) != name)
            continue;
        QString value = match.captured(2).replace(escape, QStringLiteral("\\1"));
        if (value == QLatin1String("$HOME") || value.startsWith(QLatin1String("$HOME/")))
            value = home + value.mid(5);
        found = QDir::isAbsolutePath(value) ? QDir::cleanPath(value) : QString();
    }
    return found == QDir::cleanPath(home) ? QString() : found;
}

// The save folder in the KDE screenshot tool's spectaclerc: a file: URL or a path, where "~" and
// $HOME stand for the home. Newer versions keep it under another group and key, which win.
QString kdeScreenshotSaveFolder(const QString &home, const QString &configHome)
{
    const QStringList keys = {QStringLiteral("[ImageSave]imageSaveLocation"),
                              QStringLiteral("[Save]defaultSaveLocation")};
    QStringList values(keys.size());
    QFile file(configHome + QStringLiteral("/spectaclerc"));
    QString group;
    if (file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        while (!file.atEnd()) {
            const QString line = QString::fromUtf8(file.readLine()).trimmed();
            const qsizetype equals = line.indexOf(QLatin1Char('='));
            // A key may carry flags, as in "defaultSaveLocation[$e]=".
            const qsizetype which =
                keys.indexOf(group + line.left(equals).section(QLatin1Char('['), 0, 0).trimmed());
            if (line.startsWith(QLatin1Char('[')))
                group = line;
            else if (equals > 0 && which >= 0)
                values[which] = line.mid(equals + 1).trimmed();
        }
    }
    values.removeAll(QString());
    QString value = values.value(0).replace(QLatin1String("$HOME"), home);
    if (value.startsWith(QLatin1String("file:")))
        value = QUrl(value).toLocalFile();
    else if (value == QLatin1String("~") || value.startsWith(QLatin1String("~/")))
        value = home + value.mid(1);
    return QDir::isAbsolutePath(value) ? QDir::cleanPath(value) : QString();
}

} // namespace

namespace HostPaths {

QString home()
{
    return QDir::homePath();
}

QString configHome()
{
    return xdgVariable("XDG_CONFIG_HOME", QStringLiteral(".config"));
}

QString dataHome()
{
    return xdgVariable("XDG_DATA_HOME", QStringLiteral(".local/share"));
}

QString stateHome()
{
    return xdgVariable("XDG_STATE_HOME", QStringLiteral(".local/state"));
}

QString runningExecutable()
{
    const QString path =
        QCoreApplication::instance() ? QCoreApplication::applicationFilePath() : QString();
    return path.isEmpty() ? QStringLiteral(QUILLBROOK_INSTALL_BINDIR "/quillbrook") : path;
}

QString settingsFile()
{
    return configHome() + QStringLiteral("/quillbrook/quillbrook.conf");
}

QString screenshotFolder(const QString &home, const QString &configHome,
                         const QString &currentDesktop)
{
    const QStringList desktops = currentDesktop.split(QLatin1Char(':'));
    QString pictures = userDir(home, configHome, QStringLiteral("PICTURES"));
    if (pictures.isEmpty())
        pictures = home + QStringLiteral("/Pictures");
    QStringList candidates;
    if (desktops.contains(QLatin1String("GNOME")))
        candidates << pictures + QStringLiteral("/Screenshots");
    if (desktops.contains(QLatin1String("KDE")))
        candidates << kdeScreenshotSaveFolder(home, configHome)
                   << pictures + QStringLiteral("/Screenshots") << pictures;
    candidates << userDir(home, configHome, QStringLiteral("DESKTOP"));
    const QString fallback = QDir::cleanPath(home + QStringLiteral("/Desktop"));
    for (const QString &candidate : std::as_const(candidates)) {
        if (!candidate.isEmpty() && QFileInfo(candidate).isDir())
            return QDir::cleanPath(candidate);
    }
    return fallback;
}

} // namespace HostPaths
