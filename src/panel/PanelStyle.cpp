#include "PanelStyle.h"

#include <QApplication>
#include <QFontDatabase>
#include <QImage>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>
#include <QWidget>

#include <algorithm>
#include <cmath>

// Outside any namespace, as Q_INIT_RESOURCE requires: the icons live in this static library
// and would otherwise be dropped by the linker.
static void initPanelResources()
{
    Q_INIT_RESOURCE(panel_icons);
}

namespace PanelStyle {

namespace {

qreal scaled(const QFont &base, qreal factor)
{
    const qreal size = base.pointSizeF() > 0 ? base.pointSizeF() : 10.0;
    return std::max<qreal>(7.0, size * factor);
}

bool isDark(const QPalette &palette)
{
    return palette.color(QPalette::Window).lightnessF() < 0.5;
}

QColor standardOrange(const QPalette &palette)
{
    return isDark(palette) ? QColor(255, 159, 10) : QColor(255, 149, 0);
}

double channel(float value)
{
    return value <= 0.04045 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
}

double relativeLuminance(const QColor &color)
{
    return 0.2126 * channel(color.redF()) + 0.7152 * channel(color.greenF()) +
           0.0722 * channel(color.blueF());
}

QColor laidOver(const QColor &color, const QColor &background)
{
    const float alpha = color.alphaF();
    const auto mix = [alpha](float top, float bottom) {
        return top * alpha + bottom * (1 - alpha);
    };
    return QColor::fromRgbF(mix(color.redF(), background.redF()),
                            mix(color.greenF(), background.greenF()),
                            mix(color.blueF(), background.blueF()));
}

// @p seen itself when it is @p enough, else the least change of its lightness that is, away from
// @p other (towards black or white, whichever stands further from it), found by halving. Shades
// are measured in the 8 bits per channel the screen shows, so rounding cannot take them below.
template <typename Enough>
QColor nearestShade(const QColor &seen, const QColor &other, Enough enough)
{
    const auto shade = [&seen](float lightness) {
        return QColor(QColor::fromHslF(seen.hslHueF(), seen.hslSaturationF(), lightness).rgb());
    };
    if (enough(QColor(seen.rgb())))
        return QColor(seen.rgb());
    const bool darker = contrastRatio(Qt::black, other) >= contrastRatio(Qt::white, other);
    float enoughAt = darker ? 0.0f : 1.0f;
    float notEnoughAt = seen.lightnessF();
    for (int step = 0; step < 16; ++step) {
        const float middle = (enoughAt + notEnoughAt) / 2;
        (enough(shade(middle)) ? enoughAt : notEnoughAt) = middle;
    }
    return shade(enoughAt);
}

// The lowest contrast of @p text on the bezel that @p button's style paints for the fill @p fill,
// at rest and under the pointer, down its middle: styles lighten or darken a button's colour and
// shade it (Fusion lightens a dark one by up to a third, paler still at the top).
double contrastOnBezel(const QWidget *button, const QColor &fill, const QColor &text)
{
    QStyleOptionButton option;
    option.initFrom(button);
    option.rect = QRect(0, 0, 48, 24);
    option.palette.setColor(QPalette::Button, fill);
    double lowest = 21;
    for (const bool hovered : {false, true}) {
        option.state.setFlag(QStyle::State_MouseOver, hovered);
        QImage bezel(option.rect.size(), QImage::Format_RGB32);
        bezel.fill(button->palette().color(QPalette::Window));
        QPainter painter(&bezel);
        button->style()->drawControl(QStyle::CE_PushButtonBevel, &option, &painter, button);
        painter.end();
        for (int y = 4; y < option.rect.height() - 4; ++y)
            lowest = std::min(lowest,
                              contrastRatio(text, bezel.pixelColor(option.rect.center().x(), y)));
    }
    return lowest;
}

void ensureResources()
{
    static const bool done = [] {
        initPanelResources();
        return true;
    }();
    Q_UNUSED(done);
}

} // namespace

QFont captionFont(const QFont &base)
{
    QFont font = base;
    font.setPointSizeF(scaled(base, 0.85));
    return font;
}

QFont headlineFont(const QFont &base)
{
    QFont font = base;
    font.setWeight(QFont::Bold);
    return font;
}

QFont monospaceFont(const QFont &base)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSizeF(scaled(base, 1.0));
    font.setWeight(QFont::Normal);
    return font;
}

