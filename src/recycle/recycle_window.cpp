#include "recycle/recycle_window.h"

#include <QAbstractTableModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QShowEvent>
#include <QTableView>
#include <QVBoxLayout>
#include "data/data_module.h"
#include "ui/centre_on_screen.h"
#include "ui/guard.h"
#include "ui/message_box.h"
#include "ui/wheel_rule.h"

// The bin's items as the grid shows them.
class BinModel : public QAbstractTableModel
{
public:
    using QAbstractTableModel::QAbstractTableModel;

    void setItems(QList<RecycleBin::Item> items)
    {
        beginResetModel();
        m_items = std::move(items);
        endResetModel();
    }
    const QList<RecycleBin::Item> &items() const { return m_items; }

    int rowCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : int(m_items.size()); }
    int columnCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : 4; }
    QVariant data(const QModelIndex &index, int role) const override
    {
        if (!index.isValid() || index.row() >= m_items.size())
            return {};
        if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
            return {};
        const RecycleBin::Item &it = m_items[index.row()];
        switch (index.column()) {
        case 0:
            return it.kind;
        case 1:
            return it.deletedAt;
        case 2:
            return it.book;
        default:
            return it.description;
        }
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
            return {};
        static const char *const titles[] = {"类型", "删除时间", "账本", "内容"};
        return section >= 0 && section < 4 ? QString::fromUtf8(titles[section]) : QVariant();
    }

private:
    QList<RecycleBin::Item> m_items;
};

Thuishou::Thuishou(TDataModule2 *dm, QWidget *parent) : QDialog(parent), m_dm(dm)
{
    setObjectName(QStringLiteral("Thuishou"));
    setWindowTitle(QStringLiteral("回收站"));
    setModal(true);
    setSizeGripEnabled(true);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint
                   | Qt::WindowMaximizeButtonHint);

    m_model = new BinModel(this);
    m_grid = new QTableView(this);
    m_grid->setObjectName(QStringLiteral("huishou_grid"));
    m_grid->setModel(m_model);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->setWordWrap(false);
    m_grid->verticalHeader()->hide();
    m_grid->horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
    m_grid->horizontalHeader()->setStretchLastSection(true);
    m_grid->setColumnWidth(0, 70);
    m_grid->setColumnWidth(1, 140);
    m_grid->setColumnWidth(2, 110);
    WheelRule::install(m_grid);

    m_restore = new QPushButton(QStringLiteral("恢  复"), this);
    m_restore->setObjectName(QStringLiteral("huishou_restore"));
    m_purge = new QPushButton(QStringLiteral("彻底删除"), this);
    m_purge->setObjectName(QStringLiteral("huishou_purge"));
    m_close = new QPushButton(QStringLiteral("关  闭"), this);
    m_close->setObjectName(QStringLiteral("huishou_close"));
    for (QPushButton *b : {m_restore, m_purge, m_close}) {
        b->setAutoDefault(false);
        b->setMinimumSize(84, 30);
    }

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_restore);
    buttons->addWidget(m_purge);
    buttons->addStretch(1);
    buttons->addWidget(m_close);
    auto *column = new QVBoxLayout(this);
    column->addWidget(m_grid, 1);
    column->addLayout(buttons);
    resize(760, 440);

    connect(m_restore, &QPushButton::clicked, this, &Thuishou::huishou_restoreClick);
    connect(m_purge, &QPushButton::clicked, this, &Thuishou::huishou_purgeClick);
    connect(m_close, &QPushButton::clicked, this, &QDialog::accept);
}

void Thuishou::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    ui::centreOnScreen(this);
    ui::guard(this, [this] {
        reload();
        if (m_model->rowCount() > 0)
            m_grid->selectRow(0);
    });
    m_grid->setFocus(Qt::OtherFocusReason);
}

void Thuishou::reload()
{
    int row = selectedRow();
    m_model->setItems(RecycleBin::items(*m_dm));
    if (m_model->rowCount() > 0)
        m_grid->selectRow(qBound(0, row, m_model->rowCount() - 1));
}

int Thuishou::itemCount() const { return m_model->rowCount(); }

RecycleBin::Item Thuishou::itemAt(int row) const { return m_model->items().value(row); }

bool Thuishou::selectItem(bool detailFile, qint64 id)
{
    const QList<RecycleBin::Item> &items = m_model->items();
    for (int r = 0; r < items.size(); ++r) {
        if (items[r].detailFile == detailFile && items[r].id == id) {
            m_grid->selectRow(r);
            m_grid->scrollTo(m_model->index(r, 0));
            return true;
        }
    }
    return false;
}

int Thuishou::selectedRow() const
{
    const QModelIndex current = m_grid->currentIndex();
    return current.isValid() ? current.row() : -1;
}

bool Thuishou::refuseWhenEmpty()
{
    if (selectedRow() >= 0 && selectedRow() < m_model->rowCount())
        return false;
    msg::info(this, m_model->rowCount() == 0 ? QStringLiteral("回收站是空的。") : QStringLiteral("请先选中一项。"));
    return true;
}

void Thuishou::huishou_restoreClick()
{
    ui::guard(this, [this] {
        if (refuseWhenEmpty())
            return;
        const RecycleBin::Item item = itemAt(selectedRow());
        RecycleBin::Outcome out;
        try {
            out = RecycleBin::restore(*m_dm, item);
        } catch (...) {
            reload();
            throw;
        }
        reload();
        if (!out.restored) {
            // Shows where the book is, then says why.
            if (out.bookItem >= 0)
                selectItem(false, out.bookItem);
            msg::info(this, out.refusal);
        }
    });
}

void Thuishou::huishou_purgeClick()
{
    ui::guard(this, [this] {
        if (refuseWhenEmpty())
            return;
        const RecycleBin::Item item = itemAt(selectedRow());
        if (!msg::confirmDelete(this, QStringLiteral("您确定要彻底删除此项吗?彻底删除后将不能再恢复")))
            return;
        try {
            RecycleBin::purge(*m_dm, item);
        } catch (...) {
            reload();
            throw;
        }
        reload();
    });
}
