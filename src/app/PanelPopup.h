#pragma once

#include <QRect>
#include <QWidget>

/**
 * The frameless window that holds the panel under the tray icon. It closes on any click
 * outside it (Qt::Popup), takes the keyboard when shown, and stays next to its icon and on
 * screen when the panel grows or shrinks while it is open.
 */
class PanelPopup : public QWidget
{
    Q_OBJECT

public:
    /** Takes @p content as its one child, made once and kept for the popup's life. */
    explicit PanelPopup(QWidget *content);

    /** Shows the popup next to @p anchor, the tray icon's place on the screen. */
    void showAt(const QRect &anchor);

signals:
    /** Sent whenever the popup hides: an outside click, Escape, or hide(). */
    void hidden();

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void place();

    QWidget *m_content;
    QRect m_anchor;
};
