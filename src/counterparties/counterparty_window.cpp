#include "counterparties/counterparty_window.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QShowEvent>
#include <QSplitter>
#include <QVBoxLayout>
#include "books/title_sort.h"
#include "counterparties/text_rows.h"
#include "data/book_refresh.h"
#include "data/counterparty_reader.h"
#include "data/data_module.h"
#include "data/query.h"
#include "printing/report_engine.h"
#include "ui/centre_on_screen.h"
#include "ui/data_grid.h"
#include "ui/date_field.h"
#include "ui/guard.h"
#include "ui/message_box.h"

using namespace wanglai;

namespace {

const QStringList kSummaryFields{QStringLiteral("party"), QStringLiteral("b4"),   QStringLiteral("b5"),
                                 QStringLiteral("b6"),    QStringLiteral("b7"),   QStringLiteral("b8"),
                                 QStringLiteral("b9"),    QStringLiteral("b10"),  QStringLiteral("age1"),
                                 QStringLiteral("age2"),  QStringLiteral("age3"), QStringLiteral("age4")};
const QStringList kLineFields{QStringLiteral("b2"), QStringLiteral("b1"), QStringLiteral("b3"),  QStringLiteral("b5"),
                              QStringLiteral("b6"), QStringLiteral("b7"), QStringLiteral("b8"),  QStringLiteral("b9"),
                              QStringLiteral("b10"), QStringLiteral("ysye"), QStringLiteral("yfye")};

constexpr Qt::Alignment kLeft = Qt::AlignLeft | Qt::AlignVCenter;
constexpr Qt::Alignment kRight = Qt::AlignRight | Qt::AlignVCenter;
constexpr Qt::Alignment kCentre = Qt::AlignCenter;

QList<QueryModel::Column> summaryColumns()
{
    return {{QStringLiteral("b4"), QStringLiteral("单位名称"), 160, kLeft},
            {QStringLiteral("b5"), QStringLiteral("收入总额"), 86, kRight},
            {QStringLiteral("b6"), QStringLiteral("已收金额"), 86, kRight},
            {QStringLiteral("b7"), QStringLiteral("应收余额"), 86, kRight},
            {QStringLiteral("b8"), QStringLiteral("支出总额"), 86, kRight},
            {QStringLiteral("b9"), QStringLiteral("已付金额"), 86, kRight},
            {QStringLiteral("b10"), QStringLiteral("应付余额"), 86, kRight},
            {QStringLiteral("age1"), QStringLiteral("0-30天"), 78, kRight},
            {QStringLiteral("age2"), QStringLiteral("31-60天"), 78, kRight},
            {QStringLiteral("age3"), QStringLiteral("61-90天"), 78, kRight},
            {QStringLiteral("age4"), QStringLiteral("90天以上"), 78, kRight}};
}

QList<QueryModel::Column> lineColumns()
{
    return {{QStringLiteral("b2"), QStringLiteral("日期"), 85, kCentre},
            {QStringLiteral("b1"), QStringLiteral("类别"), 45, kCentre},
            {QStringLiteral("b3"), QStringLiteral("摘要"), 150, kLeft},
            {QStringLiteral("b5"), QStringLiteral("收入总额"), 85, kRight},
            {QStringLiteral("b6"), QStringLiteral("已收金额"), 85, kRight},
            {QStringLiteral("b7"), QStringLiteral("应收账款"), 85, kRight},
            {QStringLiteral("b8"), QStringLiteral("支出总额"), 85, kRight},
            {QStringLiteral("b9"), QStringLiteral("已付金额"), 85, kRight},
            {QStringLiteral("b10"), QStringLiteral("应付账款"), 85, kRight},
            {QStringLiteral("ysye"), QStringLiteral("应收余额"), 90, kRight},
            {QStringLiteral("yfye"), QStringLiteral("应付余额"), 90, kRight}};
}

QStringList summaryRow(const QString &key, const QString &name, const Balance &b)
{
    QStringList row{key, name};
    for (const QString &s : b.sums)
        row << money(s);
    for (const QString &s : b.aging)
        row << money(s);
    return row;
}

QString shownAmount(const QString &stored) { return stored.isNull() ? QString() : money(stored); }

// Rows of the statement as listed and printed: the opening line, the entries, the totals.
std::shared_ptr<TextRows> statementRows(const Statement &s)
{
    auto rows = std::make_shared<TextRows>(int(kLineFields.size()));
    QStringList opening{DateField::format(s.from), QString(), QStringLiteral("期初余额")};
    for (int k = 0; k < AmountCount; ++k)
        opening << QString();
    opening << money(s.openingReceivable) << money(s.openingPayable);
    rows->append(opening);
    for (const StatementLine &l : s.lines) {
        QStringList row{l.date, l.kind, l.summary};
        for (const QString &a : l.amounts)
            row << shownAmount(a);
        row << money(l.receivableBalance) << money(l.payableBalance);
        rows->append(row);
    }
    QStringList total{QString(), QString(), QStringLiteral("本期合计")};
    for (const QString &a : s.periodSums)
        total << money(a);
    total << (s.lines.isEmpty() ? money(s.openingReceivable) : money(s.lines.last().receivableBalance))
          << (s.lines.isEmpty() ? money(s.openingPayable) : money(s.lines.last().payableBalance));
    rows->append(total);
    return rows;
}

QSet<QString> amountFields()
{
    return {QStringLiteral("b5"),   QStringLiteral("b6"),   QStringLiteral("b7"),   QStringLiteral("b8"),
            QStringLiteral("b9"),   QStringLiteral("b10"),  QStringLiteral("age1"), QStringLiteral("age2"),
            QStringLiteral("age3"), QStringLiteral("age4")};
}

} // namespace

