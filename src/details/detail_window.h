#pragma once
// The detail window: the detail lines of one entry, with adding, changing and deleting.
#include <QDialog>
#include <QString>

class DataGrid;
class DetailDialog;
class QLabel;
class QToolButton;
class TDataModule2;

class Tmingxi : public QDialog
{
    Q_OBJECT
public:
    explicit Tmingxi(TDataModule2 *dm, QWidget *parent = nullptr);

    // The dialogs opened by "添加明细" and "修改明细".
    void setDialogs(DetailDialog *add, DetailDialog *change);

    // Written by the opener before every show.
    void setEntryLine(const QString &line);
    QString entryLine() const;
    void setEntryKey(const QString &key);
    QString entryKey() const;

    // Writes the entry line, the entry key and the caption, then shows the window modally.
    void openFor(const QString &entryLine, const QString &entryKey, const QString &caption);

    DataGrid *grid() const { return m_grid; }

    // Handlers, named after their controls.
    void FormShow();                 // loads the lines of the entry key
    void bsSkinSpeedButton1Click();  // 添加明细
    void bsSkinSpeedButton2Click();  // 修改明细
    void bsSkinSpeedButton3Click();  // 删除明细

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool refuseWhenEmpty();

    TDataModule2 *m_dm;
    DetailDialog *m_add = nullptr;
    DetailDialog *m_change = nullptr;
    QLabel *m_line;                  // the entry line inside the banner
    QLabel *m_key;                   // bsSkinStdLabel3
    DataGrid *m_grid;                // bsSkinDBGrid1
};
