#include "app/main_window.h"

#include <QChildEvent>
#include <QDialog>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QScreen>
#include <QShowEvent>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include "app/after_first_paint.h"
#include "app/browser.h"
#include "app/nav_bar.h"
#include "app/welcome_page.h"
#include "books/account_book_page.h"
#include "counterparties/counterparty_window.h"
#include "data/book_cache.h"
#include "data/book_refresh.h"
#include "data/query.h"
#include "data/data_folder.h"
#include "data/data_module.h"
#include "data/upgrade.h"
#include "imports/import_window.h"
#include "summaries/summary_page.h"
#include "ui/centre_on_screen.h"
#include "ui/guard.h"
#include "ui/message_box.h"
#include "ui/skin.h"

namespace {

// Holds the pages, one visible at a time. It asks for the room the most demanding page needs,
// shown or not, so the window has one smallest size and switching pages never squeezes one.
class PageArea : public QWidget
{
public:
    using QWidget::QWidget;
    QSize minimumSizeHint() const override
    {
        QSize hint = QWidget::minimumSizeHint();
        for (QWidget *page : findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly)) {
            page->ensurePolished();
            hint = hint.expandedTo(page->minimumSizeHint());
        }
        return hint;
    }

protected:
    void childEvent(QChildEvent *event) override
    {
        QWidget::childEvent(event);
        if (event->added() && event->child()->isWidgetType())
            event->child()->installEventFilter(this);
    }
    // A hidden page does not lay itself out, so its growth would go unnoticed.
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::LayoutRequest && !static_cast<QWidget *>(watched)->isVisible())
            updateGeometry();
        return QWidget::eventFilter(watched, event);
    }
};

} // namespace