Twanglai::Twanglai(TDataModule2 *dm, QWidget *parent) : QDialog(parent), m_dm(dm)
{
    setObjectName(QStringLiteral("Twanglai"));
    setWindowTitle(QStringLiteral("往来对账"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowMaximizeButtonHint
                   | Qt::WindowCloseButtonHint);
    setSizeGripEnabled(true);
    resize(1120, 680);

    auto *layout = new QVBoxLayout(this);
    auto *settings = new QHBoxLayout;
    m_all = new QCheckBox(QStringLiteral("全部账本"), this);
    m_all->setObjectName(QStringLiteral("wanglai_all"));
    auto *dateLabel = new QLabel(QStringLiteral("截止日期"), this);
    m_date = new DateField(this);
    m_date->setObjectName(QStringLiteral("wanglai_date"));
    m_date->setToday();
    dateLabel->setBuddy(m_date->lineEdit());
    m_hideZero = new QCheckBox(QStringLiteral("隐藏余额为零的单位"), this);
    m_hideZero->setObjectName(QStringLiteral("wanglai_hide_zero"));
    m_hideZero->setChecked(true);
    m_print = new QPushButton(QStringLiteral("打  印"), this);
    m_print->setObjectName(QStringLiteral("wanglai_print"));
    settings->addWidget(m_all);
    settings->addSpacing(12);
    settings->addWidget(dateLabel);
    settings->addWidget(m_date);
    settings->addSpacing(12);
    settings->addWidget(m_hideZero);
    settings->addStretch(1);
    settings->addWidget(m_print);
    layout->addLayout(settings);

    auto *split = new QSplitter(Qt::Vertical, this);
    split->setChildrenCollapsible(false);
    layout->addWidget(split, 1);

    auto *top = new QWidget(split);
    auto *topLayout = new QVBoxLayout(top);
    topLayout->setContentsMargins(0, 0, 0, 0);
    topLayout->setSpacing(0);
    m_rows = new Query(dm ? &dm->conn_jz_m : nullptr, QStringLiteral("Query_wanglai"), this);
    m_grid = new DataGrid(QStringLiteral("wanglai_grid"), DataGrid::Mode::ReadOnly, top);
    TextRows::show(m_rows, kSummaryFields, nullptr);
    m_grid->setQuery(m_rows, summaryColumns());
    new TitleSort(m_grid, amountFields());
    topLayout->addWidget(m_grid, 1);
    // The totals line stays below the rows whatever their order, its columns under theirs.
    m_totalRow = new Query(dm ? &dm->conn_jz_m : nullptr, QStringLiteral("Query_wanglai_total"), this);
    m_totalGrid = new DataGrid(QStringLiteral("wanglai_total"), DataGrid::Mode::ReadOnly, top);
    TextRows::show(m_totalRow, kSummaryFields, nullptr);
    m_totalGrid->setQuery(m_totalRow, summaryColumns());
    m_totalGrid->horizontalHeader()->hide();
    m_totalGrid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_totalGrid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_totalGrid->setSelectionMode(QAbstractItemView::NoSelection);
    m_totalGrid->setFocusPolicy(Qt::NoFocus);
    m_totalGrid->setFixedHeight(m_totalGrid->verticalHeader()->defaultSectionSize() + 2 * m_totalGrid->frameWidth());
    QFont bold = m_totalGrid->font();
    bold.setBold(true);
    m_totalGrid->setFont(bold);
    connect(m_grid->horizontalHeader(), &QHeaderView::sectionResized, this,
            [this](int column, int, int size) { m_totalGrid->setColumnWidth(column, size); });
    connect(m_grid->horizontalScrollBar(), &QScrollBar::valueChanged, m_totalGrid->horizontalScrollBar(),
            &QScrollBar::setValue);
    // A blank where the rows have their scroll bar keeps the two grids' columns aligned.
    auto *totalLine = new QHBoxLayout;
    totalLine->setSpacing(0);
    totalLine->addWidget(m_totalGrid, 1);
    auto *under = new QWidget(top);
    under->setFixedWidth(m_grid->verticalScrollBar()->sizeHint().width());
    totalLine->addWidget(under);
    topLayout->addLayout(totalLine);
    m_status = new QLabel(top);
    m_status->setObjectName(QStringLiteral("wanglai_status"));
    topLayout->addWidget(m_status);

    auto *bottom = new QWidget(split);
    auto *bottomLayout = new QVBoxLayout(bottom);
    bottomLayout->setContentsMargins(0, 4, 0, 0);
    auto *range = new QHBoxLayout;
    m_partyLabel = new QLabel(bottom);
    m_partyLabel->setObjectName(QStringLiteral("wanglai_party"));
    QFont strong = m_partyLabel->font();
    strong.setBold(true);
    m_partyLabel->setFont(strong);
    auto *fromLabel = new QLabel(QStringLiteral("从"), bottom);
    m_from = new DateField(bottom);
    m_from->setObjectName(QStringLiteral("wanglai_from"));
    fromLabel->setBuddy(m_from->lineEdit());
    auto *toLabel = new QLabel(QStringLiteral("至"), bottom);
    m_to = new DateField(bottom);
    m_to->setObjectName(QStringLiteral("wanglai_to"));
    toLabel->setBuddy(m_to->lineEdit());
    m_printDetail = new QPushButton(QStringLiteral("打印对账单"), bottom);
    m_printDetail->setObjectName(QStringLiteral("wanglai_print_detail"));
    range->addWidget(m_partyLabel);
    range->addSpacing(12);
    range->addWidget(fromLabel);
    range->addWidget(m_from);
    range->addWidget(toLabel);
    range->addWidget(m_to);
    range->addStretch(1);
    range->addWidget(m_printDetail);
    bottomLayout->addLayout(range);
    m_lines = new Query(dm ? &dm->conn_jz_m : nullptr, QStringLiteral("Query_duizhang"), this);
    m_detail = new DataGrid(QStringLiteral("wanglai_detail"), DataGrid::Mode::ReadOnly, bottom);
    TextRows::show(m_lines, kLineFields, nullptr);
    m_detail->setQuery(m_lines, lineColumns());
    bottomLayout->addWidget(m_detail, 1);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 2);

    m_reportData = new ReportData(QStringLiteral("RvData_wanglai"), this);
    m_summaryReport = new ReportComponent(QStringLiteral("Rv_wanglai"), QStringLiteral("wl.rav"), m_reportData, this);
    m_statementReport = new ReportComponent(QStringLiteral("Rv_duizhang"), QStringLiteral("dz.rav"), m_reportData, this);

    if (dm) {
        m_reader = new CounterpartyReader(*dm, this);
        m_reader->setHandlers(
            [this](std::shared_ptr<const Summary> s) {
                m_summary = std::move(s);
                ui::guard(this, [this] { showSummary(); });
            },
            [this](std::shared_ptr<const Statement> s) {
                m_statement = std::move(s);
                ui::guard(this, [this] { showStatement(); });
            },
            [this](const QString &text) {
                m_status->clear();
                m_partyLabel->setText(m_hasParty ? caption(m_party) : QString());
                msg::error(this, text);
            });
    }

    connect(m_all, &QCheckBox::toggled, this, [this] { reload(); });
    connect(m_date, &DateField::textChanged, this, [this] {
        if (isVisible() && m_date->date().isValid() && (!m_summary || m_summary->cutoff != m_date->date()))
            reload();
    });
    connect(m_hideZero, &QCheckBox::toggled, this, [this] { ui::guard(this, [this] { showSummary(); }); });
    connect(m_rows, &Query::currentRowChanged, this, [this](int row) {
        if (!m_showing && row >= 0 && (!m_hasParty || m_rows->value(row, 0) != m_party))
            selectRow(row);
    });
    connect(m_grid, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex &i) { selectRow(i.row()); });
    auto rangeChanged = [this] {
        if (!m_settingRange && m_hasParty && m_from->date().isValid() && m_to->date().isValid()
            && (!m_statement || m_statement->from != m_from->date() || m_statement->to != m_to->date()))
            requestStatement(false);
    };
    connect(m_from, &DateField::textChanged, this, rangeChanged);
    connect(m_to, &DateField::textChanged, this, rangeChanged);
    // Enter in a date field takes the date; it never prints.
    for (QPushButton *b : {m_print, m_printDetail})
        b->setAutoDefault(false);
    connect(m_print, &QPushButton::clicked, this, &Twanglai::wanglai_printClick);
    connect(m_printDetail, &QPushButton::clicked, this, &Twanglai::wanglai_print_detailClick);
}

