#include "PanelModel.h"

#include "PanelText.h"

#include "agent/NextRun.h"
#include "cleanup/Clock.h"
#include "cleanup/FileSystem.h"
#include "cleanup/PutBack.h"
#include "cleanup/RunJournal.h"
#include "cleanup/RunLock.h"
#include "cleanup/ScreenshotCleanup.h"
#include "platform/Log.h"
#include "platform/StopRequest.h"
#include "settings/LoginItem.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QRegularExpression>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <cmath>

// A Run Now under way. The worker thread writes the progress as it goes and the report at its
// end; this thread reads the progress at any time and the report once the thread has finished.
struct PanelModel::Run
{
    StopRequest stop;
    std::atomic<qint64> done{0};
    std::atomic<qint64> total{0};
    RunReport report;
    std::unique_ptr<QThread> thread;
};

namespace {

// Often enough to read as steady progress, seldom enough to leave the panel's loop idle.
constexpr qint64 ProgressIntervalMs = 100;

// Hours below one day, whole days from then on; a date in the future counts as no age.
QString ageText(double seconds)
{
    constexpr double day = 86400;
    if (seconds < day)
        return pluralText("PanelModel", QT_TRANSLATE_N_NOOP("PanelModel", "%n hour(s) old"),
                          qint64(std::max(seconds, 0.0) / 3600.0));
    return pluralText("PanelModel", QT_TRANSLATE_N_NOOP("PanelModel", "%n day(s) old"),
                      qint64(seconds / day));
}

QString dateSourceShown(DateSource source)
{
    return source == DateSource::Created ? PanelModel::tr("created") : PanelModel::tr("modified");
}

} // namespace

std::optional<QString> PanelModel::chooseWithDialog(const QString &startFolder)
{
    // Over the panel, so that a panel which closes when another window takes the focus does not
    // count the chooser as one.
    const QString chosen = QFileDialog::getExistingDirectory(
        QApplication::activeWindow(), QString(), startFolder, QFileDialog::ShowDirsOnly);
    if (chosen.isEmpty())
        return std::nullopt;
    return chosen;
}

QString PanelModel::websiteText()
{
    return QStringLiteral("quillbrook.org");
}

QUrl PanelModel::websiteUrl()
{
    return QUrl(QStringLiteral("https://quillbrook.org/"));
}

PanelModel::PanelModel(AppSettings &settings, QObject *parent)
    : PanelModel(settings, Clock::system(), parent)
{
}

PanelModel::PanelModel(AppSettings &settings, const Clock &clock, QObject *parent)
    : QObject(parent), m_settings(settings), m_clock(clock), m_folderChooser(chooseWithDialog),
      m_urlOpener([](const QUrl &url) { QDesktopServices::openUrl(url); }),
      m_quitHandler([] { QCoreApplication::quit(); }),
      m_settingsWatcher(new QFileSystemWatcher(this))
{
    connect(m_settingsWatcher, &QFileSystemWatcher::fileChanged, this,
            &PanelModel::onSettingsFileChanged);
    connect(m_settingsWatcher, &QFileSystemWatcher::directoryChanged, this,
            &PanelModel::onSettingsFileChanged);
    watchSettingsFile();
}

PanelModel::~PanelModel()
{
    // The app is ending (Quit, or a stop signal, left the event loop): the run finishes the entry
    // it is moving, and its record is written like any other.
    if (!m_run)
        return;
    m_run->stop.request();
    m_quitAfterRun = false;
    finishRun();
}

void PanelModel::onSettingsFileChanged()
{
    watchSettingsFile();
    emit settingsFileChanged();
}

void PanelModel::watchSettingsFile()
{
    // The file is replaced by a rename on every save, which ends a watch on the file itself; the
    // folder's watch sees the new file arrive. Until the folder exists, its parent is watched.
    const QFileInfo file(m_settings.filePath());
    QStringList wanted{file.absoluteFilePath(), file.absolutePath()};
    if (!file.dir().exists())
        wanted.append(QFileInfo(file.absolutePath()).absolutePath());
    const QStringList watched = m_settingsWatcher->files() + m_settingsWatcher->directories();
    for (const QString &path : std::as_const(wanted)) {
        if (!watched.contains(path) && QFileInfo::exists(path))
            m_settingsWatcher->addPath(path);
    }
}

