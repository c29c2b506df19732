#include "TextButton.h"

#include <QAccessibleWidget>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>

namespace {

// Qt's own interface for buttons knows no links and no expanded state.
class AccessibleTextButton : public QAccessibleWidget
{
public:
    explicit AccessibleTextButton(TextButton *button)
        : QAccessibleWidget(button, button->accessibleRole())
    {
    }

    TextButton *button() const { return static_cast<TextButton *>(widget()); }

    QAccessible::Role role() const override { return button()->accessibleRole(); }

    // Named by its own text, as a button is; the label beside it is a relation.
    QString text(QAccessible::Text t) const override
    {
        if (t != QAccessible::Name || !button()->accessibleName().isEmpty())
            return QAccessibleWidget::text(t);
        return button()->text();
    }

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.pressed = button()->isDown();
        if (const std::optional<bool> expanded = button()->expanded()) {
            state.expandable = true;
            state.expanded = *expanded;
            state.collapsed = !*expanded;
        }
        return state;
    }

    QStringList actionNames() const override
    {
        return QStringList(pressAction()) + QAccessibleWidget::actionNames();
    }

    void doAction(const QString &action) override
    {
        if (action == pressAction())
            button()->click();
        else
            QAccessibleWidget::doAction(action);
    }
};

QAccessibleInterface *accessibleTextButton(const QString &className, QObject *object)
{
    if (className == QLatin1String("TextButton"))
        return new AccessibleTextButton(static_cast<TextButton *>(object));
    return nullptr;
}

} // namespace

TextButton::TextButton(const QString &text, QWidget *parent) : QAbstractButton(parent)
{
    static const bool accessible = (QAccessible::installFactory(accessibleTextButton), true);
    Q_UNUSED(accessible);
    setText(text);
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void TextButton::setExpanded(bool expanded)
{
    if (m_expanded == expanded)
        return;
    QAccessible::State changed;
    changed.expanded = changed.collapsed = true;
    m_expanded = expanded;
    QAccessibleStateChangeEvent event(this, changed);
    QAccessible::updateAccessibility(&event);
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
