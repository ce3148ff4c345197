#pragma once
#include <QList>
#include <QPair>
#include <QString>

class TDataModule2;

namespace bench {

struct Results {
    QList<QPair<QString, double>> items;
    void add(const QString &name, double value) { items.append({name, value}); }
};

// Times the window handlers (search, sort, page switch, saving an entry).
void runWindowSteps(TDataModule2 &dm, Results &r);

// The whole program on the ledger in dir: "打 印" on the account-book page, written to a
// PDF; time, memory above what the program held before, pages and file size.
void runPdfStep(const QString &dir, Results &r);
// The real program started five times on a copy of the ledger in ledgerDir, and on an empty
// one: medians from exec to the painted main window, and their ratio.
void runStartUpSteps(const QString &ledgerDir, Results &r);

// Times the backup sets of the ledger in dir; prints one line.
int runBackup(const QString &dir);

// The same print button answered with 导出Excel and then with 导出CSV: time, CPU time,
// memory above what the program held before, file size.
void runExportSteps(const QString &dir, Results &r);

// The switch dialog's delete of a book of n entries with and without the bin's copy, then
// its restore and purge; prints one line. The ledger is kept under base/bin-<n>.
int runBin(const QString &base, int n);

// The chart window opened on the current book, then switched to every book.
void runChartStep(TDataModule2 &dm, Results &r);

// The counterparty window: the summary of the current book and of every book, and the
// statement of a counterparty with 10 000 entries (which fillStatementParty puts into book 3).
void fillStatementParty(const QString &dir);
void runCounterpartySteps(TDataModule2 &dm, Results &r);

} // namespace bench
