#pragma once
#include <QAbstractTableModel>
#include <QList>
#include <QPointer>
#include "data/query.h"

// Shows a query in any grid. Columns are given by field name; the titles can be
// changed (sort marks) without touching the query.
class QueryModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    struct Column {
        QString field;
        QString title;
        int width = 80;
        Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter;
    };

    QueryModel(Query *query, QList<Column> columns, QObject *parent = nullptr);

    Query *query() const { return m_query; }
    const QList<Column> &columns() const { return m_columns; }
    QString field(int column) const { return m_columns.value(column).field; }
    QString title(int column) const { return m_columns.value(column).title; }
    void setTitle(int column, const QString &title);
    void setEditable(bool on) { m_editable = on; }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

private:
    QPointer<Query> m_query;
    QList<Column> m_columns;
    QList<int> m_queryColumn;     // model column -> query column, refreshed on reset
    bool m_editable = false;
    void mapColumns();
};
