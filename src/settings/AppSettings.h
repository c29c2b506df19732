#pragma once

#include "AgeUnit.h"
#include "Frequency.h"

#include <QObject>
#include <QSettings>
#include <QString>
#include <QVariant>

#include <initializer_list>
#include <optional>
#include <utility>

/*
 * Every setting, once: its key in the file (also its getter's name), the name of its Key and
 * setter, its type and its default. The key enum, the accessors, Values and values() are all
 * made from this list, so a new setting is one line here (a new type also needs its stored form
 * in AppSettings.cpp). The default of sourceFolder depends on the host and is worked out at each
 * read, as the folders it looks for can appear at any time (GNOME's with the first screenshot).
 */
#define QUILLBROOK_SETTINGS(X)                                                                     \
    X(enabled, Enabled, bool, false)                                                               \
    X(frequency, Frequency, Frequency, Frequency::Daily)                                           \
    X(hourOfDay, HourOfDay, qint64, 3)                                                             \
    X(ageValue, AgeValue, qint64, 1)                                                               \
    X(ageUnit, AgeUnit, AgeUnit, AgeUnit::Days)                                                    \
    X(sourceFolder, SourceFolder, QString, defaultSourceFolder())                                  \
    /* Seconds since 1970-01-01 00:00:00 UTC; 0 means no run has been recorded. */                 \
    X(lastRunDate, LastRunDate, double, 0.0)                                                       \
    X(lastRunCount, LastRunCount, qint64, 0)                                                       \
    /* Screenshots the last run meant to move but could not. */                                    \
    X(lastRunFailedCount, LastRunFailedCount, qint64, 0)                                           \
    /* Why the last run could not look at its source folder (its log line), or empty. */           \
    X(lastRunError, LastRunError, QString, QString())                                              \
    X(launchAtLogin, LaunchAtLogin, bool, true)

/**
 * Typed handles on the keys of the settings file shared by the tray process and headless runs.
 * Nothing is cached: every read syncs with the file first, so a value another process wrote is
 * seen; every write is saved at once. A value that is absent or does not parse strictly as the
 * key's type reads as the default and is left untouched in the file; reading never creates a key.
 */
class AppSettings : public QObject
{
    Q_OBJECT

public:
    /** Every key's value, read with one look at the file. */
    struct Values
    {
#define QUILLBROOK_SETTING_FIELD(name, Name, Type, fallback) Type name;
        QUILLBROOK_SETTINGS(QUILLBROOK_SETTING_FIELD)
#undef QUILLBROOK_SETTING_FIELD
    };

    /** The record a run leaves, written together. */
    struct RunRecord
    {
        double date = 0;        ///< when the moves ended, seconds since 1970
        qint64 count = 0;       ///< entries moved to the Trash
        qint64 failedCount = 0; ///< entries the run meant to move but could not
        QString error; ///< why the source folder could not be looked at; empty when it could
    };

    /**
     * Settings kept in the INI file at @p filePath. The default source folder, worked out at
     * each read, is where this desktop saves screenshots under @p homePath
     * (HostPaths::screenshotFolder, with the config home and desktop of the environment), else
     * @p homePath + "/Desktop".
     */
    AppSettings(const QString &filePath, const QString &homePath, QObject *parent = nullptr);

    /** The process's one instance, made on first use from HostPaths; never released. */
    static AppSettings &shared();

    /** All keys at once, for a caller that shows them together. */
    Values values() const;

    /** For each setting, name() reads it and setName() writes it. */
#define QUILLBROOK_SETTING_ACCESSORS(name, Name, Type, fallback)                                   \
    Type name() const;                                                                             \
    void set##Name(const Type &value);
    QUILLBROOK_SETTINGS(QUILLBROOK_SETTING_ACCESSORS)
#undef QUILLBROOK_SETTING_ACCESSORS

    /**
     * lastRunDate, lastRunCount, lastRunFailedCount and lastRunError from @p record, in one save
     * of the file (a reader never sees half a record) and one changed().
     */
    void recordRun(const RunRecord &record);

    QString filePath() const;

signals:
    /** Sent after every write through this object. */
    void changed();

private:
    enum class Key
    {
#define QUILLBROOK_SETTING_KEY(name, Name, Type, fallback) Name,
        QUILLBROOK_SETTINGS(QUILLBROOK_SETTING_KEY)
#undef QUILLBROOK_SETTING_KEY
    };
    struct FileStamp
    {
        quint64 device;
        quint64 inode;
        qint64 size;
        qint64 modifiedNs;
        bool operator==(const FileStamp &) const = default;
    };

    static std::optional<FileStamp> fileStamp(const QString &path);
    template <typename T, typename Fallback> T parsed(Key key, const Fallback &fallback) const;
    void save(std::initializer_list<std::pair<Key, QVariant>> values);
    void checkReadable();

    QString defaultSourceFolder() const;

    mutable QSettings m_store;
    QString m_home;
    std::optional<FileStamp> m_checked;
};
