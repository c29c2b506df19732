#pragma once

#include "AgeUnit.h"
#include "Frequency.h"

#include <QObject>
#include <QSettings>
#include <QString>
#include <QVariant>

#include <optional>

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
        bool enabled;
        Frequency frequency;
        qint64 hourOfDay;
        qint64 ageValue;
        AgeUnit ageUnit;
        QString sourceFolder;
        double lastRunDate;
        qint64 lastRunCount;
        qint64 lastRunFailedCount;
        QString lastRunError;
        bool launchAtLogin;
    };

    /**
     * Settings kept in the INI file at @p filePath. The default source folder is worked out once
     * here: where this desktop saves screenshots under @p homePath (HostPaths::screenshotFolder,
     * with the config home and desktop of the environment), else @p homePath + "/Desktop".
     */
    AppSettings(const QString &filePath, const QString &homePath, QObject *parent = nullptr);

    /** The process's one instance, made on first use from HostPaths; never released. */
    static AppSettings &shared();

    /** All keys at once, for a caller that shows them together. */
    Values values() const;

    bool enabled() const { return get(Key::Enabled).toBool(); }
    void setEnabled(bool value) { set(Key::Enabled, value); }

    Frequency frequency() const { return get(Key::Frequency).value<Frequency>(); }
    void setFrequency(Frequency value) { set(Key::Frequency, QVariant::fromValue(value)); }

    qint64 hourOfDay() const { return get(Key::HourOfDay).toLongLong(); }
    void setHourOfDay(qint64 value) { set(Key::HourOfDay, value); }

    qint64 ageValue() const { return get(Key::AgeValue).toLongLong(); }
    void setAgeValue(qint64 value) { set(Key::AgeValue, value); }

    AgeUnit ageUnit() const { return get(Key::AgeUnit).value<AgeUnit>(); }
    void setAgeUnit(AgeUnit value) { set(Key::AgeUnit, QVariant::fromValue(value)); }

    QString sourceFolder() const { return get(Key::SourceFolder).toString(); }
    void setSourceFolder(const QString &value) { set(Key::SourceFolder, value); }

    /** Seconds since 1970-01-01 00:00:00 UTC; 0 means no run has been recorded. */
    double lastRunDate() const { return get(Key::LastRunDate).toDouble(); }
    void setLastRunDate(double value) { set(Key::LastRunDate, value); }

    qint64 lastRunCount() const { return get(Key::LastRunCount).toLongLong(); }
    void setLastRunCount(qint64 value) { set(Key::LastRunCount, value); }

    /** Screenshots the last run meant to move but could not. */
    qint64 lastRunFailedCount() const { return get(Key::LastRunFailedCount).toLongLong(); }
    void setLastRunFailedCount(qint64 value) { set(Key::LastRunFailedCount, value); }

    /**
     * Why the last run could not look at its source folder (its log line); empty when it could.
     */
    QString lastRunError() const { return get(Key::LastRunError).toString(); }
    void setLastRunError(const QString &value) { set(Key::LastRunError, value); }

    bool launchAtLogin() const { return get(Key::LaunchAtLogin).toBool(); }
    void setLaunchAtLogin(bool value) { set(Key::LaunchAtLogin, value); }

    QString filePath() const;

signals:
    /** Sent after every write through this object. */
    void changed();

private:
    // Rows of the key table, in its order.
    enum class Key
    {
        Enabled,
        Frequency,
        HourOfDay,
        AgeValue,
        AgeUnit,
        SourceFolder,
        LastRunDate,
        LastRunCount,
        LastRunFailedCount,
        LastRunError,
        LaunchAtLogin,
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
    QVariant get(Key key) const;
    QVariant parsed(Key key) const;
    void set(Key key, const QVariant &value);
    void checkReadable();

    mutable QSettings m_store;
    QString m_defaultSourceFolder;
    std::optional<FileStamp> m_checked;
};
