#pragma once

#include "RawTree.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QList>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QtGlobal>

// A fresh temporary HOME with its own XDG folders, so that no test touches the real home, Trash,
// autostart folder or scheduler. Make one in init() and drop it in cleanup().
class TestHome
{
public:
    TestHome()
    {
        m_saved = {qgetenv("HOME"), qgetenv("XDG_CONFIG_HOME"), qgetenv("XDG_DATA_HOME")};
        qputenv("HOME", QFile::encodeName(home()));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(configHome()));
        qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome()));
        QDir().mkpath(configHome());
        QDir().mkpath(dataHome());
    }

    ~TestHome()
    {
        // Tests make names that are not valid UTF-8, which QTemporaryDir cannot remove.
        removeTree(QFile::encodeName(m_dir.path()));
        qputenv("HOME", m_saved[0]);
        qputenv("XDG_CONFIG_HOME", m_saved[1]);
        qputenv("XDG_DATA_HOME", m_saved[2]);
    }

    TestHome(const TestHome &) = delete;
    TestHome &operator=(const TestHome &) = delete;

    QString home() const { return m_dir.path(); }
    QString configHome() const { return m_dir.path() + QStringLiteral("/.config"); }
    QString dataHome() const { return m_dir.path() + QStringLiteral("/.local/share"); }
    QString trash() const { return dataHome() + QStringLiteral("/Trash"); }
    QString settingsFile() const
    {
        return configHome() + QStringLiteral("/quillbrook/quillbrook.conf");
    }

    // For a child process of ours: this HOME and its XDG folders, and no display to reach.
    QProcessEnvironment processEnvironment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), home());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome());
        env.insert(QStringLiteral("XDG_DATA_HOME"), dataHome());
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        return env;
    }

    // The app as built, beside this build's tests.
    static QString quillbrookExecutable()
    {
        return QStringLiteral(QUILLBROOK_BINARY_DIR "/quillbrook");
    }

private:
    QTemporaryDir m_dir;
    QList<QByteArray> m_saved;
};
