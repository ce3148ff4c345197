#include "imports/import_window.h"

#include <QComboBox>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QTableView>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>
#include <atomic>
#include <exception>
#include "data/book_refresh.h"
#include "data/connection.h"
#include "data/data_module.h"
#include "data/db_error.h"
#include "data/import_store.h"
#include "imports/import_error.h"
#include "ui/guard.h"
#include "ui/message_box.h"

namespace imports {

void BillRowsModel::setRows(QList<ImportRow> rows)
{
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
    Q_EMIT ticksChanged();
}

int BillRowsModel::tickedCount() const
{
    int n = 0;
    for (const ImportRow &r : m_rows)
        n += r.ticked && r.tickable;
    return n;
}

int BillRowsModel::rowCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : int(m_rows.size()); }
int BillRowsModel::columnCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : 7; }

QVariant BillRowsModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    const ImportRow &r = m_rows[index.row()];
    if (role == Qt::CheckStateRole && index.column() == 0)
        return r.ticked ? Qt::Checked : Qt::Unchecked;
    if (role == Qt::TextAlignmentRole && index.column() == 5)
        return int(Qt::AlignRight | Qt::AlignVCenter);
    if (role == Qt::ForegroundRole && !r.ticked)
        return QColor(0x80, 0x80, 0x80);
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};
    switch (index.column()) {
    case 0: return role == Qt::ToolTipRole ? QVariant(QStringLiteral("第 %1 行").arg(r.line)) : QVariant();
    case 1: return r.date;
    case 2: return r.kind;
    case 3: return r.summary;
    case 4: return r.party;
    case 5: return r.total;
    case 6: return r.reason;
    }
    return {};
}

bool BillRowsModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || index.column() != 0 || role != Qt::CheckStateRole)
        return false;
    ImportRow &r = m_rows[index.row()];
    if (!r.tickable)
        return false;
    r.ticked = value.toInt() == Qt::Checked;
    Q_EMIT dataChanged(this->index(index.row(), 0), this->index(index.row(), 6));
    Q_EMIT ticksChanged();
    return true;
}

QVariant BillRowsModel::headerData(int section, Qt::Orientation o, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (o == Qt::Vertical)
        return section + 1;
    static const char *const titles[] = {"导入", "日期", "类别", "摘要", "单位名称", "金额", "说明"};
    return section >= 0 && section < 7 ? QString::fromUtf8(titles[section]) : QString();
}

Qt::ItemFlags BillRowsModel::flags(const QModelIndex &index) const
{
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() == 0 && index.row() < m_rows.size() && m_rows[index.row()].tickable)
        f |= Qt::ItemIsUserCheckable;
    return f;
}

} // namespace imports

using namespace imports;

namespace {

QPushButton *button(const QString &name, const QString &text, QWidget *parent)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->setAutoDefault(false);
    return b;
}

const char *const kMapNames[] = {"daoru_map_date", "daoru_map_summary", "daoru_map_party", "daoru_map_amount",
                                 "daoru_map_income", "daoru_map_expense", "daoru_map_settled", "daoru_map_outstanding"};
const char *const kMapLabels[] = {"日期:", "摘要:", "单位名称:", "金额(正负):", "收入金额:", "支出金额:", "已结金额:", "未结金额:"};

} // namespace

