#pragma once
// The switch dialog: lists every book, makes another one current, and hands renaming,
// remarks and deleting of the selected book to their actions.
#include <QDialog>

class DataGrid;
class QLabel;
class QPushButton;
class QToolButton;
class Query;
class TDataModule2;
class Tqiehuan_beizhu;
class Tqiehuan_cmm;

class Tqiehuan : public QDialog
{
    Q_OBJECT
public:
    explicit Tqiehuan(TDataModule2 *dm, QWidget *parent = nullptr);

    void setSmallDialogs(Tqiehuan_cmm *rename, Tqiehuan_beizhu *remark);

    // The header: the current book's name, written by the opener before each showing.
    void setCurrentBookName(const QString &name);
    QString currentBookName() const;

    DataGrid *grid() const { return m_grid; }

public Q_SLOTS:
    void bsSkinButton1Click();        // "切  换"
    void bsSkinButton2Click();        // "取  消"
    void bsSkinSpeedButton1Click();   // "重命名"
    void bsSkinSpeedButton2Click();   // "写备注"
    void bsSkinSpeedButton3Click();   // "删除账本"

protected:
    void showEvent(QShowEvent *event) override;

private:
    bool refuseWhenNoBooks();
    void switchToSelected();
    void deleteSelected();

    TDataModule2 *m_dm;
    Query *m_change;                  // Query_chenge
    Query *m_del;                     // Query_del
    QLabel *m_header;                 // bsSkinStdLabel5
    DataGrid *m_grid;                 // bsSkinDBGrid1
    QPushButton *m_switch;            // bsSkinButton1
    QPushButton *m_cancel;            // bsSkinButton2
    Tqiehuan_cmm *m_rename = nullptr;
    Tqiehuan_beizhu *m_remark = nullptr;
};
