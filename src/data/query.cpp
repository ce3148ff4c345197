#include "data/query.h"

#include <sqlcipher/sqlite3.h>
#include <QStringDecoder>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <numeric>
#include <string_view>
#include <unordered_map>
#include "data/db_error.h"

namespace {

// A stored text as it was written: fromUtf8 takes a leading U+FEFF for a byte-order mark
// and drops it.
QString storedText(const char *p, qsizetype n)
{
    if (n >= 3 && uchar(p[0]) == 0xEF && uchar(p[1]) == 0xBB && uchar(p[2]) == 0xBF) {
        QStringDecoder keepMark(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
        return keepMark.decode(QByteArrayView(p, n));
    }
    return QString::fromUtf8(p, n);
}

} // namespace

Query::Query(Connection *conn, const QString &name, QObject *parent) : QObject(parent), m_conn(conn)
{
    setObjectName(name);
}

void Query::setSql(const QString &sql)
{
    m_sql = sql;
    m_params.clear();
}

void Query::bind(const QString &name, const QString &value)
{
    const QString key = name.startsWith(QLatin1Char(':')) ? name : QLatin1Char(':') + name;
    for (auto &p : m_params) {
        if (p.first == key) {
            p.second = value;
            return;
        }
    }
    m_params.append({key, value});
}

void Query::close()
{
    if (!m_open && m_fields.isEmpty())
        return;
    Q_EMIT aboutToReset();
    m_open = false;
    m_fields.clear();
    // Buffers keep their capacity: a closed query is nearly always opened again.
    m_text.clear();
    m_offsets.clear();
    m_nulls.clear();
    m_order.clear();
    m_overrides.clear();
    m_lazy = false;
    m_source.reset();
    std::vector<qint64>().swap(m_keys);
    m_lazyCache.clear();
    m_baseRows = m_addedRows = 0;
    m_pendingRow = -1;
    m_pendingNew = false;
    m_sortField.clear();
    const bool moved = m_current != -1;
    m_current = -1;
    Q_EMIT resetDone();
    if (moved)
        Q_EMIT currentRowChanged(-1);
}

void Query::setReadOnDemand(const QString &table, const QString &keyField)
{
    lazyTable = table;
    lazyKey = keyField;
}

void Query::open()
{
    if (m_open)
        return;
    if (!lazyTable.isEmpty()) {
        const QString prefix = QStringLiteral("select * from %1 ").arg(lazyTable);
        if (m_sql.startsWith(prefix, Qt::CaseInsensitive)) {
            openOnDemand(QStringLiteral("select %1 from %2 ").arg(lazyKey, lazyTable) + m_sql.mid(prefix.size()));
            return;
        }
    }
    sqlite3_stmt *st = m_conn->prepare(m_sql, m_params);
    const int cols = sqlite3_column_count(st);
    QStringList fields;
    for (int c = 0; c < cols; ++c)
        fields << QString::fromUtf8(sqlite3_column_name(st, c));

    // Sized from the last result of this query: re-runs are the common case.
    std::vector<char> text = std::move(m_text);
    std::vector<uint32_t> offsets = std::move(m_offsets);
    std::vector<bool> nulls = std::move(m_nulls);
    text.resize(text.capacity());
    offsets.clear();
    nulls.clear();
    offsets.push_back(0);
    int rows = 0;
    int rc;
    size_t used = 0;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        for (int c = 0; c < cols; ++c) {
            const auto *p = reinterpret_cast<const char *>(sqlite3_column_text(st, c));
            if (!p) {
                nulls.push_back(true);
            } else {
                const size_t n = size_t(sqlite3_column_bytes(st, c));
                // Empty text: nothing to copy, and the buffer may not exist yet.
                if (n > 0) {
                    if (used + n > text.size())
                        text.resize(std::max(text.size() * 2, used + n + 4096));
                    std::memcpy(text.data() + used, p, n);
                    used += n;
                }
                nulls.push_back(false);
            }
            if (used > UINT32_MAX) {
                sqlite3_finalize(st);
                throw DbError(QStringLiteral("result too large"));
            }
            offsets.push_back(uint32_t(used));
        }
        ++rows;
    }
    text.resize(used);
    sqlite3_finalize(st);
    if (rc != SQLITE_DONE)
        m_conn->fail();

