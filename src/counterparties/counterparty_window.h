#pragma once
// The counterparty window: what each counterparty owes and is owed up to a cut-off date,
// with the aging of what is receivable, and the statement of the counterparty selected.
// Figures are read by the data layer (off this thread on a large ledger); while one is
// pending its grid is empty and the window says "计算中…".
#include <QDialog>
#include <memory>
#include "data/counterparty_balances.h"

class CounterpartyReader;
class DataGrid;
class DateField;
class QCheckBox;
class QLabel;
class QPushButton;
class Query;
class ReportComponent;
class ReportData;
class TDataModule2;

class Twanglai : public QDialog
{
    Q_OBJECT
public:
    explicit Twanglai(TDataModule2 *dm, QWidget *parent = nullptr);
    ~Twanglai() override;

    QCheckBox *allBooksBox() const { return m_all; }
    DateField *cutoffField() const { return m_date; }
    QCheckBox *hideZeroBox() const { return m_hideZero; }
    DataGrid *summaryGrid() const { return m_grid; }
    DataGrid *totalsGrid() const { return m_totalGrid; }
    DataGrid *statementGrid() const { return m_detail; }
    DateField *fromField() const { return m_from; }
    DateField *toField() const { return m_to; }
    QLabel *statusLabel() const { return m_status; }
    QLabel *partyLabel() const { return m_partyLabel; }
    bool pending() const;
    CounterpartyReader *reader() const { return m_reader; }

    // The counterparty whose statement is shown (empty for "(未填)"), and whether one is.
    QString statementParty() const { return m_party; }
    bool hasStatementParty() const { return m_hasParty; }

    // Reads the summary again with the settings as they stand.
    void reload();
    // Shows the statement of the counterparty in that summary row, from its first entry to
    // the cut-off.
    void selectRow(int row);

    void wanglai_printClick();
    void wanglai_print_detailClick();

    static QString pendingText() { return QStringLiteral("计算中…"); }

protected:
    void showEvent(QShowEvent *event) override;
    void done(int result) override;

private:
    void showSummary();
    void showStatement();
    void requestStatement(bool defaultRange);
    void clearStatement();
    QString scopeKey() const;
    QString bookName() const;

    TDataModule2 *m_dm;
    CounterpartyReader *m_reader = nullptr;
    std::shared_ptr<const wanglai::Summary> m_summary;
    std::shared_ptr<const wanglai::Statement> m_statement;
    bool m_readable = false;
    QString m_party;
    bool m_hasParty = false;
    bool m_settingRange = false;
    bool m_showing = false;

    QCheckBox *m_all;
    DateField *m_date;
    QCheckBox *m_hideZero;
    QLabel *m_status;
    Query *m_rows;
    Query *m_totalRow;
    DataGrid *m_grid;
    DataGrid *m_totalGrid;
    QLabel *m_partyLabel;
    DateField *m_from;
    DateField *m_to;
    Query *m_lines;
    DataGrid *m_detail;
    QPushButton *m_print;
    QPushButton *m_printDetail;
    ReportData *m_reportData;
    ReportComponent *m_summaryReport;
    ReportComponent *m_statementReport;
};
