#pragma once
#include <QObject>
#include <QString>
#include <QStringList>
#include <QList>
#include <QPair>
#include <array>
#include <memory>
#include <vector>
#include "data/decimal_sum.h"
#include "data/query.h"

class Connection;
class TDataModule2;

// The entries of the current book held in memory, exactly as the engine gives them for
// "select * from jz_ab where b14 = :key order by bid desc", so that re-listing, searching
// and summing the book need no new pass over the file. The rows are trusted only while
// nothing can have changed the file behind them: any change on the connection that was
// not announced through EntryWrite, a change by another connection, a new schema or a
// reopened file makes the next use load them afresh.
class BookCache : public QObject
{
    Q_OBJECT
public:
    // The one cache of a data module (created on first use).
    static BookCache &of(TDataModule2 &dm);

    explicit BookCache(Connection *conn, QObject *parent = nullptr);
    ~BookCache() override;

    // True when the rows in memory are those of `key` and still what the file holds.
    bool isCurrent(const QString &key) const;
    // Makes the rows current for `key`, loading them when needed; false when the book
    // holds an entry too long to be kept here (the engine answers then). Throws DbError.
    bool load(const QString &key);
    // Forgets the rows (and their memory).
    void drop();
    // While set, a book not in memory yet is left to the engine (load() returns false): the
    // listing at start then reads only the keys, and the rows follow once the window shows.
    void setLoadDeferred(bool deferred) { m_deferred = deferred; }

    QStringList fields() const { return m_fields; }
    // The column holds nothing but texts and NULLs, as the rows are read here.
    bool plainColumn(int column) const;
    std::shared_ptr<const RowSource> rows() const;
    // Source rows of the whole book, newest first.
    const std::vector<int> &bookOrder() const { return m_order; }

    // The rows of the book where every field named is like its pattern (escape '\'),
    // newest first. False when the answer must come from the engine instead.
    using Like = QPair<QString, QString>;   // field, pattern
    bool search(const QList<Like> &likes, std::vector<int> &out) const;

    // The book's sum of b5 .. b10 (index 0 .. 5) as the registered sum() gives it; a null
    // text for NULL. False when the engine must compute it.
    bool total(int index, QString &out);

    // Brackets one statement that changes at most the entry `bid`; afterwards the rows
    // follow that entry as the file now holds it. Anything else drops the rows.
    class EntryWrite
    {
    public:
        explicit EntryWrite(BookCache &cache);
        ~EntryWrite();   // without done(): drops the rows
        // otherRows: rows the same write changed in tables other than jz_ab (the bin's).
        void done(const QString &bid, int otherRows = 0);
        EntryWrite(const EntryWrite &) = delete;
        EntryWrite &operator=(const EntryWrite &) = delete;

    private:
        BookCache &m_cache;
        bool m_current;
        long long m_changes;
        bool m_done = false;
    };

    // Brackets statements that change no entry (other tables, new tables among them):
    // afterwards the rows stay trusted if they were before. Anything else drops them.
    class OtherWrite
    {
    public:
        explicit OtherWrite(BookCache &cache);
        ~OtherWrite();   // without done(): drops the rows
        void done();
        OtherWrite(const OtherWrite &) = delete;
        OtherWrite &operator=(const OtherWrite &) = delete;

    private:
        BookCache &m_cache;
        bool m_current;
        bool m_done = false;
    };

private:
    struct Stamp {
        const void *db = nullptr;
        long long changes = -1;
        long long dataVersion = -1;
        long long schema = -1;
        bool operator==(const Stamp &o) const
        {
            return db == o.db && changes == o.changes && dataVersion == o.dataVersion && schema == o.schema;
        }
    };
    class Store;
    Stamp stamp() const;
    bool alive() const;
    void watchConnection();
    void refreshRow(qint64 bid);
    void computeTotals();

    Connection *m_conn;
    QString m_key;
    QStringList m_fields;
    std::shared_ptr<Store> m_store;
    std::vector<int> m_order;        // source rows, bid descending
    Stamp m_stamp;
    std::shared_ptr<bool> m_alive;   // false once the engine closed the connection
    int m_bidColumn = -1;
    std::array<int, 6> m_amountColumns{{-1, -1, -1, -1, -1, -1}};
    bool m_deferred = false;
    bool m_totalsReady = false;       // m_sums cover every row of m_order
    std::array<DecimalSum, 6> m_sums;
};
