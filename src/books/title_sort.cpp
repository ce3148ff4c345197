#include "books/title_sort.h"

#include "ui/data_grid.h"

namespace {
const QChar kUp(0x2227);    // ∧
const QChar kDown(0x2228);  // ∨
} // namespace

QSet<QString> TitleSort::defaultNumericFields()
{
    // Amounts are stored as text; ordered as text 100.00 would come before 20.00.
    return {QStringLiteral("bid"), QStringLiteral("b5"), QStringLiteral("b6"), QStringLiteral("b7"),
            QStringLiteral("b8"), QStringLiteral("b9"), QStringLiteral("b10")};
}

TitleSort::TitleSort(DataGrid *grid, QSet<QString> numericFields)
    : QObject(grid), m_grid(grid), m_numeric(std::move(numericFields))
{
    connect(grid, &DataGrid::titleClicked, this, &TitleSort::titleClick);
}

QString TitleSort::plainTitle(const QString &title)
{
    QString t = title.trimmed();
    if (t.contains(kUp) || t.contains(kDown)) {
        t.chop(1);
        t = t.trimmed();
    }
    return t;
}

void TitleSort::titleClick(int column)
{
    Query *q = m_grid->query();
    QueryModel *model = m_grid->queryModel();
    if (!q || !model || !q->isOpen() || column < 0 || column >= model->columnCount())
        return;
    const QString field = model->field(column);
    q->sort(field, m_ascending ? Qt::AscendingOrder : Qt::DescendingOrder,
            m_numeric.contains(field) ? Query::SortKind::Number : Query::SortKind::Text);
    m_grid->setTitle(column, QStringLiteral("%1 %2").arg(plainTitle(m_grid->title(column)),
                                                          m_ascending ? kUp : kDown));
    m_ascending = !m_ascending;
}
