#include "summaries/summary_page.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QHideEvent>
#include <QLabel>
#include <QScrollBar>
#include <QToolButton>
#include <QVBoxLayout>
#include "books/quick_search.h"
#include "books/title_sort.h"
#include "data/book_refresh.h"
#include "data/data_module.h"
#include "ui/button_key.h"
#include "ui/data_grid.h"
#include "ui/guard.h"
#include "ui/skin.h"

namespace {

struct PageKind {
    const char *objectName;
    const char *query;
    const char *kind;
    const char *amountFields[3];
    const char *amountTitles[3];
    int outstandingWidth;
    const char *titlePicture;
};

const PageKind kIncome{"Fr_shouru1", "Query_shouru", "收入", {"b5", "b6", "b7"},
                       {"收入总额", "已收金额", "应收账款"}, 63, "summary_title_shouru"};
const PageKind kExpense{"Fr_zhichu1", "Query_zhichu", "支出", {"b8", "b9", "b10"},
                        {"支出总额", "已付金额", "应付账款"}, 65, "summary_title_zhichu"};

const PageKind &pageKind(SummaryPage::Kind k) { return k == SummaryPage::Kind::Income ? kIncome : kExpense; }

const char *const kLeadFields[] = {"bid", "b1", "b2", "b3", "b4"};
const char *const kLeadTitles[] = {"编号", "类别", "日期", "摘要", "单位名称"};
const int kWidths[] = {50, 50, 75, 140, 200, 65, 65};

} // namespace

SummaryPage::SummaryPage(Kind kind, QWidget *parent) : QFrame(parent), m_kind(kind)
{
    const PageKind &k = pageKind(kind);
    setObjectName(QString::fromLatin1(k.objectName));

    auto *page = new QVBoxLayout(this);
    page->setContentsMargins(0, 0, 0, 0);
    page->setSpacing(0);

    // --- banner: title picture, stretched filler, slogan; all inert ---
    auto *banner = new QWidget(this);
    banner->setFixedHeight(30);
    auto *bannerRow = new QHBoxLayout(banner);
    bannerRow->setContentsMargins(0, 0, 0, 0);
    bannerRow->setSpacing(0);
    auto *title = new QLabel(banner);
    title->setPixmap(Skin::picture(QString::fromLatin1(k.titlePicture)));
    auto *filler = new QLabel(banner);
    filler->setPixmap(Skin::picture(QStringLiteral("summary_banner_middle")));
    filler->setScaledContents(true);
    filler->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    auto *slogan = new QLabel(banner);
    slogan->setPixmap(Skin::picture(QStringLiteral("summary_banner_right")));
    bannerRow->addWidget(title);
    bannerRow->addWidget(filler, 1);
    bannerRow->addWidget(slogan);
    page->addWidget(banner);

    // --- tool bar ---
    auto *bar = new QFrame(this);
    bar->setObjectName(QStringLiteral("bsSkinToolBar1"));
    bar->setProperty("skin", QStringLiteral("toolBar"));
    bar->setFixedHeight(33);
    auto *tools = new QHBoxLayout(bar);
    tools->setContentsMargins(4, 2, 4, 2);
    tools->setSpacing(1);
    struct Tool {
        const char *name, *caption, *icon;
        void (SummaryPage::*slot)();
        const char *key = nullptr; // the same keys as the account-book page
    };
    const Tool buttons[] = {
        {"bsSkinSpeedButton4", "刷新", "tool_refresh", &SummaryPage::bsSkinSpeedButton4Click, "F5"},
        {"bsSkinSpeedButton9", "打 印", "tool_print", &SummaryPage::bsSkinSpeedButton9Click, "Ctrl+P"},
        {"bsSkinSpeedButton8", "帮 助", "tool_help", &SummaryPage::bsSkinSpeedButton8Click},
    };
    for (const Tool &t : buttons) {
        QToolButton *b = toolButton(bar, QString::fromLatin1(t.name), QString::fromUtf8(t.caption),
                                    QString::fromLatin1(t.icon));
        connect(b, &QToolButton::clicked, this, t.slot);
        tools->addWidget(b);
        if (t.key)
            ui::giveKey(b, QKeySequence(QString::fromLatin1(t.key)));
    }
    tools->addStretch(1);
    m_kindLabel = new QLabel(QString::fromUtf8(k.kind), bar);
    m_kindLabel->setObjectName(QStringLiteral("bsSkinStdLabel5"));
    m_kindLabel->hide();
    page->addWidget(bar);

    m_grid = new DataGrid(QStringLiteral("bsSkinDBGrid1"), DataGrid::Mode::ReadOnly, this);
    m_grid->verticalScrollBar()->setObjectName(QStringLiteral("bsSkinScrollBar1"));
    m_grid->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // The amount columns are 63 to 65 pixels wide; a title with its sort mark needs all of it.
    m_grid->horizontalHeader()->setStyleSheet(QStringLiteral("QHeaderView::section { padding: 3px 0px; }"));
    m_sort = new TitleSort(m_grid);
    page->addWidget(m_grid, 1);
}