Tmain::Tmain(QWidget *parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("Tmain"));
    setWindowTitle(QStringLiteral("Tallyrue  V1.55"));

    auto *client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    auto *column = new QVBoxLayout(client);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    auto *middle = new QHBoxLayout;
    middle->setContentsMargins(0, 0, 0, 0);
    middle->setSpacing(0);
    column->addLayout(middle, 1);

    // --- navigation bar ---
    m_nav = new NavBar(QStringLiteral("bsSkinButtonsBar1"), client);
    m_nav->setFixedWidth(80);
    const int books = m_nav->addSection(QStringLiteral("记 账"));
    const int system = m_nav->addSection(QStringLiteral("系 统"));
    const int tools = m_nav->addSection(QStringLiteral("工 具"));
    struct Item {
        int section, index;
        const char *text, *icon;
        void (Tmain::*slot)();
    };
    const Item items[] = {
        {books, 2, "账 本", "nav_zhangben", &Tmain::bsSkinButtonsBar1Sections0Items2Click},
        {books, 0, "收入汇总", "nav_shouru", &Tmain::bsSkinButtonsBar1Sections0Items0Click},
        {books, 1, "支出汇总", "nav_zhichu", &Tmain::bsSkinButtonsBar1Sections0Items1Click},
        {books, 4, "汇总统计", "nav_tongji", &Tmain::bsSkinButtonsBar1Sections0Items4Click},
        {system, 0, "设置密码", "nav_mima", &Tmain::bsSkinButtonsBar1Sections1Items0Click},
        {system, 1, "帮 助", "nav_help", &Tmain::bsSkinButtonsBar1Sections1Items1Click},
        {system, 2, "捐 助", "nav_juanzhu", &Tmain::bsSkinButtonsBar1Sections1Items2Click},
        {system, 3, "关 于", "nav_about", &Tmain::bsSkinButtonsBar1Sections1Items3Click},
        {tools, 0, "导入账单", "nav_daoru", &Tmain::bsSkinButtonsBar1Sections2Items0Click},
        {tools, 1, "往来对账", "nav_tongji", &Tmain::bsSkinButtonsBar1Sections2Items1Click},
        {tools, 2, "回收站", "nav_huishou", &Tmain::bsSkinButtonsBar1Sections2Items2Click},
    };
    for (const Item &it : items) {
        QToolButton *b = m_nav->addItem(it.section, it.index, QString::fromUtf8(it.text),
                                        Skin::icon(QString::fromLatin1(it.icon)));
        connect(b, &QToolButton::clicked, this, it.slot);
    }
    m_nav->openSection(books);
    middle->addWidget(m_nav);

    // --- pages, all in one place ---
    auto *pageArea = new PageArea(client);
    pageArea->setObjectName(QStringLiteral("pageArea"));
    auto *stack = new QGridLayout(pageArea);
    stack->setContentsMargins(0, 0, 0, 0);
    m_wel = new TFr_wel(pageArea);
    m_zhangben = new TFr_zhangben(pageArea);
    m_shouru = new TFr_shouru(pageArea);
    m_zhichu = new TFr_zhichu(pageArea);
    m_pages = {m_wel, m_zhangben, m_shouru, m_zhichu};
    for (QWidget *p : m_pages)
        stack->addWidget(p, 0, 0);
    middle->addWidget(pageArea, 1);
    m_zhangben->setHelpHook([this] { execWindow(m_help); });
    m_wel->setNavigation(m_nav);
    m_wel->setAccountBook(m_zhangben, [this] { showPage(m_zhangben); });
    m_wel->setGuideHook([this] { execWindow(m_help); });
    m_wel->setServiceHook([this] { execWindow(m_service); });
    m_shouru->setHelpHook([this] { execWindow(m_help); });
    m_zhichu->setHelpHook([this] { execWindow(m_help); });

    // --- status bar ---
    m_status = new QFrame(client);
    m_status->setObjectName(QStringLiteral("bsSkinStatusBar1"));
    m_status->setProperty("skin", QStringLiteral("statusBar"));
    m_status->setFixedHeight(21);
    auto *status = new QHBoxLayout(m_status);
    status->setContentsMargins(2, 0, 2, 0);
    status->setSpacing(2);
    QToolButton *lock = statusButton(QStringLiteral("bsSkinSpeedButton3"), QStringLiteral("status_lock"), {25, 21});
    lock->setIconSize(QSize(18, 18));
    lock->setToolTip(QStringLiteral("锁定"));
    connect(lock, &QToolButton::clicked, this, &Tmain::bsSkinSpeedButton3Click);
    QToolButton *unused = statusButton(QStringLiteral("bsSkinSpeedButton2"), QString(), {25, 21});
    unused->hide();
    QToolButton *service = statusButton(QStringLiteral("bsSkinSpeedButton1"), QStringLiteral("status_kefu"), {80, 21});
    connect(service, &QToolButton::clicked, this, &Tmain::bsSkinSpeedButton1Click);
    QToolButton *sponsor = statusButton(QStringLiteral("bsSkinLinkImage3"), QStringLiteral("status_sponsor"), {125, 21});
    connect(sponsor, &QToolButton::clicked, this, &Tmain::bsSkinLinkImage3Click);
    m_healthCheck = new QLabel(m_status);
    m_healthCheck->setObjectName(QStringLiteral("bsSkinLinkImage1"));
    m_healthCheck->setPixmap(Skin::picture(QStringLiteral("status_health")));
    m_healthCheck->setFixedSize(125, 21);
    m_healthCheck->hide();
    QToolButton *web = statusButton(QStringLiteral("bsSkinLinkImage2"), QStringLiteral("status_web"), {90, 21});
    connect(web, &QToolButton::clicked, this, &Tmain::bsSkinLinkImage2Click);
    m_bookFlag = new QLabel(QStringLiteral("1"), m_status);
    m_bookFlag->setObjectName(QStringLiteral("bsSkinStdLabel1"));
    m_bookFlag->hide();
    m_guideSetting = new QLabel(m_status);
    m_guideSetting->setObjectName(QStringLiteral("bsSkinStdLabel2"));
    m_guideSetting->hide();
    status->addWidget(lock);
    status->addWidget(unused);
    status->addWidget(service);
    status->addWidget(sponsor);
    status->addStretch(1);
    status->addWidget(m_healthCheck);
    status->addWidget(web);
    column->addWidget(m_status);

    setCentralWidget(client);

    m_timer1 = new QTimer(this);
    m_timer1->setObjectName(QStringLiteral("Timer1"));
    m_timer1->setInterval(5000);
    connect(m_timer1, &QTimer::timeout, this, &Tmain::Timer1Timer);

    showPage(m_wel);

    resize(972, 626);
    ui::centreOnScreen(this);
}

