#include "summaries/chart_window.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QComboBox>
#include <QCursor>
#include <QHBoxLayout>
#include <QHorizontalBarSeries>
#include <QLabel>
#include <QLineSeries>
#include <QShowEvent>
#include <QTabWidget>
#include <QToolTip>
#include <QValueAxis>
#include <cmath>
#include <QVBoxLayout>
#include "data/book_cache.h"
#include "data/book_refresh.h"
#include "data/data_module.h"
#include "summaries/statistics_window.h"
#include "ui/centre_on_screen.h"
#include "ui/guard.h"

namespace {

const QColor kIncome(0x2E, 0x8B, 0x57);
const QColor kExpense(0xC8, 0x3C, 0x3C);
const QColor kBalance(0x1F, 0x4E, 0x9A);

QString money(const QString &sum) { return Tzongtongji::twoDecimals(sum); }

QString monthCaption(const chart::MonthFigures &m)
{
    return m.isOther() ? chart::restCaption() : QStringLiteral("%1年%2月").arg(m.year).arg(m.month);
}

// A party as the chart names it; an unnamed one still needs a visible caption.
QString partyCaption(const chart::PartyFigure &p)
{
    return p.party.isEmpty() ? QStringLiteral("(未填)") : p.party;
}

void clearChart(QChart *c)
{
    c->removeAllSeries();
    for (QAbstractAxis *a : c->axes()) {
        c->removeAxis(a);
        delete a;
    }
}

QValueAxis *amountAxis()
{
    auto *a = new QValueAxis;
    a->setLabelFormat(QStringLiteral("%.2f"));
    // An amount cut short reads as a different amount.
    a->setTruncateLabels(false);
    return a;
}

// Both ends of a value axis cover zero and every value, with round numbers at the ticks.
void fitAxis(QValueAxis *axis, double low, double high)
{
    low = std::min(low, 0.0);
    high = std::max(high, 0.0);
    if (low == high)
        high = 1;
    // A little room beyond the largest value, so its bar and point are not cut at the edge.
    const double room = (high - low) * 0.05;
    low = low < 0 ? low - room : low;
    high = high > 0 ? high + room : high;
    // Round ticks worked out here: the axis's own rounding ran a chart with one expense
    // of -12.50 out to -5000.
    const double rough = (high - low) / 4;
    const double magnitude = std::pow(10.0, std::floor(std::log10(rough)));
    double step = magnitude * 10;
    for (double f : {1.0, 2.0, 2.5, 5.0}) {
        if (magnitude * f >= rough) {
            step = magnitude * f;
            break;
        }
    }
    const double from = std::floor(low / step) * step;
    const double to = std::ceil(high / step) * step;
    axis->setRange(from, to);
    axis->setTickCount(int(std::lround((to - from) / step)) + 1);
}

QChartView *viewOf(QChart *c, const QString &name, QWidget *parent)
{
    auto *v = new QChartView(c, parent);
    v->setObjectName(name);
    v->setRenderHint(QPainter::Antialiasing);
    return v;
}

QChart *newChart(const QString &title)
{
    auto *c = new QChart;
    c->setTitle(title);
    c->legend()->setAlignment(Qt::AlignBottom);
    c->setAnimationOptions(QChart::NoAnimation);
    return c;
}

} // namespace

Tchart::Tchart(TDataModule2 *dm, QWidget *parent) : QDialog(parent), m_dm(dm)
{
    setObjectName(QStringLiteral("Tchart"));
    setWindowTitle(QStringLiteral("收支图表"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                   | Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
    setSizeGripEnabled(true);
    resize(900, 560);

    auto *layout = new QVBoxLayout(this);
    m_allBooks = new QCheckBox(QStringLiteral("全部账本"), this);
    m_allBooks->setObjectName(QStringLiteral("chartAllBooks"));
    layout->addWidget(m_allBooks);

    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("chartTabs"));
    layout->addWidget(m_tabs, 1);

    auto *monthPage = new QWidget(m_tabs);
    monthPage->setObjectName(QStringLiteral("chartMonthPage"));
    auto *monthLayout = new QVBoxLayout(monthPage);
    auto *yearRow = new QHBoxLayout;
    auto *yearLabel = new QLabel(QStringLiteral("年份:"), monthPage);
    m_year = new QComboBox(monthPage);
    m_year->setObjectName(QStringLiteral("chartYear"));
    m_year->setMinimumContentsLength(6);
    yearLabel->setBuddy(m_year);
    yearRow->addWidget(yearLabel);
    yearRow->addWidget(m_year);
    yearRow->addStretch(1);
    monthLayout->addLayout(yearRow);
    m_monthChart = newChart(QString());
    monthLayout->addWidget(viewOf(m_monthChart, QStringLiteral("chartMonthView"), monthPage), 1);
    m_tabs->addTab(monthPage, QStringLiteral("月度收支"));

    auto *partyPage = new QWidget(m_tabs);
    partyPage->setObjectName(QStringLiteral("chartPartyPage"));
    auto *partyLayout = new QHBoxLayout(partyPage);
    m_incomeChart = newChart(QStringLiteral("收入"));
    m_expenseChart = newChart(QStringLiteral("支出"));
    partyLayout->addWidget(viewOf(m_incomeChart, QStringLiteral("chartIncomePartyView"), partyPage), 1);
    partyLayout->addWidget(viewOf(m_expenseChart, QStringLiteral("chartExpensePartyView"), partyPage), 1);
    m_tabs->addTab(partyPage, QStringLiteral("往来单位"));

    connect(m_allBooks, &QCheckBox::toggled, this, [this] { reload(); });
    connect(m_tabs, &QTabWidget::currentChanged, this, [this] { readShownTab(); });
    connect(m_year, &QComboBox::currentIndexChanged, this, [this] {
        ui::guard(this, [this] { showYear(); });
    });
}

void Tchart::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous()) {
        ui::centreOnScreen(this);
        reload();
    }
}

