#pragma once
#include <QString>

class TDataModule2;

// The one-time upgrade of column types, due when check.ini holds exactly "1".
namespace Upgrade {

// Runs the upgrade when due and then writes "0". Returns true when it ran.
// Throws DbError on failure; "1" then stays and each file keeps its data as it was.
bool runIfDue(TDataModule2 &dm, const QString &checkIniPath);

// The column changes alone (for tests and the due case).
void run(TDataModule2 &dm);

} // namespace Upgrade
