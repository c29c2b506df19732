#include "ToggleSwitch.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>

namespace {

constexpr int trackWidth = 34;
constexpr int trackHeight = 20;
constexpr int labelGap = 8;

} // namespace

ToggleSwitch::ToggleSwitch(const QString &text, QWidget *parent) : QAbstractButton(parent)
{
    setText(text);
    setCheckable(true);
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setAccessibleName(text);
}

QSize ToggleSwitch::sizeHint() const
{
    const QFontMetrics metrics = fontMetrics();
    return {metrics.horizontalAdvance(text()) + labelGap + trackWidth + 4,
            std::max(metrics.height(), trackHeight) + 4};
}

QSize ToggleSwitch::minimumSizeHint() const
{
    return sizeHint();
}

QRect ToggleSwitch::trackRect() const
{
    return {width() - trackWidth - 2, (height() - trackHeight) / 2, trackWidth, trackHeight};
}

bool ToggleSwitch::hitButton(const QPoint &pos) const
{
    // The label flips the switch too, as with a check box.
    return rect().contains(pos);
}

void ToggleSwitch::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPalette &pal = palette();

    const QRect track = trackRect();
    const QRect label(0, 0, track.left() - labelGap, height());
    painter.setPen(pal.color(foregroundRole()));
    painter.drawText(label, Qt::AlignLeft | Qt::AlignVCenter, text());

    QColor fill = isChecked() ? pal.color(QPalette::Highlight) : pal.color(QPalette::Mid);
    if (isDown())
        fill = fill.darker(115);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    const qreal radius = track.height() / 2.0;
    painter.drawRoundedRect(QRectF(track), radius, radius);

    const qreal knobSize = track.height() - 4;
    const qreal knobX = isChecked() ? track.right() + 1 - 2 - knobSize : track.left() + 2;
    painter.setBrush(QColor(Qt::white));
    painter.setPen(QPen(QColor(0, 0, 0, 40), 0.5));
    painter.drawEllipse(QRectF(knobX, track.top() + 2, knobSize, knobSize));

    if (hasFocus()) {
        QStyleOptionFocusRect option;
        option.initFrom(this);
        option.rect = track.adjusted(-2, -2, 2, 2);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
    }
}
