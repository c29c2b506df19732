#include "ScreenshotCleanup.h"

#include "FileSystem.h"
#include "JournalWriter.h"
#include "PutBack.h"
#include "RunJournal.h"
#include "RunLock.h"
#include "Trash.h"

#include "platform/ErrorText.h"
#include "platform/Log.h"
#include "platform/StopRequest.h"
#include "settings/AppSettings.h"

#include <QMetaObject>

#include <algorithm>
#include <array>
#include <tuple>

namespace {

// Lower-case ASCII, as the words below are: a name is compared byte by byte with its ASCII
// letters lowered, which answers as lower-casing the decoded name would, without decoding it.
constexpr std::array<QByteArrayView, 4> acceptedExtensions = {"png", "jpg", "jpeg", "heic"};

// Tried in this order; the first that matches ends the test.
constexpr std::array<QByteArrayView, 3> acceptedPrefixes = {"screen shot", "screenshot",
                                                            "cleanshot"};

char asciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

// Whether @p text begins with the lower-case @p word, ignoring the case of ASCII letters.
bool startsWithWord(QByteArrayView text, QByteArrayView word)
{
    if (text.size() < word.size())
        return false;
    for (qsizetype i = 0; i < word.size(); ++i) {
        if (asciiLower(text[i]) != word[i])
            return false;
    }
    return true;
}

// The last component of @p path, without copying it.
QByteArrayView nameOf(QByteArrayView path)
{
    while (path.endsWith('/'))
        path.chop(1);
    return path.sliced(path.lastIndexOf('/') + 1);
}

// The stored source folder as bytes to list, or nothing with the reason in @p error: an empty
// or relative path would be read against whatever folder the process runs in, and a folder in
// a Trash holds entries that were trashed already (moving them again would lose their info).
std::optional<QByteArray> checkedSourceFolder(const QString &folder, QString *error)
{
    const std::optional<QByteArray> path = FileSystem::storedFolderPath(folder);
    const std::optional<QByteArray> real = path ? FileSystem::canonicalPath(*path) : std::nullopt;
    const std::optional<QByteArray> home = FileSystem::canonicalPath(Trash::defaultHomeTrash());
    const QString why = !path ? QStringLiteral("not an absolute path")
                        : real && isInsideATrash(*real, home.value_or(QByteArray()))
                            ? QStringLiteral("it lies inside a Trash")
                            : QString();
    if (!why.isEmpty())
        *error =
            QStringLiteral("Cannot list the source folder ") + folder + QStringLiteral(": ") + why;
    return why.isEmpty() ? path : std::nullopt;
}

// The source folder's visible entries; nothing, with the reason in @p error, when the folder
// cannot be listed.
std::optional<QList<QByteArray>> listSourceFolder(const QString &sourceFolder, QString *error)
{
    const std::optional<QByteArray> folder = checkedSourceFolder(sourceFolder, error);
    int err = 0;
    const std::optional<QList<QByteArray>> entries =
        folder ? FileSystem::listVisibleEntries(*folder, &err) : std::nullopt;
    if (folder && !entries)
        *error = errorText(QStringLiteral("Cannot list the source folder"), sourceFolder, err);
    return entries;
}

// The date that decides an entry's age: the creation date when present, else the modification
// date, else now.
PreviewEntry previewEntry(const QByteArray &path, const EntryDates &dates, double now)
{
    if (dates.creation)
        return {path, *dates.creation, DateSource::Created};
    if (dates.modification)
        return {path, *dates.modification, DateSource::Modified};
    return {path, now, DateSource::None};
}

QList<PreviewEntry> selectEntries(const QList<QByteArray> &entries, const KeptEntries &kept,
                                  double cutoff, double now)
{
    QList<PreviewEntry> selected;
    for (const QByteArray &entry : entries) {
        if (!isScreenshotName(entry))
            continue;
        const EntryDates dates = FileSystem::entryDates(entry);
        if (passesAgeRule(dates, cutoff, now) && !isKept(kept, entry, dates))
            selected.append(previewEntry(entry, dates, now));
    }
    // Oldest first, ties by name, whatever order the directory gave: the list and --preview read
    // in age order, and a run cut short has taken the oldest.
    std::sort(selected.begin(), selected.end(), [](const PreviewEntry &a, const PreviewEntry &b) {
        return std::tie(a.date, a.path) < std::tie(b.date, b.path);
    });
    return selected;
}

// The part of a run that needs the lock: tidy what an interrupted run or put back left, select,
// then move each entry with its journal line written first.
RunReport lockedRun(const RunSettings &settings, const RunOptions &options, const Clock &clock)
{
    RunReport report;
    const double now = clock.now();
    const double cutoff = ageCutoff(now, settings.ageValue, settings.ageUnit);
    // This run's journal replaces the last one: whatever that one left half done is finished
    // first, and kept entries that changed since are forgotten.
    RunJournalStore::removeLeftovers();
    removeStrandedInfoFiles(RunJournalStore::readJournal());
    const KeptEntries stored = RunJournalStore::readKept();
    const KeptEntries kept = RunJournalStore::stillKept(stored);
    QString ignored; // a stale line only costs a look next time
    if (kept.size() != stored.size())
        RunJournalStore::writeKept(kept, &ignored);
    const std::optional<QList<QByteArray>> entries =
        listSourceFolder(settings.sourceFolder, &report.error);
    QList<QByteArray> candidates;
    for (const PreviewEntry &entry :
         selectEntries(entries.value_or(QList<QByteArray>()), kept, cutoff, now))
        candidates.append(entry.path);
    JournalWriter journal;
    QString error;
    if (!journal.begin(&error)) {
        report.error = error; // nothing may move that put back could not find
        return report;
    }
    Trash trash;
    trash.setJournal(&journal);
    trashEntries(candidates, trash, &report, options);
    trash.syncUsed();
    journal.finish(report.failed, report.firstFailure);
    return report;
}

} // namespace

