#include "app/paint_probe.h"

#include <QCoreApplication>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>
#include "app/after_first_paint.h"
#include "app/main_window.h"

namespace PaintProbe {
namespace {

// Milliseconds since the kernel started this process (field 22 of /proc/self/stat).
double msSinceProcessStart()
{
    std::ifstream stat("/proc/self/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    // The command name may hold blanks; the fields after it are counted from its ')'.
    const auto close = text.rfind(')');
    if (close == std::string::npos)
        return -1;
    std::istringstream rest(text.substr(close + 2));
    std::string field;
    unsigned long long start = 0;
    for (int i = 3; i <= 22 && rest >> field; ++i)
        if (i == 22)
            start = std::stoull(field);
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    const double startMs = double(start) * 1000.0 / double(sysconf(_SC_CLK_TCK));
    return now.tv_sec * 1000.0 + now.tv_nsec / 1e6 - startMs;
}

// User and system time of the whole process so far (all its threads).
double cpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec * 1000.0 + t.tv_nsec / 1e6;
}

// The peak resident size of the process so far, in MiB (VmHWM).
double peakMiB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stod(line.substr(6)) / 1024.0;
    return -1;
}

} // namespace

bool installIfAsked(Tmain *main)
{
    if (!qEnvironmentVariableIsSet("TALLYRUE_EXIT_WHEN_PAINTED"))
        return false;
    // The first paint once the whole show sequence (with the first book refresh) has run.
    afterFirstPaint(main, [main] { return main->showSequenceDone(); }, [] {
        std::printf("painted %.1f cpu %.1f peak %.1f\n", msSinceProcessStart(), cpuMs(), peakMiB());
        std::fflush(stdout);
        QCoreApplication::exit(0);
    });
    return true;
}

} // namespace PaintProbe
