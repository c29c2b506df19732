#pragma once

#include <QObject>

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

private:
    void setupStatusItem();
};