QToolButton *Tmain::statusButton(const QString &name, const QString &picture, const QSize &size)
{
    auto *b = new QToolButton(m_status);
    b->setObjectName(name);
    b->setProperty("skin", QStringLiteral("flat"));
    b->setToolButtonStyle(Qt::ToolButtonIconOnly);
    if (!picture.isEmpty()) {
        b->setIcon(Skin::icon(picture));
        b->setIconSize(size);
    }
    b->setFixedSize(size);
    b->setCursor(Qt::PointingHandCursor);
    b->setAutoRaise(true);
    return b;
}

void Tmain::attachData(TDataModule2 *dm)
{
    m_dm = dm;
    m_wel->attachData(dm);
    m_zhangben->attachData(dm);
    m_shouru->attachData(dm);
    m_zhichu->attachData(dm);
}

void Tmain::setEntryDialogs(EntryDialog *newIncome, EntryDialog *newExpense, EntryDialog *editIncome,
                            EntryDialog *editExpense)
{
    m_zhangben->setEntryDialogs(newIncome, newExpense, editIncome, editExpense);
}

void Tmain::showPage(QWidget *page)
{
    // Hide first, so the area never holds two pages.
    for (QWidget *p : m_pages)
        if (p != page)
            p->hide();
    if (page)
        page->show();
}

QWidget *Tmain::currentPage() const
{
    for (QWidget *p : m_pages)
        if (!p->isHidden())
            return p;
    return nullptr;
}

void Tmain::applyLoginGate() { m_wel->applyGate(); }

QString Tmain::donationAddress() { return QStringLiteral("https://tallyrue.example/donate"); }
QString Tmain::homeAddress() { return QStringLiteral("https://tallyrue.example/"); }

void Tmain::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (m_showQueued)
        return;
    m_showQueued = true;
    // After the window is on screen, so a modal guide opens over it.
    QTimer::singleShot(0, this, &Tmain::FormShow);
}

void Tmain::FormShow()
{
    if (m_shown)
        return;
    m_shown = true;
    ui::guard(this, [this] {
        m_wel->loadNews();
        applyLoginGate();
        const QString guide = DataFolder::iniValue(DataFolder::file(QStringLiteral("iset.ini")),
                                                   QStringLiteral("pro_set"), QStringLiteral("run"));
        m_guideSetting->setText(guide);
        if (guide == QLatin1String("1") && m_help)
            m_help->exec();
        if (!m_dm)
            return;
        // The window shows with the book listed by its keys; its rows are read into memory
        // once it has been painted.
        BookCache::of(*m_dm).setLoadDeferred(true);
        BookRefresh::full(*m_dm, m_bookFlag->text());
        // Posted once more, so whatever else that paint pass queued goes first.
        afterFirstPaint(this, {}, [this] { QTimer::singleShot(0, this, [this] { holdBookInMemory(); }); });
        if (Upgrade::runIfDue(*m_dm, DataFolder::file(QStringLiteral("check.ini")))) {
            m_healthCheck->show();
            if (m_timer1)
                m_timer1->start();
        }
    });
}

