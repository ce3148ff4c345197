// tallyrue_bench --backup N: times the backup sets of a ledger of N entries: the
// start-of-day set in the background (with the longest time the event loop waited on
// it, which is how long the window can be kept from answering) and a set made now,
// as before a book is deleted.
#include "bench_steps.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <cstdio>
#include <sys/resource.h>
#include "data/backup.h"
#include "data/book_refresh.h"
#include "data/data_module.h"

namespace bench {
namespace {
long peakRssMiB()
{
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return ru.ru_maxrss / 1024;
}
} // namespace

int runBackup(const QString &dir)
{
    QDir(Backup::folder(dir)).removeRecursively();
    TDataModule2 dm(dir);
    BookRefresh::full(dm);
    BackupKeeper *keeper = BackupKeeper::of(&dm);
    const long peakBefore = peakRssMiB();

    // A timer that fires whenever the event loop is free: the gaps between its runs are
    // the waits a click or a repaint would see.
    QElapsedTimer clock;
    qint64 last = 0, longest = 0;
    QTimer probe;
    probe.setInterval(0);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        longest = qMax(longest, now - last);
        last = now;
    });

    QEventLoop loop;
    BackupKeeper::Result background;
    QObject::connect(keeper, &BackupKeeper::finished, &loop, [&](const BackupKeeper::Result &r) {
        background = r;
        loop.quit();
    });
    clock.start();
    keeper->startDaily(0);
    probe.start();
    loop.exec();
    probe.stop();
    const double backgroundMs = clock.nsecsElapsed() / 1e6;
    const double longestMs = longest / 1e6;

    clock.restart();
    const BackupKeeper::Result now = keeper->makeNow(BackupKeeper::deletionReason("2"));
    const double nowMs = clock.nsecsElapsed() / 1e6;
    const long peakAfter = peakRssMiB();

    qint64 bytes = 0;
    for (const QString &name : Backup::fileNames())
        bytes += QFileInfo(dir + "/" + name).size();
    std::printf("backup of %.1f MB: start-of-day set %.0f ms (%s), longest wait of the event loop %.1f ms; "
                "set made now %.0f ms (%s); peak memory %ld MiB before the sets, %ld MiB after\n",
                bytes / 1e6, backgroundMs, background.ok ? "ok" : qPrintable(background.error), longestMs, nowMs,
                now.ok ? "ok" : qPrintable(now.error), peakBefore, peakAfter);
    QDir(Backup::folder(dir)).removeRecursively();
    return background.ok && now.ok ? 0 : 1;
}

} // namespace bench
