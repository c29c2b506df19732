#pragma once

#include <QMenu>

class PanelModel;

/**
 * The tray icon's menu, which Linux trays expect and show on a right click (GNOME's extension on
 * any single click): opens the panel, runs the panel's commands and mirrors its switch. Its
 * state follows the settings live, also when another process (a scheduled run) writes them.
 */
class TrayMenu : public QMenu
{
    Q_OBJECT

public:
    explicit TrayMenu(PanelModel &model, QWidget *parent = nullptr);

    /** Reads the switch, and whether a put back is possible, again. */
    void refresh();

signals:
    /** "Open Quillbrook": shows the panel, and never closes it. */
    void openRequested();

private:
    void refreshRunActions();

    PanelModel &m_model;
    QAction *m_runNow = nullptr;
    QAction *m_putBack = nullptr;
    QAction *m_enabled = nullptr;
};