    Q_EMIT aboutToReset();
    m_fields = fields;
    m_text = std::move(text);
    m_offsets = std::move(offsets);
    m_nulls = std::move(nulls);
    m_source.reset();
    m_baseRows = rows;
    m_addedRows = 0;
    m_order.resize(size_t(rows));
    std::iota(m_order.begin(), m_order.end(), 0);
    m_overrides.clear();
    m_pendingRow = -1;
    m_sortField.clear();
    m_open = true;
    m_current = rows > 0 ? 0 : -1;
    Q_EMIT resetDone();
    Q_EMIT currentRowChanged(m_current);
}

void Query::openOnDemand(const QString &keyOnlySql)
{
    // The full statement is only prepared, for its column names (and its errors).
    sqlite3_stmt *full = m_conn->prepare(m_sql, m_params);
    QStringList fields;
    for (int c = 0; c < sqlite3_column_count(full); ++c)
        fields << QString::fromUtf8(sqlite3_column_name(full, c));
    sqlite3_finalize(full);
    const int keyColumn = fields.indexOf(lazyKey);
    if (keyColumn < 0)
        throw DbError(QStringLiteral("%1: no column %2").arg(objectName(), lazyKey));

    sqlite3_stmt *st = m_conn->prepare(keyOnlySql, m_params);
    std::vector<qint64> keys = std::move(m_keys);
    keys.clear();
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW)
        keys.push_back(sqlite3_column_int64(st, 0));
    sqlite3_finalize(st);
    if (rc != SQLITE_DONE)
        m_conn->fail();

    Q_EMIT aboutToReset();
    m_fields = fields;
    m_keyColumn = keyColumn;
    m_keys = std::move(keys);
    m_lazy = true;
    m_source.reset();
    m_lazyCache.clear();
    m_baseRows = int(m_keys.size());
    m_addedRows = 0;
    m_order.resize(size_t(m_baseRows));
    std::iota(m_order.begin(), m_order.end(), 0);
    m_overrides.clear();
    m_pendingRow = -1;
    m_sortField.clear();
    m_open = true;
    m_current = m_baseRows > 0 ? 0 : -1;
    Q_EMIT resetDone();
    Q_EMIT currentRowChanged(m_current);
}

const Query::LazyRow *Query::lazyRow(int displayRow) const
{
    const int stored = storedRow(displayRow);
    auto it = m_lazyCache.constFind(stored);
    if (it != m_lazyCache.constEnd())
        return &it.value();
    // Read the rows near this one in display order: a grid asks for a screenful.
    constexpr int kBlock = 64;
    if (m_lazyCache.size() > 16 * kBlock)
        m_lazyCache.clear();
    const int from = std::max(0, displayRow - kBlock / 4);
    const int to = std::min(rowCount(), from + kBlock);
    QHash<qint64, int> wanted;
    QStringList slots;
    Params params;
    for (int r = from; r < to; ++r) {
        const int s = m_order[size_t(r)];
        if (s >= m_baseRows || m_lazyCache.contains(s) || wanted.contains(m_keys[size_t(s)]))
            continue;
        wanted.insert(m_keys[size_t(s)], s);
        const QString name = QStringLiteral(":k%1").arg(slots.size());
        slots << name;
        params.append({name, QString::number(m_keys[size_t(s)])});
    }
    if (!wanted.contains(m_keys[size_t(stored)])) {
        wanted.insert(m_keys[size_t(stored)], stored);
        slots << QStringLiteral(":self");
        params.append({QStringLiteral(":self"), QString::number(m_keys[size_t(stored)])});
    }
    const QString sql = QStringLiteral("select * from %1 where %2 in (%3)")
                            .arg(lazyTable, lazyKey, slots.join(QLatin1Char(',')));
    sqlite3_stmt *st = m_conn->prepare(sql, params);
    const int cols = sqlite3_column_count(st);
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        const int s = wanted.value(sqlite3_column_int64(st, m_keyColumn), -1);
        if (s < 0)
            continue;
        LazyRow row;
        row.nulls.resize(size_t(columnCount()), true);
        for (int c = 0; c < columnCount(); ++c) {
            const auto *p = c < cols ? reinterpret_cast<const char *>(sqlite3_column_text(st, c)) : nullptr;
            row.values << (p ? storedText(p, sqlite3_column_bytes(st, c)) : QString());
            row.nulls[size_t(c)] = p == nullptr;
        }
        m_lazyCache.insert(s, row);
    }
    sqlite3_finalize(st);
    if (rc != SQLITE_DONE)
        m_conn->fail();
    // A row gone from the table since the keys were read shows as empty.
    for (auto k = wanted.constBegin(); k != wanted.constEnd(); ++k) {
        if (!m_lazyCache.contains(k.value())) {
            LazyRow gone;
            for (int c = 0; c < columnCount(); ++c)
                gone.values << QString();
            gone.nulls.assign(size_t(columnCount()), true);
            gone.values[m_keyColumn] = QString::number(k.key());
            gone.nulls[size_t(m_keyColumn)] = false;
            m_lazyCache.insert(k.value(), gone);
        }
    }
    return &m_lazyCache.constFind(stored).value();
}