void Tmain::holdBookInMemory()
{
    if (!m_dm)
        return;
    BookCache &cache = BookCache::of(*m_dm);
    cache.setLoadDeferred(false);
    ui::guard(this, [this, &cache] {
        Query *q = m_dm->Query_jz_ab;
        // Still the whole book as the start listed it: list it from memory, so that sorts
        // read it there too. Anything the user did meanwhile stays as it is.
        if (q->isOpen() && q->sql() == BookRefresh::entriesSql() && q->sortField().isEmpty() && q->currentRow() <= 0)
            BookRefresh::rerunEntries(*m_dm);
        else
            cache.load(BookRefresh::bookKey(*m_dm));
    });
}

void Tmain::Timer1Timer()
{
    // The picture shows once per run; the timer is not needed again.
    m_healthCheck->hide();
    if (m_timer1) {
        m_timer1->stop();
        m_timer1->deleteLater();
        m_timer1 = nullptr;
    }
}

void Tmain::execWindow(QDialog *w)
{
    if (w)
        w->exec();
}

void Tmain::bsSkinButtonsBar1Sections0Items2Click()
{
    ui::guard(this, [this] {
        showPage(m_zhangben);
        if (m_dm)
            BookRefresh::loadEntries(*m_dm);
        m_zhangben->resetTitles();
    });
}

void Tmain::bsSkinButtonsBar1Sections0Items0Click()
{
    ui::guard(this, [this] {
        showPage(m_shouru);
        m_shouru->pageSetUp();
    });
}

void Tmain::bsSkinButtonsBar1Sections0Items1Click()
{
    ui::guard(this, [this] {
        showPage(m_zhichu);
        m_zhichu->pageSetUp();
    });
}

void Tmain::bsSkinButtonsBar1Sections0Items4Click()
{
    ui::guard(this, [this] {
        if (!m_dm || m_dm->Query_jz_ab->isEmpty()) {
            msg::info(this, QStringLiteral("还没有任何支记录,请先新增收入\\支出记录。"));
            return;
        }
        execWindow(m_statistics);
    });
}

void Tmain::bsSkinButtonsBar1Sections1Items0Click()
{
    ui::guard(this, [this] {
        if (!m_password)
            return;
        m_password->exec();
        // Closing the password window locks again when the lock is on.
        applyLoginGate();
        showPage(m_wel);
    });
}

void Tmain::bsSkinButtonsBar1Sections1Items1Click()
{
    ui::guard(this, [this] { execWindow(m_help); });
}

void Tmain::bsSkinButtonsBar1Sections1Items2Click()
{
    ui::guard(this, [this] { Browser::open(this, donationAddress()); });
}

void Tmain::bsSkinButtonsBar1Sections1Items3Click()
{
    ui::guard(this, [this] { execWindow(m_about); });
}

void Tmain::bsSkinButtonsBar1Sections2Items1Click()
{
    ui::guard(this, [this] {
        if (!m_wanglai)
            m_wanglai = new Twanglai(m_dm, this);
        m_wanglai->exec();
    });
}

void Tmain::bsSkinButtonsBar1Sections2Items0Click()
{
    ui::guard(this, [this] {
        if (!m_dm)
            return;
        if (!m_import)
            m_import = new Tdaoru(m_dm, this);   // made on first use
        m_import->exec();
    });
}

void Tmain::bsSkinButtonsBar1Sections2Items2Click()
{
    ui::guard(this, [this] {
        if (!m_bin && m_makeBin)
            m_bin = m_makeBin();
        execWindow(m_bin);
    });
}

void Tmain::bsSkinSpeedButton3Click()
{
    ui::guard(this, [this] {
        applyLoginGate();
        showPage(m_wel);
    });
}

void Tmain::bsSkinSpeedButton1Click()
{
    ui::guard(this, [this] { execWindow(m_service); });
}

void Tmain::bsSkinLinkImage3Click()
{
    ui::guard(this, [this] { execWindow(m_sponsor); });
}

void Tmain::bsSkinLinkImage2Click()
{
    ui::guard(this, [this] { Browser::open(this, homeAddress()); });
}
