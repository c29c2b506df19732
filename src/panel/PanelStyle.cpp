#include "PanelStyle.h"

#include <QFontDatabase>
#include <QPainter>
#include <QWidget>

#include <algorithm>

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

QColor secondaryColor(const QPalette &palette)
{
    QColor color = palette.color(QPalette::Active, QPalette::WindowText);
    color.setAlphaF(isDark(palette) ? 0.6 : 0.55);
    return color;
}

QColor orangeColor(const QPalette &palette)
{
    return isDark(palette) ? QColor(255, 159, 10) : QColor(255, 149, 0);
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