double ageCutoff(double now, qint64 ageValue, AgeUnit unit)
{
    return now + -double(ageValue) * secondsPerUnit(unit);
}

QList<QByteArray> selectCandidates(const QString &sourceFolder, double cutoff, const Clock &clock)
{
    QString ignored;
    const std::optional<QList<QByteArray>> entries = listSourceFolder(sourceFolder, &ignored);
    if (!entries)
        return {};
    QList<QByteArray> candidates;
    for (const QByteArray &entry : *entries) {
        if (isTrashCandidate(entry, cutoff, clock))
            candidates.append(entry);
    }
    return candidates;
}

bool isScreenshotName(const QByteArray &path)
{
    const QByteArrayView name = nameOf(path);
    const qsizetype dot = name.lastIndexOf('.');
    const QByteArrayView extension = dot < 0 ? QByteArrayView() : name.sliced(dot + 1);
    const auto isExtension = [extension](QByteArrayView word) {
        return extension.size() == word.size() && startsWithWord(extension, word);
    };
    if (dot < 0 || std::none_of(acceptedExtensions.begin(), acceptedExtensions.end(), isExtension))
        return false;
    return std::any_of(acceptedPrefixes.begin(), acceptedPrefixes.end(),
                       [name](QByteArrayView prefix) { return startsWithWord(name, prefix); });
}

bool isTrashCandidate(const QByteArray &path, double cutoff, const Clock &clock)
{
    if (!isScreenshotName(path))
        return false;
    return passesAgeRule(FileSystem::entryDates(path), cutoff, clock.now());
}

bool passesAgeRule(const EntryDates &dates, double cutoff, double now)
{
    return previewEntry(QByteArray(), dates, now).date < cutoff;
}

