#include "summaries/statistics_window.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QShowEvent>
#include "data/data_module.h"
#include "data/query.h"
#include "summaries/chart_window.h"
#include "ui/centre_on_screen.h"
#include "ui/guard.h"
#include "ui/skin.h"

namespace {

struct Figure {
    const char *query;
    const char *column;
    const char *statement;
    const char *caption;   // the row label; the count has its own line
    int top;
};

const Figure kFigures[] = {
    {"Query_zhangbenshu", "zhangbenshu", "select COUNT(*) as zhangbenshu from jz_aa", nullptr, 15},
    {"Query_zongshouru", "zongshouru", "select sum(b5) as zongshouru from jz_ab ", "收入总计:", 56},
    {"Query_zongyishou", "zongyishou", "select sum(b6) as zongyishou from jz_ab ", "已收总计:", 82},
    {"Query_zongyingshou", "zongyingshou", "select sum(b7) as zongyingshou from jz_ab ", "应收总计:", 110},
    {"Query_zongzhichu", "zongzhichu", "select sum(b8) as zongzhichu from jz_ab ", "支出总计:", 144},
    {"Query_zongyifu", "zongyifu", "select sum(b9) as zongyifu from jz_ab ", "已付总计:", 170},
    {"Query_zongyingfu", "zongyingfu", "select sum(b10) as zongyingfu from jz_ab ", "应付总计:", 198},
};

const QString kNavy = QStringLiteral("color: #15306B; font-weight: bold; font-size: 14px;");
const QString kGreen = QStringLiteral("color: #0B8A2E; font-weight: bold; font-size: 14px;");
const QString kPlain = QStringLiteral("color: #1B3A5C; font-size: 14px;");

QLabel *label(const QString &text, const QString &style, QWidget *parent)
{
    auto *l = new QLabel(text, parent);
    l->setTextFormat(Qt::PlainText);
    l->setStyleSheet(style);
    return l;
}

// Plain decimal text: an optional minus, digits, optionally a point and more digits.
bool splitDecimal(const QString &s, bool &negative, QString &whole, QString &fraction)
{
    int i = 0;
    negative = s.startsWith(QLatin1Char('-'));
    if (negative)
        ++i;
    const int point = s.indexOf(QLatin1Char('.'), i);
    whole = s.mid(i, point < 0 ? -1 : point - i);
    fraction = point < 0 ? QString() : s.mid(point + 1);
    auto digits = [](const QString &t) {
        for (const QChar c : t)
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                return false;
        return true;
    };
    return !whole.isEmpty() && digits(whole) && digits(fraction) && (point < 0 || !fraction.isEmpty());
}

} // namespace

Tzongtongji::Tzongtongji(TDataModule2 *dm, QWidget *parent) : QDialog(parent), m_dm(dm)
{
    setObjectName(QStringLiteral("Tzongtongji"));
    setWindowTitle(QStringLiteral("汇总统计"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                   | Qt::WindowCloseButtonHint);
    setFixedSize(300, 298);

    // "您共有" <count> "个账本，以下是总计数据:" on one line.
    auto *countLine = new QWidget(this);
    auto *row = new QHBoxLayout(countLine);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    row->addWidget(label(QStringLiteral("您共有"), kNavy, countLine));
    QLabel *count = label(QString(), kGreen, countLine);
    row->addWidget(count);
    row->addWidget(label(QStringLiteral("个账本，以下是总计数据:"), kNavy, countLine));
    row->addStretch(1);
    countLine->setGeometry(20, kFigures[0].top, 276, 22);
    m_values << count;

    for (int i = 1; i < 7; ++i) {
        const Figure &f = kFigures[i];
        QLabel *caption = label(QString::fromUtf8(f.caption), kPlain, this);
        caption->setGeometry(20, f.top, 64, 22);
        QLabel *value = label(QString(), kGreen, this);
        value->setGeometry(84, f.top, 210, 22);
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        m_values << value;
    }
    for (int i = 0; i < 7; ++i) {
        m_values[i]->setObjectName(QStringLiteral("value_") + QLatin1String(kFigures[i].column));
        m_queries << (dm ? new Query(&dm->conn_jz_m, QString::fromLatin1(kFigures[i].query), this) : nullptr);
    }
    m_chartButton = new QPushButton(QStringLiteral("图 表"), this);
    m_chartButton->setObjectName(QStringLiteral("chartButton"));
    m_chartButton->setGeometry(20, 240, 80, 28);
    connect(m_chartButton, &QPushButton::clicked, this, &Tzongtongji::chartButtonClick);
    // Each display field follows its query.
    for (int i = 0; i < 7; ++i) {
        Query *q = m_queries[i];
        if (!q)
            continue;
        QLabel *value = m_values[i];
        const bool isSum = i > 0;
        connect(q, &Query::resetDone, value, [q, value, isSum] {
            const QString v = q->isOpen() && !q->isEmpty() ? q->value(0, 0) : QString();
            value->setText(isSum ? twoDecimals(v) : v);
        });
    }
}

QString Tzongtongji::twoDecimals(const QString &sum)
{
    bool negative = false;
    QString whole, fraction;
    if (!splitDecimal(sum, negative, whole, fraction))
        return sum;
    // Never rounded: a sum with more decimals keeps them.
    while (fraction.size() < 2)
        fraction += QLatin1Char('0');
    return (negative ? QStringLiteral("-") : QString()) + whole + QLatin1Char('.') + fraction;
}

void Tzongtongji::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous()) {
        ui::centreOnScreen(this);
        FormShow();
    }
}

void Tzongtongji::FormShow()
{
    ui::guard(this, [this] {
        if (!m_dm)
            return;
        // The count as its statement says.
        Query *books = m_queries[0];
        books->close();
        books->setSql(QString::fromUtf8(kFigures[0].statement));
        books->open();
        // The six sums from one pass over the entries: six passes cost six times as much.
        // Each query still carries its own statement.
        Query all(&m_dm->conn_jz_m, QStringLiteral("zongji"));
        all.setSql(QStringLiteral("select sum(b5), sum(b6), sum(b7), sum(b8), sum(b9), sum(b10) from jz_ab "));
        all.open();
        for (int i = 1; i < 7; ++i) {
            Query *q = m_queries[i];
            q->close();
            q->setSql(QString::fromUtf8(kFigures[i].statement));
            q->openWithRow({QString::fromLatin1(kFigures[i].column)},
                           {all.isNull(0, i - 1) ? QString() : all.value(0, i - 1)});
        }
    });
}

void Tzongtongji::chartButtonClick()
{
    ui::guard(this, [this] {
        if (!m_chart)
            m_chart = new Tchart(m_dm, this);
        m_chart->exec();
    });
}

void Tzongtongji::paintEvent(QPaintEvent *event)
{
    QDialog::paintEvent(event);
    // Drawn when first needed, not at start.
    if (m_background.isNull())
        m_background = Skin::picture(QStringLiteral("statistics_background"));
    QPainter p(this);
    p.drawPixmap(rect(), m_background);
}
