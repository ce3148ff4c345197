// The whole program started as a user starts it: the real executable on a copy of a
// ledger, until its main window has run its show sequence and been painted.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include "bench_steps.h"

namespace bench {
namespace {

constexpr int kRuns = 5;
const char *const kFiles[] = {"qel_jz_m.dll", "qel_jz_f.dll", "qel_jz_u.dll"};

QString programPath()
{
    const QString set = qEnvironmentVariable("TALLYRUE_BENCH_PROGRAM");
    return set.isEmpty() ? QCoreApplication::applicationDirPath() + QStringLiteral("/../tallyrue") : set;
}

double median(QList<double> v)
{
    if (v.isEmpty())
        return -1;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

struct Start {
    double parentMs = -1;   // from the start of the process to its line, on this side
    double ownMs = -1;      // what the program read from its own start time
    double cpuMs = -1;      // processor time the program used, all its threads
    double peakMiB = -1;    // its peak memory by then
};

// One start of the program with the given home; -1 figures when it printed nothing.
Start startOnce(const QString &home)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/share"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/config"));
    env.insert(QStringLiteral("TALLYRUE_EXIT_WHEN_PAINTED"), QStringLiteral("1"));
    if (!env.contains(QStringLiteral("QT_QPA_PLATFORM")))
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::SeparateChannels);
    p.setStandardErrorFile(QProcess::nullDevice());
    Start s;
    QElapsedTimer t;
    t.start();
    p.start(programPath(), {});
    QByteArray out;
    while (!out.contains('\n') && p.waitForReadyRead(60000))
        out += p.readAllStandardOutput();
    const double ms = t.nsecsElapsed() / 1e6;
    if (!p.waitForFinished(60000))
        p.kill();
    const QByteArray line = out.trimmed();
    if (line.startsWith("painted ")) {
        s.parentMs = ms;
        const QList<QByteArray> words = line.split(' ');
        s.ownMs = words.value(1).toDouble();
        s.cpuMs = words.value(3).toDouble();
        s.peakMiB = words.value(5).toDouble();
    } else {
        std::fprintf(stderr, "start-up: no line from %s (%s)\n", qPrintable(programPath()), line.constData());
    }
    return s;
}

// Median figures of kRuns starts; the first start of an empty home creates the files
// and is not counted.
Start medianStart(const QString &ledgerDir)
{
    QTemporaryDir home(QDir::tempPath() + QStringLiteral("/tallyrue-bench-home-XXXXXX"));
    const QString data = home.path() + QStringLiteral("/share/Tallyrue");
    QDir().mkpath(data);
    if (ledgerDir.isEmpty()) {
        startOnce(home.path());
    } else {
        for (const char *f : kFiles)
            QFile::copy(ledgerDir + QLatin1Char('/') + QLatin1String(f), data + QLatin1Char('/') + QLatin1String(f));
    }
    QList<double> parent, own, cpu, peak;
    for (int i = 0; i < kRuns; ++i) {
        const Start s = startOnce(home.path());
        parent << s.parentMs;
        own << s.ownMs;
        cpu << s.cpuMs;
        peak << s.peakMiB;
    }
    return {median(parent), median(own), median(cpu), median(peak)};
}

} // namespace

void runStartUpSteps(const QString &ledgerDir, Results &r)
{
    const Start empty = medianStart(QString());
    const Start full = medianStart(ledgerDir);
    r.add(QStringLiteral("start-up, empty ledger"), empty.parentMs);
    r.add(QStringLiteral("start-up"), full.parentMs);
    r.add(QStringLiteral("start-up, program's own clock"), full.ownMs);
    r.add(QStringLiteral("start-up CPU, empty ledger"), empty.cpuMs);
    r.add(QStringLiteral("start-up CPU"), full.cpuMs);
    r.add(QStringLiteral("start-up peak MiB"), full.peakMiB);
    r.add(QStringLiteral("start-up ratio to empty"), empty.parentMs > 0 ? full.parentMs / empty.parentMs : -1);
}

} // namespace bench
