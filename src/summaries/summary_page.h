#pragma once
// The income and expense summary pages: the entries of the current book of one kind, with
// the three amounts of that kind. One implementation; the two pages differ only in their
// kind, amount columns, query and banner picture.
#include <QFrame>
#include <QStringList>
#include <functional>

class DataGrid;
class QLabel;
class QToolButton;
class Query;
class TDataModule2;
class TitleSort;

class SummaryPage : public QFrame
{
    Q_OBJECT
public:
    enum class Kind { Income, Expense };

    Kind kind() const { return m_kind; }

    // Creates the page query on the ledger connection and binds the grid to it.
    void attachData(TDataModule2 *dm);

    // Run by the navigation item once the page is visible: the list rebuilt for the
    // current book and the plain titles back (sort marks dropped).
    void pageSetUp();

    // The page's own rows and kind, for the summary report.
    Query *pageQuery() const { return m_query; }
    QString kindText() const;               // the caption of bsSkinStdLabel5

    // The statement the page runs; the kind pattern and the book key are bound.
    static QString pageSql();

    // The eight plain column titles of this page.
    QStringList plainTitles() const;

    void setPrintHook(std::function<void()> hook) { m_printHook = std::move(hook); }
    void setHelpHook(std::function<void()> hook) { m_helpHook = std::move(hook); }

    DataGrid *grid() const { return m_grid; }
    TitleSort *titleSort() const { return m_sort; }

public Q_SLOTS:
    void bsSkinSpeedButton4Click();   // 刷新
    void bsSkinSpeedButton9Click();   // 打 印
    void bsSkinSpeedButton8Click();   // 帮 助

protected:
    SummaryPage(Kind kind, QWidget *parent);
    void hideEvent(QHideEvent *event) override;

private:
    // Steps 1 to 3 of the set-up: close, new statement, open.
    void rebuildList();
    void resetTitles();
    QToolButton *toolButton(QWidget *bar, const QString &name, const QString &caption, const QString &icon);

    Kind m_kind;
    TDataModule2 *m_dm = nullptr;
    Query *m_query = nullptr;   // Query_shouru / Query_zhichu
    QLabel *m_kindLabel;        // bsSkinStdLabel5
    DataGrid *m_grid;           // bsSkinDBGrid1
    TitleSort *m_sort;
    std::function<void()> m_printHook, m_helpHook;
};

class TFr_shouru : public SummaryPage
{
    Q_OBJECT
public:
    explicit TFr_shouru(QWidget *parent = nullptr) : SummaryPage(Kind::Income, parent) {}
};

class TFr_zhichu : public SummaryPage
{
    Q_OBJECT
public:
    explicit TFr_zhichu(QWidget *parent = nullptr) : SummaryPage(Kind::Expense, parent) {}
};