Tdaoru::Tdaoru(TDataModule2 *dm, QWidget *parent) : QDialog(parent), m_dm(dm)
{
    setObjectName(QStringLiteral("Tdaoru"));
    setWindowTitle(QStringLiteral("导入账单"));
    setModal(true);
    setSizeGripEnabled(true);
    resize(980, 600);

    auto *column = new QVBoxLayout(this);
    m_book = new QLabel(this);
    m_book->setObjectName(QStringLiteral("daoru_book"));
    column->addWidget(m_book);

    auto *fileRow = new QHBoxLayout;
    fileRow->addWidget(new QLabel(QStringLiteral("账单文件:"), this));
    m_path = new QLineEdit(this);
    m_path->setObjectName(QStringLiteral("daoru_path"));
    m_path->setPlaceholderText(QStringLiteral("支付宝、微信支付账单（CSV、XLSX 或收到的压缩包），银行流水等表格"));
    fileRow->addWidget(m_path, 1);
    m_browse = button(QStringLiteral("daoru_browse"), QStringLiteral("选择文件…"), this);
    fileRow->addWidget(m_browse);
    fileRow->addWidget(new QLabel(QStringLiteral("解压密码:"), this));
    m_password = new QLineEdit(this);
    m_password->setObjectName(QStringLiteral("daoru_password"));
    m_password->setEchoMode(QLineEdit::Password);
    m_password->setMaximumWidth(140);
    m_password->setEnabled(false);
    fileRow->addWidget(m_password);
    m_read = button(QStringLiteral("daoru_read"), QStringLiteral("读  取"), this);
    fileRow->addWidget(m_read);
    column->addLayout(fileRow);

    auto *infoRow = new QHBoxLayout;
    infoRow->addWidget(new QLabel(QStringLiteral("识别为:"), this));
    m_format = new QLabel(this);
    m_format->setObjectName(QStringLiteral("daoru_format"));
    infoRow->addWidget(m_format);
    m_layout = new QLabel(this);
    m_layout->setObjectName(QStringLiteral("daoru_layout"));
    infoRow->addWidget(m_layout);
    infoRow->addStretch(1);
    m_counts = new QLabel(this);
    m_counts->setObjectName(QStringLiteral("daoru_counts"));
    infoRow->addWidget(m_counts);
    column->addLayout(infoRow);

    auto *middle = new QHBoxLayout;
    m_mapping = new QGroupBox(QStringLiteral("列的对应"), this);
    m_mapping->setObjectName(QStringLiteral("daoru_mapping"));
    auto *form = new QFormLayout(m_mapping);
    for (int i = 0; i < 8; ++i) {
        auto *box = new QComboBox(m_mapping);
        box->setObjectName(QString::fromLatin1(kMapNames[i]));
        box->setMinimumWidth(150);
        form->addRow(QString::fromUtf8(kMapLabels[i]), box);
        connect(box, &QComboBox::currentIndexChanged, this, [this] {
            if (!m_filling)
                mappingChanged();
        });
        m_mapBoxes << box;
    }
    auto *hint = new QLabel(QStringLiteral("金额用一列（负数为支出），\n或者收入、支出各一列。"), m_mapping);
    form->addRow(hint);
    m_mapping->setVisible(false);
    middle->addWidget(m_mapping);

    m_model = new BillRowsModel(this);
    m_grid = new QTableView(this);
    m_grid->setObjectName(QStringLiteral("daoru_grid"));
    m_grid->setModel(m_model);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->verticalHeader()->setDefaultSectionSize(22);
    m_grid->horizontalHeader()->setStretchLastSection(true);
    const int widths[] = {44, 92, 44, 180, 160, 90};
    for (int c = 0; c < 6; ++c)
        m_grid->setColumnWidth(c, widths[c]);
    middle->addWidget(m_grid, 1);
    column->addLayout(middle, 1);

    auto *buttons = new QHBoxLayout;
    m_undo = button(QStringLiteral("daoru_undo"), QStringLiteral("撤销上次导入"), this);
    buttons->addWidget(m_undo);
    buttons->addStretch(1);
    m_ok = button(QStringLiteral("daoru_ok"), QStringLiteral("导  入"), this);
    m_close = button(QStringLiteral("daoru_close"), QStringLiteral("关  闭"), this);
    buttons->addWidget(m_ok);
    buttons->addWidget(m_close);
    column->addLayout(buttons);

    connect(m_browse, &QPushButton::clicked, this, &Tdaoru::daoru_browseClick);
    connect(m_read, &QPushButton::clicked, this, &Tdaoru::daoru_readClick);
    connect(m_ok, &QPushButton::clicked, this, &Tdaoru::daoru_okClick);
    connect(m_undo, &QPushButton::clicked, this, &Tdaoru::daoru_undoClick);
    connect(m_close, &QPushButton::clicked, this, &Tdaoru::daoru_closeClick);
    connect(m_path, &QLineEdit::editingFinished, this, [this] { ui::guard(this, [this] { checkPassword(); }); });
    connect(m_path, &QLineEdit::returnPressed, this, &Tdaoru::daoru_readClick);
    connect(m_password, &QLineEdit::returnPressed, this, &Tdaoru::daoru_readClick);
    connect(m_model, &BillRowsModel::ticksChanged, this, &Tdaoru::updateCounts);
    updateCounts();
}

