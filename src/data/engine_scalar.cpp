#include "data/engine_scalar.h"

#include <sqlcipher/sqlite3.h>

long long engineScalar(sqlite3 *db, const char *sql)
{
    sqlite3_stmt *st = nullptr;
    long long v = -1;
    if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
        v = sqlite3_column_int64(st, 0);
    sqlite3_finalize(st);
    return v;
}
