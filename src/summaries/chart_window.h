#pragma once
// The chart window: income and expenses per month with the outstanding balance, and the
// largest counterparties, for the current book or for all books. Read-only; the figures
// are computed afresh on every show and when the book choice changes.
#include <QDialog>
#include "summaries/chart_figures.h"

class QChart;
class QCheckBox;
class QComboBox;
class QTabWidget;
class TDataModule2;

class Tchart : public QDialog
{
    Q_OBJECT
public:
    explicit Tchart(TDataModule2 *dm, QWidget *parent = nullptr);

    const chart::Figures &figures() const { return m_figures; }
    QCheckBox *allBooksBox() const { return m_allBooks; }
    QComboBox *yearBox() const { return m_year; }
    QTabWidget *tabs() const { return m_tabs; }
    QChart *monthChart() const { return m_monthChart; }
    QChart *incomePartyChart() const { return m_incomeChart; }
    QChart *expensePartyChart() const { return m_expenseChart; }

    // The months the monthly chart shows now, in its order.
    const QList<chart::MonthFigures> &shownMonths() const { return m_shownMonths; }
    // The counterparties a party chart shows, top first (the chart draws them bottom up).
    const QList<chart::PartyFigure> &shownParties(bool income) const
    {
        return income ? m_figures.topIncome : m_figures.topExpense;
    }
    // What hovering over a bar or a point tells: "2012年8月" and the exact sum.
    // series 0 income bars, 1 expense bars, 2 the balance line.
    QString monthTip(int series, int index) const;
    QString partyTip(bool income, int index) const;

    // Reads the figures again: the tab shown now at once, the other when it is shown.
    void reload();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void readShownTab();
    void showYear();
    void drawParties(QChart *chart, bool income);

    TDataModule2 *m_dm;
    chart::Figures m_figures;
    QString m_key;              // the book read; empty for every book
    bool m_readable = false;
    bool m_wholeTable = false;  // the book holds most entries: one pass over all is quicker
    bool m_monthsRead = false;
    bool m_partiesRead = false;
    QList<chart::MonthFigures> m_shownMonths;
    QCheckBox *m_allBooks;
    QComboBox *m_year;
    QTabWidget *m_tabs;
    QChart *m_monthChart;
    QChart *m_incomeChart;
    QChart *m_expenseChart;
};