void Tdaoru::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    FormShow();
}

QString Tdaoru::bookKey() const { return BookRefresh::bookKey(*m_dm); }

void Tdaoru::FormShow()
{
    ui::guard(this, [this] {
        const Query *q = m_dm->Query_zhangben;
        const QString name = q->isOpen() && !q->isEmpty() ? q->value(0, QStringLiteral("a1")) : QString();
        m_book->setText(name.isNull() || bookKey().isEmpty() ? QStringLiteral("没有当前账本。")
                                                             : QStringLiteral("导入到当前账本: %1").arg(name));
        // The book may have changed since the last read: what counts as a duplicate too.
        clearPreview();
    });
}

void Tdaoru::clearPreview()
{
    m_bill.reset();
    m_model->setRows({});
    m_format->clear();
    m_layout->clear();
    m_mapping->setVisible(false);
}

void Tdaoru::updateCounts()
{
    if (!m_bill) {
        m_counts->clear();
        return;
    }
    m_counts->setText(QStringLiteral("共 %1 行，勾选 %2 行").arg(m_model->rowCount()).arg(m_model->tickedCount()));
}

void Tdaoru::checkPassword()
{
    const bool needs = needsPassword(m_path->text().trimmed());
    m_password->setEnabled(needs);
}

void Tdaoru::daoru_browseClick()
{
    ui::guard(this, [this] {
        const QString file = QFileDialog::getOpenFileName(
            this, QStringLiteral("选择账单文件"), QFileInfo(m_path->text()).absolutePath(),
            QStringLiteral("账单文件 (*.csv *.xlsx *.zip);;所有文件 (*)"));
        if (file.isEmpty())
            return;
        m_path->setText(file);
        checkPassword();
    });
}

void Tdaoru::runWork(const QString &label, const std::function<void(const std::function<bool(int, int)> &)> &work)
{
    std::atomic<int> done{0}, total{0};
    std::atomic<bool> cancelled{false};
    std::exception_ptr failure;
    auto progress = [&](int d, int t) {
        done = d;
        if (t > 0)
            total = t;
        return !cancelled.load();
    };
    QThread *worker = QThread::create([&] {
        try {
            work(progress);
        } catch (...) {
            failure = std::current_exception();
        }
    });
    QEventLoop loop;
    connect(worker, &QThread::finished, &loop, &QEventLoop::quit);
    QProgressDialog dialog(label, QStringLiteral("取消"), 0, 0, this);
    dialog.setObjectName(QStringLiteral("daoru_progress"));
    dialog.setWindowTitle(windowTitle());
    dialog.setWindowModality(Qt::WindowModal);
    dialog.setMinimumDuration(300);
    dialog.setAutoReset(false);
    dialog.setAutoClose(false);
    connect(&dialog, &QProgressDialog::canceled, &loop, [&] { cancelled = true; });
    QTimer tick;
    connect(&tick, &QTimer::timeout, &dialog, [&] {
        const int t = total.load();
        if (t > 0 && dialog.maximum() != t)
            dialog.setMaximum(t);
        if (t > 0)
            dialog.setValue(std::min(done.load(), t));
    });
    tick.start(50);
    setEnabled(false);
    worker->start();
    loop.exec();
    worker->wait();
    delete worker;
    tick.stop();
    setEnabled(true);
    if (failure)
        std::rethrow_exception(failure);
}

