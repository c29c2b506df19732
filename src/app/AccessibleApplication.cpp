#include "AccessibleApplication.h"

#include <QAccessibleWidget>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QWidget>
#include <QWindow>

namespace {

QAccessibleInterface *accessibleApplication(const QString &className, QObject *object)
{
    if (object && object == QCoreApplication::instance())
        return new AccessibleApplication;
    // The windows that hold the panel (the popup, the compositor-placed window, the window
    // without a tray, a plain QWidget) are windows, not the unnamed panes of plain widgets.
    auto *widget = qobject_cast<QWidget *>(object);
    const bool plain = widget && qstrcmp(widget->metaObject()->className(), "QWidget") == 0;
    if (widget && widget->isWindow() && (plain || className == QLatin1String("PanelFrame")))
        return new QAccessibleWidget(widget, QAccessible::Window);
    return nullptr;
}

} // namespace

void AccessibleApplication::install()
{
    // The factory installed last is asked first.
    QAccessible::removeFactory(accessibleApplication);
    QAccessible::installFactory(accessibleApplication);
}

QObjectList AccessibleApplication::windows()
{
    QObjectList found;
    const QWindowList all = QGuiApplication::topLevelWindows();
    for (QWindow *window : all) {
        const QAccessibleInterface *root = window->accessibleRoot();
        QObject *object = root ? root->object() : nullptr;
        const auto *widget = qobject_cast<QWidget *>(object);
        const bool ownPopup = window->type() == Qt::Popup && widget && !widget->parentWidget();
        if (object && window->type() != Qt::Desktop && (window->type() != Qt::Popup || ownPopup))
            found.append(object);
    }
    return found;
}

int AccessibleApplication::childCount() const
{
    return int(windows().size());
}

int AccessibleApplication::indexOfChild(const QAccessibleInterface *child) const
{
    return child ? int(windows().indexOf(child->object())) : -1;
}

QAccessibleInterface *AccessibleApplication::child(int index) const
{
    const QObjectList all = windows();
    return index >= 0 && index < all.size() ? QAccessible::queryAccessibleInterface(all.at(index))
                                            : nullptr;
}
