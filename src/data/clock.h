#pragma once
// The one clock the data layer and the printed pages read: set names, "a set of today",
// the bin's stamps and clean-up, the date on a report. Tests fix it so nothing they compare
// with "today" can change under them at midnight.
#include <QDate>
#include <QDateTime>

namespace Clock {

QDateTime now();
QDate today();

// Tests only: every read returns `t` until reset(). Safe to read from any thread.
void set(const QDateTime &t);
void reset();

} // namespace Clock
