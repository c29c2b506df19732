#include "PreviewCount.h"

#include "FileSystem.h"
#include "ScreenshotCleanup.h"

#include "settings/AppSettings.h"

#include <QDir>
#include <QFile>

qint64 countCandidates(AppSettings &settings, const Clock &clock)
{
    const double cutoff = ageCutoff(clock.now(), settings.ageValue(), settings.ageUnit());
    return selectCandidates(settings.sourceFolder(), cutoff, clock).size();
}

bool probeFolderAccess(AppSettings &settings)
{
    const QString folder = settings.sourceFolder();
    if (!QDir::isAbsolutePath(folder))
        return true;
    return !FileSystem::canList(QFile::encodeName(folder));
}
