#pragma once

#include "PanelFrame.h"

/**
 * The panel on Wayland, where a client can neither place its windows nor learn where the tray
 * icon is: a frameless window of fixed size that the compositor places as a floating window.
 * It closes when the app loses the keyboard focus to another program (a click on the desktop
 * or on another window), and on Escape. Windows of its own, such as the folder chooser, leave
 * it open.
 */
class PanelWindow : public PanelFrame
{
    Q_OBJECT

public:
    explicit PanelWindow(QWidget *content);

    /** Shows the panel where the compositor puts it; @p anchor is not used. */
    void showAt(const QRect &anchor) override;

protected:
    void changeEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void hideUnlessActive();
};
