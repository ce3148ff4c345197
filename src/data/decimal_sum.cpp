#include "data/decimal_sum.h"

#include <sqlcipher/sqlite3.h>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

namespace {

using i128 = __int128;

// Running total: mantissa * 10^-scale, plus a float part for values that are not
// plain decimals (the engine's own reading of odd text such as "1e3" or "12abc").
struct Acc {
    i128 mant;
    int scale;
    double extra;
    bool any;
    bool hasExtra;
    bool overflow;
};

constexpr int kMaxScale = 18;

constexpr i128 pow10(int n)
{
    i128 r = 1;
    while (n-- > 0)
        r *= 10;
    return r;
}

// Beyond this the running total goes over to the float part. A constant: the sums of a
// large book call step() millions of times.
constexpr i128 kLimit = pow10(36);

// Plain decimal: optional sign, digits, optional point and digits. Leading and
// trailing blanks are allowed, as the engine allows them.
bool parseDecimal(const unsigned char *s, int n, i128 &mant, int &scale)
{
    int i = 0;
    while (i < n && (s[i] == ' ' || s[i] == '\t'))
        ++i;
    while (n > i && (s[n - 1] == ' ' || s[n - 1] == '\t'))
        --n;
    bool neg = false;
    if (i < n && (s[i] == '-' || s[i] == '+')) {
        neg = s[i] == '-';
        ++i;
    }
    // Amounts have few digits: they are gathered in 64 bits, and only a long one goes on
    // in 128 bits.
    uint64_t head = 0;
    i128 m = 0;
    bool wide = false;
    int digits = 0, sc = 0;
    bool point = false;
    for (; i < n; ++i) {
        const unsigned char c = s[i];
        if (c >= '0' && c <= '9') {
            if (point) {
                if (sc == kMaxScale)
                    return false;
                ++sc;
            }
            if (!wide && digits < 18) {
                head = head * 10 + (c - '0');
            } else {
                if (!wide) {
                    m = i128(head);
                    wide = true;
                }
                if (m > (i128(1) << 100))
                    return false;
                m = m * 10 + (c - '0');
            }
            ++digits;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            return false;
        }
    }
    if (digits == 0)
        return false;
    if (!wide)
        m = i128(head);
    mant = neg ? -m : m;
    scale = sc;
    return true;
}

void step(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    auto *acc = static_cast<Acc *>(sqlite3_aggregate_context(ctx, sizeof(Acc)));
    if (!acc)
        return;
    sqlite3_value *v = argv[0];
    const int type = sqlite3_value_type(v);
    if (type == SQLITE_NULL)
        return;
    acc->any = true;
    i128 m = 0;
    int sc = 0;
    bool exact = false;
    if (type == SQLITE_INTEGER) {
        m = sqlite3_value_int64(v);
        exact = true;
    } else if (type == SQLITE_TEXT) {
        const unsigned char *t = sqlite3_value_text(v);
        exact = parseDecimal(t, sqlite3_value_bytes(v), m, sc);
    }
    if (!exact || acc->overflow) {
        acc->extra += sqlite3_value_double(v);
        acc->hasExtra = true;
        return;
    }
    if (sc > acc->scale) {
        acc->mant *= pow10(sc - acc->scale);
        acc->scale = sc;
    } else if (sc < acc->scale) {
        m *= pow10(acc->scale - sc);
    }
    acc->mant += m;
    if (acc->mant > kLimit || acc->mant < -kLimit)
        acc->overflow = true;
}

std::string decimalText(i128 mant, int scale)
{
    const bool neg = mant < 0;
    if (neg)
        mant = -mant;
    std::string digits;
    do {
        digits.insert(digits.begin(), char('0' + int(mant % 10)));
        mant /= 10;
    } while (mant > 0);
    while (int(digits.size()) <= scale)
        digits.insert(digits.begin(), '0');
    std::string intPart = digits.substr(0, digits.size() - scale);
    std::string frac = digits.substr(digits.size() - scale);
    while (!frac.empty() && frac.back() == '0')
        frac.pop_back();
    std::string out = intPart;
    if (!frac.empty())
        out += "." + frac;
    if (neg && out != "0")
        out.insert(out.begin(), '-');
    return out;
}

void final(sqlite3_context *ctx)
{
    auto *acc = static_cast<Acc *>(sqlite3_aggregate_context(ctx, 0));
    if (!acc || !acc->any) {
        sqlite3_result_null(ctx);
        return;
    }
    if (acc->hasExtra) {
        const double d = double(acc->mant) / std::pow(10.0, acc->scale) + acc->extra;
        sqlite3_result_double(ctx, d);
        return;
    }
    const std::string s = decimalText(acc->mant, acc->scale);
    sqlite3_result_text(ctx, s.c_str(), int(s.size()), SQLITE_TRANSIENT);
}

} // namespace

void registerDecimalSum(sqlite3 *db)
{
    sqlite3_create_function(db, "sum", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, nullptr,
                            step, final);
}
