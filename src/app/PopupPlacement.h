#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

/**
 * Where the popup's top-left corner goes: centred under the tray icon @p anchor, or above it
 * when there is no room below (a tray at the bottom edge), and always kept inside @p screen
 * (the screen's available area). An empty @p anchor (trays that do not report the icon's
 * place) is a point, such as the mouse position.
 */
QPoint popupPosition(const QRect &anchor, const QSize &popupSize, const QRect &screen);
