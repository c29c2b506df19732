#include "ScreenshotCleanup.h"

#include "FileSystem.h"
#include "Trash.h"

#include "platform/Log.h"
#include "settings/AppSettings.h"

#include <QMetaObject>

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

} // namespace

double ageCutoff(double now, qint64 ageValue, AgeUnit unit)
{
    return now + -double(ageValue) * secondsPerUnit(unit);
}

QList<QByteArray> selectCandidates(const QString &sourceFolder, double cutoff, const Clock &clock)
{
    const std::optional<QByteArray> folder = FileSystem::storedFolderPath(sourceFolder);
    if (!folder)
        return {};
    const std::optional<QList<QByteArray>> entries = FileSystem::listVisibleEntries(*folder);
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
    const double reference = dates.creation       ? *dates.creation
                             : dates.modification ? *dates.modification
                                                  : now;
    return reference < cutoff;
}

qint64 trashEntries(const QList<QByteArray> &candidates, Trash &trash)
{
    qint64 count = 0;
    for (const QByteArray &entry : candidates) {
        QString error;
        if (trash.trashEntry(entry, &error))
            ++count;
        else
            logLine(QStringLiteral("Failed to trash ") + FileSystem::decodeLeniently(entry) +
                    QStringLiteral(": ") + error);
    }
    return count;
}

void recordRun(AppSettings &settings, qint64 count, double when)
{
    settings.setLastRunDate(when);
    settings.setLastRunCount(count);
}

qint64 runCleanup(AppSettings &settings, const Clock &clock)
{
    const double cutoff = ageCutoff(clock.now(), settings.ageValue(), settings.ageUnit());
    const QList<QByteArray> candidates = selectCandidates(settings.sourceFolder(), cutoff, clock);
    qint64 count = 0;
    {
        Trash trash;
        count = trashEntries(candidates, trash);
    }
    // The record is written by the event loop after the caller's current work, with the time
    // the moves ended: the caller's clock need not outlive this call.
    const double ended = clock.now();
    QMetaObject::invokeMethod(
        &settings, [&settings, count, ended] { recordRun(settings, count, ended); },
        Qt::QueuedConnection);
    return count;
}

qint64 countCandidates(AppSettings &settings, const Clock &clock)
{
    const double cutoff = ageCutoff(clock.now(), settings.ageValue(), settings.ageUnit());
    return selectCandidates(settings.sourceFolder(), cutoff, clock).size();
}

bool probeFolderAccess(AppSettings &settings)
{
    const std::optional<QByteArray> folder = FileSystem::storedFolderPath(settings.sourceFolder());
    return !folder || !FileSystem::canList(*folder);
}
