#pragma once
// The bin window: what was deleted, newest first, to put back or remove for good.
#include <QDialog>
#include "data/recycle_bin.h"

class QPushButton;
class QTableView;
class TDataModule2;
class BinModel;

class Thuishou : public QDialog
{
    Q_OBJECT
public:
    explicit Thuishou(TDataModule2 *dm, QWidget *parent = nullptr);

    // Lists the bin again, keeping the selected item where it still is.
    void reload();
    int itemCount() const;
    RecycleBin::Item itemAt(int row) const;
    // Selects the listed row of this item; false when it is not listed.
    bool selectItem(bool detailFile, qint64 id);

public Q_SLOTS:
    void huishou_restoreClick();
    void huishou_purgeClick();

protected:
    void showEvent(QShowEvent *event) override;

private:
    int selectedRow() const;
    bool refuseWhenEmpty();

    TDataModule2 *m_dm;
    BinModel *m_model;
    QTableView *m_grid;
    QPushButton *m_restore, *m_purge, *m_close;
};
