#include "data/counterparty_balances.h"

#include <QRegularExpression>
#include <sqlcipher/sqlite3.h>
#include <algorithm>
#include <climits>
#include <string>
#include <string_view>
#include <unordered_map>
#include "data/connection.h"
#include "data/db_error.h"
#include "data/decimal_sum.h"

namespace wanglai {

namespace {

constexpr qint64 kNoDate = LLONG_MIN;

QString textOf(const DecimalSum &sum)
{
    if (sum.outOfRange())
        throw DbError(QStringLiteral("金额合计超出可计算的范围"));
    return sum.any() ? QString::fromStdString(sum.text()) : QStringLiteral("0");
}

void addTo(DecimalSum &sum, const QString &text)
{
    const QByteArray b = text.toUtf8();
    sum.addText(b.constData(), int(b.size()));
}

// A statement stepped by hand; finalized whatever happens.
struct Stmt {
    Connection &c;
    sqlite3_stmt *st;
    Stmt(Connection &conn, const QString &sql, const Params &params) : c(conn), st(conn.prepare(sql, params)) {}
    ~Stmt() { sqlite3_finalize(st); }
    bool next()
    {
        const int rc = sqlite3_step(st);
        if (rc == SQLITE_ROW)
            return true;
        if (rc != SQLITE_DONE)
            c.fail();
        return false;
    }
    bool isNull(int col) const { return sqlite3_column_type(st, col) == SQLITE_NULL; }
    std::string_view bytes(int col) const
    {
        const auto *p = reinterpret_cast<const char *>(sqlite3_column_text(st, col));
        return p ? std::string_view(p, size_t(sqlite3_column_bytes(st, col))) : std::string_view();
    }
    QString text(int col) const
    {
        if (isNull(col))
            return QString();
        const std::string_view b = bytes(col);
        return QString::fromUtf8(b.data(), qsizetype(b.size()));
    }
};

QString scopeFilter(const QString &bookKey)
{
    return bookKey.isEmpty() ? QString() : QStringLiteral(" where b14 = :key");
}

Params scopeParams(const QString &bookKey)
{
    return bookKey.isEmpty() ? Params{} : Params{{QStringLiteral(":key"), bookKey}};
}

struct TextHash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
};
template <typename T>
using TextMap = std::unordered_map<std::string, T, TextHash, std::equal_to<>>;

// Each distinct text is looked at once.
struct Lookups {
    TextMap<qint64> days;      // date text -> julian day or kNoDate
    TextMap<QString> parties;  // counterparty text -> trimmed

    qint64 dayOf(std::string_view raw, bool null)
    {
        if (null)
            return kNoDate;
        auto it = days.find(raw);
        if (it == days.end()) {
            const QDate d = dateOf(QString::fromUtf8(raw.data(), qsizetype(raw.size())));
            it = days.emplace(std::string(raw), d.isValid() ? d.toJulianDay() : kNoDate).first;
        }
        return it->second;
    }
    const QString &partyOf(std::string_view raw)
    {
        auto it = parties.find(raw);
        if (it == parties.end())
            it = parties.emplace(std::string(raw), QString::fromUtf8(raw.data(), qsizetype(raw.size())).trimmed()).first;
        return it->second;
    }
};

} // namespace

QString unnamedCaption() { return QStringLiteral("(未填)"); }

bool Balance::isZero() const
{
    return compare(sums[Receivable], QStringLiteral("0")) == 0 && compare(sums[Payable], QStringLiteral("0")) == 0;
}

QDate dateOf(const QString &stored)
{
    static const QRegularExpression form(QStringLiteral("^([0-9]{4})-( [0-9]|[0-9]{1,2})-( [0-9]|[0-9]{1,2})$"));
    const QRegularExpressionMatch m = form.match(stored);
    if (!m.hasMatch())
        return QDate();
    return QDate(m.captured(1).toInt(), m.captured(2).trimmed().toInt(), m.captured(3).trimmed().toInt());
}