Twanglai::~Twanglai() = default;

bool Twanglai::pending() const
{
    return m_reader && (m_reader->summaryPending() || m_reader->statementPending());
}

void Twanglai::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous()) {
        ui::centreOnScreen(this);
        reload();
    }
}

void Twanglai::done(int result)
{
    // Nothing read for a closed window is wanted any more.
    if (m_reader)
        m_reader->cancel();
    QDialog::done(result);
}

QString Twanglai::scopeKey() const
{
    return m_all->isChecked() || !m_dm ? QString() : BookRefresh::bookKey(*m_dm);
}

QString Twanglai::bookName() const
{
    if (m_all->isChecked() || !m_dm)
        return QStringLiteral("全部账本");
    return m_dm->Query_zhangben->isOpen() ? m_dm->Query_zhangben->field(QStringLiteral("a1")) : QString();
}

void Twanglai::reload()
{
    m_summary.reset();
    m_readable = m_dm && (m_all->isChecked() || !BookRefresh::bookKey(*m_dm).isEmpty());
    ui::guard(this, [this] { showSummary(); });
    if (!m_readable || !m_reader)
        return;
    m_status->setText(pendingText());
    ui::guard(this, [this] { m_reader->requestSummary(scopeKey(), m_date->date()); });
}

void Twanglai::showSummary()
{
    const bool waiting = m_readable && !m_summary;
    auto rows = std::make_shared<TextRows>(int(kSummaryFields.size()));
    auto total = std::make_shared<TextRows>(int(kSummaryFields.size()));
    int keep = -1;
    if (m_summary) {
        const bool hide = m_hideZero->isChecked();
        for (const Balance &b : m_summary->parties) {
            if (hide && b.isZero())
                continue;
            if (m_hasParty && b.party == m_party)
                keep = rows->rowCount();
            rows->append(summaryRow(b.party, caption(b.party), b));
        }
        total->append(summaryRow(QString(), QStringLiteral("合计"), totalOf(m_summary->parties, hide)));
    }
    // The rows come in the data layer's order: no title keeps a sort mark.
    m_showing = true;
    TextRows::show(m_rows, kSummaryFields, rows);
    m_showing = false;
    for (int c = 0; c < m_grid->queryModel()->columnCount(); ++c)
        m_grid->setTitle(c, TitleSort::plainTitle(m_grid->title(c)));
    TextRows::show(m_totalRow, kSummaryFields, total);
    if (waiting)
        m_status->setText(pendingText());
    else if (m_summary && m_summary->undated > 0)
        m_status->setText(QStringLiteral("有 %1 条记录的日期无法识别，已计入“90天以上”。").arg(m_summary->undated));
    else
        m_status->clear();
    // The grid follows the row chosen here: the one shown before, else the first.
    if (!m_summary) {
        clearStatement();
        return;
    }
    const int row = keep >= 0 ? keep : (rows->rowCount() > 0 ? 0 : -1);
    if (row < 0) {
        m_hasParty = false;
        m_party.clear();
        clearStatement();
        return;
    }
    m_showing = true;
    m_rows->setCurrentRow(row);
    m_showing = false;
    selectRow(row);
}

