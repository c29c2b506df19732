#include "ElidedLabel.h"

#include <QAccessibleWidget>
#include <QPainter>

namespace {

// A plain widget would be an unnamed pane to a screen reader.
QAccessibleInterface *accessibleElidedLabel(const QString &className, QObject *object)
{
    if (className == QLatin1String("ElidedLabel"))
        return new QAccessibleWidget(static_cast<QWidget *>(object), QAccessible::StaticText);
    return nullptr;
}

} // namespace

ElidedLabel::ElidedLabel(QWidget *parent) : QWidget(parent)
{
    static const bool accessible = (QAccessible::installFactory(accessibleElidedLabel), true);
    Q_UNUSED(accessible);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void ElidedLabel::setText(const QString &text)
{
    if (text == m_text)
        return;
    m_text = text;
    setToolTip(text);
    setAccessibleDescription(text);
    updateGeometry();
    update();
}

QString ElidedLabel::shownText() const
{
    return fontMetrics().elidedText(m_text, Qt::ElideMiddle, width());
}

QSize ElidedLabel::sizeHint() const
{
    const QFontMetrics metrics = fontMetrics();
    return {metrics.horizontalAdvance(m_text) + 1, metrics.height()};
}

QSize ElidedLabel::minimumSizeHint() const
{
    const QFontMetrics metrics = fontMetrics();
    return {metrics.horizontalAdvance(QStringLiteral("…")) * 4, metrics.height()};
}

void ElidedLabel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(rect(), Qt::AlignLeft | Qt::AlignVCenter, shownText());
}
