#include "data/decimal_sum.h"

#include <sqlcipher/sqlite3.h>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace {

using i128 = __int128;

// Amounts are summed in decimal. The common case (a plain amount with at most 18
// decimals) adds into one 128-bit mantissa; anything wider, or a sum that would leave
// the mantissa's range, goes into one counter per decimal place, which cannot overflow.
constexpr int kMaxScale = 18;
constexpr int kMaxDigits = 36;   // a mantissa below 10^37 leaves room for one more addend
// Decimal places the wide sum keeps: 10^-kLowPlace .. 10^kHighPlace. The engine reads a
// value beyond 10^308 as infinite and a digit below 10^-324 as nothing.
constexpr int kLowPlace = 324;
constexpr int kHighPlace = 308;

constexpr i128 pow10(int n)
{
    i128 r = 1;
    while (n-- > 0)
        r *= 10;
    return r;
}
constexpr i128 kLimit = pow10(kMaxDigits + 1);

struct Wide {
    std::vector<int64_t> place = std::vector<int64_t>(size_t(kLowPlace + kHighPlace + 1), 0);
    void add(int pos, int digit)
    {
        place[size_t(pos + kLowPlace)] += digit;
    }
};

struct Acc {
    i128 mant;
    int scale;
    bool any;
    bool outOfRange;
    Wide *wide;   // allocated when first needed, freed in final()
};

// A number as the engine reads it from the front of a text: blanks, a sign, digits with
// at most one point, an exponent when digits follow the "e"; whatever follows is ignored,
// and a text without digits reads as zero.
struct Number {
    bool neg = false;
    const unsigned char *intBegin = nullptr, *intEnd = nullptr;   // digits before the point
    const unsigned char *fracBegin = nullptr, *fracEnd = nullptr; // digits after it
    long exp = 0;
};