void Twanglai::selectRow(int row)
{
    if (row < 0 || row >= m_rows->rowCount())
        return;
    m_party = m_rows->value(row, 0);
    m_hasParty = true;
    requestStatement(true);
}

void Twanglai::clearStatement()
{
    m_statement.reset();
    TextRows::show(m_lines, kLineFields, nullptr);
    m_partyLabel->setText(m_hasParty && m_summary ? caption(m_party) : QString());
}

void Twanglai::requestStatement(bool defaultRange)
{
    if (!m_reader || !m_summary || !m_hasParty)
        return;
    m_statement.reset();
    TextRows::show(m_lines, kLineFields, nullptr);
    m_partyLabel->setText(caption(m_party) + QStringLiteral("  ") + pendingText());
    const QDate from = defaultRange ? QDate() : m_from->date();
    const QDate to = defaultRange ? m_summary->cutoff : m_to->date();
    ui::guard(this, [&] { m_reader->requestStatement(m_summary->bookKey, m_party, from, to); });
}

void Twanglai::showStatement()
{
    if (!m_statement)
        return;
    m_partyLabel->setText(caption(m_statement->party));
    m_settingRange = true;
    m_from->setDate(m_statement->from);
    m_to->setDate(m_statement->to);
    m_settingRange = false;
    TextRows::show(m_lines, kLineFields, statementRows(*m_statement));
}

