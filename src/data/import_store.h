#pragma once
// Storing the rows of an imported bill: all ticked rows in one transaction, each entry
// remembered with the source row it came from (table jz_daoru of the ledger file, made on
// first use), so that no source row is stored twice and the last batch can be taken back.
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class Connection;
class TDataModule2;

// One row of a bill as it would become an entry. Amounts are amount texts; an entry is of
// kind "收入" (b5..b7) or "支出" (b8..b10).
struct ImportRow {
    int line = 0;             // where it is in the file (1-based line or sheet row)
    QString kind;
    QString date;
    QString summary;
    QString party;
    QString total;
    QString settled;
    QString outstanding;
    QString orderNo;          // empty when the file has none
    bool ticked = true;
    bool tickable = true;     // false: a value was no date, amount or known value
    QString reason;           // why unticked, or what was changed on the way in
};

class ImportStore
{
public:
    // Works on the ledger file through `ledger` (the data module's or a worker's own).
    explicit ImportStore(Connection &ledger);

    // A connection of its own to the data module's ledger or phrase file, for a worker thread.
    static std::unique_ptr<Connection> openLedger(const TDataModule2 &dm);
    static std::unique_ptr<Connection> openPhrases(const TDataModule2 &dm);

    static QString duplicateReason() { return QStringLiteral("重复"); }

    // Unticks as duplicates: rows whose order number this source kind already brought in,
    // or an earlier row of the same list with that number; rows without one that match an
    // entry of the book in date, total, kind and counterparty.
    void markDuplicates(const QString &sourceKind, const QString &bookKey, QList<ImportRow> &rows);

    struct Stored {
        int entries = 0;
        qint64 batch = 0;
        bool cancelled = false;
    };
    // Inserts every ticked row into book `bookKey`, all or none. progress(rowsDone) is asked
    // now and then; false rolls everything back. Throws DbError.
    Stored store(const QString &bookKey, const QString &sourceKind, const QString &fileName,
                 const QList<ImportRow> &rows, const std::function<bool(int)> &progress = {});

    // Adds to the phrase lists each summary and counterparty they do not hold yet, once.
    static void addPhrases(Connection &phrases, const QList<ImportRow> &rows);

    struct LastBatch {
        qint64 batch = 0;        // 0: nothing to take back
        QString fileName;
        QString time;
        int entries = 0;         // entries of the batch still in the ledger
    };
    LastBatch lastBatch();

    struct Undone {
        int removed = 0;
        QStringList changed;     // entries changed since the import: nothing was removed
    };
    // Removes the entries of the last batch and its source rows, unless one was changed.
    Undone undoLast();

private:
    bool tableExists();
    void ensureTable();
    Connection &m_c;
};