Bucket bucketOf(qint64 days)
{
    if (days <= 30)
        return Days30;
    if (days <= 60)
        return Days60;
    if (days <= 90)
        return Days90;
    return Older;
}

QString add(const QString &a, const QString &b)
{
    DecimalSum s;
    addTo(s, a);
    addTo(s, b);
    return textOf(s);
}

int compare(const QString &a, const QString &b)
{
    DecimalSum s;
    addTo(s, a);
    const QString negB = add(b, QStringLiteral("0"));
    addTo(s, negB.startsWith(QLatin1Char('-')) ? negB.mid(1) : QLatin1Char('-') + negB);
    const QString d = textOf(s);
    if (d == QLatin1String("0"))
        return 0;
    return d.startsWith(QLatin1Char('-')) ? -1 : 1;
}

QString money(const QString &amount)
{
    // A plain decimal: an optional minus, digits, optionally a point and digits.
    const qsizetype n = amount.size();
    qsizetype i = n > 0 && amount[0] == QLatin1Char('-') ? 1 : 0;
    const qsizetype digitsFrom = i;
    while (i < n && amount[i].unicode() >= '0' && amount[i].unicode() <= '9')
        ++i;
    if (i == digitsFrom)
        return amount;
    qsizetype decimals = -1;
    if (i < n && amount[i] == QLatin1Char('.')) {
        const qsizetype point = i++;
        while (i < n && amount[i].unicode() >= '0' && amount[i].unicode() <= '9')
            ++i;
        decimals = i - point - 1;
    }
    if (i != n)
        return amount;
    if (decimals < 0)
        return amount + QStringLiteral(".00");
    return decimals >= 2 ? amount : amount + QString(2 - decimals, QLatin1Char('0'));
}

std::shared_ptr<HeldRows> HeldRows::of(const QStringList &fields, std::shared_ptr<const RowSource> rows,
                                       const std::vector<int> &order, const QString &key)
{
    auto h = std::make_shared<HeldRows>();
    h->rows = std::move(rows);
    h->order = order;
    h->bookKey = key;
    h->bid = int(fields.indexOf(QStringLiteral("bid")));
    h->kind = int(fields.indexOf(QStringLiteral("b1")));
    h->date = int(fields.indexOf(QStringLiteral("b2")));
    h->summary = int(fields.indexOf(QStringLiteral("b3")));
    h->party = int(fields.indexOf(QStringLiteral("b4")));
    const char *const names[] = {"b5", "b6", "b7", "b8", "b9", "b10"};
    for (int k = 0; k < AmountCount; ++k)
        h->amounts[k] = int(fields.indexOf(QString::fromLatin1(names[k])));
    if (!h->rows || h->bid < 0 || h->kind < 0 || h->date < 0 || h->summary < 0 || h->party < 0)
        return nullptr;
    for (int k = 0; k < AmountCount; ++k)
        if (h->amounts[k] < 0)
            return nullptr;
    return h;
}

