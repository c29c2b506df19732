#pragma once

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QPalette>
#include <QPixmap>
#include <QString>

class QWidget;

/**
 * How the panel's text styles and colour roles map onto Qt: everything is derived from the
 * widget's font and palette, so the panel follows the desktop's theme, dark ones included.
 */
namespace PanelStyle {

/** Small text for captions, status lines and the footer link. */
QFont captionFont(const QFont &base);
/** The panel title. */
QFont headlineFont(const QFont &base);
/** The source folder path: the fixed-width system font at the body size. */
QFont monospaceFont(const QFont &base);
/** Buttons in the small control size. */
QFont smallControlFont(const QFont &base);

/** The dimmed foreground for subordinate text. */
QColor secondaryColor(const QPalette &palette);
/** The standard orange, a shade lighter on dark themes. */
QColor orangeColor(const QPalette &palette);
/** The thin dividers. */
QColor separatorColor(const QPalette &palette);

/** Gives @p widget's text roles the colour @p color; other roles keep following the theme. */
void setTextColor(QWidget *widget, const QColor &color);

/**
 * The freedesktop theme icon @p name, else the bundled one from ":/icons/<name>.svg".
 */
QIcon icon(const QString &name);

/**
 * @p name at @p size logical pixels for @p widget's screen. A bundled fallback is one-colour
 * artwork and is painted in @p tint; a theme icon keeps its own colours.
 */
QPixmap tintedPixmap(const QString &name, int size, const QColor &tint, const QWidget *widget);

} // namespace PanelStyle
