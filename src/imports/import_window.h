#pragma once
// The import window: a bill file read into a preview, its rows ticked or not with the
// reason, a column mapping for tables of no known format, and the import of the ticked
// rows into the current book as one batch that "撤销上次导入" can take back.
#include <QAbstractTableModel>
#include <QDialog>
#include <QList>
#include <functional>
#include <optional>
#include "imports/bill_reader.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class TDataModule2;

namespace imports {

// The preview's rows: a tick, 日期, 类别, 摘要, 单位名称, 金额, 说明.
class BillRowsModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;
    void setRows(QList<ImportRow> rows);
    const QList<ImportRow> &rows() const { return m_rows; }
    int tickedCount() const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

Q_SIGNALS:
    void ticksChanged();

private:
    QList<ImportRow> m_rows;
};

} // namespace imports

class Tdaoru : public QDialog
{
    Q_OBJECT
public:
    explicit Tdaoru(TDataModule2 *dm, QWidget *parent = nullptr);

    // The bill last read (empty before a read).
    const std::optional<imports::Bill> &bill() const { return m_bill; }
    imports::BillRowsModel *rowsModel() const { return m_model; }

public Q_SLOTS:
    void FormShow();
    void daoru_browseClick();
    void daoru_readClick();
    void daoru_okClick();
    void daoru_undoClick();
    void daoru_closeClick();
    void mappingChanged();

protected:
    void showEvent(QShowEvent *event) override;

private:
    // Runs work on a worker thread while the window shows progress with "取消"; the
    // window waits in its event loop. progress(done, total) answers false once cancelled.
    // Rethrows what the work threw.
    void runWork(const QString &label, const std::function<void(const std::function<bool(int, int)> &)> &work);
    void checkPassword();
    void showBill();
    void clearPreview();
    void updateCounts();
    void refreshBook();
    imports::ColumnMapping chosenMapping() const;
    QString bookKey() const;

    TDataModule2 *m_dm;
    std::optional<imports::Bill> m_bill;
    imports::BillRowsModel *m_model;
    QLabel *m_book;
    QLineEdit *m_path;
    QLineEdit *m_password;
    QPushButton *m_browse;
    QPushButton *m_read;
    QLabel *m_format;
    QLabel *m_layout;
    QLabel *m_counts;
    QGroupBox *m_mapping;
    QList<QComboBox *> m_mapBoxes;   // date, summary, party, amount, income, expense, settled, outstanding
    QTableView *m_grid;
    QPushButton *m_ok;
    QPushButton *m_undo;
    QPushButton *m_close;
    bool m_filling = false;
};
