#pragma once
// One implementation for the four entry dialogs (new / edit, income / expense).
#include <QDialog>
#include <QString>

class TDataModule2;
class Tlist;
class Query;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;
class AmountField;
class DateField;

class EntryDialog : public QDialog
{
    Q_OBJECT
public:
    enum class Kind { Income, Expense };
    enum class Mode { New, Edit };

    EntryDialog(Kind kind, Mode mode, TDataModule2 *dm, QWidget *parent = nullptr);

    Kind kind() const { return m_kind; }
    Mode mode() const { return m_mode; }

    // New dialogs: the current book key, written into the hidden label before showing.
    // Editors keep no book key: a no-op there, and bookKey() is empty.
    void setBookKey(const QString &key);
    QString bookKey() const;

    // Editors: fill from the selected entry, in this order, as the page shows the texts.
    // Throws when the stored total is not a number and the settled text differs in value.
    void loadEntry(const QString &bid, const QString &summary, const QString &counterparty,
                   const QString &date, const QString &total, const QString &settled,
                   const QString &outstanding);
    // Editors: the entry number being edited (hidden label), empty for new dialogs.
    QString entryNumber() const;

    // The menu item manager opened by the two picker buttons.
    void setMenuManager(Tlist *manager) { m_manager = manager; }

    // The summary and counterparty fields ("选  择" of the manager writes them).
    void setSummaryText(const QString &text);
    void setCounterpartyText(const QString &text);
    QString summaryText() const;
    QString counterpartyText() const;

    // Handlers, named after their controls.
    void FormShow();               // new dialogs, on every show
    void bsSkinEdit1Change();      // total changed: settled follows it
    void bsSkinEdit2Change();      // settled changed: outstanding = total - settled
    void bsSkinButton1Click();     // "保  存"
    void bsSkinButton2Click();     // "取  消"
    void bsSkinSpeedButton1Click(); // summary picker
    void bsSkinSpeedButton2Click(); // counterparty picker

protected:
    void showEvent(QShowEvent *event) override;

    Kind m_kind;
    Mode m_mode;
    TDataModule2 *m_dm;
    Tlist *m_manager = nullptr;

private:
    void buildUi();
    void recomputeOutstanding();
    void save();
    // Runs one statement on a command query: close, clear, add the statement, bind, execute.
    static void runCommand(Query *q, const QString &sql, const QStringList &values);

    QLineEdit *m_summary = nullptr;        // bsSkinEdit4
    QLineEdit *m_counterparty = nullptr;   // bsSkinEdit5
    DateField *m_date = nullptr;           // bsSkinDateEdit1
    AmountField *m_total = nullptr;        // bsSkinEdit1
    AmountField *m_settled = nullptr;      // bsSkinEdit2
    AmountField *m_outstanding = nullptr;  // bsSkinEdit3
    QLabel *m_keyLabel = nullptr;          // book key (new) or entry number (editors)
    QToolButton *m_pickSummary = nullptr;  // bsSkinSpeedButton1
    QToolButton *m_pickCounterparty = nullptr; // bsSkinSpeedButton2
    QPushButton *m_save = nullptr;         // bsSkinButton1
    QPushButton *m_cancel = nullptr;       // bsSkinButton2

    Query *m_write = nullptr;              // Query_add (new) or Query_edit (editors)
    Query *m_phraseAdd = nullptr;          // Query_f_add

    // While an editor is being filled a failed subtraction is handed to the opener.
    bool m_loading = false;
    QString m_loadError;
};

class Tnew_shouru : public EntryDialog
{
    Q_OBJECT
public:
    explicit Tnew_shouru(TDataModule2 *dm, QWidget *parent = nullptr)
        : EntryDialog(Kind::Income, Mode::New, dm, parent) {}
};
class Tnew_zhichu : public EntryDialog
{
    Q_OBJECT
public:
    explicit Tnew_zhichu(TDataModule2 *dm, QWidget *parent = nullptr)
        : EntryDialog(Kind::Expense, Mode::New, dm, parent) {}
};
class Tedit_shouru : public EntryDialog
{
    Q_OBJECT
public:
    explicit Tedit_shouru(TDataModule2 *dm, QWidget *parent = nullptr)
        : EntryDialog(Kind::Income, Mode::Edit, dm, parent) {}
};
class Tedit_zhichu : public EntryDialog
{
    Q_OBJECT
public:
    explicit Tedit_zhichu(TDataModule2 *dm, QWidget *parent = nullptr)
        : EntryDialog(Kind::Expense, Mode::Edit, dm, parent) {}
};