void PanelModel::setEnabled(bool on)
{
    m_settings.setEnabled(on);
    if (on) {
        // Where the system guards the folder, this first read is what makes it ask the user;
        // the probe a moment later finds out what the user answered.
        const double now = m_clock.now();
        selectCandidates(m_settings.sourceFolder(), now, m_clock);
        QTimer::singleShot(probeDelayMs, Qt::PreciseTimer, this,
                           [this] { setPermissionDenied(probeFolderAccess(m_settings)); });
    } else {
        setPermissionDenied(false);
    }
    applyScheduleNow();
}

void PanelModel::setFrequency(Frequency frequency)
{
    m_settings.setFrequency(frequency);
    applyScheduleNow();
}

void PanelModel::setHourOfDay(qint64 hour)
{
    m_settings.setHourOfDay(hour);
    applyScheduleNow();
}

bool PanelModel::commitAgeText(const QString &text)
{
    // Whole numbers only: a fraction is refused rather than silently rounded to another limit.
    static const QRegularExpression wholeNumber(QStringLiteral("^[+-]?[0-9]+$"));
    const QString trimmed = text.trimmed();
    if (!wholeNumber.match(trimmed).hasMatch())
        return false;
    bool ok = false;
    const qint64 value = trimmed.toLongLong(&ok);
    if (!ok)
        return false;
    m_settings.setAgeValue(value);
    return true;
}

void PanelModel::setAgeUnit(AgeUnit unit)
{
    m_settings.setAgeUnit(unit);
}

void PanelModel::chooseSourceFolder()
{
    const std::optional<QString> chosen = m_folderChooser(m_settings.sourceFolder());
    if (!chosen || !QDir::isAbsolutePath(*chosen))
        return;
    m_settings.setSourceFolder(QDir::cleanPath(*chosen));
}

void PanelModel::setLaunchAtLogin(bool on)
{
    m_settings.setLaunchAtLogin(on);
    if (on)
        registerLoginItem();
    else
        unregisterLoginItem();
}

void PanelModel::runNow()
{
    // The user's lock keeps runs of different processes apart; within the app, the panel and the
    // tray menu must not start a second run beside this one.
    if (m_run)
        return;
    // A run that cannot look at its folder must not read as one that found nothing.
    setPermissionDenied(probeFolderAccess(m_settings));
    m_run = std::make_unique<Run>();
    Run *run = m_run.get();
    RunOptions options;
    options.lockWait = RunLock::DefaultWait;
    options.stop = &run->stop;
    options.progress = [this, run, shown = QElapsedTimer()](qint64 done, qint64 total) mutable {
        run->done.store(done);
        run->total.store(total);
        if (shown.isValid() && !shown.hasExpired(ProgressIntervalMs) && done < total)
            return;
        shown.start();
        QMetaObject::invokeMethod(this, &PanelModel::runProgressChanged, Qt::QueuedConnection);
    };
    // Read here: the settings object belongs to this thread, and the worker touches none of ours.
    const RunSettings settings = RunSettings::read(m_settings);
    const Clock &clock = m_clock;
    run->thread.reset(QThread::create(
        [run, settings, options, &clock] { run->report = runCleanup(settings, options, clock); }));
    connect(run->thread.get(), &QThread::finished, this, &PanelModel::finishRun);
    run->thread->start();
    emit runProgressChanged();
}

std::optional<std::pair<qint64, qint64>> PanelModel::runProgress() const
{
    if (!m_run)
        return std::nullopt;
    return std::pair(m_run->done.load(), m_run->total.load());
}