bool isSpace(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool isDigit(unsigned char c) { return c >= '0' && c <= '9'; }

Number scan(const unsigned char *s, int n)
{
    const unsigned char *p = s, *end = s + n;
    Number v;
    while (p < end && isSpace(*p))
        ++p;
    if (p < end && (*p == '-' || *p == '+')) {
        v.neg = *p == '-';
        ++p;
    }
    v.intBegin = p;
    while (p < end && isDigit(*p))
        ++p;
    v.intEnd = p;
    v.fracBegin = v.fracEnd = p;
    if (p < end && *p == '.') {
        v.fracBegin = ++p;
        while (p < end && isDigit(*p))
            ++p;
        v.fracEnd = p;
    }
    if (v.intBegin == v.intEnd && v.fracBegin == v.fracEnd)
        return Number{};   // no digits: zero
    if (p < end && (*p == 'e' || *p == 'E')) {
        const unsigned char *q = p + 1;
        bool eneg = false;
        if (q < end && (*q == '-' || *q == '+')) {
            eneg = *q == '-';
            ++q;
        }
        long e = 0;
        bool digits = false;
        for (; q < end && isDigit(*q); ++q) {
            digits = true;
            e = e < 100000 ? e * 10 + (*q - '0') : e;
        }
        if (digits)
            v.exp = eneg ? -e : e;
    }
    return v;
}

// Each digit of v at its decimal place (10^place), most significant first.
template <typename F>
void forEachDigit(const Number &v, F &&f)
{
    long place = long(v.intEnd - v.intBegin) - 1 + v.exp;
    for (const unsigned char *p = v.intBegin; p < v.intEnd; ++p, --place)
        f(place, *p - '0');
    for (const unsigned char *p = v.fracBegin; p < v.fracEnd; ++p, --place)
        f(place, *p - '0');
}

// v as mantissa * 10^-scale when that fits the narrow sum.
bool narrow(const Number &v, i128 &mant, int &scale)
{
    // Leading zeros and trailing zeros after the point carry nothing.
    const unsigned char *ib = v.intBegin;
    while (ib < v.intEnd && *ib == '0')
        ++ib;
    const unsigned char *fe = v.fracEnd;
    while (fe > v.fracBegin && fe[-1] == '0')
        --fe;
    const long fracDigits = long(fe - v.fracBegin);
    long sc = fracDigits - v.exp;
    const unsigned char *fb = v.fracBegin;
    if (ib == v.intEnd)   // "0.00x": leading zeros of the fraction carry nothing either
        while (fb < fe && *fb == '0')
            ++fb;
    const long significant = long(v.intEnd - ib) + long(fe - fb);
    if (significant == 0) {
        mant = 0;
        scale = 0;
        return true;
    }
    if (sc > kMaxScale || significant + (sc < 0 ? -sc : 0) > kMaxDigits)
        return false;
    i128 m = 0;
    for (const unsigned char *p = ib; p < v.intEnd; ++p)
        m = m * 10 + (*p - '0');
    for (const unsigned char *p = fb; p < fe; ++p)
        m = m * 10 + (*p - '0');
    if (sc < 0) {
        m *= pow10(int(-sc));
        sc = 0;
    }
    mant = v.neg ? -m : m;
    scale = int(sc);
    return true;
}

// The engine's aggregate memory is aligned for 8 bytes only; the 128-bit mantissa wants 16.
Acc *accOf(sqlite3_context *ctx, bool create)
{
    void *raw = sqlite3_aggregate_context(ctx, create ? int(sizeof(Acc) + alignof(Acc)) : 0);
    if (!raw)
        return nullptr;
    const auto at = reinterpret_cast<std::uintptr_t>(raw);
    return reinterpret_cast<Acc *>((at + alignof(Acc) - 1) & ~std::uintptr_t(alignof(Acc) - 1));
}

Wide &wideOf(Acc *acc)
{
    if (!acc->wide)
        acc->wide = new Wide;
    return *acc->wide;
}

void addWide(Acc *acc, const Number &v)
{
    Wide &w = wideOf(acc);
    const int sign = v.neg ? -1 : 1;
    forEachDigit(v, [&](long place, int digit) {
        if (digit == 0 || place < -kLowPlace)
            return;
        if (place > kHighPlace) {
            acc->outOfRange = true;
            return;
        }
        w.add(int(place), sign * digit);
    });
}

// Moves the narrow sum into the wide one.
void spill(Acc *acc)
{
    if (acc->mant == 0)
        return;
    Wide &w = wideOf(acc);
    const int sign = acc->mant < 0 ? -1 : 1;
    i128 m = acc->mant < 0 ? -acc->mant : acc->mant;
    for (int place = -acc->scale; m > 0; ++place, m /= 10)
        w.add(place, sign * int(m % 10));
    acc->mant = 0;
}

// |x| * 10^k stays below the limit (checked before multiplying).
bool scalesWithin(i128 x, int k)
{
    if (x < 0)
        x = -x;
    return x <= kLimit / pow10(k);
}

void addNarrow(Acc *acc, i128 m, int sc)
{
    const int target = acc->scale > sc ? acc->scale : sc;
    if (!scalesWithin(acc->mant, target - acc->scale) || !scalesWithin(m, target - sc)) {
        spill(acc);
        acc->scale = sc;
        acc->mant = m;
        return;
    }
    acc->mant = acc->mant * pow10(target - acc->scale) + m * pow10(target - sc);
    acc->scale = target;
    if (acc->mant >= kLimit || acc->mant <= -kLimit)
        spill(acc);
}

void addNumber(Acc *acc, const Number &v)
{
    i128 m = 0;
    int sc = 0;
    if (narrow(v, m, sc))
        addNarrow(acc, m, sc);
    else
        addWide(acc, v);
}

void step(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    Acc *acc = accOf(ctx, true);
    if (!acc)
        return;
    sqlite3_value *v = argv[0];
    const int type = sqlite3_value_type(v);
    if (type == SQLITE_NULL)
        return;
    acc->any = true;
    if (type == SQLITE_INTEGER) {
        addNarrow(acc, sqlite3_value_int64(v), 0);
        return;
    }
    if (type == SQLITE_FLOAT) {
        // A float written by another tool counts as the shortest decimal that reads back
        // as the same float (0.1, not 0.1000000000000000055...).
        const double d = sqlite3_value_double(v);
        if (!std::isfinite(d)) {
            acc->outOfRange = true;
            return;
        }
        char buf[64];
        const auto r = std::to_chars(buf, buf + sizeof buf, d);
        addNumber(acc, scan(reinterpret_cast<const unsigned char *>(buf), int(r.ptr - buf)));
        return;
    }
    const unsigned char *t = sqlite3_value_text(v);
    if (!t)
        return;
    addNumber(acc, scan(t, sqlite3_value_bytes(v)));
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
    std::string intPart = digits.substr(0, digits.size() - size_t(scale));
    std::string frac = digits.substr(digits.size() - size_t(scale));
    while (!frac.empty() && frac.back() == '0')
        frac.pop_back();
    std::string out = intPart;
    if (!frac.empty())
        out += "." + frac;
    if (neg && out != "0")
        out.insert(out.begin(), '-');
    return out;
}

// The wide sum as decimal text, in the same form as decimalText.
std::string wideText(const Wide &w)
{
    // Carry upwards with floor division; a negative carry out of the top means the total
    // is negative, and then the negated counters give its magnitude.
    auto normalise = [](const std::vector<int64_t> &in, int sign, std::vector<int> &out) {
        out.clear();
        int64_t carry = 0;
        for (int64_t c : in) {
            const int64_t v = sign * c + carry;
            int64_t d = v % 10;
            carry = v / 10;
            if (d < 0) {
                d += 10;
                --carry;
            }
            out.push_back(int(d));
        }
        while (carry > 0) {
            out.push_back(int(carry % 10));
            carry /= 10;
        }
        return carry;   // negative when the total is below zero
    };
    std::vector<int> digits;   // digits[i] is the place i - kLowPlace
    bool neg = false;
    if (normalise(w.place, 1, digits) < 0) {
        neg = true;
        normalise(w.place, -1, digits);
    }
    int top = int(digits.size()) - 1;
    while (top > kLowPlace && digits[size_t(top)] == 0)
        --top;
    int bottom = 0;
    while (bottom < kLowPlace && digits[size_t(bottom)] == 0)
        ++bottom;
    std::string out;
    for (int i = top; i >= kLowPlace; --i)
        out += char('0' + digits[size_t(i)]);
    if (bottom < kLowPlace) {
        out += '.';
        for (int i = kLowPlace - 1; i >= bottom; --i)
            out += char('0' + digits[size_t(i)]);
    }
    if (neg && out != "0")
        out.insert(out.begin(), '-');
    return out;
}

void final(sqlite3_context *ctx)
{
    Acc *acc = accOf(ctx, false);
    if (!acc || !acc->any) {
        sqlite3_result_null(ctx);
        return;
    }
    if (acc->outOfRange) {
        sqlite3_result_error(ctx, "金额合计超出可计算的范围", -1);
    } else if (!acc->wide) {
        const std::string s = decimalText(acc->mant, acc->scale);
        sqlite3_result_text(ctx, s.c_str(), int(s.size()), SQLITE_TRANSIENT);
    } else {
        spill(acc);
        const std::string s = wideText(*acc->wide);
        sqlite3_result_text(ctx, s.c_str(), int(s.size()), SQLITE_TRANSIENT);
    }
    delete acc->wide;
    acc->wide = nullptr;
}

} // namespace