void Tchart::reload()
{
    // A failed read leaves empty charts, never the figures of the last show.
    m_figures = chart::Figures();
    m_key.clear();
    m_readable = false;
    m_wholeTable = false;
    m_monthsRead = m_partiesRead = false;
    ui::guard(this, [this] {
        if (!m_dm)
            return;
        m_key = m_allBooks->isChecked() ? QString() : BookRefresh::bookKey(*m_dm);
        // No current book would read as every book: show nothing instead.
        m_readable = m_allBooks->isChecked() || !m_key.isEmpty();
        m_wholeTable = m_readable && !chart::holdsBook(&BookCache::of(*m_dm), m_key)
                       && chart::bookIsMostOfTable(m_dm->conn_jz_m, m_key);
    });
    readShownTab();
}

void Tchart::readShownTab()
{
    // Each tab is read when it is first shown after a reload: one grouped pass each.
    const bool months = m_tabs->currentIndex() == 0;
    bool &read = months ? m_monthsRead : m_partiesRead;
    if (read)
        return;
    read = true;
    ui::guard(this, [this, months] {
        if (m_readable) {
            if (months)
                chart::loadMonths(m_dm->conn_jz_m, m_key, m_wholeTable, m_figures, &BookCache::of(*m_dm));
            else
                chart::loadParties(m_dm->conn_jz_m, m_key, m_wholeTable, m_figures, &BookCache::of(*m_dm));
        }
    });
    ui::guard(this, [this, months] {
        if (!months) {
            drawParties(m_incomeChart, true);
            drawParties(m_expenseChart, false);
            return;
        }
        // The year shown stays when it is still there; otherwise the latest.
        const QVariant before = m_year->currentData();
        {
            const QSignalBlocker quiet(m_year);
            m_year->clear();
            for (int y : m_figures.years)
                m_year->addItem(QString::number(y), y);
            if (m_figures.hasOther)
                m_year->addItem(chart::restCaption(), 0);
            const int at = before.isValid() ? m_year->findData(before) : -1;
            m_year->setCurrentIndex(at >= 0 ? at : (m_figures.years.isEmpty() ? 0 : int(m_figures.years.size()) - 1));
        }
        showYear();
    });
}

