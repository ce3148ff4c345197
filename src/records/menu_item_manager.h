#pragma once
// The menu item manager: keeps the two phrase lists (summaries, counterparties) and hands
// a chosen phrase to the entry dialogs.
#include <QDialog>
#include <QList>

class TDataModule2;
class EntryDialog;
class DataGrid;
class Query;
class QPushButton;
class QWidget;

class Tlist : public QDialog
{
    Q_OBJECT
public:
    explicit Tlist(TDataModule2 *dm, QWidget *parent = nullptr);

    // The dialogs whose summary / counterparty field "选  择" writes.
    void setTargets(QList<EntryDialog *> targets) { m_targets = std::move(targets); }

    // Make one panel visible, then show the manager modally.
    void showSummaries();
    void showCounterparties();

    // Handlers, named after their controls.
    void bsSkinButton1Click();   // "选  择", summaries
    void bsSkinButton2Click();   // "取  消", summaries
    void bsSkinButton3Click();   // "选  择", counterparties
    void bsSkinButton4Click();   // "取  消", counterparties

    // 取  消, the close button and Escape: the row being edited is written first.
    void reject() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    struct Panel {
        QWidget *panel = nullptr;
        DataGrid *grid = nullptr;
        Query *query = nullptr;
    };
    Panel buildPanel(const QString &panelName, const QString &heading, const QString &navigatorName,
                     const QString &gridName, Query *query, const QString &chooseName,
                     const QString &cancelName);
    void choose(const Panel &p, bool summaries);
    void followRow(const Panel &p, int row);
    // Takes the open cell editor into its row, then writes the row being edited; an empty
    // phrase is dropped instead. Throws when the write fails.
    void writeEdit(const Panel &p);
    static bool isEmptyEdit(const Query *q);
    // An empty new row goes away, an emptied stored row gets its text back; the current row
    // stays on the row it was on.
    void dropEmptyEdit(const Panel &p);
    const Panel *panelOf(QObject *watched) const;

    TDataModule2 *m_dm;
    QList<EntryDialog *> m_targets;
    Panel m_zhaiyao;   // caidan_zhaiyao: summaries, Query_jz_a1
    Panel m_danwei;    // caidan_danwei: counterparties, Query_jz_a2
};