namespace {

// One entry as a pass sees it: texts as the engine gives them, empty views for NULL.
struct Cells {
    std::string_view date, party, amounts[AmountCount];
    bool dateNull = true, amountNull[AmountCount]{true, true, true, true, true, true};
};

// More than half of the entries belong to the book: one pass over the whole table is then
// quicker than one through the book's index.
bool mostOfTable(Connection &c, const QString &bookKey)
{
    Stmt max(c, QStringLiteral("select coalesce(max(bid), 0) from jz_ab"), {});
    const qint64 half = max.next() ? sqlite3_column_int64(max.st, 0) / 2 : 0;
    if (half <= 0)
        return false;
    Stmt rows(c, QStringLiteral("select count(*) from (select 1 from jz_ab where b14 = :key limit cast(:half as integer))"),
              {{QStringLiteral(":key"), bookKey}, {QStringLiteral(":half"), QString::number(half + 1)}});
    return rows.next() && sqlite3_column_int64(rows.st, 0) > half;
}

// The common amount text ("-12.5", "300", "0.07") as a whole number of cents, added up
// without the general decimal code; anything else is left to it.
bool plainCents(std::string_view t, __int128 &cents)
{
    size_t i = 0;
    const bool negative = !t.empty() && t[0] == '-';
    if (negative)
        ++i;
    const size_t from = i;
    __int128 v = 0;
    while (i < t.size() && t[i] >= '0' && t[i] <= '9' && i - from < 18)
        v = v * 10 + (t[i++] - '0');
    if (i == from)
        return false;
    int decimals = 0;
    if (i < t.size() && t[i] == '.') {
        ++i;
        while (i < t.size() && t[i] >= '0' && t[i] <= '9' && decimals < 2) {
            v = v * 10 + (t[i++] - '0');
            ++decimals;
        }
    }
    if (i != t.size())
        return false;
    for (; decimals < 2; ++decimals)
        v *= 10;
    cents = negative ? -v : v;
    return true;
}

std::string centsText(__int128 cents)
{
    const bool negative = cents < 0;
    if (negative)
        cents = -cents;
    std::string digits;
    do {
        digits.insert(digits.begin(), char('0' + int(cents % 10)));
        cents /= 10;
    } while (cents > 0);
    while (digits.size() < 3)
        digits.insert(digits.begin(), '0');
    digits.insert(digits.end() - 2, '.');
    return negative ? '-' + digits : digits;
}

// An exact sum: cents of the plain texts, the rest through the decimal code.
struct Sum {
    __int128 cents = 0;
    DecimalSum other;
    void add(std::string_view t)
    {
        __int128 c;
        if (plainCents(t, c))
            cents += c;
        else
            other.addText(t.data(), int(t.size()));
    }
    QString text() const
    {
        DecimalSum all = other;
        const std::string c = centsText(cents);
        all.addText(c.data(), int(c.size()));
        return textOf(all);
    }
};

class SummaryBuilder
{
public:
    SummaryBuilder(const QDate &cutoff, const std::atomic<bool> *stop)
        : m_cutoffDay(cutoff.isValid() ? cutoff.toJulianDay() : LLONG_MAX), m_stop(stop)
    {
    }

    bool stopped() const { return m_stop && m_stop->load(std::memory_order_relaxed); }

    // The rows of a statement: bid, b2, b4, b5 .. b10.
    void addFile(Connection &c, const QString &sql, const Params &params)
    {
        Stmt st(c, sql, params);
        int n = 0;
        while (st.next()) {
            if ((++n & 4095) == 0 && stopped())
                return;
            Cells cells;
            cells.dateNull = st.isNull(1);
            cells.date = st.bytes(1);
            cells.party = st.isNull(2) ? std::string_view() : st.bytes(2);
            for (int k = 0; k < AmountCount; ++k) {
                cells.amountNull[k] = st.isNull(3 + k);
                cells.amounts[k] = st.bytes(3 + k);
            }
            const int i = add(cells);
            m_bids[size_t(i)].push_back(sqlite3_column_int64(st.st, 0));
        }
    }

    void addHeld(const HeldRows &h)
    {
        const RowSource &rows = *h.rows;
        auto view = [&](int row, int col) {
            const QByteArrayView b = rows.bytes(row, col);
            return std::string_view(b.data(), size_t(b.size()));
        };
        int n = 0;
        for (const int row : h.order) {
            if ((++n & 4095) == 0 && stopped())
                return;
            Cells cells;
            cells.dateNull = rows.isNull(row, h.date);
            cells.date = view(row, h.date);
            cells.party = rows.isNull(row, h.party) ? std::string_view() : view(row, h.party);
            for (int k = 0; k < AmountCount; ++k) {
                cells.amountNull[k] = rows.isNull(row, h.amounts[k]);
                cells.amounts[k] = view(row, h.amounts[k]);
            }
            const int i = add(cells);
            m_held[size_t(i)].push_back(row);
        }
    }

