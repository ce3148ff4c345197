#include "data/book_cache.h"

#include <sqlcipher/sqlite3.h>
#include <algorithm>
#include <cstring>
#include <malloc.h>
#include "data/data_module.h"
#include "data/engine_like.h"
#include "data/engine_scalar.h"

namespace {

const char kBookSql[] = "select * from jz_ab where b14 = :key order by bid desc";
const char kRowSql[] = "select * from jz_ab where bid = :bid and b14 = :key";

void connectionClosed(void *flag)
{
    auto *holder = static_cast<std::shared_ptr<bool> *>(flag);
    **holder = false;
    delete holder;
}

void noop(sqlite3_context *ctx, int, sqlite3_value **) { sqlite3_result_null(ctx); }

} // namespace

// The rows, compactly, in blocks of rows: a block's cells back to back, each row's cells
// placed by their ends within the row. Rows are only ever added, and a block is never
// moved once full, so a million rows grow without copying what is already held.
class BookCache::Store : public RowSource
{
public:
    explicit Store(int columns) : m_columns(columns), m_odd(size_t(columns), false) {}

    int rowCount() const override { return m_rows; }
    bool isNull(int row, int column) const override
    {
        const Block &b = *m_blocks[size_t(row) >> kShift];
        return b.nulls[size_t(row & kMask) * size_t(m_columns) + size_t(column)];
    }
    QByteArrayView bytes(int row, int column) const override
    {
        const Block &b = *m_blocks[size_t(row) >> kShift];
        const size_t r = size_t(row & kMask);
        const uint16_t *ends = b.ends.data() + r * size_t(m_columns);
        const uint32_t from = column == 0 ? 0 : ends[column - 1];
        return QByteArrayView(b.text.data() + b.rowStart[r] + from, qsizetype(ends[column] - from));
    }
    // A column holding a value that is neither text nor NULL.
    bool odd(int column) const { return column < 0 || m_odd[size_t(column)]; }

    // Appends the statement's current row and returns its number; -1 when the row is too
    // long to be held here.
    int append(sqlite3_stmt *st)
    {
        if (m_blocks.empty() || m_blocks.back()->rows == kBlockRows) {
            if (!m_blocks.empty())
                m_blocks.back()->text.shrink_to_fit();
            m_blocks.push_back(std::make_unique<Block>());
            Block &b = *m_blocks.back();
            b.rowStart.reserve(kBlockRows);
            b.ends.reserve(size_t(kBlockRows) * size_t(m_columns));
            b.nulls.reserve(size_t(kBlockRows) * size_t(m_columns));
        }
        Block &b = *m_blocks.back();
        const size_t start = b.text.size();
        if (start > UINT32_MAX - 65535)
            return -1;
        size_t length = 0;
        for (int c = 0; c < m_columns; ++c) {
            const int type = sqlite3_column_type(st, c);
            const auto *p = reinterpret_cast<const char *>(sqlite3_column_text(st, c));
            const size_t n = p ? size_t(sqlite3_column_bytes(st, c)) : 0;
            if (length + n > 65535) {
                b.text.resize(start);
                b.ends.resize(size_t(b.rows) * size_t(m_columns));
                b.nulls.resize(size_t(b.rows) * size_t(m_columns));
                return -1;
            }
            if (type != SQLITE_TEXT && type != SQLITE_NULL)
                m_odd[size_t(c)] = true;
            b.text.insert(b.text.end(), p, p + n);
            length += n;
            b.ends.push_back(uint16_t(length));
            b.nulls.push_back(p == nullptr);
        }
        b.rowStart.push_back(uint32_t(start));
        ++b.rows;
        return m_rows++;
    }
    void finish()
    {
        if (!m_blocks.empty())
            m_blocks.back()->text.shrink_to_fit();
    }

private:
    static constexpr int kShift = 12;
    static constexpr int kBlockRows = 1 << kShift;
    static constexpr int kMask = kBlockRows - 1;
    struct Block {
        int rows = 0;
        std::vector<char> text;
        std::vector<uint32_t> rowStart;
        std::vector<uint16_t> ends;   // per cell: its end within the row
        std::vector<bool> nulls;
    };
    int m_columns;
    int m_rows = 0;
    std::vector<std::unique_ptr<Block>> m_blocks;
    std::vector<bool> m_odd;
};

BookCache &BookCache::of(TDataModule2 &dm)
{
    auto *cache = dm.findChild<BookCache *>(QStringLiteral("bookCache"), Qt::FindDirectChildrenOnly);
    if (!cache)
        cache = new BookCache(&dm.conn_jz_m, &dm);
    return *cache;
}

BookCache::BookCache(Connection *conn, QObject *parent) : QObject(parent), m_conn(conn)
{
    setObjectName(QStringLiteral("bookCache"));
}

BookCache::~BookCache() = default;

std::shared_ptr<const RowSource> BookCache::rows() const { return m_store; }

bool BookCache::alive() const { return m_alive && *m_alive; }

