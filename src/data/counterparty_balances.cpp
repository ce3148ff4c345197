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
    static const QRegularExpression plain(QStringLiteral("^(-?)([0-9]+)(?:\\.([0-9]*))?$"));
    const QRegularExpressionMatch m = plain.match(amount);
    if (!m.hasMatch())
        return amount;
    QString fraction = m.captured(3);
    while (fraction.size() < 2)
        fraction += QLatin1Char('0');
    return m.captured(1) + m.captured(2) + QLatin1Char('.') + fraction;
}

Summary readSummary(Connection &c, const QString &bookKey, const QDate &cutoff)
{
    struct Acc {
        DecimalSum sums[AmountCount];
        DecimalSum aging[BucketCount];
        int entries = 0;
        int undated = 0;
    };
    Summary out;
    out.bookKey = bookKey;
    out.cutoff = cutoff;
    auto index = std::make_shared<PartyIndex>();
    const qint64 cutoffDay = cutoff.isValid() ? cutoff.toJulianDay() : LLONG_MAX;
    Lookups look;
    QHash<QString, int> at;        // trimmed name -> accumulator
    TextMap<int> atRaw;            // stored text -> accumulator
    std::vector<Acc> accs;
    std::vector<std::vector<qint64>> bids;
    QStringList names;
    auto accOf = [&](std::string_view raw) {
        auto it = atRaw.find(raw);
        if (it != atRaw.end())
            return it->second;
        const QString party = look.partyOf(raw);
        int i = at.value(party, -1);
        if (i < 0) {
            i = int(accs.size());
            at.insert(party, i);
            accs.emplace_back();
            bids.emplace_back();
            names << party;
        }
        atRaw.emplace(std::string(raw), i);
        return i;
    };
    Stmt st(c, QStringLiteral("select bid, b2, b4, b5, b6, b7, b8, b9, b10 from jz_ab") + scopeFilter(bookKey),
            scopeParams(bookKey));
    while (st.next()) {
        // NULL and empty text are both no counterparty.
        const int i = accOf(st.isNull(2) ? std::string_view() : st.bytes(2));
        bids[size_t(i)].push_back(sqlite3_column_int64(st.st, 0));
        const qint64 day = look.dayOf(st.bytes(1), st.isNull(1));
        if (day != kNoDate && day > cutoffDay)
            continue;
        Acc &a = accs[size_t(i)];
        ++a.entries;
        for (int k = 0; k < AmountCount; ++k) {
            if (st.isNull(3 + k))
                continue;
            const std::string_view v = st.bytes(3 + k);
            a.sums[k].addText(v.data(), int(v.size()));
        }
        const Bucket bucket = day == kNoDate ? Older : bucketOf(cutoffDay - day);
        if (day == kNoDate) {
            ++a.undated;
            ++out.undated;
        }
        // Each b7 summed goes into exactly one bucket, so the four add up to the receivable.
        if (!st.isNull(5)) {
            const std::string_view b7 = st.bytes(5);
            a.aging[bucket].addText(b7.data(), int(b7.size()));
        }
    }
    for (size_t i = 0; i < accs.size(); ++i) {
        index->bids.insert(names[qsizetype(i)], std::move(bids[i]));
        const Acc &a = accs[i];
        if (a.entries == 0)
            continue;   // only entries after the cut-off
        Balance b;
        b.party = names[qsizetype(i)];
        for (int k = 0; k < AmountCount; ++k)
            b.sums[k] = textOf(a.sums[k]);
        for (int k = 0; k < BucketCount; ++k)
            b.aging[k] = textOf(a.aging[k]);
        b.entries = a.entries;
        b.undated = a.undated;
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
    const auto bids = index ? index->bids.constFind(party) : QHash<QString, std::vector<qint64>>::const_iterator();
    if (index && bids != index->bids.constEnd()) {
        Stmt st(c, columns + QStringLiteral(" where bid = :bid"), {{QStringLiteral(":bid"), QStringLiteral("0")}});
        for (const qint64 bid : *bids) {
            sqlite3_reset(st.st);
            sqlite3_bind_int64(st.st, 1, bid);
            if (st.next())
                take(st);
        }
    } else if (!index) {
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
