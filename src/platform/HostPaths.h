#pragma once

#include <QString>

/**
 * Where the user's per-application files live on this host. Every call reads the environment
 * afresh, so tests point HOME and the XDG variables at temporary folders.
 */
namespace HostPaths {

/** The user's home folder (follows $HOME). */
QString home();

/** $XDG_CONFIG_HOME when it is set to an absolute path, else ~/.config. */
QString configHome();

/** $XDG_DATA_HOME when it is set to an absolute path, else ~/.local/share. */
QString dataHome();

/** $XDG_STATE_HOME when it is set to an absolute path, else ~/.local/state. */
QString stateHome();

/**
 * The running executable's path, or quillbrook in the install tree's program folder (where the
 * package puts it) when Qt cannot tell, as before an application object exists.
 */
QString runningExecutable();

/** The settings file shared by every process of the application. */
QString settingsFile();

/**
 * Where this session's screenshots land, for the default source folder: the first folder that
 * exists of the one the desktop's screenshot tool saves to (GNOME: Screenshots in the pictures
 * folder; KDE: the tool's configured save folder, else Screenshots in the pictures folder, else
 * the pictures folder), the desktop folder of user-dirs.dirs, and @p home/Desktop, which is also
 * the answer when none exists. @p currentDesktop is XDG_CURRENT_DESKTOP, a colon-separated list.
 */
QString screenshotFolder(const QString &home, const QString &configHome,
                         const QString &currentDesktop);

} // namespace HostPaths