struct DecimalSum::State {
    Acc acc{0, 0, false, false, nullptr};
    State() = default;
    State(const State &o) : acc(o.acc)
    {
        if (o.acc.wide)
            acc.wide = new Wide(*o.acc.wide);
    }
    ~State() { delete acc.wide; }
};

DecimalSum::DecimalSum() : m(new State) {}
DecimalSum::~DecimalSum() = default;
DecimalSum::DecimalSum(const DecimalSum &o) : m(new State(*o.m)) {}
DecimalSum &DecimalSum::operator=(const DecimalSum &o)
{
    if (this != &o)
        m.reset(new State(*o.m));
    return *this;
}

void DecimalSum::addText(const char *text, int bytes)
{
    m->acc.any = true;
    addNumber(&m->acc, scan(reinterpret_cast<const unsigned char *>(text), bytes));
}

bool DecimalSum::any() const { return m->acc.any; }
bool DecimalSum::outOfRange() const { return m->acc.outOfRange; }

std::string DecimalSum::text() const
{
    if (!m->acc.wide)
        return decimalText(m->acc.mant, m->acc.scale);
    State copy(*m);
    spill(&copy.acc);
    return wideText(*copy.acc.wide);
}

void registerDecimalSum(sqlite3 *db)
{
    sqlite3_create_function(db, "sum", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, nullptr,
                            step, final);
}
