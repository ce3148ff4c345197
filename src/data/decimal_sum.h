#pragma once
struct sqlite3;

// sum() over amount text, exact in decimal: the engine's float sum drifts over many rows.
// Replaces the built-in one-argument sum() on the connection. Each value counts as the
// engine reads it ("1e3" is 1000, " 12 " is 12, "12abc" is 12, "abc" is 0), summed
// exactly. The result is the decimal text with no trailing zeros ("3.75", "150", "0.3"),
// NULL when no value contributed, and an error when a value is beyond what the engine
// can read as a finite number.
void registerDecimalSum(sqlite3 *db);
