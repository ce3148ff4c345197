#pragma once
#include <QAbstractTableModel>
#include <QList>
#include <QPointer>
#include <functional>
#include "data/query.h"

// Shows a query in any grid. Columns are given by field name; the titles can be
// changed (sort marks) without touching the query.
//
// The model is called from painting and from the views' own editing, where nothing may
// throw: a value that cannot be read shows as empty text and a change that cannot be
// written is refused, and the engine's message goes out through failed() (queued, once
// for a run of failed reads) or, when nothing listens, through the fallback reporter.
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

    // After a failed read, rows not in memory show empty without asking the file again
    // (every painted cell would wait for it) until the query is reset or this is called.
    bool readsFailing() const { return m_failing; }
    void retryReads() { m_failing = false; }

    // Where failures go when nothing is connected to failed().
    using Reporter = std::function<void(const QString &)>;
    static void setFallbackReporter(Reporter reporter);

Q_SIGNALS:
    void failed(const QString &text);

private:
    void report(const QString &text) const;
    QPointer<Query> m_query;
    QList<Column> m_columns;
    QList<int> m_queryColumn;     // model column -> query column, refreshed on reset
    bool m_editable = false;
    mutable bool m_failing = false;
    mutable bool m_reported = false;   // this run of failed reads has been reported
    void mapColumns();
};
