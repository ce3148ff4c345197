#pragma once
// One implementation for the two detail dialogs: adding a line to an entry and changing one.
#include <QDialog>
#include <QString>

class AmountField;
class DateField;
class QLabel;
class QLineEdit;
class QPushButton;
class Query;
class TDataModule2;

class DetailDialog : public QDialog
{
    Q_OBJECT
public:
    enum class Mode { New, Edit };

    DetailDialog(Mode mode, TDataModule2 *dm, QWidget *parent = nullptr);

    Mode mode() const { return m_mode; }

    // The entry whose lines are added or changed (hidden label), set before every show.
    void setEntryKey(const QString &key);
    QString entryKey() const;

    // Change dialog: fills the fields with the line's stored texts and keeps its uaid.
    void loadLine(const QString &uaid, const QString &category, const QString &date,
                  const QString &summary, const QString &remark, const QString &amount);
    // Change dialog: the uaid of the line being changed; empty for the add dialog.
    QString lineId() const;

    // Handlers, named after their controls.
    void FormShow();            // add dialog, on every show
    void bsSkinButton1Click();  // "保  存"
    void bsSkinButton2Click();  // "取  消"

protected:
    void showEvent(QShowEvent *event) override;

private:
    void buildUi();
    void save();

    Mode m_mode;
    TDataModule2 *m_dm;
    Query *m_write;                       // Query_add or Query_edit

    QLineEdit *m_category = nullptr;      // ua1
    DateField *m_date = nullptr;          // ua2
    QLineEdit *m_summary = nullptr;       // ua3
    QLineEdit *m_remark = nullptr;        // ua4
    AmountField *m_amount = nullptr;      // ua5
    QLabel *m_entryKey = nullptr;         // bsSkinStdLabel9
    QLabel *m_lineId = nullptr;           // bsSkinStdLabel10, change dialog only
    QPushButton *m_save = nullptr;        // bsSkinButton1
    QPushButton *m_cancel = nullptr;      // bsSkinButton2
};

class Tnew_mingxi : public DetailDialog
{
    Q_OBJECT
public:
    explicit Tnew_mingxi(TDataModule2 *dm, QWidget *parent = nullptr)
        : DetailDialog(Mode::New, dm, parent) {}
};

class Tedit_mingxi : public DetailDialog
{
    Q_OBJECT
public:
    explicit Tedit_mingxi(TDataModule2 *dm, QWidget *parent = nullptr)
        : DetailDialog(Mode::Edit, dm, parent) {}
};
