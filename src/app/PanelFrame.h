#pragma once

#include <QRect>
#include <QWidget>

/**
 * The frameless top-level that holds the panel's one ContentView for the app's whole life.
 * Subclasses decide how it is placed and when it closes; each takes the keyboard when shown.
 */
class PanelFrame : public QWidget
{
    Q_OBJECT

public:
    /** Shows the panel; @p anchor is the tray icon's place on the screen, where known. */
    virtual void showAt(const QRect &anchor) = 0;

signals:
    /** Sent whenever the panel hides, for whatever reason. */
    void hidden();

protected:
    /** Takes @p content as its one child, made once and kept for the frame's life. */
    PanelFrame(QWidget *content, Qt::WindowFlags flags);

    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
};
