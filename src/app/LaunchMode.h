#pragma once

/**
 * True when an element of the argument list, element 0 included, is exactly "--headless".
 * Works on the raw argv so that it can run before any application object exists.
 */
bool isHeadlessLaunch(int argc, const char *const *argv);

/**
 * The argument the login item starts the app with. It selects the interactive road like any
 * other argument; it only tells the tray set-up that the desktop's tray may not be up yet.
 */
inline constexpr char LoginLaunchArgument[] = "--autostart";
