#pragma once
// Who owes what, and since when: per counterparty the exact sums of b5 .. b10, the aging of
// what is still receivable, and the statement of one counterparty between two dates. No
// widgets here; every figure is an exact decimal text as the engine's decimal sum gives it
// ("0" when nothing was summed).
#include <QDate>
#include <QHash>
#include <QList>
#include <QString>
#include <memory>
#include <vector>
#include <atomic>
#include "data/query.h"

class Connection;

namespace wanglai {

// b5 .. b10 in column order.
enum Amount { Income, Received, Receivable, Expense, Paid, Payable, AmountCount };
// Days from an entry's date to the cut-off: 0-30, 31-60, 61-90, over 90 (and no date).
enum Bucket { Days30, Days60, Days90, Older, BucketCount };

struct Balance {
    QString party;                     // b4 without leading and trailing blanks; empty: none
    QString sums[AmountCount];
    QString aging[BucketCount];        // of b7; the four add up to sums[Receivable]
    int entries = 0;
    int undated = 0;                   // entries whose date is no date (counted as Older)
    bool isZero() const;               // receivable and payable both zero
};

// The current book's entries held in memory (BookCache), read in place of the file: the
// rows, the book's rows among them, and where the columns are. The rows must not grow
// while they are read.
struct HeldRows {
    std::shared_ptr<const RowSource> rows;
    std::vector<int> order;
    QString bookKey;
    int bid = -1, kind = -1, date = -1, summary = -1, party = -1, amounts[AmountCount]{-1, -1, -1, -1, -1, -1};
    // From the book's cache when it holds `key` as the file does, with plain text columns.
    static std::shared_ptr<HeldRows> of(const QStringList &fields, std::shared_ptr<const RowSource> rows,
                                        const std::vector<int> &order, const QString &key);
};

// Where each counterparty's entries stand, so that its statement can be read by key
// instead of by a pass over every entry. Valid only for the file as it was read.
struct PartyIndex {
    QHash<QString, std::vector<qint64>> bids;       // entries read from the file
    QHash<QString, std::vector<int>> heldRows;      // entries read from the held rows
    std::shared_ptr<const HeldRows> held;
};

struct Summary {
    QString bookKey;                   // empty: every book
    QDate cutoff;
    std::vector<Balance> parties;      // by receivable descending, then by name
    int undated = 0;
    std::shared_ptr<const PartyIndex> index;
};

struct StatementLine {
    QString bid, kind, date, summary;
    QString amounts[AmountCount];      // as stored (a null text for NULL)
    QString receivableBalance, payableBalance;   // running, exact
    bool undated = false;
};

struct Statement {
    QString bookKey;
    QString party;
    QDate from, to;
    QString openingReceivable, openingPayable;   // before `from`
    QList<StatementLine> lines;        // the undated first, then by date and entry number
    QString periodSums[AmountCount];   // of the lines
    QDate firstDate;                   // the counterparty's first dated entry in scope
};

// The caption of entries without a counterparty.
QString unnamedCaption();
inline QString caption(const QString &party) { return party.isEmpty() ? unnamedCaption() : party; }

// A stored date text ("2012- 8-27"; also "2012-08-27" or "2012-8-27") as a date; invalid
// for text that is no date.
QDate dateOf(const QString &stored);
Bucket bucketOf(qint64 days);

// One pass over the entries of the book (every book when bookKey is empty) dated on or
// before the cut-off; entries whose date is no date count too. Throws DbError.
// With held rows of the book (or of one book among all), those are read from memory and
// only the rest from the file. A set `stop` ends the pass early (the result is then thrown
// away by the caller).
Summary readSummary(Connection &c, const QString &bookKey, const QDate &cutoff,
                    std::shared_ptr<const HeldRows> held = nullptr, const std::atomic<bool> *stop = nullptr);

// The statement of one counterparty (as Balance::party names it) over the same entries:
// the opening balances before `from`, then each entry dated from .. to. With an index of
// the file as it is now, only the counterparty's entries are read. Throws DbError.
Statement readStatement(Connection &c, const QString &bookKey, const QString &party, const QDate &from,
                        const QDate &to, const PartyIndex *index = nullptr);

// The totals row of the counterparties listed, exact.
Balance totalOf(const std::vector<Balance> &parties, bool hideZero);

// An exact sum as money: two decimals at least, never rounded ("150" -> "150.00"); text
// that is no plain decimal stays as it is.
QString money(const QString &amount);

// Exact arithmetic on amount texts, by the engine's own sum code.
QString add(const QString &a, const QString &b);
int compare(const QString &a, const QString &b);   // -1, 0, 1

} // namespace wanglai
