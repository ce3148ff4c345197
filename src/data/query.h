#pragma once
#include <QObject>
#include <QString>
#include <QStringList>
#include <QByteArray>
#include <QHash>
#include <vector>
#include <cstdint>
#include <memory>
#include <QByteArrayView>
#include "data/connection.h"

// Rows held elsewhere (a table's rows kept in memory) that a query can show without
// running its statement. Rows are numbered by the source; a row never changes once given.
class RowSource
{
public:
    virtual ~RowSource() = default;
    virtual int rowCount() const = 0;
    virtual bool isNull(int row, int column) const = 0;
    virtual QByteArrayView bytes(int row, int column) const = 0;   // as the engine gave them
};

// A statement with named text parameters whose open result is a static snapshot.
// Rows are kept compactly (all texts in one UTF-8 buffer); an in-memory sort and
// deletes work on a row order over that snapshot. A query can be made updatable
// (table and key column) for editing rows in place.
class Query : public QObject
{
    Q_OBJECT
public:
    enum class SortKind { Text, Number };

    Query(Connection *conn, const QString &name, QObject *parent = nullptr);

    Connection *connection() const { return m_conn; }

    // --- statement ---
    void setSql(const QString &sql);   // clears the bindings too
    QString sql() const { return m_sql; }
    void clearSql() { setSql(QString()); }
    void bind(const QString &name, const QString &value);
    const Params &params() const { return m_params; }

    // --- result ---
    void open();          // runs the statement and keeps its rows; throws DbError
    void close();         // drops the rows (and any sort)
    void reopen() { close(); open(); }
    void execSql();       // runs a statement that returns no rows
    // Opens with a one-row result computed elsewhere (a null QString is NULL), for
    // queries whose rows come from one shared scan.
    void openWithRow(const QStringList &fields, const QStringList &values);
    // Opens with rows of a source instead of running the statement (which stays as set):
    // `rows` are source rows in display order. The caller vouches that they are what the
    // statement gives.
    void openFrom(std::shared_ptr<const RowSource> source, const QStringList &fields, std::vector<int> rows);
    bool isOpen() const { return m_open; }

    int rowCount() const { return int(m_order.size()); }
    bool isEmpty() const { return m_order.empty(); }
    int columnCount() const { return int(m_fields.size()); }
    const QStringList &fields() const { return m_fields; }
    int fieldIndex(const QString &field) const;   // -1 when absent

    QString value(int row, int column) const;     // display text; NULL reads as empty
    bool isNull(int row, int column) const;
    QString value(int row, const QString &field) const;
    // True when value(row, column) needs no statement (the row is in memory).
    bool valueReady(int row, int column) const;

    // --- current row ---
    int currentRow() const { return m_current; }  // -1 when empty
    void setCurrentRow(int row);                  // clamped; emits currentRowChanged
    bool next();                                  // false at the last row
    bool prior();                                 // false at the first row
    QString field(const QString &name) const;     // current row's text, empty when none

    // --- in-memory order ---
    void sort(const QString &field, Qt::SortOrder order, SortKind kind);
    QString sortField() const { return m_sortField; }
    Qt::SortOrder sortOrder() const { return m_sortOrder; }

    // Deletes the current row from its table (by the key column) and from the snapshot.
    void deleteCurrentRow();

    // --- rows read on demand ---
    // For "select * from <table> ..." statements over a large table: open keeps only the
    // key of each row (the engine can answer that from an index) and the values of a row
    // are read when somebody looks at it. Other statements load whole rows as usual.
    void setReadOnDemand(const QString &table, const QString &keyField);
    bool readsOnDemand() const { return m_lazy; }

    // --- in-place editing (updatable queries) ---
    void setUpdateTable(const QString &table, const QString &keyField);
    bool isUpdatable() const { return !m_table.isEmpty(); }
    void insertRow(int at);                 // empty new row at that position, made current
    void setValue(int row, int column, const QString &text);
    bool isNewRow(int row) const;
    bool isModified(int row) const;
    bool hasPendingEdit() const { return m_pendingRow >= 0; }
    int pendingRow() const { return m_pendingRow; }
    void post();                            // writes the pending row; throws DbError
    void cancelEdit();                      // drops a pending new row or change

Q_SIGNALS:
    void aboutToReset();
    void resetDone();                       // rows replaced (open, close, sort)
    void aboutToRemoveRow(int row);
    void rowRemoved(int row);
    void aboutToInsertRow(int row);
    void rowInserted(int row);
    void rowChanged(int row);
    void currentRowChanged(int row);

private:
    const QStringList *overlay(int row) const;
    QStringList rowValues(int row) const;
    int storedRow(int row) const { return m_order[size_t(row)]; }
    void setPending(int row, bool isNew);

    Connection *m_conn;
    QString m_sql;
    Params m_params;
    bool m_open = false;

    QStringList m_fields;
    std::vector<char> m_text;        // UTF-8 of every cell, back to back
    std::vector<uint32_t> m_offsets; // cell i spans [offsets[i], offsets[i+1])
    std::vector<bool> m_nulls;       // per cell
    int m_baseRows = 0;
    int m_addedRows = 0;
    std::vector<int> m_order;        // display row -> stored row (>= baseRows: added row)
    int m_current = -1;
    QString m_sortField;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;

    // rows read on demand
    struct LazyRow { QStringList values; std::vector<bool> nulls; };
    const LazyRow *lazyRow(int displayRow) const;
    struct SortCell {
        bool null;
        const char *p;
        uint32_t n;
    };
    std::vector<SortCell> columnForSort(int column, std::vector<QByteArray> &keep) const;
    void openOnDemand(const QString &keyOnlySql);
    QString lazyTable, lazyKey;
    bool m_lazy = false;                     // this result holds keys only
    std::vector<qint64> m_keys;              // stored row -> key
    mutable QHash<int, LazyRow> m_lazyCache; // stored row -> values
    int m_keyColumn = -1;

    std::shared_ptr<const RowSource> m_source;   // rows shown from a source

    // edits over the snapshot
    QString m_table, m_keyField;
    QHash<int, QStringList> m_overrides;     // stored row -> values (null QString = NULL)
    int m_pendingRow = -1;                   // display row being edited, -1 when none
    QStringList m_pendingOld;                // values before the pending change
    bool m_pendingNew = false;
};