void Tdaoru::daoru_readClick()
{
    const QString path = m_path->text().trimmed();
    if (path.isEmpty()) {
        msg::info(this, QStringLiteral("请先选择要导入的账单文件。"));
        return;
    }
    const QString password = m_password->text();
    const QString key = bookKey();
    std::optional<Bill> read;
    try {
        runWork(QStringLiteral("正在读取账单…"), [&](const std::function<bool(int, int)> &progress) {
            Bill bill = readBill(path, password, progress);
            const auto c = ImportStore::openLedger(*m_dm);
            ImportStore(*c).markDuplicates(sourceKind(bill.format), key, bill.rows);
            read = std::move(bill);
        });
    } catch (const ReadCancelled &) {
        return;
    } catch (const ImportError &e) {
        if (e.kind() != ImportError::Kind::BadFile) {
            m_password->setEnabled(true);
            m_password->setFocus();
            m_password->selectAll();
        }
        clearPreview();
        msg::info(this, e.text());
        return;
    } catch (const DbError &e) {
        msg::error(this, e.text());
        return;
    } catch (const std::exception &e) {
        msg::error(this, QString::fromUtf8(e.what()));
        return;
    }
    m_bill = std::move(read);
    showBill();
}

void Tdaoru::showBill()
{
    m_format->setText(formatName(m_bill->format));
    m_layout->setText(m_bill->layout.isEmpty() ? QString() : QStringLiteral("（%1）").arg(m_bill->layout));
    const bool generic = m_bill->format == BillFormat::Generic;
    if (generic) {
        m_filling = true;
        const ColumnMapping &m = m_bill->mapping;
        const int chosen[] = {m.date, m.summary, m.party, m.amount, m.income, m.expense, m.settled, m.outstanding};
        for (int i = 0; i < m_mapBoxes.size(); ++i) {
            QComboBox *box = m_mapBoxes[i];
            box->clear();
            box->addItem(QStringLiteral("（无）"), -1);
            for (int c = 0; c < m_bill->header.size(); ++c) {
                const QString name = m_bill->header[c].trimmed();
                box->addItem(QStringLiteral("%1. %2").arg(c + 1).arg(name.isEmpty() ? QStringLiteral("（空）") : name), c);
            }
            box->setCurrentIndex(chosen[i] + 1);
        }
        m_filling = false;
    }
    m_mapping->setVisible(generic);
    m_model->setRows(m_bill->rows);
    updateCounts();
}

ColumnMapping Tdaoru::chosenMapping() const
{
    int v[8];
    for (int i = 0; i < 8; ++i)
        v[i] = m_mapBoxes[i]->currentData().toInt();
    ColumnMapping m;
    m.date = v[0];
    m.summary = v[1];
    m.party = v[2];
    m.amount = v[3];
    m.income = v[4];
    m.expense = v[5];
    m.settled = v[6];
    m.outstanding = v[7];
    return m;
}

void Tdaoru::mappingChanged()
{
    if (!m_bill || m_bill->format != BillFormat::Generic)
        return;
    const ColumnMapping m = chosenMapping();
    const QString key = bookKey();
    Bill bill = *m_bill;
    ui::guard(this, [&] {
        runWork(QStringLiteral("正在按新的对应整理…"), [&](const std::function<bool(int, int)> &) {
            mapGeneric(bill, m);
            const auto c = ImportStore::openLedger(*m_dm);
            ImportStore(*c).markDuplicates(sourceKind(bill.format), key, bill.rows);
        });
        m_bill = std::move(bill);
        m_model->setRows(m_bill->rows);
        updateCounts();
    });
}

void Tdaoru::refreshBook()
{
    // As after a save: the entry list again, the phrase lists, the six totals.
    ui::afterStored([] {}, [this] { BookRefresh::rerunEntries(*m_dm); }, [this] { m_dm->Query_jz_a1->reopen(); },
                    [this] { m_dm->Query_jz_a2->reopen(); }, [this] { BookRefresh::loadTotals(*m_dm); });
}

