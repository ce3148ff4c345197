#pragma once
// Title-click sorting for a read-only grid: the clicked column sorts the rows the grid's
// query holds (in memory), alternately ascending and descending, and its title gets the
// mark "∧" or "∨". One direction flag per grid, shared by all its columns.
#include <QObject>
#include <QSet>
#include <QString>

class DataGrid;

class TitleSort : public QObject
{
    Q_OBJECT
public:
    // Fields sorted as numbers; every other field sorts by its text (dates included,
    // whose fixed form orders chronologically).
    static QSet<QString> defaultNumericFields();

    // Listens to the grid's title clicks; owned by the grid.
    explicit TitleSort(DataGrid *grid, QSet<QString> numericFields = defaultNumericFields());

    // True when the next click sorts ascending. Starts true; only clicks flip it.
    bool ascendingNext() const { return m_ascending; }

    // What a click on that column's title does.
    void titleClick(int column);

    // The title text without its mark: trimmed, a trailing mark dropped.
    static QString plainTitle(const QString &title);

private:
    DataGrid *m_grid;
    QSet<QString> m_numeric;
    bool m_ascending = true;
};
