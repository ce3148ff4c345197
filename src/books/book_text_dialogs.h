#pragma once
// The two small dialogs of the switch dialog: a new name (Tqiehuan_cmm) and a remark
// (Tqiehuan_beizhu) for one book. One field, "保  存", the book's key in a hidden label;
// the close box leaves without saving.
#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class Query;
class TDataModule2;

class BookTextDialog : public QDialog
{
    Q_OBJECT
public:
    // The book to change and its present text, written before each showing.
    void setBook(const QString &key, const QString &text);
    QString bookKey() const;

    void bsSkinButton2Click();   // "保  存"

protected:
    BookTextDialog(TDataModule2 *dm, const QString &objectName, const QString &caption,
                   const QString &placeholder, int height, int maxLength, QWidget *parent);
    void showEvent(QShowEvent *event) override;

    // Refuses (with its message) or runs the update for the field's text.
    virtual void save(const QString &text) = 0;
    void runUpdate(const QString &sql, const QString &text);

    TDataModule2 *m_dm;
    Query *m_change;             // Query_chenge
    QLineEdit *m_field;          // bsSkinEdit1
    QPushButton *m_save;         // bsSkinButton2
    QLabel *m_key;               // bsSkinStdLabel1
};

class Tqiehuan_cmm : public BookTextDialog
{
    Q_OBJECT
public:
    explicit Tqiehuan_cmm(TDataModule2 *dm, QWidget *parent = nullptr);

protected:
    void save(const QString &text) override;
};

class Tqiehuan_beizhu : public BookTextDialog
{
    Q_OBJECT
public:
    explicit Tqiehuan_beizhu(TDataModule2 *dm, QWidget *parent = nullptr);

protected:
    void save(const QString &text) override;
};