void Tdaoru::daoru_okClick()
{
    if (!m_bill) {
        msg::info(this, QStringLiteral("请先读取账单文件。"));
        return;
    }
    if (m_bill->format == BillFormat::Generic && !m_bill->mapping.usable()) {
        msg::info(this, QStringLiteral("请先在“列的对应”中选出日期列和金额列。"));
        return;
    }
    const int ticked = m_model->tickedCount();
    if (ticked == 0) {
        msg::info(this, QStringLiteral("没有勾选要导入的行。"));
        return;
    }
    const QString key = bookKey();
    if (key.isEmpty()) {
        msg::info(this, QStringLiteral("没有当前账本，请先新建或切换账本。"));
        return;
    }
    const QList<ImportRow> rows = m_model->rows();
    const QString kind = sourceKind(m_bill->format);
    const QString file = m_bill->fileName;
    ImportStore::Stored stored;
    bool phrasesFailed = false;
    QString phraseError;
    const bool ran = ui::guard(this, [&] {
        runWork(QStringLiteral("正在导入…"), [&](const std::function<bool(int, int)> &progress) {
            const auto c = ImportStore::openLedger(*m_dm);
            stored = ImportStore(*c).store(key, kind, file, rows, [&](int done) { return progress(done, int(rows.size())); });
            if (stored.cancelled)
                return;
            try {
                const auto f = ImportStore::openPhrases(*m_dm);
                ImportStore::addPhrases(*f, rows);
            } catch (const DbError &e) {
                phrasesFailed = true;
                phraseError = e.text();
            }
        });
    });
    if (!ran)
        return;
    if (stored.cancelled) {
        msg::info(this, QStringLiteral("导入已取消，没有存入任何记录。"));
        return;
    }
    // The rows just stored are duplicates from now on.
    QList<ImportRow> after = rows;
    for (ImportRow &r : after) {
        if (r.ticked && r.tickable) {
            r.ticked = false;
            r.reason = ImportStore::duplicateReason();
        }
    }
    m_model->setRows(after);
    m_bill->rows = after;
    ui::guard(this, [this] { refreshBook(); });
    if (phrasesFailed)
        msg::error(this, QStringLiteral("记录已导入，但摘要和单位名称没能加入常用列表：\n") + phraseError);
    msg::info(this, QStringLiteral("已导入 %1 条记录。").arg(stored.entries));
}

void Tdaoru::daoru_undoClick()
{
    ui::guard(this, [this] {
        const ImportStore::LastBatch last = ImportStore(m_dm->conn_jz_m).lastBatch();
        if (last.batch == 0) {
            msg::info(this, QStringLiteral("没有可以撤销的导入。"));
            return;
        }
        if (!msg::confirmDelete(this, QStringLiteral("撤销 %1 从“%2”导入的记录，删除其中仍在的 %3 条收支记录吗？")
                                          .arg(last.time, last.fileName)
                                          .arg(last.entries)))
            return;
        ImportStore::Undone undone;
        runWork(QStringLiteral("正在撤销上次导入…"), [&](const std::function<bool(int, int)> &) {
            const auto c = ImportStore::openLedger(*m_dm);
            undone = ImportStore(*c).undoLast();
        });
        if (!undone.changed.isEmpty()) {
            QStringList shown = undone.changed.mid(0, 10);
            if (undone.changed.size() > 10)
                shown << QStringLiteral("……");
            msg::info(this, QStringLiteral("上次导入的记录中有 %1 条在导入后被修改过，没有删除任何记录：\n%2")
                                .arg(undone.changed.size())
                                .arg(shown.join(QLatin1Char('\n'))));
            return;
        }
        refreshBook();
        clearPreview();
        updateCounts();
        msg::info(this, QStringLiteral("已删除上次导入的 %1 条记录。").arg(undone.removed));
    });
}

void Tdaoru::daoru_closeClick() { reject(); }
