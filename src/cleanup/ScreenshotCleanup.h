#pragma once

#include "Clock.h"
#include "FileSystem.h"

#include "settings/AgeUnit.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <chrono>
#include <functional>

class AppSettings;
class StopRequest;
class Trash;

/** Which date decided an entry's age. */
enum class DateSource
{
    Created,  ///< the birth time
    Modified, ///< the modification time, where no birth time is recorded
    None,     ///< neither could be read: the entry counts as made now
};

/** "created", "modified" or "none", as the preview shows the deciding date. */
QString dateSourceText(DateSource source);

/** An entry a run started now would move. */
struct PreviewEntry
{
    QByteArray path;
    double date = 0; ///< the deciding date, seconds since 1970
    DateSource source = DateSource::None;
};

/** How a run is carried out; the defaults are those of a scheduled run. */
struct RunOptions
{
    /** How long to wait while another run or put back holds the user's lock; 0: give up. */
    std::chrono::milliseconds lockWait{0};
    /** Checked between entries: the run ends after the entry it is moving. Without one, only a
     *  stop signal ends it early. */
    const StopRequest *stop = nullptr;
    /** Told after each entry how many of how many are done, on the run's thread. */
    std::function<void(qint64 done, qint64 total)> progress;
};

/** What a run did. */
struct RunReport
{
    bool busy = false;    ///< another run or put back held the lock: nothing done or recorded
    bool stopped = false; ///< a stop request ended it before every entry was tried
    qint64 moved = 0;
    qint64 failed = 0;    ///< entries it could not move, each logged
    QString firstFailure; ///< the first of those log lines
    /** Why it could not look at its folder or could not start, as logged; empty when it could. */
    QString error;
    double ended = 0; ///< when its moves ended, by its clock: the time its record gives

    /** The exit status of a scheduled run: 1 when a move failed or it could not look or start. */
    int exitStatus() const { return failed > 0 || !error.isEmpty() ? 1 : 0; }
};

/**
 * One cleanup run and its selection rules. Entries are absolute byte paths; nothing here keeps
 * state between calls.
 */

/** @p now minus @p ageValue units, in double arithmetic (no bound, no integer overflow). */
double ageCutoff(double now, qint64 ageValue, AgeUnit unit);

/**
 * The entries of @p sourceFolder (used as stored, not expanded) that pass the name rule and
 * then the age rule, in listing order. A folder that cannot be listed yields nothing.
 */
QList<QByteArray> selectCandidates(const QString &sourceFolder, double cutoff,
                                   const Clock &clock = Clock::system());

/** Extension png/jpg/jpeg/heic and name beginning "screen shot", "screenshot" or "cleanshot". */
bool isScreenshotName(const QByteArray &path);

/**
 * The age rule on dates already read: the creation date when present, else the modification
 * date, else @p now; old enough when strictly before @p cutoff.
 */
bool passesAgeRule(const EntryDates &dates, double cutoff, double now);

/** The name rule, then (only then) the age rule against @p cutoff. */
bool isTrashCandidate(const QByteArray &path, double cutoff, const Clock &clock = Clock::system());

/**
 * Moves each entry to @p trash; logs each failure; returns the number moved. With @p report,
 * also counts the moves and failures there. Stops early on @p options' stop request, and tells
 * its progress.
 */
qint64 trashEntries(const QList<QByteArray> &candidates, Trash &trash, RunReport *report = nullptr,
                    const RunOptions &options = {});

/**
 * Writes the run record: lastRunDate = @p when (seconds since 1970), lastRunCount = @p count,
 * lastRunFailedCount = @p failed, lastRunError = @p error.
 */
void recordRun(AppSettings &settings, qint64 count, double when, qint64 failed = 0,
               const QString &error = {});

/**
 * Why the source folder @p folder (as stored) cannot be cleaned, as a log line ("Cannot list
 * the source folder <path>: <reason>"), or empty when it can be listed. A folder inside a Trash
 * counts as one that cannot be listed.
 */
QString sourceFolderError(const QString &folder);

/**
 * The entries a run started now would move, oldest first, each with the date that decided:
 * the stored age limit and source folder, the name rule, the age rule, and no entry that was
 * put back and kept since. runCleanup moves exactly these. Reads state, writes nothing and takes
 * no lock. A folder that cannot be listed gives nothing, and its error in @p error.
 */
QList<PreviewEntry> previewEntries(AppSettings &settings, const Clock &clock = Clock::system(),
                                   QString *error = nullptr);

/** What a run reads from the settings, read at its start on the settings object's thread. */
struct RunSettings
{
    qint64 ageValue = 0;
    AgeUnit ageUnit = AgeUnit::Days;
    QString sourceFolder;

    static RunSettings read(AppSettings &settings);
};

/**
 * The run of runCleanup without the settings object: safe on any thread, as it touches no
 * object of another; records nothing (the caller records the report on the settings' thread).
 */
RunReport runCleanup(const RunSettings &settings, const RunOptions &options,
                     const Clock &clock = Clock::system());

/**
 * One run under the user's lock: trash what previewEntries gives, each entry written to the
 * run's journal (lastRunJournal) before it moves; queue recordRun (with the time the moves
 * ended) on the event loop of @p settings' thread. Busy (another run kept the lock for @p options'
 * wait): nothing done, nothing recorded.
 */
RunReport runCleanup(AppSettings &settings, const RunOptions &options,
                     const Clock &clock = Clock::system());

/** runCleanup with the defaults of a scheduled run; the number moved. */
qint64 runCleanup(AppSettings &settings, const Clock &clock = Clock::system());

/** How many entries a run started now would move; moves and records nothing. */
qint64 countCandidates(AppSettings &settings, const Clock &clock = Clock::system());

/**
 * Despite its name, answers whether access is missing: true when the source folder can NOT be
 * listed (missing, not a folder, relative, refused), false when it can.
 */
bool probeFolderAccess(AppSettings &settings);