void Twanglai::wanglai_printClick()
{
    ui::guard(this, [this] {
        if (!m_summary) {
            msg::info(this, QStringLiteral("计算中…，请稍候再打印。"));
            return;
        }
        if (m_rows->isEmpty()) {
            msg::info(this, QStringLiteral("没有可打印的往来单位。"));
            return;
        }
        // The rows in the grid's order, then the totals line.
        auto rows = std::make_shared<TextRows>(int(kSummaryFields.size()));
        for (int r = 0; r < m_rows->rowCount(); ++r) {
            QStringList values;
            for (int c = 0; c < kSummaryFields.size(); ++c)
                values << m_rows->value(r, c);
            rows->append(values);
        }
        QStringList totals;
        for (int c = 0; c < kSummaryFields.size(); ++c)
            totals << m_totalRow->value(0, c);
        rows->append(totals);
        Query printed(nullptr, QStringLiteral("Query_wanglai_print"));
        TextRows::show(&printed, kSummaryFields, rows);
        m_reportData->setQuery(&printed);
        struct Close {
            ReportComponent *r;
            ~Close() { r->close(); }
        } close{m_summaryReport};
        m_summaryReport->setParam(QStringLiteral("zbm"),
                                  QStringLiteral("往来余额表（截止 %1）").arg(DateField::format(m_summary->cutoff)));
        m_summaryReport->setBookName(bookName());
        m_summaryReport->execute(this);
    });
}

void Twanglai::wanglai_print_detailClick()
{
    ui::guard(this, [this] {
        if (!m_hasParty) {
            msg::info(this, QStringLiteral("请先在往来单位中选择一个单位。"));
            return;
        }
        if (!m_statement) {
            msg::info(this, QStringLiteral("计算中…，请稍候再打印。"));
            return;
        }
        Query printed(nullptr, QStringLiteral("Query_duizhang_print"));
        TextRows::show(&printed, kLineFields, statementRows(*m_statement));
        m_reportData->setQuery(&printed);
        struct Close {
            ReportComponent *r;
            ~Close() { r->close(); }
        } close{m_statementReport};
        m_statementReport->setParam(QStringLiteral("zbm"), QStringLiteral("%1 对账单 %2 至 %3")
                                                               .arg(caption(m_statement->party),
                                                                    DateField::format(m_statement->from),
                                                                    DateField::format(m_statement->to)));
        m_statementReport->setBookName(bookName());
        m_statementReport->execute(this);
    });
}
