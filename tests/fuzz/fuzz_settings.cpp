// The settings store over a settings file of arbitrary bytes: every read gives a value without
// crashing, reading never changes the file, and a value written afterwards reads back.
#include "settings/AppSettings.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

#define check(condition) ((condition) ? void() : std::abort())

namespace {

// Every key, through values() and through its own accessor.
void readEverything(const AppSettings &settings)
{
#define QB_READ(name, Name, Type, fallback) (void)settings.name();
    QUILLBROOK_SETTINGS(QB_READ)
    check(!settings.sourceFolder().isNull());
    check(settings.values().sourceFolder == settings.sourceFolder());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir folder(QDir::tempPath() + QStringLiteral("/fuzz_settings-XXXXXX"));
    static const bool isolated = qputenv("HOME", QFile::encodeName(folder.path()));
    static quint64 counter = 0;
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    // A new file each time: QSettings caches parsed files by name, size and time stamp.
    const QString sub = folder.path() + QStringLiteral("/%1").arg(++counter);
    const QString path = sub + QStringLiteral("/quillbrook.conf");
    QFile file(path);
    check(isolated && QDir().mkpath(sub) && file.open(QIODevice::WriteOnly) &&
          file.write(bytes) == bytes.size() && file.flush());
    {
        AppSettings settings(path, folder.path());
        readEverything(settings);
        QFile after(path);
        check(after.open(QIODevice::ReadOnly) && after.readAll() == bytes);

        settings.setHourOfDay(qint64(size) - 7);
        settings.setLastRunDate(double(size) / 3);
        settings.setFrequency(Frequency::Weekly);
        AppSettings fresh(path, folder.path());
        check(fresh.hourOfDay() == qint64(size) - 7 && fresh.lastRunDate() == double(size) / 3 &&
              fresh.frequency() == Frequency::Weekly);
        readEverything(fresh);
    }
    QDir(sub).removeRecursively();
    return 0;
}
