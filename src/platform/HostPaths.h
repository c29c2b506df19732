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

} // namespace HostPaths
