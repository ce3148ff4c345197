#pragma once
// The figures behind the chart window, from grouped statements over the entries: per
// month and per counterparty. No widgets here; every amount is an exact decimal text as
// the engine's decimal sum gives it ("0" when nothing was summed).
#include <QList>
#include <QString>

class BookCache;
class Connection;

namespace chart {

// One month of entries, or (year 0, month 0) the entries whose date text is no date.
struct MonthFigures {
    int year = 0;
    int month = 0;
    QString income;       // sum of b5
    QString expense;      // sum of b8
    QString receivable;   // sum of b7
    QString payable;      // sum of b10
    QString balance;      // receivable - payable
    bool isOther() const { return year == 0; }
};

struct PartyFigure {
    QString party;   // the counterparty text; the rest summed is kRest
    QString total;
    bool rest = false;
};

struct Figures {
    QList<MonthFigures> months;      // by year and month; the undated ones last
    QList<int> years;                // the years present, ascending
    bool hasOther = false;           // some date text is no date
    QList<PartyFigure> topIncome;    // the largest ten, then the rest summed
    QList<PartyFigure> topExpense;
};

inline constexpr int kTopParties = 10;
// The caption of the undated entries and of the counterparties beyond the top ten.
QString restCaption();

// One grouped statement each, so a window can read the part it shows; bookKey empty
// means every entry of every book. wholeTable reads the book in one pass over all entries
// instead of through its index, which is quicker when the book holds most of them.
// With the book's rows in memory (cache, when it holds bookKey as the file does) the same
// groups are summed from them instead.
void loadMonths(Connection &c, const QString &bookKey, bool wholeTable, Figures &f, BookCache *cache = nullptr);
void loadParties(Connection &c, const QString &bookKey, bool wholeTable, Figures &f, BookCache *cache = nullptr);
// The cache holds the book's rows as the file does.
bool holdsBook(BookCache *cache, const QString &bookKey);
// More than half of the entries belong to the book.
bool bookIsMostOfTable(Connection &c, const QString &bookKey);

// The month of a stored date text ("2012- 8-27" is 2012, 8); false for text that is no date.
bool monthOf(const QString &date, int &year, int &month);

// Exact decimal arithmetic on sum texts ("-12.5", "3"), with the engine's own sum code:
// each text counts as the engine reads it ("abc" is 0).
QString decimalAdd(const QString &a, const QString &b);
QString decimalNegate(const QString &a);
int decimalCompare(const QString &a, const QString &b);   // -1, 0, 1
// A decimal rounded to two places, for drawing; the exact text goes into tooltips.
double decimalValue(const QString &a);

} // namespace chart