void Query::openFrom(std::shared_ptr<const RowSource> source, const QStringList &fields, std::vector<int> rows)
{
    close();
    Q_EMIT aboutToReset();
    m_fields = fields;
    m_source = std::move(source);
    m_baseRows = m_source->rowCount();
    m_addedRows = 0;
    m_order = std::move(rows);
    m_overrides.clear();
    m_pendingRow = -1;
    m_sortField.clear();
    m_open = true;
    m_current = m_order.empty() ? -1 : 0;
    Q_EMIT resetDone();
    Q_EMIT currentRowChanged(m_current);
}

void Query::openWithRow(const QStringList &fields, const QStringList &values)
{
    close();
    Q_EMIT aboutToReset();
    m_fields = fields;
    m_offsets.assign(1, 0);
    for (int c = 0; c < fields.size(); ++c) {
        const QString v = values.value(c);
        m_nulls.push_back(v.isNull());
        const QByteArray u = v.toUtf8();
        m_text.insert(m_text.end(), u.constData(), u.constData() + u.size());
        m_offsets.push_back(uint32_t(m_text.size()));
    }
    m_baseRows = 1;
    m_order.assign(1, 0);
    m_open = true;
    m_current = 0;
    Q_EMIT resetDone();
    Q_EMIT currentRowChanged(0);
}

void Query::execSql()
{
    m_conn->exec(m_sql, m_params);
}

