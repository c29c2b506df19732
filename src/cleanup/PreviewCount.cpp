#include "PreviewCount.h"

#include "FileSystem.h"
#include "ScreenshotCleanup.h"

#include "settings/AppSettings.h"

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
