#pragma once
// The detail lines of one entry, as the detail window lists them.
#include <QString>

class TDataModule2;

namespace DetailList {

// Runs the list query for the entry: its lines only (ua6 equal to the key), newest first.
void load(TDataModule2 &dm, const QString &entryKey);

// Makes the listed line with this uaid the current one; false when it is not listed.
bool select(TDataModule2 &dm, const QString &uaid);

} // namespace DetailList
