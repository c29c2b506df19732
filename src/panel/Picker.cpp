#include "Picker.h"

#include <QAbstractItemView>
#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QTimer>

namespace {

class AccessiblePicker : public QAccessibleWidget
{
public:
    explicit AccessiblePicker(Picker *picker) : QAccessibleWidget(picker, QAccessible::ComboBox) {}

    Picker *picker() const { return static_cast<Picker *>(widget()); }

    QString text(QAccessible::Text t) const override
    {
        return t == QAccessible::Value ? picker()->currentText() : QAccessibleWidget::text(t);
    }

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.expandable = true;
        state.expanded = picker()->view()->isVisible();
        state.collapsed = !state.expanded;
        return state;
    }

    // The list of entries, as Qt's own interface offers it, so a screen reader can read them
    // without opening the drop-down.
    int childCount() const override { return 1; }
    QAccessibleInterface *child(int index) const override
    {
        return index == 0 ? QAccessible::queryAccessibleInterface(picker()->view()) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface *child) const override
    {
        return child && child->object() == picker()->view() ? 0 : -1;
    }

    QStringList actionNames() const override
    {
        return QStringList(showMenuAction()) + QAccessibleWidget::actionNames();
    }
    void doAction(const QString &action) override
    {
        if (action == showMenuAction())
            picker()->showPopup();
        else
            QAccessibleWidget::doAction(action);
    }
};

QAccessibleInterface *accessiblePicker(const QString &className, QObject *object)
{
    if (className == QLatin1String("Picker"))
        return new AccessiblePicker(static_cast<Picker *>(object));
    return nullptr;
}

} // namespace

Picker::Picker(QWidget *parent) : QComboBox(parent)
{
    static const bool accessible = (QAccessible::installFactory(accessiblePicker), true);
    Q_UNUSED(accessible);
}

void Picker::hidePopup()
{
    QComboBox::hidePopup();
    // Qt closes the list while it checks Escape for shortcuts, then delivers the key press to
    // this control, from where it would travel on and close the panel too.
    m_listJustClosed = true;
    QTimer::singleShot(0, this, [this] { m_listJustClosed = false; });
}

void Picker::keyPressEvent(QKeyEvent *event)
{
    if (m_listJustClosed && event->matches(QKeySequence::Cancel)) {
        event->accept();
        return;
    }
    QComboBox::keyPressEvent(event);
}
