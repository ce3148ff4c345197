#pragma once
// The new-book dialog: creates an account book and makes it the current book at once.
#include <QDialog>

class DateField;
class QLineEdit;
class QPushButton;
class QTimeEdit;
class Query;
class TDataModule2;

class Tnew_zhangben : public QDialog
{
    Q_OBJECT
public:
    explicit Tnew_zhangben(TDataModule2 *dm, QWidget *parent = nullptr);

    // The creation text as it will be stored: date text, one blank, time text.
    QString creationText() const;

    void FormShow();             // on every showing
    void bsSkinButton1Click();   // "保  存"
    void bsSkinButton2Click();   // "取  消"

protected:
    void showEvent(QShowEvent *event) override;

private:
    void save();

    TDataModule2 *m_dm;
    Query *m_add;                // Query_add
    QLineEdit *m_name;           // bsSkinEdit1
    QLineEdit *m_remark;         // bsSkinEdit2
    DateField *m_date;           // bsSkinDateEdit1
    QTimeEdit *m_time;           // bsSkinTimeEdit1
    QPushButton *m_save;         // bsSkinButton1
    QPushButton *m_cancel;       // bsSkinButton2
};