    Summary finish(std::shared_ptr<const HeldRows> held)
    {
        Summary out;
        auto index = std::make_shared<PartyIndex>();
        index->held = std::move(held);
        for (size_t i = 0; i < m_accs.size(); ++i) {
            const QString &name = m_names[qsizetype(i)];
            if (!m_bids[i].empty())
                index->bids.insert(name, std::move(m_bids[i]));
            if (!m_held[i].empty())
                index->heldRows.insert(name, std::move(m_held[i]));
            const Acc &a = m_accs[i];
            if (a.entries == 0)
                continue;   // only entries after the cut-off
            Balance b;
            b.party = name;
            for (int k = 0; k < AmountCount; ++k)
                b.sums[k] = a.sums[k].text();
            for (int k = 0; k < BucketCount; ++k)
                b.aging[k] = a.aging[k].text();
            b.entries = a.entries;
            b.undated = a.undated;
            out.undated += a.undated;
            out.parties.push_back(std::move(b));
        }
        std::stable_sort(out.parties.begin(), out.parties.end(), [](const Balance &x, const Balance &y) {
            const int byReceivable = compare(x.sums[Receivable], y.sums[Receivable]);
            if (byReceivable != 0)
                return byReceivable > 0;
            return x.party < y.party;
        });
        out.index = std::move(index);
        return out;
    }

private:
    struct Acc {
        Sum sums[AmountCount];
        Sum aging[BucketCount];
        int entries = 0;
        int undated = 0;
    };

    // NULL and empty text are both no counterparty.
    int accOf(std::string_view raw)
    {
        auto it = m_atRaw.find(raw);
        if (it != m_atRaw.end())
            return it->second;
        const QString party = m_look.partyOf(raw);
        int i = m_at.value(party, -1);
        if (i < 0) {
            i = int(m_accs.size());
            m_at.insert(party, i);
            m_accs.emplace_back();
            m_bids.emplace_back();
            m_held.emplace_back();
            m_names << party;
        }
        m_atRaw.emplace(std::string(raw), i);
        return i;
    }

    int add(const Cells &cells)
    {
        const int i = accOf(cells.party);
        const qint64 day = m_look.dayOf(cells.date, cells.dateNull);
        if (day != kNoDate && day > m_cutoffDay)
            return i;
        Acc &a = m_accs[size_t(i)];
        ++a.entries;
        for (int k = 0; k < AmountCount; ++k)
            if (!cells.amountNull[k])
                a.sums[k].add(cells.amounts[k]);
        if (day == kNoDate)
            ++a.undated;
        // Each b7 summed goes into exactly one bucket, so the four add up to the receivable.
        if (!cells.amountNull[Receivable]) {
            const Bucket bucket = day == kNoDate ? Older : bucketOf(m_cutoffDay - day);
            a.aging[bucket].add(cells.amounts[Receivable]);
        }
        return i;
    }

    qint64 m_cutoffDay;
    const std::atomic<bool> *m_stop;
    Lookups m_look;
    QHash<QString, int> m_at;   // trimmed name -> accumulator
    TextMap<int> m_atRaw;       // stored text -> accumulator
    std::vector<Acc> m_accs;
    std::vector<std::vector<qint64>> m_bids;
    std::vector<std::vector<int>> m_held;
    QStringList m_names;
};

} // namespace