qint64 trashEntries(const QList<QByteArray> &candidates, Trash &trash, RunReport *report,
                    const RunOptions &options)
{
    RunReport counts;
    qint64 done = 0;
    for (const QByteArray &entry : candidates) {
        if (StopRequest::isRequested(options.stop)) {
            counts.stopped = true;
            break;
        }
        QString error;
        if (trash.trashEntry(entry, &error)) {
            ++counts.moved;
        } else {
            const QString line = QStringLiteral("Failed to trash ") +
                                 FileSystem::decodeLeniently(entry) + QStringLiteral(": ") + error;
            logLine(line);
            if (counts.failed++ == 0)
                counts.firstFailure = line;
        }
        if (options.progress)
            options.progress(++done, candidates.size());
    }
    if (report) {
        report->moved += counts.moved;
        report->failed += counts.failed;
        report->stopped = counts.stopped;
        if (report->firstFailure.isEmpty())
            report->firstFailure = counts.firstFailure;
    }
    return counts.moved;
}

void recordRun(AppSettings &settings, qint64 count, double when, qint64 failed,
               const QString &error)
{
    settings.recordRun({when, count, failed, error});
}

QString sourceFolderError(const QString &folder)
{
    QString error;
    const std::optional<QByteArray> path = checkedSourceFolder(folder, &error);
    const int err = path ? FileSystem::listingError(*path) : 0;
    if (err != 0)
        error = errorText(QStringLiteral("Cannot list the source folder"), folder, err);
    return error;
}

QList<PreviewEntry> previewEntries(AppSettings &settings, const Clock &clock, QString *error)
{
    const double now = clock.now();
    const double cutoff = ageCutoff(now, settings.ageValue(), settings.ageUnit());
    QString why;
    const std::optional<QList<QByteArray>> entries =
        listSourceFolder(settings.sourceFolder(), &why);
    if (error)
        *error = why;
    if (!entries)
        return {};
    return selectEntries(*entries, RunJournalStore::readKept(), cutoff, now);
}

RunSettings RunSettings::read(AppSettings &settings)
{
    const AppSettings::Values values = settings.values();
    return {values.ageValue, values.ageUnit, values.sourceFolder};
}

RunReport runCleanup(const RunSettings &settings, const RunOptions &options, const Clock &clock)
{
    const RunLock lock(options.lockWait, options.stop);
    RunReport report;
    report.busy = lock.state() == RunLock::State::Busy;
    if (report.busy)
        return report;
    if (lock.state() == RunLock::State::Held)
        report = lockedRun(settings, options, clock);
    else
        report.error = lock.error();
    if (!report.error.isEmpty())
        logLine(report.error);
    report.ended = clock.now();
    return report;
}

RunReport runCleanup(AppSettings &settings, const RunOptions &options, const Clock &clock)
{
    const RunReport report = runCleanup(RunSettings::read(settings), options, clock);
    if (report.busy)
        return report;
    // The record is written by the event loop after the caller's current work, with the time
    // the moves ended: the caller's clock need not outlive this call.
    QMetaObject::invokeMethod(
        &settings,
        [&settings, report] {
            recordRun(settings, report.moved, report.ended, report.failed, report.error);
        },
        Qt::QueuedConnection);
    return report;
}

qint64 runCleanup(AppSettings &settings, const Clock &clock)
{
    return runCleanup(settings, RunOptions(), clock).moved;
}

qint64 countCandidates(AppSettings &settings, const Clock &clock)
{
    return previewEntries(settings, clock).size();
}

bool probeFolderAccess(AppSettings &settings)
{
    return !sourceFolderError(settings.sourceFolder()).isEmpty();
}

template <> struct EnumTexts<DateSource>
{
    static constexpr std::array rows = {std::pair{DateSource::Created, "created"},
                                        std::pair{DateSource::Modified, "modified"},
                                        std::pair{DateSource::None, "none"}};
};

QString dateSourceText(DateSource source)
{
    return enumText(source);
}
