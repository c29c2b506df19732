// The settings store over a settings file of arbitrary bytes: every read gives a value without
// crashing, reading never changes the file, and a value written afterwards reads back.
#include "settings/AppSettings.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

namespace {

QTemporaryDir *folder = nullptr;
quint64 counter = 0;

void check(bool ok)
{
    if (!ok)
        std::abort();
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Every key, through values() and through its own accessor.
void readEverything(const AppSettings &settings)
{
#define QB_READ(name, Name, Type, fallback) (void)settings.name();
    QUILLBROOK_SETTINGS(QB_READ)
    check(!settings.sourceFolder().isNull());
    check(settings.values().sourceFolder == settings.sourceFolder());
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    folder = new QTemporaryDir(QDir::tempPath() + QStringLiteral("/fuzz_settings-XXXXXX"));
    qputenv("HOME", QFile::encodeName(folder->path()));
    std::atexit([] { delete folder; });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    // A new file each time: QSettings caches parsed files by name, size and time stamp.
    const QString sub = folder->path() + QStringLiteral("/%1").arg(++counter);
    QDir().mkpath(sub);
    const QString path = sub + QStringLiteral("/quillbrook.conf");
    QFile file(path);
    check(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush());
    {
        AppSettings settings(path, folder->path());
        readEverything(settings);
        check(fileBytes(path) == bytes);

        settings.setHourOfDay(qint64(size) - 7);
        settings.setLastRunDate(double(size) / 3);
        settings.setFrequency(Frequency::Weekly);
        AppSettings fresh(path, folder->path());
        check(fresh.hourOfDay() == qint64(size) - 7);
        check(fresh.lastRunDate() == double(size) / 3);
        check(fresh.frequency() == Frequency::Weekly);
        readEverything(fresh);
    }
    QDir(sub).removeRecursively();
    return 0;
}
