#pragma once

#include "agent/AgentInstaller.h"
#include "settings/AgeUnit.h"
#include "settings/AppSettings.h"
#include "settings/Frequency.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>
#include <tuple>

class Clock;
class QFileSystemWatcher;

/** One row of the preview list: what a run started now would move. */
struct PreviewRow
{
    QString name;   ///< the entry's name
    QString age;    ///< "3 days old", "5 hours old"
    QString source; ///< "created" or "modified": the date that decided
    QString path;   ///< where the entry is

    bool operator==(const PreviewRow &) const = default;
};

/**
 * The control panel's state and actions, without widgets. Holds the shared settings (never a
 * copy of them) and the two values that live only as long as the panel: the last preview count
 * and whether the last folder-access probe failed. Everything runs on the main thread but Run
 * Now's moves, which a worker thread makes so that the panel stays responsive.
 */
class PanelModel : public QObject
{
    Q_OBJECT

public:
    /** Asks for one folder, starting in the given one; nothing when the user cancels. */
    using FolderChooser = std::function<std::optional<QString>(const QString &startFolder)>;
    using UrlOpener = std::function<void(const QUrl &url)>;
    using QuitHandler = std::function<void()>;

    /** The folder chooser "Change…" uses unless another is set. */
    static std::optional<QString> chooseWithDialog(const QString &startFolder);

    /** The footer link. */
    static QString websiteText();
    static QUrl websiteUrl();

    /** How long after switching on the folder-access probe runs. */
    static constexpr int probeDelayMs = 500;

    /**
     * @p clock is the "now" of runs, previews and the folder read; it must outlive the model.
     * The agent context is AgentContext::standard(), read at each use, until one is set.
     */
    explicit PanelModel(AppSettings &settings, QObject *parent = nullptr);
    PanelModel(AppSettings &settings, const Clock &clock, QObject *parent = nullptr);
    /** A run under way stops after its current entry and is recorded before the model goes. */
    ~PanelModel() override;

    AppSettings &settings() const { return m_settings; }

    std::optional<qint64> previewCount() const { return m_previewCount; }
    /** The entries of the last preview, as many as previewCount; empty when it is absent. */
    const QList<PreviewRow> &previewRows() const { return m_previewRows; }
    bool previewListOpen() const { return m_previewListOpen; }
    bool permissionDenied() const { return m_permissionDenied; }

    void setAgentContext(const AgentContext &context) { m_agentContext = context; }
    void setFolderChooser(FolderChooser chooser) { m_folderChooser = std::move(chooser); }
    void setUrlOpener(UrlOpener opener) { m_urlOpener = std::move(opener); }
    void setQuitHandler(QuitHandler handler) { m_quitHandler = std::move(handler); }

    /**
     * The "Enabled" switch: stores @p on; switching on reads the source folder once (so that a
     * guarded folder asks for access now) and queues the folder-access probe, never cancelled;
     * switching off clears the notice at once. Then brings the schedule in line.
     */
    void setEnabled(bool on);
    void setFrequency(Frequency frequency);
    void setHourOfDay(qint64 hour);

    /**
     * The age field's commit: stores the text when it is a whole number (surrounding spaces and
     * a leading sign allowed) and returns true. Anything else, fractions such as "1.5" included,
     * is refused and leaves the stored value as it was.
     */
    bool commitAgeText(const QString &text);
    void setAgeUnit(AgeUnit unit);

    /** "Change…": stores the chosen folder as an absolute path; a cancel changes nothing. */
    void chooseSourceFolder();
    void setLaunchAtLogin(bool on);

    /**
     * "Run Now": one cleanup run on a worker thread; when it ends, its record is written, the
     * preview cleared and "Run Now trashed N" logged. Like the probe, shows the notice when the
     * source folder cannot be listed and hides it when it can. Ignored while a run is under way.
     */
    void runNow();
    /** Whether a Run Now is under way. */
    bool runGoing() const { return m_run != nullptr; }
    /**
     * The run under way: entries tried so far and how many it tries in all (the total is 0
     * until it has chosen them); nothing while no run is under way.
     */
    std::optional<std::pair<qint64, qint64>> runProgress() const;
    /** "Preview": counts what a run would move now and lists those entries; the notice as above. */
    void showPreview();
    /** The preview count's link: opens or closes the list of the previewed entries. */
    void togglePreviewList();

    /**
     * Takes in the run record shown; when it differs from the one seen before (a new run,
     * whoever made it), reads the run's journal once: whether any entry is still in the Trash,
     * and the first failure's log line. Cheap when nothing changed; no signal.
     */
    void syncRunRecord(const AppSettings::Values &values);
    /** The last run moved entries and some of them are still in the Trash. */
    bool canPutBack() const { return m_canPutBack; }
    /** The log line of the last run's first failed move; empty when none failed. */
    QString firstFailure() const { return m_firstFailure; }
    /** What the last "Put back" did; empty until it is pressed, and again after a new run. */
    QString putBackSummary() const { return m_putBackSummary; }
    /** "Put back": moves the last run's entries back from the Trash. */
    void putBack();

    /**
     * The "Next run:" value: when the timer starts next, from the stored frequency and hour and
     * the clock's now. Empty while switched off or for an hour no timer is written for.
     */
    QString nextRunLine(const AppSettings::Values &values) const;

    /**
     * The notice's "Open in File Manager": the source folder, or its nearest existing parent,
     * where the user can see why it cannot be read.
     */
    void openSourceFolderInFileManager();
    void openWebsite();
    /**
     * "Quit": ends the app; settings, schedule and login item stay as they are. A run under way
     * first finishes the entry it is moving and is recorded.
     */
    void quit();

signals:
    void previewCountChanged();
    void runRecordChanged();
    void permissionDeniedChanged();
    /** A run started, moved on, or ended (its record follows through the settings). */
    void runProgressChanged();
    /**
     * The settings file changed on disk, whoever wrote it: a scheduled run records itself from
     * another process while the panel or the tray menu may be showing the old record.
     */
    void settingsFileChanged();

private:
    struct Run;

    void onSettingsFileChanged();
    void finishRun();
    void watchSettingsFile();
    void setPermissionDenied(bool denied);
    void applyScheduleNow();
    void readJournal();

    AppSettings &m_settings;
    const Clock &m_clock;
    std::optional<AgentContext> m_agentContext;
    FolderChooser m_folderChooser;
    UrlOpener m_urlOpener;
    QuitHandler m_quitHandler;
    std::optional<qint64> m_previewCount;
    QList<PreviewRow> m_previewRows;
    bool m_previewListOpen = false;
    std::optional<std::tuple<double, qint64, qint64>> m_seenRecord;
    bool m_canPutBack = false;
    QString m_firstFailure;
    QString m_putBackSummary;
    bool m_permissionDenied = false;
    QFileSystemWatcher *m_settingsWatcher = nullptr;
    std::unique_ptr<Run> m_run;
    bool m_quitAfterRun = false;
};
