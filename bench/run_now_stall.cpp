// The panel's longest event-loop stall while "Run Now" trashes N old screenshots: the panel
// shown offscreen, a timer that should fire every millisecond, and the largest gap between two
// of its ticks from the click until the run's record has landed. Everything lives in a
// temporary HOME made here; the real home and Trash are never touched.
//
// Usage: run_now_stall [N]   (default 10000); prints one line of figures.
#include "panel/ContentView.h"
#include "panel/PanelModel.h"
#include "settings/AppSettings.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <unistd.h>

namespace {

// CPU time of the calling thread: a gap in which the panel's thread worked little was the
// machine's doing (another program had the processor), not the panel's.
qint64 threadCpuNs()
{
    timespec ts = {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

bool makeScreenshots(const QByteArray &folder, int count)
{
    for (int i = 0; i < count; ++i) {
        const QByteArray path = folder + "/Screenshot " + QByteArray::number(i) + ".png";
        const int fd = open(path.constData(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0644);
        if (fd < 0)
            return false;
        close(fd);
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    const int count = argc > 1 ? std::atoi(argv[1]) : 10000;
    QTemporaryDir home;
    const QString root = home.path();
    for (const char *folder : {"/Desktop", "/.config", "/.local/share", "/.local/state"})
        QDir().mkpath(root + QLatin1String(folder));
    qputenv("HOME", QFile::encodeName(root));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(root + QStringLiteral("/.config")));
    qputenv("XDG_DATA_HOME", QFile::encodeName(root + QStringLiteral("/.local/share")));
    qputenv("XDG_STATE_HOME", QFile::encodeName(root + QStringLiteral("/.local/state")));
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (!makeScreenshots(QFile::encodeName(root) + "/Desktop", count)) {
        std::fprintf(stderr, "run_now_stall: cannot make the screenshots\n");
        return 1;
    }
    sync();

    QApplication app(argc, argv);
    AppSettings settings(root + QStringLiteral("/.config/quillbrook/quillbrook.conf"), root);
    settings.setSourceFolder(root + QStringLiteral("/Desktop"));
    settings.setAgeUnit(AgeUnit::Hours);
    settings.setAgeValue(-1); // every file made before the run is old
    PanelModel model(settings);
    ContentView view(model);
    view.show();

    QElapsedTimer clock;
    qint64 last = 0, longest = 0, longestAt = 0, longestCpu = 0, lastCpu = 0, ticks = 0,
           started = 0;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed(), cpu = threadCpuNs();
        if (now - last > longest) {
            longest = now - last;
            longestAt = now;
            longestCpu = cpu - lastCpu;
        }
        last = now;
        lastCpu = cpu;
        ++ticks;
    });
    QObject::connect(&settings, &AppSettings::changed, [&] {
        if (settings.lastRunDate() == 0)
            return;
        // The record's own save and the redraw it causes are part of the run's cost to the loop:
        // the ticks go on a little longer.
        QTimer::singleShot(100, [&, recorded = clock.nsecsElapsed()] {
            const qint64 now = clock.nsecsElapsed();
            if (now - last > longest) {
                longest = now - last;
                longestAt = now;
                longestCpu = threadCpuNs() - lastCpu;
            }
            std::printf("N=%d moved=%lld run=%.1f ms longest stall=%.1f ms, ended at=%.1f ms, "
                        "panel thread busy=%.1f ms of it; ticks=%lld\n",
                        count, settings.lastRunCount(), double(recorded - started) / 1e6,
                        double(longest) / 1e6, double(longestAt - started) / 1e6,
                        double(longestCpu) / 1e6, ticks);
            QCoreApplication::exit(settings.lastRunCount() == count ? 0 : 1);
        });
    });
    QTimer::singleShot(200, [&] {
        clock.start();
        started = last = clock.nsecsElapsed();
        lastCpu = threadCpuNs();
        tick.start(1);
        model.runNow();
    });
    return app.exec();
}
