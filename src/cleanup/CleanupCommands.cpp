#include "CleanupCommands.h"

#include "FileSystem.h"
#include "PutBack.h"
#include "ScreenshotCleanup.h"

#include "settings/AppSettings.h"

#include <QDateTime>

namespace {

// Local time with its offset, e.g. "2024-05-01T10:15:00+02:00".
QString isoDate(double seconds)
{
    const QDateTime local = QDateTime::fromMSecsSinceEpoch(qint64(seconds * 1000.0));
    return local.toOffsetFromUtc(local.offsetFromUtc()).toString(Qt::ISODate);
}

} // namespace

int previewCommand(AppSettings &settings, QTextStream &out, QTextStream &err, const Clock &clock)
{
    // An empty list must mean "nothing to move", not "could not look".
    if (probeFolderAccess(settings)) {
        err << "quillbrook: Cannot list the source folder " << settings.sourceFolder() << '\n';
        return 1;
    }
    for (const PreviewEntry &entry : previewEntries(settings, clock))
        out << FileSystem::decodeLeniently(entry.path) << '\t' << isoDate(entry.date) << '\t'
            << dateSourceText(entry.source) << '\n';
    out.flush();
    return 0;
}

int putBackCommand(AppSettings &, QTextStream &out, QTextStream &err, const Clock &)
{
    const PutBackResult result = putBackLastRun();
    for (const QString &line : result.lines)
        (line.startsWith(QStringLiteral("Cannot ")) ? err : out) << line << '\n';
    out << result.summary << '\n';
    out.flush();
    err.flush();
    return result.allBack() ? 0 : 1;
}
