#pragma once

#include <QByteArray>
#include <QString>

/**
 * The XDG autostart entry that starts the app at login. These functions only build and write or
 * remove the file; whether to register is the caller's decision.
 */
namespace Autostart {

/**
 * The argument the entry starts the app with. It selects the interactive road like any other
 * argument; it only tells the tray set-up that the desktop's tray may not be up yet.
 */
inline constexpr char LaunchArgument[] = "--autostart";

/** The icon theme name the entry asks for: the one the install tree puts into hicolor. */
inline constexpr char IconName[] = "org.quillbrook.Quillbrook";

/** $XDG_CONFIG_HOME/autostart/quillbrook.desktop, read from the environment at each call. */
QString entryPath();

/**
 * One argument of an Exec= value: quoted when it holds a reserved character (backslash,
 * quote, backquote and dollar escaped inside the quotes), "%" doubled, then escaped as a
 * Desktop Entry string value. An argument that a desktop entry cannot carry (a control character
 * other than tab, newline and carriage return) gives an empty result.
 */
QString quoteExecArgument(const QString &argument);

/** The whole entry for @p executable; empty when the path cannot be written into an Exec= line. */
QByteArray desktopEntry(const QString &executable);

/**
 * Writes the entry for @p executable atomically, creating missing folders (0700).
 * On failure returns false and sets @p error to what failed: the path and the system's reason.
 */
bool install(const QString &executable, QString *error);

/** Removes the entry; an entry that is already absent counts as removed. */
bool remove(QString *error);

} // namespace Autostart
