#pragma once
#include <QTableView>
#include "data/query_model.h"

// A grid over a query: the view's current row and the query's current row follow each
// other. Read-only grids select whole rows and take the wheel rule.
class DataGrid : public QTableView
{
    Q_OBJECT
public:
    enum class Mode { ReadOnly, Editable };

    DataGrid(const QString &objectName, Mode mode, QWidget *parent = nullptr);

    // Shows the query with these columns (widths applied); the grid owns the model.
    void setQuery(Query *query, const QList<QueryModel::Column> &columns);
    QueryModel *queryModel() const { return m_model; }
    Query *query() const { return m_model ? m_model->query() : nullptr; }

    // Sets a column title (sort marks, title resets).
    void setTitle(int column, const QString &title);
    QString title(int column) const;

    // Editable grids: puts what the open cell editor shows into its row and closes the
    // editor, as leaving the cell would. False when no editor was open.
    bool commitEditor();

    // Amount columns (fit) grow to the widest text they show, so an amount is never cut
    // short; the room the grid has beyond its columns goes to the stretch columns.
    void setColumnFit(const QList<int> &fit, const QList<int> &stretch);

    // The grid never gets less height than its titles and this many whole rows need.
    void setMinimumRows(int rows);
    QSize minimumSizeHint() const override;

Q_SIGNALS:
    void titleClicked(int column);

protected:
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;
    // Writing a cell into the query can reach the database; a failure is shown, not thrown.
    void commitData(QWidget *editor) override;
    // Moving in the grid reads again the rows a failed read left empty.
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    void followQuery(int row);
    // Widens the fit columns for the rows in view; with share, also hands out the room left.
    void fitColumns(bool share);
    void retryReads();
    Mode m_mode;
    QueryModel *m_model = nullptr;
    bool m_syncing = false;
    int m_minimumRows = 0;
    QList<int> m_fit;
    QList<int> m_stretch;
    QList<int> m_baseWidths; // the widths the columns were given
    bool m_fitting = false;
};
