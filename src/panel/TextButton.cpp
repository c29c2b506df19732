#include "TextButton.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>

TextButton::TextButton(const QString &text, QWidget *parent) : QAbstractButton(parent)
{
    setText(text);
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setAccessibleName(text);
}

void TextButton::setLinkLook(bool link)
{
    m_link = link;
    setCursor(link ? Qt::PointingHandCursor : Qt::ArrowCursor);
    update();
}

QSize TextButton::sizeHint() const
{
    const QFontMetrics metrics = fontMetrics();
    return {metrics.horizontalAdvance(text()) + 2, metrics.height() + 2};
}

QSize TextButton::minimumSizeHint() const
{
    return sizeHint();
}

void TextButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    QColor color = palette().color(QPalette::ButtonText);
    if (isDown())
        color.setAlphaF(color.alphaF() * 0.6);
    QFont font = this->font();
    font.setUnderline(m_link && m_hovered);
    painter.setFont(font);
    painter.setPen(color);
    painter.drawText(rect(), Qt::AlignLeft | Qt::AlignVCenter, text());

    if (hasFocus()) {
        QStyleOptionFocusRect option;
        option.initFrom(this);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
    }
}

void TextButton::enterEvent(QEnterEvent *event)
{
    m_hovered = true;
    update();
    QAbstractButton::enterEvent(event);
}

void TextButton::leaveEvent(QEvent *event)
{
    m_hovered = false;
    update();
    QAbstractButton::leaveEvent(event);
}