void PanelModel::finishRun()
{
    if (!m_run)
        return;
    const std::unique_ptr<Run> run = std::move(m_run);
    run->thread->wait();
    const RunReport &report = run->report;
    emit runProgressChanged();
    if (report.busy) {
        // Shown on the line put back uses, until the other run's record replaces it.
        m_putBackSummary = RunLock::busyText();
        emit runRecordChanged();
    } else {
        // What this record means for the panel is known here; reading it back from the journal,
        // a line per entry, would hold the panel up after a long run.
        m_seenRecord = std::tuple(report.ended, report.moved, report.failed);
        m_canPutBack = report.moved > 0;
        m_firstFailure = report.firstFailure;
        m_putBackSummary.clear();
        recordRun(m_settings, report.moved, report.ended, report.failed, report.error);
        if (m_previewCount) {
            m_previewCount.reset();
            m_previewRows.clear();
            m_previewListOpen = false;
            emit previewCountChanged();
        }
        logLine(QStringLiteral("Run Now trashed ") + QString::number(report.moved));
    }
    if (std::exchange(m_quitAfterRun, false))
        m_quitHandler();
}

void PanelModel::showPreview()
{
    // A count of 0 must not pass for an empty folder when the folder cannot be read at all.
    setPermissionDenied(probeFolderAccess(m_settings));
    // One listing gives both the count and the rows, so that the two always agree.
    const double now = m_clock.now();
    const QList<PreviewEntry> entries = previewEntries(m_settings, m_clock);
    m_previewRows.clear();
    for (const PreviewEntry &entry : entries)
        m_previewRows.append({QFile::decodeName(FileSystem::lastComponent(entry.path)),
                              ageText(now - entry.date), dateSourceShown(entry.source),
                              QFile::decodeName(entry.path)});
    m_previewCount = entries.size();
    emit previewCountChanged();
}

void PanelModel::togglePreviewList()
{
    if (!m_previewCount)
        return;
    m_previewListOpen = !m_previewListOpen;
    emit previewCountChanged();
}

void PanelModel::syncRunRecord(const AppSettings::Values &values)
{
    const std::tuple record{values.lastRunDate, values.lastRunCount, values.lastRunFailedCount};
    if (m_seenRecord == record)
        return;
    // What a put back did belongs to the run it undid, not to a newer one.
    if (m_seenRecord)
        m_putBackSummary.clear();
    m_seenRecord = record;
    readJournal();
}

void PanelModel::putBack()
{
    // The run under way is replacing the journal a put back would read.
    if (m_run)
        return;
    const PutBackResult result = putBackLastRun();
    m_putBackSummary = result.summary;
    readJournal();
    emit runRecordChanged();
}

QString PanelModel::nextRunLine(const AppSettings::Values &values) const
{
    if (!values.enabled)
        return {};
    const QDateTime now =
        QDateTime::fromMSecsSinceEpoch(qint64(std::floor(m_clock.now() * 1000.0)), Qt::LocalTime);
    const QDateTime next = nextRunTime(values.frequency, values.hourOfDay, now);
    if (!next.isValid())
        return {};
    return nextRunText(double(next.toSecsSinceEpoch()), now);
}

void PanelModel::readJournal()
{
    const RunJournal journal = lastRunJournal();
    const bool moved = m_seenRecord && std::get<1>(*m_seenRecord) > 0;
    m_canPutBack = moved && entriesStillInTrash(journal, 1) > 0;
    m_firstFailure = journal.firstFailure;
}

void PanelModel::openSourceFolderInFileManager()
{
    const QString folder = FileSystem::nearestExistingFolder(m_settings.sourceFolder());
    if (folder.isEmpty())
        return;
    m_urlOpener(QUrl::fromLocalFile(folder));
}

void PanelModel::openWebsite()
{
    m_urlOpener(websiteUrl());
}

void PanelModel::quit()
{
    if (m_run) {
        m_quitAfterRun = true;
        m_run->stop.request();
        return;
    }
    m_quitHandler();
}

void PanelModel::setPermissionDenied(bool denied)
{
    if (m_permissionDenied == denied)
        return;
    m_permissionDenied = denied;
    emit permissionDeniedChanged();
}

void PanelModel::applyScheduleNow()
{
    applySchedule(m_settings, m_agentContext ? *m_agentContext : AgentContext::standard());
}
