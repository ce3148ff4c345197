#pragma once
// One integer read straight from the engine, for the checks that must not go through a
// Query (the state of a file, the size of a ledger).
struct sqlite3;

// The first column of the first row `sql` gives, as an integer; -1 when there is none.
long long engineScalar(sqlite3 *db, const char *sql);
