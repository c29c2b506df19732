#pragma once

#include <QAccessibleObject>

/**
 * The application as a screen reader sees it: its top-level windows, the panel's X11 popup
 * included. Qt's own interface leaves every popup out, because most belong to a control (a
 * menu, a drop-down's list) and are reached through it; a popup that belongs to no widget has
 * no other way in.
 */
class AccessibleApplication : public QAccessibleApplication
{
public:
    /**
     * Makes it the interface of the application, and the windows that hold the panel windows.
     * Call before the application object exists, because the accessibility bridge may ask for
     * it while the application starts, and again after, so that it is asked before Qt's own
     * interfaces for widgets, which the application installs.
     */
    static void install();

    int childCount() const override;
    int indexOfChild(const QAccessibleInterface *child) const override;
    QAccessibleInterface *child(int index) const override;

private:
    static QObjectList windows();
};