// A function on the connection whose end tells that the engine closed the connection: a
// file reopened (a restored backup) may come back under the same handle.
void BookCache::watchConnection()
{
    if (alive())
        return;
    m_alive = std::make_shared<bool>(true);
    auto *holder = new std::shared_ptr<bool>(m_alive);
    if (sqlite3_create_function_v2(m_conn->handle(), "tallyrue_rows_kept", 0, SQLITE_UTF8, holder, noop,
                                   nullptr, nullptr, connectionClosed)
        != SQLITE_OK)
        *m_alive = false;   // the engine has already called connectionClosed
}

BookCache::Stamp BookCache::stamp() const
{
    sqlite3 *db = m_conn->handle();
    Stamp s;
    if (!db)
        return s;
    s.db = db;
    s.changes = sqlite3_total_changes(db);
    s.dataVersion = engineScalar(db, "PRAGMA data_version");
    s.schema = engineScalar(db, "PRAGMA schema_version");
    return s;
}

bool BookCache::isCurrent(const QString &key) const
{
    if (!m_store || !alive() || key != m_key || m_stamp.db == nullptr)
        return false;
    return stamp() == m_stamp && m_stamp.dataVersion >= 0 && m_stamp.schema >= 0;
}

void BookCache::drop()
{
    m_store.reset();
    std::vector<int>().swap(m_order);
    m_fields.clear();
    m_key.clear();
    m_stamp = Stamp();
    m_totalsReady = false;
}

bool BookCache::load(const QString &key)
{
    if (isCurrent(key))
        return true;
    if (m_deferred)
        return false;
    // The old rows go first: two books of a million rows would not fit side by side. Their
    // memory goes back to the system before the new rows grow.
    const bool held = m_store != nullptr;
    drop();
    if (held)
        malloc_trim(0);
    if (!m_conn->isOpen())
        return false;   // the engine's own error follows
    watchConnection();
    const Stamp before = stamp();
    sqlite3_stmt *st = m_conn->prepare(QString::fromLatin1(kBookSql), {{QStringLiteral(":key"), key}});
    const int cols = sqlite3_column_count(st);
    QStringList fields;
    for (int c = 0; c < cols; ++c)
        fields << QString::fromUtf8(sqlite3_column_name(st, c));
    auto store = std::make_shared<Store>(cols);
    std::vector<int> order;
    int rc;
    bool fits = true;
    while (fits && (rc = sqlite3_step(st)) == SQLITE_ROW) {
        const int row = store->append(st);
        fits = row >= 0;
        order.push_back(row);
    }
    sqlite3_finalize(st);
    if (!fits)
        return false;
    if (rc != SQLITE_DONE)
        m_conn->fail();
    store->finish();
    m_fields = fields;
    m_store = std::move(store);
    m_order = std::move(order);
    m_key = key;
    m_bidColumn = int(fields.indexOf(QStringLiteral("bid")));
    const char *const amounts[] = {"b5", "b6", "b7", "b8", "b9", "b10"};
    for (int i = 0; i < 6; ++i)
        m_amountColumns[size_t(i)] = int(fields.indexOf(QString::fromLatin1(amounts[i])));
    m_totalsReady = false;
    // A change between the two stamps (another process) leaves the rows unproven, and so
    // does an open transaction, which may yet be rolled back.
    const Stamp after = stamp();
    m_stamp = after == before && sqlite3_get_autocommit(m_conn->handle()) ? after : Stamp();
    if (m_bidColumn < 0)
        m_stamp = Stamp();
    return true;
}

bool BookCache::plainColumn(int column) const
{
    return m_store && column >= 0 && column < int(m_fields.size()) && !m_store->odd(column);
}

bool BookCache::search(const QList<Like> &likes, std::vector<int> &out) const
{
    if (!m_store)
        return false;
    const int n = int(likes.size());
    std::vector<QByteArray> patterns;
    std::vector<int> columns;
    for (const Like &like : likes) {
        const int col = int(m_fields.indexOf(like.first));
        // Long patterns are the engine's to refuse; odd values the engine's to read.
        if (col < 0 || like.second.isNull() || m_store->odd(col) || like.second.size() > 1000)
            return false;
        columns.push_back(col);
        patterns.push_back(like.second.toUtf8());
    }
    std::vector<EngineLike::Text> pat(static_cast<size_t>(n));
    for (size_t i = 0; i < size_t(n); ++i) {
        const auto *p = reinterpret_cast<const unsigned char *>(patterns[i].constData());
        pat[i] = {p, p + patterns[i].size()};
    }
    out.clear();
    const Store &s = *m_store;
    for (const int row : m_order) {
        bool keep = true;
        for (size_t i = 0; i < size_t(n) && keep; ++i) {
            const int col = columns[i];
            if (s.isNull(row, col)) {
                keep = false;
                break;
            }
            const QByteArrayView b = s.bytes(row, col);
            const auto *p = reinterpret_cast<const unsigned char *>(b.data());
            keep = EngineLike::match(pat[i], {p, p + b.size()});
        }
        if (keep)
            out.push_back(row);
    }
    return true;
}

