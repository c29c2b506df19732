#include "AppDelegate.h"

#include "PanelPopup.h"
#include "PanelPresentation.h"
#include "PanelWindow.h"
#include "TrayMenu.h"

#include "cleanup/Clock.h"
#include "panel/ContentView.h"
#include "panel/PanelModel.h"
#include "panel/PanelStyle.h"
#include "settings/AppSettings.h"
#include "settings/LoginItem.h"

#include <QCloseEvent>
#include <QCursor>
#include <QGuiApplication>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <memory>

namespace {

constexpr std::chrono::milliseconds TrayPollInterval{250};

} // namespace

AppDelegate::AppDelegate(std::chrono::milliseconds trayWait, QObject *parent)
    : QObject(parent), m_toggle(Clock::system()), m_trayWait(trayWait)
{
}

AppDelegate::~AppDelegate() = default;

void AppDelegate::applicationDidFinishLaunching()
{
    // The accessory behaviour (no taskbar entry, no window of its own) comes from showing only
    // the tray item and never ending with the last window.
    AppSettings &settings = AppSettings::shared();
    if (settings.launchAtLogin())
        registerLoginItem();
    else
        unregisterLoginItem();
    setupStatusItem();
}

void AppDelegate::setupStatusItem()
{
    QGuiApplication::setWindowIcon(PanelStyle::icon(QStringLiteral("quillbrook")));
    m_panelModel = std::make_unique<PanelModel>(AppSettings::shared());

    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        setupTrayItem();
        return;
    }
    if (m_trayWait <= std::chrono::milliseconds::zero()) {
        setupWindowWithoutTray();
        return;
    }
    auto *poll = new QTimer(this);
    auto checksLeft = std::make_shared<qint64>(std::max<qint64>(1, m_trayWait / TrayPollInterval));
    connect(poll, &QTimer::timeout, this, [this, poll, checksLeft] {
        const bool available = QSystemTrayIcon::isSystemTrayAvailable();
        if (!available && --*checksLeft > 0)
            return;
        poll->deleteLater();
        if (available)
            setupTrayItem();
        else
            setupWindowWithoutTray();
    });
    poll->start(TrayPollInterval);
}

void AppDelegate::setupTrayItem()
{
    auto *content = new ContentView(*m_panelModel);
    const PanelPresentation presentation =
        panelPresentation(QGuiApplication::platformName(), qEnvironmentVariable("XDG_SESSION_TYPE"),
                          qEnvironmentVariable("WAYLAND_DISPLAY"));
    if (presentation == PanelPresentation::CompositorPlacedWindow) {
        m_popover = std::make_unique<PanelWindow>(content);
        // No click outside closes this window on desktops that move no focus on such a click.
        content->setCloseButtonVisible(true);
        connect(content, &ContentView::closeRequested, m_popover.get(), &QWidget::hide);
    } else {
        m_popover = std::make_unique<PanelPopup>(content);
    }
    connect(m_popover.get(), &PanelFrame::hidden, this, [this] { m_toggle.noteHidden(); });

    m_menu = std::make_unique<TrayMenu>(*m_panelModel);
    connect(m_menu.get(), &TrayMenu::openRequested, this, &AppDelegate::openPanel);
    m_statusItem = std::make_unique<QSystemTrayIcon>();
    m_statusItem->setIcon(PanelStyle::icon(QStringLiteral("user-trash")));
    m_statusItem->setToolTip(QStringLiteral("Quillbrook"));
    m_statusItem->setContextMenu(m_menu.get());
    // Wired last, so that an activation always finds the popup in place.
    connect(m_statusItem.get(), &QSystemTrayIcon::activated, this, &AppDelegate::onTrayActivated);
    m_statusItem->show();
}

void AppDelegate::setupWindowWithoutTray()
{
    // Without a tray the app would be invisible: the panel gets an ordinary small window, and
    // closing it is "Quit" (the schedule and the login item stay).
    m_window = std::make_unique<QWidget>();
    m_window->setWindowTitle(QStringLiteral("Quillbrook"));
    auto *layout = new QVBoxLayout(m_window.get());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(new ContentView(*m_panelModel));
    m_window->installEventFilter(this);
    m_window->show();
}

bool AppDelegate::eventFilter(QObject *watched, QEvent *event)
{
    if (m_window && watched == m_window.get() && event->type() == QEvent::Close)
        m_panelModel->quit();
    return QObject::eventFilter(watched, event);
}

void AppDelegate::onTrayActivated(QSystemTrayIcon::ActivationReason reason)
{
    if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
        togglePopover();
}

void AppDelegate::togglePopover()
{
    if (!m_statusItem || !m_popover)
        return;
    switch (m_toggle.onActivated(m_popover->isVisible())) {
    case PopupToggle::Action::Hide:
        m_popover->hide();
        break;
    case PopupToggle::Action::Show:
        showPanel();
        break;
    case PopupToggle::Action::Nothing:
        break;
    }
}

void AppDelegate::openPanel()
{
    if (!m_statusItem || !m_popover)
        return;
    if (!m_popover->isVisible()) {
        showPanel();
        return;
    }
    m_popover->raise();
    m_popover->activateWindow();
}

void AppDelegate::showPanel()
{
    QRect anchor = m_statusItem->geometry();
    if (!anchor.isValid())
        anchor = QRect(QCursor::pos(), QSize(1, 1));
    m_popover->showAt(anchor);
}
