#include "data/clock.h"

#include <atomic>
#include <limits>

namespace Clock {

namespace {

constexpr qint64 kSystem = std::numeric_limits<qint64>::min();

// Milliseconds since the epoch, or kSystem: the backup worker reads it too.
std::atomic<qint64> &fixed()
{
    static std::atomic<qint64> ms{kSystem};
    return ms;
}

} // namespace

QDateTime now()
{
    const qint64 ms = fixed().load();
    return ms == kSystem ? QDateTime::currentDateTime() : QDateTime::fromMSecsSinceEpoch(ms);
}

QDate today() { return now().date(); }

void set(const QDateTime &t) { fixed().store(t.isValid() ? t.toMSecsSinceEpoch() : kSystem); }

void reset() { fixed().store(kSystem); }

} // namespace Clock