int Query::fieldIndex(const QString &field) const
{
    for (int i = 0; i < m_fields.size(); ++i)
        if (m_fields[i].compare(field, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

const QStringList *Query::overlay(int row) const
{
    auto it = m_overrides.constFind(storedRow(row));
    return it == m_overrides.constEnd() ? nullptr : &it.value();
}

bool Query::isNull(int row, int column) const
{
    if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount())
        return true;
    if (const QStringList *o = overlay(row))
        return o->at(column).isNull();
    if (m_lazy) {
        if (column == m_keyColumn && storedRow(row) < m_baseRows)
            return false;
        return lazyRow(row)->nulls[size_t(column)];
    }
    if (m_source)
        return m_source->isNull(storedRow(row), column);
    return m_nulls[size_t(storedRow(row)) * size_t(columnCount()) + size_t(column)];
}

QString Query::value(int row, int column) const
{
    if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount())
        return QString();
    if (const QStringList *o = overlay(row))
        return o->at(column);
    if (m_lazy) {
        if (column == m_keyColumn && storedRow(row) < m_baseRows)
            return QString::number(m_keys[size_t(storedRow(row))]);
        return lazyRow(row)->values.at(column);
    }
    if (m_source) {
        if (m_source->isNull(storedRow(row), column))
            return QString();
        const QByteArrayView b = m_source->bytes(storedRow(row), column);
        return storedText(b.data(), b.size());
    }
    const size_t cell = size_t(storedRow(row)) * size_t(columnCount()) + size_t(column);
    if (m_nulls[cell])
        return QString();
    const uint32_t a = m_offsets[cell], b = m_offsets[cell + 1];
    return storedText(m_text.data() + a, qsizetype(b - a));
}

QString Query::value(int row, const QString &field) const { return value(row, fieldIndex(field)); }

bool Query::valueReady(int row, int column) const
{
    if (!m_lazy || row < 0 || row >= rowCount() || column == m_keyColumn || overlay(row))
        return true;
    const int stored = storedRow(row);
    return stored >= m_baseRows || m_lazyCache.contains(stored);
}

QString Query::field(const QString &name) const { return value(m_current, fieldIndex(name)); }

QStringList Query::rowValues(int row) const
{
    QStringList v;
    for (int c = 0; c < columnCount(); ++c)
        v << value(row, c);
    return v;
}

void Query::setCurrentRow(int row)
{
    if (m_order.empty())
        row = -1;
    else
        row = std::clamp(row, 0, rowCount() - 1);
    if (row == m_current)
        return;
    m_current = row;
    Q_EMIT currentRowChanged(row);
}

bool Query::next()
{
    if (m_current < 0 || m_current >= rowCount() - 1)
        return false;
    setCurrentRow(m_current + 1);
    return true;
}

bool Query::prior()
{
    if (m_current <= 0)
        return false;
    setCurrentRow(m_current - 1);
    return true;
}

namespace {
// Amount text read as a number; text that is no number sorts before every number.
double numberKey(const QByteArray &t, bool *ok)
{
    return t.trimmed().toDouble(ok);
}

// The same for the plain form amounts nearly always have ("-1234.50"): at most fifteen
// digits make an exact integer and the power of ten is exact, so one division rounds
// exactly as the full conversion does. False for any other text.
bool plainNumber(const char *p, uint32_t n, double &out)
{
    static const double kPow10[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11,
                                    1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    uint32_t i = 0;
    const bool neg = n > 0 && p[0] == '-';
    if (neg)
        ++i;
    int64_t m = 0;
    int digits = 0, scale = 0;
    bool point = false, intDigit = false, fracDigit = false;
    for (; i < n; ++i) {
        const char c = p[i];
        if (c >= '0' && c <= '9') {
            if (++digits > 15)
                return false;
            m = m * 10 + (c - '0');
            if (point) {
                ++scale;
                fracDigit = true;
            } else {
                intDigit = true;
            }
        } else if (c == '.' && !point) {
            point = true;
        } else {
            return false;
        }
    }
    if (!intDigit || (point && !fracDigit))
        return false;
    const double v = double(m) / kPow10[scale];
    out = neg ? -v : v;
    return true;
}
} // namespace

std::vector<Query::SortCell> Query::columnForSort(int col, std::vector<QByteArray> &keep) const
{
    const size_t n = m_order.size();
    std::vector<SortCell> cells(n);
    // Texts of edited rows live here while the sort runs; counted first so that no
    // reallocation moves them.
    size_t edited = 0;
    if (!m_overrides.isEmpty())
        for (size_t i = 0; i < n; ++i)
            edited += overlay(int(i)) != nullptr;
    keep.reserve(edited + (m_lazy ? size_t(m_baseRows) : 0));
    auto own = [&keep](QByteArray bytes) {
        keep.push_back(std::move(bytes));
        return SortCell{false, keep.back().constData(), uint32_t(keep.back().size())};
    };
    auto fromOverlay = [&](const QStringList *o) {
        if (o->at(col).isNull())
            return SortCell{true, nullptr, 0};
        return own(o->at(col).toUtf8());
    };
    if (!m_lazy) {
        for (size_t i = 0; i < n; ++i) {
            const int r = int(i);
            if (const QStringList *o = overlay(r)) {
                cells[i] = fromOverlay(o);
                continue;
            }
            if (m_source) {
                const int s = storedRow(r);
                if (m_source->isNull(s, col)) {
                    cells[i] = {true, nullptr, 0};
                } else {
                    const QByteArrayView b = m_source->bytes(s, col);
                    cells[i] = {false, b.data(), uint32_t(b.size())};
                }
                continue;
            }
            const size_t cell = size_t(storedRow(r)) * size_t(columnCount()) + size_t(col);
            if (m_nulls[cell]) {
                cells[i] = {true, nullptr, 0};
            } else {
                const uint32_t a = m_offsets[cell], b = m_offsets[cell + 1];
                cells[i] = {false, m_text.data() + a, b - a};
            }
        }
        return cells;
    }
    // Rows read on demand: one pass of the statement for just this column.
    std::vector<std::pair<bool, QByteArray>> byStored(size_t(m_baseRows), {true, QByteArray()});
    const QString prefix = QStringLiteral("select * from %1 ").arg(lazyTable);
    const QString sql = QStringLiteral("select %1, %2 from %3 ").arg(lazyKey, m_fields[col], lazyTable)
        + m_sql.mid(prefix.size());
    sqlite3_stmt *st = m_conn->prepare(sql, m_params);
    std::unordered_map<qint64, int> where;
    size_t pos = 0;
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        const qint64 k = sqlite3_column_int64(st, 0);
        int stored = -1;
        if (pos < m_keys.size() && m_keys[pos] == k) {
            stored = int(pos++);
        } else {
            if (where.empty())
                for (size_t i = 0; i < m_keys.size(); ++i)
                    where.emplace(m_keys[i], int(i));
            auto it = where.find(k);
            if (it != where.end())
                stored = it->second;
        }
        if (stored < 0)
            continue;
        const auto *p = reinterpret_cast<const char *>(sqlite3_column_text(st, 1));
        if (p)
            byStored[size_t(stored)] = {false, QByteArray(p, sqlite3_column_bytes(st, 1))};
    }
    sqlite3_finalize(st);
    if (rc != SQLITE_DONE)
        m_conn->fail();
    for (size_t i = 0; i < n; ++i) {
        if (const QStringList *o = overlay(int(i))) {
            cells[i] = fromOverlay(o);
            continue;
        }
        auto &c = byStored[size_t(m_order[i])];
        cells[i] = c.first ? SortCell{true, nullptr, 0} : own(std::move(c.second));
    }
    return cells;
}

void Query::sort(const QString &fieldName, Qt::SortOrder order, SortKind kind)
{
    const int col = fieldIndex(fieldName);
    if (!m_open || col < 0)
        return;
    std::vector<QByteArray> keep;
    std::vector<SortCell> cells = columnForSort(col, keep);
    Q_EMIT aboutToReset();
    const int keepStored = m_current >= 0 ? storedRow(m_current) : -1;
    const size_t n = m_order.size();
    std::vector<int> idx(n);
    std::iota(idx.begin(), idx.end(), 0);
    const bool desc = order == Qt::DescendingOrder;
    // A stable sort has one result for a consistent order: the keys travel with the row
    // numbers, so that comparing touches neighbouring memory only.
    if (kind == SortKind::Number) {
        // rank: 0 null, 1 text that is no number, 2 number
        struct Item {
            int rank;
            double d;
            int idx;
        };
        std::vector<Item> items(n);
        bool unordered = false;   // a NaN compares neither way: keep the one sort it ever had
        for (size_t i = 0; i < n; ++i) {
            items[i] = {0, 0, int(i)};
            if (cells[i].null)
                continue;
            bool ok = false;
            double d = 0;
            if (plainNumber(cells[i].p, cells[i].n, d))
                ok = true;
            else
                d = numberKey(QByteArray::fromRawData(cells[i].p, qsizetype(cells[i].n)), &ok);
            if (ok) {
                items[i].rank = 2;
                items[i].d = d;
                unordered |= std::isnan(d);
            } else {
                items[i].rank = 1;
            }
        }
        if (unordered) {
            std::vector<std::pair<int, double>> keys(n);
            for (size_t i = 0; i < n; ++i)
                keys[i] = {items[i].rank, items[i].d};
            std::stable_sort(idx.begin(), idx.end(), [&](int a, int b) {
                return desc ? keys[size_t(b)] < keys[size_t(a)] : keys[size_t(a)] < keys[size_t(b)];
            });
        } else {
            auto less = [](const Item &x, const Item &y) {
                return x.rank != y.rank ? x.rank < y.rank : x.d < y.d;
            };
            std::stable_sort(items.begin(), items.end(),
                             [&](const Item &a, const Item &b) { return desc ? less(b, a) : less(a, b); });
            for (size_t i = 0; i < n; ++i)
                idx[i] = items[i].idx;
        }
    } else {
        // Bytes compared as unsigned, shorter first on a common start. NULL comes first
        // (last when descending), in the order the rows stood; the first sixteen bytes as
        // two numbers settle nearly every other comparison.
        struct Item {
            uint64_t a, b;
            int idx;
            uint32_t n;
        };
        std::vector<int> nulls;
        std::vector<Item> items;
        items.reserve(n);
        for (size_t i = 0; i < n; ++i) {
            const SortCell &c = cells[i];
            if (c.null) {
                nulls.push_back(int(i));
                continue;
            }
            uint64_t h[2] = {0, 0};
            for (uint32_t k = 0; k < 16; ++k)
                h[k / 8] = (h[k / 8] << 8) | (k < c.n ? uchar(c.p[k]) : 0u);
            items.push_back({h[0], h[1], int(i), c.n});
        }
        auto less = [&](const Item &x, const Item &y) {
            if (x.a != y.a)
                return x.a < y.a;
            if (x.b != y.b)
                return x.b < y.b;
            // The same first sixteen bytes: texts no longer than that differ only in
            // length (the shorter one was padded with zeros).
            if (x.n <= 16 && y.n <= 16)
                return x.n < y.n;
            const SortCell &p = cells[size_t(x.idx)], &q = cells[size_t(y.idx)];
            return std::string_view(p.p, p.n) < std::string_view(q.p, q.n);
        };
        std::stable_sort(items.begin(), items.end(),
                         [&](const Item &a, const Item &b) { return desc ? less(b, a) : less(a, b); });
        size_t at = 0;
        if (!desc)
            for (const int i : nulls)
                idx[at++] = i;
        for (const Item &it : items)
            idx[at++] = it.idx;
        if (desc)
            for (const int i : nulls)
                idx[at++] = i;
    }
    std::vector<int> order2(n);
    for (size_t i = 0; i < n; ++i)
        order2[i] = m_order[size_t(idx[i])];
    m_order = std::move(order2);
    m_sortField = fields().at(col);
    m_sortOrder = order;
    m_lazyCache.clear();
    int cur = -1;
    if (keepStored >= 0)
        cur = int(std::find(m_order.begin(), m_order.end(), keepStored) - m_order.begin());
    m_current = cur;
    Q_EMIT resetDone();
    Q_EMIT currentRowChanged(m_current);
}

void Query::setUpdateTable(const QString &table, const QString &keyField)
{
    m_table = table;
    m_keyField = keyField;
}

void Query::deleteCurrentRow()
{
    if (m_current < 0 || m_current >= rowCount())
        return;
    if (m_table.isEmpty())
        throw DbError(QStringLiteral("%1: the result cannot be changed").arg(objectName()));
    const int row = m_current;
    if (!isNewRow(row)) {
        const QString key = value(row, m_keyField);
        m_conn->exec(QStringLiteral("delete from %1 where %2 = :k").arg(m_table, m_keyField),
                     {{QStringLiteral(":k"), key}});
    }
    if (m_pendingRow == row)
        m_pendingRow = -1;
    else if (m_pendingRow > row)
        --m_pendingRow;
    Q_EMIT aboutToRemoveRow(row);
    m_overrides.remove(storedRow(row));
    m_order.erase(m_order.begin() + row);
    Q_EMIT rowRemoved(row);
    m_current = m_order.empty() ? -1 : std::min(row, rowCount() - 1);
    Q_EMIT currentRowChanged(m_current);
}

bool Query::isNewRow(int row) const
{
    return row >= 0 && row == m_pendingRow && m_pendingNew;
}

bool Query::isModified(int row) const
{
    if (row != m_pendingRow || row < 0)
        return false;
    return rowValues(row) != m_pendingOld;
}

void Query::setPending(int row, bool isNew)
{
    m_pendingRow = row;
    m_pendingNew = isNew;
    m_pendingOld = rowValues(row);
}

void Query::insertRow(int at)
{
    if (!m_open)
        throw DbError(QStringLiteral("%1: not open").arg(objectName()));
    if (m_pendingRow >= 0)
        post();
    at = std::clamp(at, 0, rowCount());
    const int stored = m_baseRows + m_addedRows++;
    QStringList empty;
    for (int c = 0; c < columnCount(); ++c)
        empty << QString();
    Q_EMIT aboutToInsertRow(at);
    m_overrides.insert(stored, empty);
    m_order.insert(m_order.begin() + at, stored);
    Q_EMIT rowInserted(at);
    setPending(at, true);
    m_current = at;
    Q_EMIT currentRowChanged(at);
}

void Query::setValue(int row, int column, const QString &text)
{
    if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount())
        return;
    if (m_pendingRow >= 0 && m_pendingRow != row)
        post();
    if (m_pendingRow != row)
        setPending(row, false);
    const int stored = storedRow(row);
    QStringList values = m_overrides.contains(stored) ? m_overrides.value(stored) : rowValues(row);
    values[column] = text;
    m_overrides.insert(stored, values);
    Q_EMIT rowChanged(row);
}

