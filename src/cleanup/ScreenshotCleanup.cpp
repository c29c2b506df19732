#include "ScreenshotCleanup.h"

#include "FileSystem.h"
#include "RunJournal.h"
#include "Trash.h"

#include "platform/Log.h"
#include "settings/AppSettings.h"

#include <QMetaObject>

#include <algorithm>
#include <tuple>

namespace {

const QStringList &acceptedExtensions()
{
    static const QStringList extensions = {QStringLiteral("png"), QStringLiteral("jpg"),
                                           QStringLiteral("jpeg"), QStringLiteral("heic")};
    return extensions;
}

// Tried in this order; the first that matches ends the test.
const QStringList &acceptedPrefixes()
{
    static const QStringList prefixes = {QStringLiteral("screen shot"),
                                         QStringLiteral("screenshot"), QStringLiteral("cleanshot")};
    return prefixes;
}

bool isKept(const QList<KeptEntry> &kept, const QByteArray &path, const EntryDates &dates)
{
    for (const KeptEntry &entry : kept) {
        if (entry.path == path && entry.dates.creation == dates.creation &&
            entry.dates.modification == dates.modification)
            return true;
    }
    return false;
}

// The source folder's visible entries; nothing when the stored path is empty or relative, or the
// folder cannot be listed.
std::optional<QList<QByteArray>> listSourceFolder(const QString &sourceFolder)
{
    const std::optional<QByteArray> folder = FileSystem::storedFolderPath(sourceFolder);
    return folder ? FileSystem::listVisibleEntries(*folder) : std::nullopt;
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

} // namespace

double ageCutoff(double now, qint64 ageValue, AgeUnit unit)
{
    return now + -double(ageValue) * secondsPerUnit(unit);
}

QList<QByteArray> selectCandidates(const QString &sourceFolder, double cutoff, const Clock &clock)
{
    const std::optional<QList<QByteArray>> entries = listSourceFolder(sourceFolder);
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
    const QString name = FileSystem::decodeLeniently(FileSystem::lastComponent(path)).toLower();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString extension = dot < 0 ? QString() : name.mid(dot + 1);
    if (!acceptedExtensions().contains(extension))
        return false;
    for (const QString &prefix : acceptedPrefixes()) {
        if (name.startsWith(prefix))
            return true;
    }
    return false;
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

qint64 trashEntries(const QList<QByteArray> &candidates, Trash &trash, RunJournal *journal)
{
    qint64 count = 0;
    for (const QByteArray &entry : candidates) {
        QString error;
        TrashedEntry placed;
        if (trash.trashEntry(entry, &error, &placed)) {
            ++count;
            if (journal)
                journal->entries.append({placed.originalPath, placed.trashFolder, placed.name});
            continue;
        }
        const QString line = QStringLiteral("Failed to trash ") +
                             FileSystem::decodeLeniently(entry) + QStringLiteral(": ") + error;
        logLine(line);
        if (journal && journal->failedCount++ == 0)
            journal->firstFailure = line;
    }
    return count;
}

void recordRun(AppSettings &settings, qint64 count, double when, qint64 failed)
{
    settings.recordRun({when, count, failed, QString()});
}

QList<PreviewEntry> previewEntries(AppSettings &settings, const Clock &clock)
{
    const double now = clock.now();
    const double cutoff = ageCutoff(now, settings.ageValue(), settings.ageUnit());
    const std::optional<QList<QByteArray>> entries = listSourceFolder(settings.sourceFolder());
    if (!entries)
        return {};
    const QList<KeptEntry> kept = RunJournalStore::readKept();
    QList<PreviewEntry> selected;
    for (const QByteArray &entry : *entries) {
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

qint64 runCleanup(AppSettings &settings, const Clock &clock)
{
    QList<QByteArray> candidates;
    for (const PreviewEntry &entry : previewEntries(settings, clock))
        candidates.append(entry.path);
    RunJournal journal;
    qint64 count = 0;
    {
        Trash trash;
        count = trashEntries(candidates, trash, &journal);
    }
    QString error;
    if (!RunJournalStore::writeJournal(journal, &error))
        logLine(error);
    // The record is written by the event loop after the caller's current work, with the time
    // the moves ended: the caller's clock need not outlive this call.
    const double ended = clock.now();
    const qint64 failed = journal.failedCount;
    QMetaObject::invokeMethod(
        &settings, [&settings, count, ended, failed] { recordRun(settings, count, ended, failed); },
        Qt::QueuedConnection);
    return count;
}

qint64 countCandidates(AppSettings &settings, const Clock &clock)
{
    return previewEntries(settings, clock).size();
}

bool probeFolderAccess(AppSettings &settings)
{
    const std::optional<QByteArray> folder = FileSystem::storedFolderPath(settings.sourceFolder());
    return !folder || !FileSystem::canList(*folder);
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