void Tchart::showYear()
{
    clearChart(m_monthChart);
    m_shownMonths.clear();
    if (m_year->currentIndex() < 0)
        return;
    const int year = m_year->currentData().toInt();
    QStringList categories;
    if (year == 0) {
        for (const chart::MonthFigures &m : m_figures.months)
            if (m.isOther())
                m_shownMonths.append(m);
        categories << chart::restCaption();
    } else {
        // Every month of the year, the ones without entries as zero.
        for (int month = 1; month <= 12; ++month) {
            chart::MonthFigures m;
            m.year = year;
            m.month = month;
            m.income = m.expense = m.receivable = m.payable = m.balance = QStringLiteral("0");
            for (const chart::MonthFigures &f : m_figures.months)
                if (f.year == year && f.month == month)
                    m = f;
            m_shownMonths.append(m);
            categories << QStringLiteral("%1月").arg(month);
        }
    }
    m_monthChart->setTitle(year == 0 ? QStringLiteral("日期无法识别的记录") : QStringLiteral("%1年").arg(year));

    auto *income = new QBarSet(QStringLiteral("收入"));
    auto *expense = new QBarSet(QStringLiteral("支出"));
    income->setColor(kIncome);
    expense->setColor(kExpense);
    auto *balance = new QLineSeries;
    balance->setName(QStringLiteral("应收减应付"));
    QPen pen(kBalance);
    pen.setWidth(2);
    balance->setPen(pen);
    balance->setPointsVisible(true);
    double low = 0, high = 0;
    for (int i = 0; i < m_shownMonths.size(); ++i) {
        const chart::MonthFigures &m = m_shownMonths[i];
        const double in = chart::decimalValue(m.income), out = chart::decimalValue(m.expense),
                     bal = chart::decimalValue(m.balance);
        income->append(in);
        expense->append(out);
        balance->append(i, bal);
        low = std::min({low, in, out, bal});
        high = std::max({high, in, out, bal});
    }
    auto *bars = new QBarSeries;
    bars->append(income);
    bars->append(expense);
    m_monthChart->addSeries(bars);
    m_monthChart->addSeries(balance);

    auto *months = new QBarCategoryAxis;
    months->append(categories);
    auto *amounts = amountAxis();
    m_monthChart->addAxis(months, Qt::AlignBottom);
    m_monthChart->addAxis(amounts, Qt::AlignLeft);
    bars->attachAxis(months);
    bars->attachAxis(amounts);
    balance->attachAxis(months);
    balance->attachAxis(amounts);
    fitAxis(amounts, low, high);

    connect(bars, &QBarSeries::hovered, this, [this, income](bool on, int index, QBarSet *set) {
        if (on)
            QToolTip::showText(QCursor::pos(), monthTip(set == income ? 0 : 1, index));
        else
            QToolTip::hideText();
    });
    connect(balance, &QLineSeries::hovered, this, [this](const QPointF &p, bool on) {
        if (on)
            QToolTip::showText(QCursor::pos(), monthTip(2, qRound(p.x())));
        else
            QToolTip::hideText();
    });
}

void Tchart::drawParties(QChart *c, bool income)
{
    clearChart(c);
    const QList<chart::PartyFigure> &parties = shownParties(income);
    auto *set = new QBarSet(income ? QStringLiteral("收入") : QStringLiteral("支出"));
    set->setColor(income ? kIncome : kExpense);
    QStringList categories;
    double low = 0, high = 0;
    // Drawn bottom up: the largest at the top, the rest at the bottom.
    for (qsizetype i = parties.size() - 1; i >= 0; --i) {
        const double v = chart::decimalValue(parties[i].total);
        set->append(v);
        low = std::min(low, v);
        high = std::max(high, v);
        // Captions must differ, or the axis merges them.
        QString caption = partyCaption(parties[i]);
        while (categories.contains(caption))
            caption += QLatin1Char(' ');
        categories << caption;
    }
    auto *series = new QHorizontalBarSeries;
    series->append(set);
    c->addSeries(series);
    auto *names = new QBarCategoryAxis;
    names->append(categories);
    auto *amounts = amountAxis();
    amounts->setLabelsAngle(-45);
    c->addAxis(names, Qt::AlignLeft);
    c->addAxis(amounts, Qt::AlignBottom);
    series->attachAxis(names);
    series->attachAxis(amounts);
    fitAxis(amounts, low, high);
    c->legend()->setVisible(false);
    const qsizetype count = parties.size();
    connect(series, &QHorizontalBarSeries::hovered, this, [this, income, count](bool on, int index, QBarSet *) {
        if (on)
            QToolTip::showText(QCursor::pos(), partyTip(income, int(count - 1 - index)));
        else
            QToolTip::hideText();
    });
}

QString Tchart::monthTip(int series, int index) const
{
    if (index < 0 || index >= m_shownMonths.size())
        return QString();
    const chart::MonthFigures &m = m_shownMonths[index];
    const QString head = monthCaption(m) + QLatin1Char('\n');
    switch (series) {
    case 0:
        return head + QStringLiteral("收入: ") + money(m.income);
    case 1:
        return head + QStringLiteral("支出: ") + money(m.expense);
    default:
        return head + QStringLiteral("应收: ") + money(m.receivable) + QStringLiteral("\n应付: ")
               + money(m.payable) + QStringLiteral("\n应收减应付: ") + money(m.balance);
    }
}

QString Tchart::partyTip(bool income, int index) const
{
    const QList<chart::PartyFigure> &parties = shownParties(income);
    if (index < 0 || index >= parties.size())
        return QString();
    const chart::PartyFigure &p = parties[index];
    return partyCaption(p) + QLatin1Char('\n') + (income ? QStringLiteral("收入: ") : QStringLiteral("支出: "))
           + money(p.total);
}
