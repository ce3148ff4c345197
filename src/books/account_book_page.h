#pragma once
// The account-book page: the entries of the current book, its name and six totals, and the
// tool bar every operation on entries and books starts from.
#include <QFrame>
#include <QList>
#include <functional>

class DataGrid;
class EntryDialog;
class QLabel;
class QToolButton;
class QuickSearch;
class TDataModule2;
class TitleSort;

class TFr_zhangben : public QFrame
{
    Q_OBJECT
public:
    explicit TFr_zhangben(QWidget *parent = nullptr);

    // Binds the grid and the labels to the data module's queries.
    void attachData(TDataModule2 *dm);
    void setEntryDialogs(EntryDialog *newIncome, EntryDialog *newExpense, EntryDialog *editIncome,
                         EntryDialog *editExpense);

    // Windows of other parts, opened by the page once they exist (any may stay empty).
    // The detail hook runs for the selected entry of a non-empty list, with the entry line,
    // the entry key (its bid) and the caption for the detail window.
    using DetailHook = std::function<void(const QString &entryLine, const QString &entryKey,
                                          const QString &caption)>;
    void setDetailHook(DetailHook hook) { m_detailHook = std::move(hook); }
    void setPrintHook(std::function<void()> hook) { m_printHook = std::move(hook); }
    void setHelpHook(std::function<void()> hook) { m_helpHook = std::move(hook); }
    void setSwitchHook(std::function<void()> hook) { m_switchHook = std::move(hook); }
    void setNewBookHook(std::function<void()> hook) { m_newBookHook = std::move(hook); }

    // The current book as the page shows it (empty when no book row is loaded).
    QString bookKey() const;
    QString bookName() const;

    DataGrid *grid() const { return m_grid; }
    TitleSort *titleSort() const { return m_sort; }
    QuickSearch *quickSearch() const { return m_search; }

    // The eleven plain column titles (drops every sort mark).
    void resetTitles();
    static QStringList plainTitles();

    // The six total values, b5 .. b10.
    QLabel *totalLabel(int i) const { return m_totals.value(i); }

public Q_SLOTS:
    void bsSkinSpeedButton2Click();   // 新收入
    void bsSkinSpeedButton3Click();   // 新支出
    void bsSkinSpeedButton12Click();  // 明 细
    void bsSkinSpeedButton5Click();   // 修改选中
    void bsSkinSpeedButton6Click();   // 删除选中
    void bsSkinSpeedButton7Click();   // 速 查
    void bsSkinSpeedButton4Click();   // 刷新
    void bsSkinSpeedButton9Click();   // 打 印
    void bsSkinSpeedButton8Click();   // 帮 助
    void bsSkinStdLabel1Click();      // [切换]
    void bsSkinSpeedButton1Click();   // 新账本
    void bsSkinDBGrid1DblClick();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QToolButton *toolButton(QWidget *bar, const QString &name, const QString &caption, const QString &icon);
    bool refuseWhenEmpty();
    void openNewEntry(EntryDialog *dialog);

    TDataModule2 *m_dm = nullptr;
    DataGrid *m_grid;
    TitleSort *m_sort;
    QuickSearch *m_search;
    QLabel *m_bookName;               // bsSkinDBText16
    QLabel *m_aid;                    // bsSkinDBText13
    QLabel *m_created;                // bsSkinDBText14
    QLabel *m_remark;                 // bsSkinDBText15
    QLabel *m_switch;                 // bsSkinStdLabel1
    QList<QLabel *> m_totals;
    EntryDialog *m_newIncome = nullptr;
    EntryDialog *m_newExpense = nullptr;
    EntryDialog *m_editIncome = nullptr;
    EntryDialog *m_editExpense = nullptr;
    DetailHook m_detailHook;
    std::function<void()> m_printHook, m_helpHook, m_switchHook, m_newBookHook;
};
