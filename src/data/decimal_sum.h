#pragma once
struct sqlite3;

// sum() over amount text, exact in decimal: the engine's float sum drifts over many rows.
// Replaces the built-in one-argument sum() on the connection. The result is the decimal
// text with no trailing zeros ("3.75", "150", "0.3"), or NULL when no value contributed.
void registerDecimalSum(sqlite3 *db);
