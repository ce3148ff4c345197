#pragma once
// The bin: every deleted entry, book and detail line is kept, in the same transaction as
// its delete, in tables of the same file (jz_hs and its row tables), until it is put back,
// removed for good or older than the bin keeps things. The tables are made by the first
// delete a file sees; a file without them works as it always did.
#include <QDateTime>
#include <QList>
#include <QString>

class TDataModule2;

namespace RecycleBin {

// What was deleted, as the bin lists it.
QString entryKind();    // "收支记录"
QString bookKind();     // "账本"
QString detailKind();   // "明细"

// How long an item stays in the bin.
constexpr int kKeepDays = 30;

// Deletes the entry list's current row, keeping its copy: one transaction. The book held
// in memory follows.
void deleteCurrentEntry(TDataModule2 &dm);
// Copies the book `key` and all its entries into the bin. Call inside the transaction on
// the ledger that deletes them, before the deletes.
void keepBook(TDataModule2 &dm, const QString &key);
// Deletes the detail list's current line, keeping its copy: one transaction.
void deleteCurrentDetail(TDataModule2 &dm);

struct Item {
    bool detailFile = false;   // which file holds it
    qint64 id = 0;             // its number in that file's bin
    QString kind;
    QString deletedAt;         // as shown
    qint64 deletedMs = 0;
    QString book;              // the book's name
    QString description;
};

// Everything in the bin, newest first. Reads only: a file without a bin lists nothing.
QList<Item> items(TDataModule2 &dm);

struct Outcome {
    bool restored = false;
    QString refusal;      // why not, for the user
    qint64 bookItem = -1; // the bin's item of the book the refusal names, when there is one
};

// Puts an item back with its numbers and texts, all of it or nothing. An entry whose book
// is gone is refused. Afterwards the book list, the entry list and its totals, and the
// detail list show what the files hold.
Outcome restore(TDataModule2 &dm, const Item &item);
// Removes an item for good.
void purge(TDataModule2 &dm, const Item &item);
// Removes what is older than `days` (measured from now()); returns how many items went.
int removeOlderThan(TDataModule2 &dm, int days = kKeepDays);

} // namespace RecycleBin