Summary readSummary(Connection &c, const QString &bookKey, const QDate &cutoff, std::shared_ptr<const HeldRows> held,
                    const std::atomic<bool> *stop)
{
    const QString columns = QStringLiteral("select bid, b2, b4, b5, b6, b7, b8, b9, b10 from jz_ab");
    SummaryBuilder b(cutoff, stop);
    if (held && (bookKey.isEmpty() || held->bookKey == bookKey)) {
        b.addHeld(*held);
        // Every book: the others from the file, through the book index.
        if (bookKey.isEmpty()) {
            const Params key{{QStringLiteral(":key"), held->bookKey}};
            b.addFile(c, columns + QStringLiteral(" where b14 < :key"), key);
            b.addFile(c, columns + QStringLiteral(" where b14 > :key"), key);
            b.addFile(c, columns + QStringLiteral(" where b14 is null"), {});
        }
    } else {
        held.reset();
        if (bookKey.isEmpty())
            b.addFile(c, columns, {});
        else
            // "+b14" keeps the engine off the book's index when one pass over all is quicker.
            b.addFile(c, columns + (mostOfTable(c, bookKey) ? QStringLiteral(" where +b14 = :key") : QStringLiteral(" where b14 = :key")),
                      scopeParams(bookKey));
    }
    Summary out = b.finish(std::move(held));
    out.bookKey = bookKey;
    out.cutoff = cutoff;
    return out;
}

Balance totalOf(const std::vector<Balance> &parties, bool hideZero)
{
    DecimalSum sums[AmountCount], aging[BucketCount];
    Balance t;
    for (const Balance &b : parties) {
        if (hideZero && b.isZero())
            continue;
        for (int k = 0; k < AmountCount; ++k)
            addTo(sums[k], b.sums[k]);
        for (int k = 0; k < BucketCount; ++k)
            addTo(aging[k], b.aging[k]);
        t.entries += b.entries;
        t.undated += b.undated;
    }
    for (int k = 0; k < AmountCount; ++k)
        t.sums[k] = textOf(sums[k]);
    for (int k = 0; k < BucketCount; ++k)
        t.aging[k] = textOf(aging[k]);
    return t;
}