void BookCache::computeTotals()
{
    for (int i = 0; i < 6; ++i) {
        DecimalSum sum;
        const int col = m_amountColumns[size_t(i)];
        if (col >= 0) {
            for (const int row : m_order) {
                if (m_store->isNull(row, col))
                    continue;
                const QByteArrayView b = m_store->bytes(row, col);
                sum.addText(b.data(), int(b.size()));
            }
        }
        m_sums[size_t(i)] = sum;
    }
    m_totalsReady = true;
}

bool BookCache::total(int index, QString &out)
{
    if (!m_store || index < 0 || index >= 6 || m_store->odd(m_amountColumns[size_t(index)]))
        return false;
    if (!m_totalsReady)
        computeTotals();
    const DecimalSum &sum = m_sums[size_t(index)];
    // The engine's own message for a sum beyond range.
    if (sum.outOfRange())
        return false;
    out = sum.any() ? QString::fromStdString(sum.text()) : QString();
    return true;
}

void BookCache::refreshRow(qint64 bid)
{
    sqlite3_stmt *st = m_conn->prepare(QString::fromLatin1(kRowSql),
                                       {{QStringLiteral(":bid"), QString::number(bid)}, {QStringLiteral(":key"), m_key}});
    int added = -1;
    int rc = sqlite3_step(st);
    {
        if (rc == SQLITE_ROW) {
            if (sqlite3_column_count(st) != m_fields.size()) {
                sqlite3_finalize(st);
                drop();
                return;
            }
            added = m_store->append(st);
            if (added < 0) {
                sqlite3_finalize(st);
                drop();
                return;
            }
            rc = sqlite3_step(st);
        }
    }
    sqlite3_finalize(st);
    if (rc != SQLITE_DONE)
        m_conn->fail();
    // Newest first: the place of `bid` among the rows.
    const Store &s = *m_store;
    auto bidOf = [&](int row) { return QByteArrayView(s.bytes(row, m_bidColumn)).toLongLong(); };
    auto at = std::lower_bound(m_order.begin(), m_order.end(), bid,
                               [&](int row, qint64 b) { return bidOf(row) > b; });
    const bool present = at != m_order.end() && bidOf(*at) == bid;
    if (present && added >= 0) {
        *at = added;
        m_totalsReady = false;
    } else if (present) {
        m_order.erase(at);
        m_totalsReady = false;
    } else if (added >= 0) {
        m_order.insert(at, added);
        if (m_totalsReady) {
            for (int i = 0; i < 6; ++i) {
                const int col = m_amountColumns[size_t(i)];
                if (col >= 0 && !s.isNull(added, col)) {
                    const QByteArrayView b = s.bytes(added, col);
                    m_sums[size_t(i)].addText(b.data(), int(b.size()));
                }
            }
        }
    }
}

BookCache::EntryWrite::EntryWrite(BookCache &cache)
    : m_cache(cache), m_current(cache.m_store && cache.isCurrent(cache.m_key)), m_changes(-1)
{
    if (m_current)
        m_changes = m_cache.m_stamp.changes;
}

BookCache::EntryWrite::~EntryWrite()
{
    if (!m_done)
        m_cache.drop();
}

void BookCache::EntryWrite::done(const QString &bid, int otherRows)
{
    m_done = true;
    BookCache &c = m_cache;
    if (!m_current || !c.m_store || !c.alive()) {
        c.drop();
        return;
    }
    bool ok = false;
    const qint64 key = bid.toLongLong(&ok);
    Stamp now = c.stamp();
    Stamp expected = c.m_stamp;
    expected.changes = now.changes;
    // One statement outside a transaction (a rollback would take the change back), that
    // changed at most one row, the one named.
    if (!ok || QString::number(key) != bid || !(now == expected) || now.changes - m_changes > 1 + otherRows
        || !sqlite3_get_autocommit(c.m_conn->handle())) {
        c.drop();
        return;
    }
    // The rows are only a copy: when the entry cannot be read back they are dropped, and
    // the next listing asks the engine, which reports what is wrong.
    try {
        c.refreshRow(key);
    } catch (...) {
        c.drop();
        return;
    }
    if (c.m_store)
        c.m_stamp = c.stamp();
}

BookCache::OtherWrite::OtherWrite(BookCache &cache)
    : m_cache(cache), m_current(cache.m_store && cache.isCurrent(cache.m_key))
{
}

BookCache::OtherWrite::~OtherWrite()
{
    if (!m_done)
        m_cache.drop();
}

void BookCache::OtherWrite::done()
{
    m_done = true;
    BookCache &c = m_cache;
    if (!m_current || !c.m_store || !c.alive()) {
        c.drop();
        return;
    }
    const Stamp now = c.stamp();
    // Nothing another process committed meanwhile, and nothing left to roll back.
    if (now.db != c.m_stamp.db || now.dataVersion != c.m_stamp.dataVersion || now.dataVersion < 0
        || now.schema < 0 || !sqlite3_get_autocommit(c.m_conn->handle())) {
        c.drop();
        return;
    }
    c.m_stamp = now;
}
