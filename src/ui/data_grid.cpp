#include "ui/data_grid.h"

#include <QApplication>
#include <QHeaderView>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <algorithm>
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
        // Tab leaves a list for the next control; the arrow keys move between rows.
        setTabKeyNavigation(false);
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
    m_baseWidths.clear();
    for (int i = 0; i < columns.size(); ++i) {
        setColumnWidth(i, columns[i].width);
        m_baseWidths << columns[i].width;
    }
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] { fitColumns(true); });
    connect(m_model, &QAbstractItemModel::dataChanged, this, [this] { fitColumns(false); });
    connect(m_model, &QAbstractItemModel::rowsInserted, this, [this] { fitColumns(false); });
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
    if (dy != 0)
        fitColumns(false);
}

void DataGrid::setColumnFit(const QList<int> &fit, const QList<int> &stretch)
{
    m_fit = fit;
    m_stretch = stretch;
    fitColumns(true);
}

void DataGrid::resizeEvent(QResizeEvent *event)
{
    QTableView::resizeEvent(event);
    fitColumns(true);
}

void DataGrid::fitColumns(bool share)
{
    if (m_fitting || !m_model || (m_fit.isEmpty() && m_stretch.isEmpty()))
        return;
    m_fitting = true;
    const int columns = m_model->columnCount();
    const int rows = m_model->rowCount();
    int first = rows > 0 ? std::max(0, rowAt(0)) : 0;
    int last = rowAt(viewport()->height() - 1);
    if (last < 0)
        last = rows - 1;
    // Only the rows in view are read: a million-row list costs no more than a screenful.
    const QFontMetrics fm(font());
    const int margin = 2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1) + 6;
    bool grew = false;
    for (int c : std::as_const(m_fit)) {
        if (c < 0 || c >= columns)
            continue;
        int need = c < m_baseWidths.size() ? m_baseWidths[c] : 0;
        for (int r = first; r <= last && r < rows; ++r)
            need = std::max(need, fm.horizontalAdvance(m_model->data(m_model->index(r, c), Qt::DisplayRole).toString()) + margin);
        if (share ? columnWidth(c) != need : columnWidth(c) < need) {
            setColumnWidth(c, need);
            grew = true;
        }
    }
    if (share || grew) {
        // What the columns leave free of the grid's width goes to the stretch columns; they
        // give it back (down to their own widths) when the grid narrows or an amount grows.
        int used = 0;
        for (int c = 0; c < columns; ++c)
            if (!isColumnHidden(c))
                used += columnWidth(c);
        int free = viewport()->width() - used;
        QList<int> stretch;
        for (int c : std::as_const(m_stretch))
            if (c >= 0 && c < columns && !isColumnHidden(c))
                stretch << c;
        for (int i = 0; i < stretch.size() && free != 0; ++i) {
            const int c = stretch[i];
            const int base = c < m_baseWidths.size() ? m_baseWidths[c] : columnWidth(c);
            const int share = free / int(stretch.size() - i);
            const int width = std::max(base, columnWidth(c) + share);
            free -= width - columnWidth(c);
            setColumnWidth(c, width);
        }
    }
    m_fitting = false;
}

void DataGrid::mousePressEvent(QMouseEvent *event)
{
    retryReads();
    QTableView::mousePressEvent(event);
}

void DataGrid::paintEvent(QPaintEvent *event)
{
    QTableView::paintEvent(event);
    // The keyboard's place in a list: the whole current row is framed while the grid has
    // the focus (the selection alone looks the same with or without it).
    if (m_mode != Mode::ReadOnly || !hasFocus() || !m_model)
        return;
    const QModelIndex current = currentIndex();
    if (!current.isValid())
        return;
    const int columns = m_model->columnCount();
    QRect row;
    for (int c = 0; c < columns; ++c) {
        if (!isColumnHidden(c))
            row = row.united(visualRect(m_model->index(current.row(), c)));
    }
    if (row.isEmpty())
        return;
    QPainter painter(viewport());
    QPen pen(QColor(0xFF, 0xD2, 0x4A));
    pen.setWidth(2);
    painter.setPen(pen);
    painter.drawRect(row.adjusted(1, 1, -2, -2));
}

void DataGrid::focusInEvent(QFocusEvent *event)
{
    QTableView::focusInEvent(event);
    viewport()->update();
}

void DataGrid::focusOutEvent(QFocusEvent *event)
{
    QTableView::focusOutEvent(event);
    viewport()->update();
}
