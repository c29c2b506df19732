#include "AppDelegate.h"

#include "settings/AppSettings.h"
#include "settings/LoginItem.h"

AppDelegate::AppDelegate(QObject *parent) : QObject(parent) {}

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
    // The tray item and its popup come with the panel.
}
