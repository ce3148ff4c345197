#include "summaries/chart_figures.h"

#include <QDate>
#include <QHash>
#include <QMap>
#include <QRegularExpression>
#include <algorithm>
#include <initializer_list>
#include <stdexcept>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>
#include "data/book_cache.h"
#include "data/decimal_sum.h"
#include "data/query.h"

namespace chart {

namespace {

// The exact sum of the texts, by the code of the engine's own sum(): each text counts as
// the engine reads it, and the result has no trailing zeros ("0" for zero).
QString exactSum(std::initializer_list<QString> texts)
{
    DecimalSum sum;
    for (const QString &t : texts) {
        const QByteArray bytes = t.toUtf8();
        sum.addText(bytes.constData(), int(bytes.size()));
    }
    // Sums the engine gave never get here; it refuses such values itself.
    if (sum.outOfRange())
        throw std::range_error("金额超出可计算的范围");
    return QString::fromStdString(sum.text());
}

// The largest kTopParties by total, the rest summed after them.
QList<PartyFigure> top(QList<PartyFigure> all)
{
    std::stable_sort(all.begin(), all.end(), [](const PartyFigure &a, const PartyFigure &b) {
        return decimalCompare(a.total, b.total) > 0;
    });
    if (all.size() <= kTopParties)
        return all;
    PartyFigure rest{restCaption(), QStringLiteral("0"), true};
    for (qsizetype i = kTopParties; i < all.size(); ++i)
        rest.total = decimalAdd(rest.total, all[i].total);
    all.resize(kTopParties);
    all.append(rest);
    return all;
}

} // namespace

QString restCaption() { return QStringLiteral("其他"); }

QString decimalAdd(const QString &x, const QString &y) { return exactSum({x, y}); }

QString decimalNegate(const QString &x)
{
    const QString value = exactSum({x});
    if (value == QLatin1String("0"))
        return value;
    return value.startsWith(QLatin1Char('-')) ? value.mid(1) : QLatin1Char('-') + value;
}

int decimalCompare(const QString &x, const QString &y)
{
    const QString difference = exactSum({x, decimalNegate(y)});
    if (difference == QLatin1String("0"))
        return 0;
    return difference.startsWith(QLatin1Char('-')) ? -1 : 1;
}

double decimalValue(const QString &x) { return exactSum({x}).toDouble(); }

bool monthOf(const QString &date, int &year, int &month)
{
    // "YYYY- M- D" as stored; "YYYY-MM-DD" and "YYYY-M-D" from other tools name a month too.
    static const QRegularExpression form(QStringLiteral("^([0-9]{4})-( [0-9]|[0-9]{1,2})-( [0-9]|[0-9]{1,2})$"));
    const QRegularExpressionMatch m = form.match(date);
    if (!m.hasMatch())
        return false;
    const int y = m.captured(1).toInt(), mo = m.captured(2).trimmed().toInt(),
              d = m.captured(3).trimmed().toInt();
    if (!QDate(y, mo, d).isValid())
        return false;
    year = y;
    month = mo;
    return true;
}

namespace {
QString bookFilter(const QString &bookKey, bool wholeTable)
{
    if (bookKey.isEmpty())
        return QString();
    // "+b14" keeps the engine off the book's index: one pass over every row.
    return wholeTable ? QStringLiteral(" where +b14 = :key") : QStringLiteral(" where b14 = :key");
}
} // namespace

bool bookIsMostOfTable(Connection &c, const QString &bookKey)
{
    if (bookKey.isEmpty())
        return false;
    Query ids(&c, QStringLiteral("chart_ids"));
    ids.setSql(QStringLiteral("select max(bid) from jz_ab"));
    ids.open();
    const qint64 half = ids.value(0, 0).toLongLong() / 2;
    if (half <= 0)
        return false;
    // Counted through the index, stopping at half: a small book costs little, a large one
    // no more than half the table.
    Query rows(&c, QStringLiteral("chart_rows"));
    rows.setSql(QStringLiteral("select count(*) from (select 1 from jz_ab where b14 = :key "
                               "limit cast(:half as integer))"));
    rows.bind(QStringLiteral(":key"), bookKey);
    rows.bind(QStringLiteral(":half"), QString::number(half + 1));
    rows.open();
    return rows.value(0, 0).toLongLong() > half;
}

namespace {

// One group of a grouped statement: its key text and its sums (a null text for NULL), in
// the order the engine lists groups (NULL first, then by the key's bytes).
struct Group {
    bool keyNull = false;
    QString key;
    QString sums[4];
};

std::vector<Group> groupsOf(Connection &c, const char *name, const QString &keyField,
                            const QStringList &sumFields, const QString &bookKey, bool wholeTable)
{
    QStringList sums;
    for (const QString &field : sumFields)
        sums << QStringLiteral("sum(%1)").arg(field);
    Query q(&c, QString::fromLatin1(name));
    q.setSql(QStringLiteral("select %1, %2 from jz_ab").arg(keyField, sums.join(QStringLiteral(", ")))
             + bookFilter(bookKey, wholeTable) + QStringLiteral(" group by ") + keyField);
    if (!bookKey.isEmpty())
        q.bind(QStringLiteral(":key"), bookKey);
    q.open();
    std::vector<Group> out(size_t(q.rowCount()));
    for (int r = 0; r < q.rowCount(); ++r) {
        Group &g = out[size_t(r)];
        g.keyNull = q.isNull(r, 0);
        g.key = q.value(r, 0);
        for (int i = 0; i < sumFields.size(); ++i)
            g.sums[i] = q.isNull(r, i + 1) ? QString() : q.value(r, i + 1);
    }
    return out;
}

// The same groups from the book's rows in memory, summed by the code of the engine's own
// sum(): one pass, where the statement sorts every row. False when the rows are not the
// book's as the file holds it, or a value is the engine's to read (or to refuse).
bool groupsFromBook(BookCache *cache, const QString &bookKey, const QString &keyField,
                    const QStringList &sumFields, std::vector<Group> &out)
{
    if (!cache || bookKey.isEmpty() || !cache->isCurrent(bookKey))
        return false;
    const QStringList fields = cache->fields();
    const int keyColumn = int(fields.indexOf(keyField));
    std::vector<int> columns;
    for (const QString &field : sumFields)
        columns.push_back(int(fields.indexOf(field)));
    if (!cache->plainColumn(keyColumn))
        return false;
    for (int c : columns)
        if (!cache->plainColumn(c))
            return false;
    const std::shared_ptr<const RowSource> rows = cache->rows();
    struct Acc {
        std::string_view key;
        DecimalSum sums[4];
    };
    std::vector<Acc> accs;
    std::optional<Acc> nullKey;
    std::unordered_map<std::string_view, size_t> at;
    for (const int row : cache->bookOrder()) {
        Acc *acc;
        if (rows->isNull(row, keyColumn)) {
            if (!nullKey)
                nullKey.emplace();
            acc = &*nullKey;
        } else {
            const QByteArrayView b = rows->bytes(row, keyColumn);
            const std::string_view key(b.data(), size_t(b.size()));
            auto it = at.find(key);
            if (it == at.end()) {
                it = at.emplace(key, accs.size()).first;
                accs.push_back(Acc{key, {}});
            }
            acc = &accs[it->second];
        }
        for (size_t i = 0; i < columns.size(); ++i)
            if (!rows->isNull(row, columns[i])) {
                const QByteArrayView v = rows->bytes(row, columns[i]);
                acc->sums[i].addText(v.data(), int(v.size()));
            }
    }
    std::sort(accs.begin(), accs.end(), [](const Acc &a, const Acc &b) { return a.key < b.key; });
    out.clear();
    auto emit = [&](const Acc &acc, bool keyNull) {
        Group g;
        g.keyNull = keyNull;
        if (!keyNull)
            g.key = QString::fromUtf8(acc.key.data(), qsizetype(acc.key.size()));
        for (size_t i = 0; i < columns.size(); ++i) {
            if (acc.sums[i].outOfRange())
                return false;
            if (acc.sums[i].any())
                g.sums[i] = QString::fromStdString(acc.sums[i].text());
        }
        out.push_back(std::move(g));
        return true;
    };
    if (nullKey && !emit(*nullKey, true))
        return false;
    for (const Acc &acc : accs)
        if (!emit(acc, false))
            return false;
    return true;
}

std::vector<Group> groups(Connection &c, BookCache *cache, const char *name, const QString &keyField,
                          const QStringList &sumFields, const QString &bookKey, bool wholeTable)
{
    std::vector<Group> out;
    if (groupsFromBook(cache, bookKey, keyField, sumFields, out))
        return out;
    return groupsOf(c, name, keyField, sumFields, bookKey, wholeTable);
}

QString orZero(const QString &sum) { return sum.isNull() ? QStringLiteral("0") : sum; }

} // namespace

bool holdsBook(BookCache *cache, const QString &bookKey)
{
    return cache && !bookKey.isEmpty() && cache->isCurrent(bookKey);
}

void loadMonths(Connection &c, const QString &bookKey, bool wholeTable, Figures &f, BookCache *cache)
{
    f.months.clear();
    f.years.clear();
    f.hasOther = false;
    // Grouped by the whole date text: each distinct text is read once to find its month
    // (or that it is none).
    const std::vector<Group> byDate = groups(c, cache, "chart_months", QStringLiteral("b2"),
                                             {QStringLiteral("b5"), QStringLiteral("b8"), QStringLiteral("b7"),
                                              QStringLiteral("b10")},
                                             bookKey, wholeTable);
    QMap<int, MonthFigures> months;   // year * 100 + month; 0 for the undated
    for (const Group &g : byDate) {
        int year = 0, month = 0;
        if (g.keyNull || !monthOf(g.key, year, month))
            year = month = 0;
        const int key = year == 0 ? 999999 : year * 100 + month;
        auto it = months.find(key);
        if (it == months.end()) {
            MonthFigures m;
            m.year = year;
            m.month = month;
            m.income = m.expense = m.receivable = m.payable = QStringLiteral("0");
            it = months.insert(key, m);
        }
        it->income = decimalAdd(it->income, orZero(g.sums[0]));
        it->expense = decimalAdd(it->expense, orZero(g.sums[1]));
        it->receivable = decimalAdd(it->receivable, orZero(g.sums[2]));
        it->payable = decimalAdd(it->payable, orZero(g.sums[3]));
    }
    for (MonthFigures &m : months) {
        m.balance = decimalAdd(m.receivable, decimalNegate(m.payable));
        f.months.append(m);
        if (m.isOther())
            f.hasOther = true;
        else if (f.years.isEmpty() || f.years.last() != m.year)
            f.years.append(m.year);
    }
}

void loadParties(Connection &c, const QString &bookKey, bool wholeTable, Figures &f, BookCache *cache)
{
    const std::vector<Group> byParty = groups(c, cache, "chart_parties", QStringLiteral("b4"),
                                              {QStringLiteral("b5"), QStringLiteral("b8")}, bookKey, wholeTable);
    // NULL and empty text are one unnamed counterparty.
    QHash<QString, int> seenIncome, seenExpense;
    QList<PartyFigure> income, expense;
    for (const Group &g : byParty) {
        const QString party = g.key;
        auto add = [&](const QString &sum, QList<PartyFigure> &list, QHash<QString, int> &seen) {
            if (sum.isNull())
                return;
            const auto at = seen.constFind(party);
            if (at != seen.constEnd()) {
                list[*at].total = decimalAdd(list[*at].total, sum);
                return;
            }
            seen.insert(party, int(list.size()));
            list.append({party, decimalAdd(sum, QStringLiteral("0")), false});
        };
        add(g.sums[0], income, seenIncome);
        add(g.sums[1], expense, seenExpense);
    }
    f.topIncome = top(income);
    f.topExpense = top(expense);
}

} // namespace chart
