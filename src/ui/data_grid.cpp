#include "ui/data_grid.h"

#include <QApplication>
#include <QHeaderView>
#include <QScrollBar>
#include "ui/guard.h"
#include "ui/message_box.h"
#include "ui/wheel_rule.h"

DataGrid::DataGrid(const QString &objectName, Mode mode, QWidget *parent)
    : QTableView(parent), m_mode(mode)
{
    setObjectName(objectName);
    setSelectionBehavior(mode == Mode::ReadOnly ? SelectRows : SelectItems);
    setSelectionMode(SingleSelection);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setAlternatingRowColors(true);
    setWordWrap(false);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    horizontalHeader()->setSectionsClickable(true);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
    horizontalHeader()->setSortIndicatorShown(false);
    // A title click sorts, which may read the file: whatever handles it runs guarded.
    connect(horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int column) {
        ui::guard(this, [this, column] { Q_EMIT titleClicked(column); });
    });
    if (mode == Mode::ReadOnly) {
        setEditTriggers(NoEditTriggers);
        verticalHeader()->hide();
        WheelRule::install(this);
    } else {
        setEditTriggers(DoubleClicked | EditKeyPressed | AnyKeyPressed);
    }
}

void DataGrid::setQuery(Query *query, const QList<QueryModel::Column> &columns)
{
    QueryModel *old = m_model;
    m_model = new QueryModel(query, columns, this);
    m_model->setEditable(m_mode == Mode::Editable);
    setModel(m_model);
    delete old;
    for (int i = 0; i < columns.size(); ++i)
        setColumnWidth(i, columns[i].width);
    connect(m_model, &QueryModel::failed, this, [this](const QString &text) { msg::error(this, text); });
    connect(query, &Query::currentRowChanged, this, &DataGrid::followQuery);
    // The row marker ("*" while a row is edited) lives in the row header, which a change of
    // the cells alone does not repaint.
    connect(query, &Query::rowChanged, this, [this] {
        if (!verticalHeader()->isHidden())
            verticalHeader()->viewport()->update();
    });
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] { followQuery(this->query()->currentRow()); });
    followQuery(query->currentRow());
}

void DataGrid::setTitle(int column, const QString &title)
{
    if (m_model)
        m_model->setTitle(column, title);
}

QString DataGrid::title(int column) const { return m_model ? m_model->title(column) : QString(); }

void DataGrid::followQuery(int row)
{
    if (m_syncing || !m_model)
        return;
    m_syncing = true;
    if (row < 0) {
        setCurrentIndex(QModelIndex());
    } else {
        const QModelIndex cur = currentIndex();
        const int col = cur.isValid() ? cur.column() : 0;
        setCurrentIndex(m_model->index(row, col));
        scrollTo(m_model->index(row, col));
    }
    m_syncing = false;
}

void DataGrid::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    QTableView::currentChanged(current, previous);
    if (m_syncing || !m_model || !current.isValid())
        return;
    if (current.row() != previous.row()) {
        retryReads();
        m_syncing = true;
        // Whoever follows the current row may read the file.
        ui::guard(this, [this, &current] { query()->setCurrentRow(current.row()); });
        m_syncing = false;
    }
}

bool DataGrid::commitEditor()
{
    if (state() != EditingState)
        return false;
    QWidget *editor = indexWidget(currentIndex());
    if (!editor) {
        // The editor sits on the viewport and holds the focus while it is open.
        QWidget *focus = QApplication::focusWidget();
        if (focus && focus->parentWidget() == viewport())
            editor = focus;
    }
    if (!editor)
        return false;
    commitData(editor);
    closeEditor(editor, QAbstractItemDelegate::NoHint);
    return true;
}

void DataGrid::commitData(QWidget *editor)
{
    ui::guard(this, [&] { QTableView::commitData(editor); });
}

void DataGrid::setMinimumRows(int rows)
{
    m_minimumRows = rows;
    updateGeometry();
}

QSize DataGrid::minimumSizeHint() const
{
    QSize hint = QTableView::minimumSizeHint();
    if (m_minimumRows <= 0)
        return hint;
    int height = 2 * frameWidth() + m_minimumRows * verticalHeader()->defaultSectionSize();
    if (!horizontalHeader()->isHidden())
        height += horizontalHeader()->sizeHint().height();
    if (horizontalScrollBarPolicy() != Qt::ScrollBarAlwaysOff)
        height += horizontalScrollBar()->sizeHint().height();
    hint.setHeight(std::max(hint.height(), height));
    return hint;
}
void DataGrid::retryReads()
{
    if (m_model && m_model->readsFailing()) {
        m_model->retryReads();
        viewport()->update();
    }
}

void DataGrid::scrollContentsBy(int dx, int dy)
{
    retryReads();
    QTableView::scrollContentsBy(dx, dy);
}

void DataGrid::mousePressEvent(QMouseEvent *event)
{
    retryReads();
    QTableView::mousePressEvent(event);
}
