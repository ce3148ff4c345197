#include "data/query_model.h"

#include <QDebug>
#include <QMetaMethod>
#include <exception>

namespace {
QueryModel::Reporter &fallbackReporter()
{
    static QueryModel::Reporter r;
    return r;
}
} // namespace

void QueryModel::setFallbackReporter(Reporter reporter) { fallbackReporter() = std::move(reporter); }

void QueryModel::report(const QString &text) const
{
    // Never from inside painting or an editor's commit: the box would run its own event
    // loop there. The next pass of the event loop delivers it.
    auto *self = const_cast<QueryModel *>(this);
    QMetaObject::invokeMethod(self, [self, text] {
        if (self->isSignalConnected(QMetaMethod::fromSignal(&QueryModel::failed)))
            Q_EMIT self->failed(text);
        else if (fallbackReporter())
            fallbackReporter()(text);
        else
            qWarning().noquote() << text;
    }, Qt::QueuedConnection);
}

QueryModel::QueryModel(Query *query, QList<Column> columns, QObject *parent)
    : QAbstractTableModel(parent), m_query(query), m_columns(std::move(columns))
{
    mapColumns();
    connect(query, &Query::aboutToReset, this, [this] { beginResetModel(); });
    connect(query, &Query::resetDone, this, [this] {
        mapColumns();
        m_failing = m_reported = false;
        endResetModel();
    });
    connect(query, &Query::aboutToRemoveRow, this, [this](int r) { beginRemoveRows({}, r, r); });
    connect(query, &Query::rowRemoved, this, [this](int) { endRemoveRows(); });
    connect(query, &Query::aboutToInsertRow, this, [this](int r) { beginInsertRows({}, r, r); });
    connect(query, &Query::rowInserted, this, [this](int) { endInsertRows(); });
    connect(query, &Query::currentRowChanged, this, [this](int) {
        if (rowCount() > 0)
            Q_EMIT headerDataChanged(Qt::Vertical, 0, rowCount() - 1);
    });
    connect(query, &Query::rowChanged, this, [this](int r) {
        Q_EMIT dataChanged(index(r, 0), index(r, columnCount() - 1));
    });
}

void QueryModel::mapColumns()
{
    m_queryColumn.clear();
    for (const Column &c : m_columns)
        m_queryColumn << (m_query ? m_query->fieldIndex(c.field) : -1);
}

void QueryModel::setTitle(int column, const QString &title)
{
    if (column < 0 || column >= m_columns.size())
        return;
    m_columns[column].title = title;
    Q_EMIT headerDataChanged(Qt::Horizontal, column, column);
}

int QueryModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() || !m_query ? 0 : m_query->rowCount();
}

int QueryModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size());
}

QVariant QueryModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || !m_query)
        return {};
    if (role == Qt::DisplayRole || role == Qt::EditRole) {
        const int row = index.row(), col = m_queryColumn.value(index.column(), -1);
        const bool ready = m_query->valueReady(row, col);
        if (!ready && m_failing)
            return QString();
        try {
            const QString text = m_query->value(row, col);
            if (!ready)
                m_reported = false;   // the file answers again
            return text;
        } catch (const std::exception &e) {
            m_failing = true;
            if (!m_reported) {
                m_reported = true;
                report(QString::fromUtf8(e.what()));
            }
            return QString();
        }
    }
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(m_columns[index.column()].align);
    return {};
}

bool QueryModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!m_editable || role != Qt::EditRole || !index.isValid() || !m_query)
        return false;
    const int col = m_queryColumn.value(index.column(), -1);
    if (col < 0)
        return false;
    try {
        m_query->setValue(index.row(), col, value.toString());
    } catch (const std::exception &e) {
        report(QString::fromUtf8(e.what()));
        return false;
    }
    return true;
}

QVariant QueryModel::headerData(int section, Qt::Orientation o, int role) const
{
    if (o == Qt::Horizontal) {
        if (role == Qt::DisplayRole)
            return m_columns.value(section).title;
        if (role == Qt::TextAlignmentRole)
            return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
        return {};
    }
    if (role == Qt::DisplayRole && m_query && m_query->hasPendingEdit() && m_query->pendingRow() == section)
        return QStringLiteral("*");
    if (role == Qt::DisplayRole && m_query && m_query->currentRow() == section)
        return QStringLiteral("▶");
    return {};
}

Qt::ItemFlags QueryModel::flags(const QModelIndex &index) const
{
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (m_editable && index.isValid())
        f |= Qt::ItemIsEditable;
    return f;
}
