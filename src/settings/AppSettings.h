#pragma once

#include "AgeUnit.h"
#include "Frequency.h"

#include <QDateTime>
#include <QObject>
#include <QSettings>
#include <QString>

/**
 * Typed handles on the keys of the settings file shared by the tray process and headless runs.
 * Nothing is cached: every read syncs with the file first, so a value another process wrote is
 * seen; every write is saved at once. A value that is absent or does not parse strictly as the
 * key's type reads as the default and is left untouched in the file.
 */
class AppSettings : public QObject
{
    Q_OBJECT

public:
    /**
     * Settings kept in the INI file at @p filePath; @p homePath gives the default source folder
     * (home + "/Desktop"), worked out once here.
     */
    AppSettings(const QString &filePath, const QString &homePath, QObject *parent = nullptr);

    /** The process's one instance, made on first use from HostPaths; never released. */
    static AppSettings &shared();

    bool enabled() const;
    void setEnabled(bool value);

    Frequency frequency() const;
    void setFrequency(Frequency value);

    qint64 hourOfDay() const;
    void setHourOfDay(qint64 value);

    qint64 ageValue() const;
    void setAgeValue(qint64 value);

    AgeUnit ageUnit() const;
    void setAgeUnit(AgeUnit value);

    QString sourceFolder() const;
    void setSourceFolder(const QString &value);

    /** Seconds since 1970-01-01 00:00:00 UTC; 0 means no run has been recorded. */
    double lastRunDate() const;
    void setLastRunDate(double value);

    qint64 lastRunCount() const;
    void setLastRunCount(qint64 value);

    /** Screenshots the last run meant to move but could not. */
    qint64 lastRunFailedCount() const;
    void setLastRunFailedCount(qint64 value);

    bool launchAtLogin() const;
    void setLaunchAtLogin(bool value);

    /** "Never", or the last run in the locale's medium date and short time ("Today"/"Yesterday").
     */
    QString lastRunText() const;
    /** The same, relative to @p now (tests). */
    QString lastRunText(const QDateTime &now) const;

    QString filePath() const;

signals:
    /** Sent after every write through this object. */
    void changed();

private:
    QVariant read(const QString &key) const;
    void write(const QString &key, const QVariant &value);

    mutable QSettings m_store;
    QString m_defaultSourceFolder;
};