void Query::post()
{
    if (m_pendingRow < 0)
        return;
    const int row = m_pendingRow;
    const int keyCol = fieldIndex(m_keyField);
    QStringList values = rowValues(row);
    Params params;
    QStringList names;
    for (int c = 0; c < columnCount(); ++c) {
        if (c == keyCol)
            continue;
        if (!m_pendingNew && values[c] == m_pendingOld.value(c) && values[c].isNull() == m_pendingOld.value(c).isNull())
            continue;
        names << m_fields[c];
        params.append({QStringLiteral(":p%1").arg(c), values[c]});
    }
    if (m_pendingNew) {
        QStringList slots;
        for (const auto &p : params)
            slots << p.first;
        if (names.isEmpty())
            m_conn->exec(QStringLiteral("insert into %1 default values").arg(m_table));
        else
            m_conn->exec(QStringLiteral("insert into %1 (%2) values (%3)")
                             .arg(m_table, names.join(QLatin1Char(',')), slots.join(QLatin1Char(','))),
                         params);
        values[keyCol] = QString::number(m_conn->lastInsertId());
        m_overrides.insert(storedRow(row), values);
    } else if (!names.isEmpty()) {
        QStringList sets;
        for (int i = 0; i < names.size(); ++i)
            sets << names[i] + QLatin1Char('=') + params[i].first;
        params.append({QStringLiteral(":key"), m_pendingOld.value(keyCol)});
        m_conn->exec(QStringLiteral("update %1 set %2 where %3 = :key")
                         .arg(m_table, sets.join(QLatin1Char(',')), m_keyField),
                     params);
    }
    m_pendingRow = -1;
    m_pendingNew = false;
    Q_EMIT rowChanged(row);
}

void Query::cancelEdit()
{
    if (m_pendingRow < 0)
        return;
    const int row = m_pendingRow;
    const int stored = storedRow(row);
    if (m_pendingNew) {
        m_pendingRow = -1;
        Q_EMIT aboutToRemoveRow(row);
        m_overrides.remove(stored);
        m_order.erase(m_order.begin() + row);
        Q_EMIT rowRemoved(row);
        m_current = m_order.empty() ? -1 : std::min(row, rowCount() - 1);
        Q_EMIT currentRowChanged(m_current);
        return;
    }
    m_pendingRow = -1;
    m_overrides.insert(stored, m_pendingOld);
    Q_EMIT rowChanged(row);
}