Statement readStatement(Connection &c, const QString &bookKey, const QString &party, const QDate &fromDate,
                        const QDate &to, const PartyIndex *index)
{
    struct Row {
        qint64 bid;
        qint64 day;
        StatementLine line;
    };
    std::vector<Row> rows;
    Lookups look;
    auto take = [&](const Stmt &st) {
        // bid, b1, b2, b3, b4, b5 .. b10, b14
        if (look.partyOf(st.isNull(4) ? std::string_view() : st.bytes(4)) != party)
            return;
        if (!bookKey.isEmpty() && st.text(11) != bookKey)
            return;
        Row r;
        r.bid = sqlite3_column_int64(st.st, 0);
        r.day = look.dayOf(st.bytes(2), st.isNull(2));
        r.line.bid = st.text(0);
        r.line.kind = st.text(1);
        r.line.date = st.text(2);
        r.line.summary = st.text(3);
        for (int k = 0; k < AmountCount; ++k)
            r.line.amounts[k] = st.text(5 + k);
        r.line.undated = r.day == kNoDate;
        rows.push_back(std::move(r));
    };
    const QString columns = QStringLiteral("select bid, b1, b2, b3, b4, b5, b6, b7, b8, b9, b10, b14 from jz_ab");
    if (index) {
        if (const HeldRows *h = index->held.get()) {
            const RowSource &src = *h->rows;
            auto text = [&](int row, int col) {
                if (src.isNull(row, col))
                    return QString();
                const QByteArrayView v = src.bytes(row, col);
                return QString::fromUtf8(v.data(), v.size());
            };
            for (const int row : index->heldRows.value(party)) {
                Row r;
                r.bid = QByteArrayView(src.bytes(row, h->bid)).toLongLong();
                const QByteArrayView d = src.bytes(row, h->date);
                r.day = look.dayOf(std::string_view(d.data(), size_t(d.size())), src.isNull(row, h->date));
                r.line.bid = text(row, h->bid);
                r.line.kind = text(row, h->kind);
                r.line.date = text(row, h->date);
                r.line.summary = text(row, h->summary);
                for (int k = 0; k < AmountCount; ++k)
                    r.line.amounts[k] = text(row, h->amounts[k]);
                r.line.undated = r.day == kNoDate;
                rows.push_back(std::move(r));
            }
        }
        // Entries from the file by key: runs of near keys in one range each, so that the
        // pages they share are read once.
        std::vector<qint64> bids = index->bids.value(party);
        std::sort(bids.begin(), bids.end());
        Stmt st(c, columns + QStringLiteral(" where bid between :a and :b"),
                {{QStringLiteral(":a"), QStringLiteral("0")}, {QStringLiteral(":b"), QStringLiteral("0")}});
        for (size_t i = 0; i < bids.size();) {
            size_t j = i;
            while (j + 1 < bids.size() && bids[j + 1] - bids[j] <= 16)
                ++j;
            sqlite3_reset(st.st);
            sqlite3_bind_int64(st.st, 1, bids[i]);
            sqlite3_bind_int64(st.st, 2, bids[j]);
            while (st.next())
                if (std::binary_search(bids.begin() + qsizetype(i), bids.begin() + qsizetype(j) + 1,
                                       qint64(sqlite3_column_int64(st.st, 0))))
                    take(st);
            i = j + 1;
        }
    } else {
        Stmt st(c, columns + scopeFilter(bookKey), scopeParams(bookKey));
        while (st.next())
            take(st);
    }

    Statement out;
    out.bookKey = bookKey;
    out.party = party;
    for (const Row &r : rows)
        if (r.day != kNoDate && (!out.firstDate.isValid() || r.day < out.firstDate.toJulianDay()))
            out.firstDate = QDate::fromJulianDay(r.day);
    out.to = to;
    out.from = fromDate.isValid() ? fromDate : (out.firstDate.isValid() ? out.firstDate : to);
    if (!fromDate.isValid() && to.isValid() && out.from > to)
        out.from = to;
    const qint64 fromDay = out.from.isValid() ? out.from.toJulianDay() : LLONG_MIN + 1;
    const qint64 toDay = to.isValid() ? to.toJulianDay() : LLONG_MAX;

    DecimalSum receivable, payable;
    DecimalSum period[AmountCount];
    std::vector<const Row *> listed;
    for (const Row &r : rows) {
        if (r.day == kNoDate || (r.day >= fromDay && r.day <= toDay)) {
            listed.push_back(&r);
        } else if (r.day < fromDay) {
            if (!r.line.amounts[Receivable].isNull())
                addTo(receivable, r.line.amounts[Receivable]);
            if (!r.line.amounts[Payable].isNull())
                addTo(payable, r.line.amounts[Payable]);
        }
    }
    out.openingReceivable = textOf(receivable);
    out.openingPayable = textOf(payable);
    // A date that is no date cannot be placed: such entries lead, as the oldest.
    std::sort(listed.begin(), listed.end(), [](const Row *a, const Row *b) {
        const bool au = a->day == kNoDate, bu = b->day == kNoDate;
        if (au != bu)
            return au;
        if (a->day != b->day)
            return a->day < b->day;
        return a->bid < b->bid;
    });
    for (const Row *r : listed) {
        StatementLine line = r->line;
        if (!line.amounts[Receivable].isNull())
            addTo(receivable, line.amounts[Receivable]);
        if (!line.amounts[Payable].isNull())
            addTo(payable, line.amounts[Payable]);
        for (int k = 0; k < AmountCount; ++k)
            if (!line.amounts[k].isNull())
                addTo(period[k], line.amounts[k]);
        line.receivableBalance = textOf(receivable);
        line.payableBalance = textOf(payable);
        out.lines.append(std::move(line));
    }
    for (int k = 0; k < AmountCount; ++k)
        out.periodSums[k] = textOf(period[k]);
    return out;
}

} // namespace wanglai
