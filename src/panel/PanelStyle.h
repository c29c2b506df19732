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

/** What every text of the panel reaches against its background (WCAG AA for body text). */
constexpr double minimumTextContrast = 4.5;
/** What the focus ring reaches against the panel (WCAG AA for the parts of a control). */
constexpr double minimumRingContrast = 3.0;

/** The WCAG contrast ratio of two opaque colours: 1 for the same, 21 for black on white. */
double contrastRatio(const QColor &first, const QColor &second);
/**
 * @p color in the shade nearest to it, same hue and saturation, that reaches @p ratio against
 * @p background; unchanged when it already does. A translucent colour is laid over the
 * background first, so the result is what the eye sees, and opaque.
 */
QColor withContrast(const QColor &color, const QColor &background,
                    double ratio = minimumTextContrast);

/** The dimmed foreground for subordinate text, readable on @p background (the window's). */
QColor secondaryColor(const QPalette &palette);
QColor secondaryColor(const QPalette &palette, const QColor &background);
/** The standard orange in a shade readable on the window: darker on light themes. */
QColor orangeColor(const QPalette &palette);
/** The permission notice's faint orange, laid over the window. */
QColor noticeBackground(const QPalette &palette);
/** The link colour, readable on the window. */
QColor linkColor(const QPalette &palette);
/**
 * The prominent button's fill: the accent in the nearest shade on which its text can be read
 * wherever @p button's style paints the bezel.
 */
QColor accentFill(const QPalette &palette, QPalette::ColorGroup group, const QWidget *button);
/** The ring around the control that has the keyboard. */
QColor focusRingColor(const QPalette &palette);
/**
 * Paints, onto @p widget, the ring around the control that has the keyboard when that control
 * is inside it. Each widget that paints a background of its own paints the ring too.
 */
void paintFocusRing(QWidget *widget);
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