QToolButton *SummaryPage::toolButton(QWidget *bar, const QString &name, const QString &caption,
                                     const QString &icon)
{
    auto *b = new QToolButton(bar);
    b->setObjectName(name);
    b->setProperty("skin", QStringLiteral("tool"));
    b->setText(caption);
    b->setIcon(Skin::icon(icon));
    b->setIconSize(QSize(16, 16));
    b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    b->setAutoRaise(true);
    b->setFixedWidth(60);
    // The shared tool style pads for 20px icons; three narrow buttons need less.
    b->setStyleSheet(QStringLiteral("QToolButton { padding: 2px 1px; qproperty-iconSize: 16px 16px; }"));
    return b;
}

QStringList SummaryPage::plainTitles() const
{
    const PageKind &k = pageKind(m_kind);
    QStringList titles;
    for (const char *t : kLeadTitles)
        titles << QString::fromUtf8(t);
    for (const char *t : k.amountTitles)
        titles << QString::fromUtf8(t);
    return titles;
}

QString SummaryPage::kindText() const { return m_kindLabel->text(); }

QString SummaryPage::pageSql() { return BookRefresh::kindSql(); }

void SummaryPage::attachData(TDataModule2 *dm)
{
    const PageKind &k = pageKind(m_kind);
    m_dm = dm;
    delete m_query;
    m_query = new Query(&dm->conn_jz_m, QString::fromLatin1(k.query), this);
    // Never run: the set-up always sets the real statement first.
    m_query->setSql(QStringLiteral("select * from jz_ab order by bid desc"));
    // A book can hold a million entries: keep their numbers, read values when shown.
    m_query->setReadOnDemand(QStringLiteral("jz_ab"), QStringLiteral("bid"));

    const QStringList titles = plainTitles();
    QList<QueryModel::Column> columns;
    for (int i = 0; i < 8; ++i) {
        QueryModel::Column c;
        c.field = QString::fromLatin1(i < 5 ? kLeadFields[i] : k.amountFields[i - 5]);
        c.title = titles[i];
        c.width = i < 7 ? kWidths[i] : k.outstandingWidth;
        if (i >= 5)
            c.align = Qt::AlignRight | Qt::AlignVCenter;
        columns << c;
    }
    m_grid->setQuery(m_query, columns);
    m_grid->setColumnFit({5, 6, 7}, {3, 4});
}

void SummaryPage::rebuildList()
{
    if (!m_dm)
        return;
    m_query->close();
    m_query->setSql(pageSql());
    // The kind is read from the label each time, as a literal contains-match.
    m_query->bind(QStringLiteral(":kind"), QuickSearch::containsPattern(kindText()));
    m_query->bind(QStringLiteral(":key"), BookRefresh::bookKey(*m_dm));
    BookRefresh::openBookQuery(*m_dm, m_query);
}

void SummaryPage::hideEvent(QHideEvent *event)
{
    QFrame::hideEvent(event);
    // A page put away is set up afresh whenever it is shown again; meanwhile its list would
    // only keep a book's rows in memory that a book switch has replaced.
    if (!event->spontaneous() && isHidden() && m_query)
        m_query->close();
}

void SummaryPage::resetTitles()
{
    const QStringList titles = plainTitles();
    for (int i = 0; i < titles.size(); ++i)
        m_grid->setTitle(i, titles[i]);
}

void SummaryPage::pageSetUp()
{
    rebuildList();
    resetTitles();
}

void SummaryPage::bsSkinSpeedButton4Click()
{
    // Both pages rebuild their list; the titles keep their marks.
    ui::guard(this, [this] { rebuildList(); });
}

void SummaryPage::bsSkinSpeedButton9Click()
{
    ui::guard(this, [this] {
        if (m_printHook)
            m_printHook();
    });
}

void SummaryPage::bsSkinSpeedButton8Click()
{
    ui::guard(this, [this] {
        if (m_helpHook)
            m_helpHook();
    });
}
