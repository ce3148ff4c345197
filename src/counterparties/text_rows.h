#pragma once
// Rows of computed texts that a query can show and a report can print without a statement.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>
#include "data/query.h"

class TextRows : public RowSource
{
public:
    explicit TextRows(int columns) : m_columns(columns) {}

    // A null QString is NULL.
    void append(const QStringList &values)
    {
        for (int c = 0; c < m_columns; ++c) {
            const QString v = values.value(c);
            m_nulls.push_back(v.isNull());
            m_cells.push_back(v.toUtf8());
        }
        ++m_rows;
    }
    int rowCount() const override { return m_rows; }
    bool isNull(int row, int column) const override { return m_nulls[index(row, column)]; }
    QByteArrayView bytes(int row, int column) const override { return m_cells[index(row, column)]; }

    // Opens the query over all rows, in the order appended.
    static void show(Query *q, const QStringList &fields, std::shared_ptr<TextRows> rows)
    {
        std::vector<int> order(size_t(rows ? rows->rowCount() : 0));
        for (size_t i = 0; i < order.size(); ++i)
            order[i] = int(i);
        if (!rows)
            rows = std::make_shared<TextRows>(int(fields.size()));
        q->openFrom(std::move(rows), fields, std::move(order));
    }

private:
    size_t index(int row, int column) const { return size_t(row) * size_t(m_columns) + size_t(column); }
    int m_columns;
    int m_rows = 0;
    std::vector<QByteArray> m_cells;
    std::vector<bool> m_nulls;
};