QFont smallControlFont(const QFont &base)
{
    QFont font = base;
    font.setPointSizeF(scaled(base, 0.85));
    return font;
}

double contrastRatio(const QColor &first, const QColor &second)
{
    const double a = relativeLuminance(first);
    const double b = relativeLuminance(second);
    return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

QColor withContrast(const QColor &color, const QColor &background, double ratio)
{
    return nearestShade(laidOver(color, background), background, [&](const QColor &shade) {
        return contrastRatio(shade, background) >= ratio;
    });
}

QColor secondaryColor(const QPalette &palette)
{
    return secondaryColor(palette, palette.color(QPalette::Active, QPalette::Window));
}

QColor secondaryColor(const QPalette &palette, const QColor &background)
{
    QColor color = palette.color(QPalette::Active, QPalette::WindowText);
    color.setAlphaF(isDark(palette) ? 0.6 : 0.55);
    return withContrast(color, background);
}

QColor orangeColor(const QPalette &palette)
{
    return withContrast(standardOrange(palette), palette.color(QPalette::Active, QPalette::Window));
}

QColor noticeBackground(const QPalette &palette)
{
    QColor faint = standardOrange(palette);
    faint.setAlphaF(0.1);
    return laidOver(faint, palette.color(QPalette::Active, QPalette::Window));
}

QColor linkColor(const QPalette &palette)
{
    return withContrast(palette.color(QPalette::Active, QPalette::Link),
                        palette.color(QPalette::Active, QPalette::Window));
}

QColor accentFill(const QPalette &palette, QPalette::ColorGroup group, const QWidget *button)
{
    const QColor text = palette.color(group, QPalette::HighlightedText);
    return nearestShade(palette.color(group, QPalette::Highlight), text, [&](const QColor &fill) {
        return contrastOnBezel(button, fill, text) >= minimumTextContrast;
    });
}

QColor focusRingColor(const QPalette &palette)
{
    return withContrast(palette.color(QPalette::Active, QPalette::Highlight),
                        palette.color(QPalette::Active, QPalette::Window), minimumRingContrast);
}

void paintFocusRing(QWidget *widget)
{
    // Around the control and outside it: the style's own focus frames are faint, or drawn only
    // after a Tab, and vanish on a bezel filled with the accent colour.
    constexpr int ringGap = 2;
    constexpr int ringWidth = 2;
    const QWidget *focused = QApplication::focusWidget();
    if (!focused || !widget->isAncestorOf(focused) || !focused->isVisible())
        return;
    const int outset = ringGap + ringWidth / 2 + 1;
    const QRect ring = QRect(focused->mapTo(widget, QPoint()), focused->size())
                           .adjusted(-outset, -outset, outset, outset);
    QPainter painter(widget);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(focusRingColor(widget->palette()), ringWidth));
    painter.drawRoundedRect(QRectF(ring).adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
}

QColor separatorColor(const QPalette &palette)
{
    QColor color = palette.color(QPalette::Active, QPalette::WindowText);
    color.setAlphaF(isDark(palette) ? 0.25 : 0.15);
    return color;
}

void setTextColor(QWidget *widget, const QColor &color)
{
    QPalette palette = widget->palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::WindowText, color);
        palette.setColor(group, QPalette::Text, color);
        palette.setColor(group, QPalette::ButtonText, color);
    }
    widget->setPalette(palette);
}

QIcon icon(const QString &name)
{
    ensureResources();
    return QIcon::fromTheme(name,
                            QIcon(QStringLiteral(":/icons/") + name + QStringLiteral(".svg")));
}

QPixmap tintedPixmap(const QString &name, int size, const QColor &tint, const QWidget *widget)
{
    ensureResources();
    const qreal ratio = widget ? widget->devicePixelRatioF() : 1.0;
    if (QIcon::hasThemeIcon(name))
        return QIcon::fromTheme(name).pixmap(QSize(size, size), ratio);

    QPixmap pixmap = QIcon(QStringLiteral(":/icons/") + name + QStringLiteral(".svg"))
                         .pixmap(QSize(size, size), ratio);
    QPainter painter(&pixmap);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(pixmap.rect(), tint);
    return pixmap;
}

} // namespace PanelStyle
