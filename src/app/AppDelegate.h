#pragma once

#include "PopupToggle.h"

#include <QObject>
#include <QSystemTrayIcon>

#include <memory>

class ContentView;
class PanelModel;
class PanelPopup;
class QWidget;

/**
 * Owns what the tray process shows for its whole life and runs the interactive launch sequence.
 */
class AppDelegate : public QObject
{
    Q_OBJECT

public:
    explicit AppDelegate(QObject *parent = nullptr);
    ~AppDelegate() override;

    /** Brings the login item in line with the setting, then sets up the tray item and popup. */
    void applicationDidFinishLaunching();

    /** The tray icon's click: closes the popup when shown, else opens it below the icon. */
    void togglePopover();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void setupStatusItem();
    void setupWindowWithoutTray();
    void onTrayActivated(QSystemTrayIcon::ActivationReason reason);

    // Declared before the windows so that it outlives the panel that refers to it.
    std::unique_ptr<PanelModel> m_panelModel;
    std::unique_ptr<PanelPopup> m_popover;
    std::unique_ptr<QWidget> m_window;
    std::unique_ptr<QSystemTrayIcon> m_statusItem;
    PopupToggle m_toggle;
};
