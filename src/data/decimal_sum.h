#pragma once
#include <memory>
#include <string>
struct sqlite3;

// sum() over amount text, exact in decimal: the engine's float sum drifts over many rows.
// Replaces the built-in one-argument sum() on the connection. Each value counts as the
// engine reads it ("1e3" is 1000, " 12 " is 12, "12abc" is 12, "abc" is 0), summed
// exactly. The result is the decimal text with no trailing zeros ("3.75", "150", "0.3"),
// NULL when no value contributed, and an error when a value is beyond what the engine
// can read as a finite number.
void registerDecimalSum(sqlite3 *db);

// The same exact sum outside the engine, for amount texts already in memory. Adding the
// values of a column here gives the text the registered sum() gives for them, in any order.
class DecimalSum
{
public:
    DecimalSum();
    ~DecimalSum();
    DecimalSum(const DecimalSum &other);
    DecimalSum &operator=(const DecimalSum &other);

    void addText(const char *text, int bytes);   // one non-NULL text value
    bool any() const;                            // false: the sum is NULL
    bool outOfRange() const;                     // the engine would fail the sum
    std::string text() const;                    // when any() and not outOfRange()

private:
    struct State;
    std::unique_ptr<State> m;
};
