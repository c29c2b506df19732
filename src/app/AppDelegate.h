#pragma once

#include "PopupToggle.h"

#include <QObject>
#include <QSystemTrayIcon>

#include <chrono>
#include <memory>

class ContentView;
class PanelModel;
class PanelFrame;
class QWidget;
class TrayMenu;

/**
 * Owns what the tray process shows for its whole life and runs the interactive launch sequence.
 */
class AppDelegate : public QObject
{
    Q_OBJECT

public:
    /**
     * @p trayWait is how long to wait for a tray to appear before the panel falls back to a
     * window: nothing for a start by the user, a while for a start at login, when the desktop's
     * tray may not be up yet.
     */
    explicit AppDelegate(std::chrono::milliseconds trayWait = {}, QObject *parent = nullptr);
    ~AppDelegate() override;

    /** Brings the login item in line with the setting, then sets up the tray item and popup. */
    void applicationDidFinishLaunching();

    /**
     * The tray icon's click: closes the panel when shown, else opens it (under the icon on X11,
     * where the compositor puts it on Wayland).
     */
    void togglePopover();

    /** The menu's "Open Quillbrook": shows the panel, or gives it the keyboard when shown. */
    void openPanel();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void setupStatusItem();
    void setupTrayItem();
    void setupWindowWithoutTray();
    void onTrayActivated(QSystemTrayIcon::ActivationReason reason);
    void showPanel();

    // Declared before the windows so that it outlives the panel that refers to it.
    std::unique_ptr<PanelModel> m_panelModel;
    std::unique_ptr<PanelFrame> m_popover;
    std::unique_ptr<QWidget> m_window;
    // The tray item does not own its menu: the menu outlives it.
    std::unique_ptr<TrayMenu> m_menu;
    std::unique_ptr<QSystemTrayIcon> m_statusItem;
    PopupToggle m_toggle;
    std::chrono::milliseconds m_trayWait;
};
