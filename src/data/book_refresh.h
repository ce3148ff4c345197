#pragma once
#include <QString>

class Query;
class TDataModule2;

// Re-reads the current book, its entries and its six totals.
namespace BookRefresh {

// Step 1: load the book whose current flag equals `flag` into Query_zhangben.
void loadCurrentBook(TDataModule2 &dm, const QString &flag = QStringLiteral("1"));
// The key of the loaded book row (decimal text of its aid), empty when none.
QString bookKey(const TDataModule2 &dm);
// The statements of the entry list: the whole book (:key) and the quick search (:kind,
// :summary, :party: contains-patterns with the escape '\'; :key).
QString entriesSql();
QString searchSql();
// The entries of one kind of the book (:kind, a contains-pattern; :key), newest first.
QString kindSql();
// Opens a query on the ledger with the statement it holds: from the book's rows in memory
// when the statement is one of those three, else through the engine.
void openBookQuery(TDataModule2 &dm, Query *q);
// Opens the entry list with the statement it holds: from the book's rows in memory when
// the statement is one of those two, else through the engine.
void openEntries(TDataModule2 &dm);
// Step 2: every entry of the book, newest first, into Query_jz_ab.
void loadEntries(TDataModule2 &dm);
// The lighter form of step 2: run the entry list again with its own statement.
void rerunEntries(TDataModule2 &dm);
// Step 3: the six totals of the book.
void loadTotals(TDataModule2 &dm);
// Steps 1, 2 and 3.
void full(TDataModule2 &dm, const QString &flag = QStringLiteral("1"));

} // namespace BookRefresh
