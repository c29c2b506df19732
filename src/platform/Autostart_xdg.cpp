#include "Autostart.h"

#include "AtomicFile.h"
#include "ErrorText.h"
#include "HostPaths.h"
#include "Paths.h"
#include "PrivateFolder.h"

#include <QFile>

#include <cerrno>
#include <unistd.h>

namespace {

// The Desktop Entry specification's reserved characters, plus carriage return.
bool isReserved(QChar c)
{
    static const QString reserved = QStringLiteral(" \t\n\r\"'\\><~|&;$*?#()`");
    return reserved.contains(c);
}

// Values of type string may hold every character but the ASCII control characters; tab, newline
// and carriage return have escapes of their own.
bool isWritable(QChar c)
{
    if (c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r'))
        return true;
    return c.unicode() >= 0x20 && c.unicode() != 0x7f;
}

} // namespace

namespace Autostart {

QString entryPath()
{
    return HostPaths::configHome() + QStringLiteral("/autostart/quillbrook.desktop");
}

QString quoteExecArgument(const QString &argument)
{
    bool quote = argument.isEmpty();
    for (QChar c : argument) {
        if (!isWritable(c))
            return QString();
        quote = quote || isReserved(c);
    }

    QString arg;
    if (quote) {
        arg += QLatin1Char('"');
        for (QChar c : argument) {
            if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
                c == QLatin1Char('\\'))
                arg += QLatin1Char('\\');
            arg += c;
        }
        arg += QLatin1Char('"');
    } else {
        arg = argument;
    }
    // A lone "%" would start a field code.
    arg.replace(QLatin1Char('%'), QLatin1String("%%"));

    // Readers undo the string escapes before the quoting, so these come last.
    QString value;
    for (QChar c : std::as_const(arg)) {
        if (c == QLatin1Char('\\'))
            value += QLatin1String("\\\\");
        else if (c == QLatin1Char('\n'))
            value += QLatin1String("\\n");
        else if (c == QLatin1Char('\t'))
            value += QLatin1String("\\t");
        else if (c == QLatin1Char('\r'))
            value += QLatin1String("\\r");
        else
            value += c;
    }
    return value;
}

QByteArray desktopEntry(const QString &executable)
{
    const QString program = quoteExecArgument(executable);
    if (program.isEmpty())
        return QByteArray();
    const QString exec = program + QLatin1Char(' ') + QLatin1String(LaunchArgument);
    const QString entry = QStringLiteral("[Desktop Entry]\n"
                                         "Type=Application\n"
                                         "Name=Quillbrook\n"
                                         "Comment=Moves old screenshots to the Trash\n"
                                         "Exec=") +
                          exec +
                          QStringLiteral("\n"
                                         "Icon=") +
                          QLatin1String(IconName) +
                          QStringLiteral("\n"
                                         "Terminal=false\n"
                                         "X-GNOME-Autostart-enabled=true\n");
    return entry.toUtf8();
}

bool install(const QString &executable, QString *error)
{
    const QString path = entryPath();
    const QByteArray contents = desktopEntry(executable);
    if (contents.isEmpty()) {
        *error = QStringLiteral("Cannot write ") + path + QStringLiteral(": the program path ") +
                 executable + QStringLiteral(" holds a control character");
        return false;
    }
    // The folder is shared with every other program started at login: made private when missing,
    // left as it is when not.
    const QByteArray native = QFile::encodeName(path);
    return makePrivateFolder(Paths::parentOf(native), error) &&
           writeFileAtomically(native, contents, error);
}

bool remove(QString *error)
{
    const QString path = entryPath();
    if (::unlink(QFile::encodeName(path).constData()) == 0)
        return true;
    const int code = errno;
    // Absent, or a folder on the way is missing or no folder: either way there is no entry.
    if (code == ENOENT || code == ENOTDIR)
        return true;
    *error = errorText(QStringLiteral("Cannot remove"), path, code);
    return false;
}

} // namespace Autostart
