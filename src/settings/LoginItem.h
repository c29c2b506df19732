#pragma once

/**
 * Start at login through the XDG autostart entry $XDG_CONFIG_HOME/autostart/quillbrook.desktop,
 * whose Exec= names the running executable. A failure is only logged:
 * "Failed to register login item: " / "Failed to unregister login item: " + what failed.
 */
void registerLoginItem();
void unregisterLoginItem();
