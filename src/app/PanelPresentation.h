#pragma once

#include <QString>

/** How the panel appears when the tray icon is clicked. */
enum class PanelPresentation
{
    /** A popup that the app places under the tray icon (X11). */
    PopupUnderIcon,
    /** A frameless window that the compositor places (Wayland, where clients cannot). */
    CompositorPlacedWindow,
};

/**
 * The presentation for the GUI platform @p platformName (QGuiApplication::platformName()) in a
 * session described by @p sessionType (XDG_SESSION_TYPE) and @p waylandDisplay
 * (WAYLAND_DISPLAY). An X11 client inside a Wayland session gets the Wayland form: XWayland
 * reports neither the icon's place nor a pointer position the popup could be placed by.
 */
PanelPresentation panelPresentation(const QString &platformName, const QString &sessionType,
                                    const QString &waylandDisplay);
