#include <QtTest>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QToolButton>
#include "../books/book_fixture.h"
#include "app/browser.h"
#include "app/main_window.h"
#include "data/book_cache.h"
#include "data/book_refresh.h"
#include "data/query.h"
#include "app/nav_bar.h"
#include "app/online_check.h"
#include "app/web_view.h"
#include "app/welcome_page.h"
#include "books/account_book_page.h"
#include "books/quick_search.h"
#include "data/data_folder.h"
#include "ui/message_box.h"

using namespace fixture;

namespace {

struct Window {
    Ledger ledger;
    Tmain w;

    Window(const QString &lock = QStringLiteral("0"))
    {
        setLock(lock);
        w.attachData(ledger.dm.get());
    }
    void show()
    {
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QTRY_VERIFY(w.showSequenceDone());
    }
    // The settings row's lock flag, reloaded as the password window would.
    void setLock(const QString &flag)
    {
        ledger.dm->conn_jz_u.exec("update jz_ub set ub2 = :a where ub3 = '8'", {{":a", flag}});
        ledger.dm->Query_jz_ub->reopen();
    }
    // Names repeat between the status bar and the pages: the status bar is searched first.
    QWidget *statusBar() { return w.findChild<QWidget *>("bsSkinStatusBar1"); }
    QToolButton *button(const QString &name)
    {
        if (auto *b = statusBar()->findChild<QToolButton *>(name))
            return b;
        return w.findChild<QToolButton *>(name);
    }
    QLabel *statusLabel(const QString &name) { return statusBar()->findChild<QLabel *>(name); }
    void click(const QString &name)
    {
        QToolButton *b = button(name);
        QVERIFY2(b, qPrintable(name));
        QTest::mouseClick(b, Qt::LeftButton);
    }
    QStringList visiblePages()
    {
        QStringList out;
        for (QWidget *p : w.pages())
            if (p->isVisible())
                out << p->objectName();
        return out;
    }
};

const QString kNoEntries = QStringLiteral("还没有任何支记录,请先新增收入\\支出记录。");

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        testsupport::initApplication();
        OnlineCheck::setOverride([] { return false; });
    }
    void init() { msg::clearShown(); }

    void startsOnTheWelcomePage()
    {
        Window win;
        win.show();
        QCOMPARE(win.w.windowTitle(), QString("Tallyrue  V1.55"));
        QCOMPARE(win.w.size(), QSize(972, 626));
        QCOMPARE(win.visiblePages(), QStringList{"Fr_wel1"});
        QCOMPARE(win.w.navigationBar()->width(), 80);
        QCOMPARE(win.statusBar()->height(), 21);
        // "记 账" is open, "系 统" closed.
        QVERIFY(win.button("bsSkinButtonsBar1Sections0Items2")->isVisible());
        QVERIFY(!win.button("bsSkinButtonsBar1Sections1Items0")->isVisible());
        QCOMPARE(win.statusLabel("bsSkinStdLabel1")->text(), QString("1"));
        QVERIFY(win.statusLabel("bsSkinLinkImage1")->isHidden());
        QVERIFY(win.button("bsSkinSpeedButton2")->isHidden());
        // The first book refresh ran: the entry list and the book row are loaded.
        QVERIFY(win.ledger.dm->Query_jz_ab->isOpen());
        QCOMPARE(win.w.accountBookPage()->bookKey(), QString("1"));
        QCOMPARE(win.w.welcomePage()->newsView()->target(), TFr_wel::offlinePage());
    }

    // The window shows with the book listed by its keys; once painted, the book's rows go
    // into memory and the same list is read from there, in the same order.
    void bookHeldInMemoryAfterFirstPaint()
    {
        Window win;
        for (int i = 1; i <= 5; ++i)
            win.ledger.addEntry("收入", "2026- 1- 1", QString("s%1").arg(i), "p", QString("%1.00").arg(i), "0", "0");
        BookCache &cache = BookCache::of(*win.ledger.dm);
        win.show();
        QCOMPARE(win.ledger.dm->Query_count_shouru->value(0, 0), QString("15"));
        QTRY_VERIFY(cache.isCurrent("1"));
        Query *q = win.ledger.dm->Query_jz_ab;
        QCOMPARE(q->rowCount(), 5);
        QCOMPARE(q->value(0, "b3"), QString("s5"));
        QCOMPARE(q->value(4, "b3"), QString("s1"));
        // Later books load at once, as before.
        win.ledger.addBook(2, "二号");
        win.ledger.makeCurrent(2);
        BookRefresh::full(*win.ledger.dm);
        QVERIFY(cache.isCurrent("2"));
    }

    void navigationSwitchesPages_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("page");
        QTest::newRow("账 本") << "bsSkinButtonsBar1Sections0Items2" << "Fr_zhangben1";
        QTest::newRow("收入汇总") << "bsSkinButtonsBar1Sections0Items0" << "Fr_shouru1";
        QTest::newRow("支出汇总") << "bsSkinButtonsBar1Sections0Items1" << "Fr_zhichu1";
    }
    void navigationSwitchesPages()
    {
        QFETCH(QString, item);
        QFETCH(QString, page);
        Window win;
        win.show();
        win.click(item);
        QCOMPARE(win.visiblePages(), QStringList{page});
        win.click("bsSkinSpeedButton3");
        QCOMPARE(win.visiblePages(), QStringList{"Fr_wel1"});
    }

    // "账 本" lists the whole book newest first again and drops the sort marks.
    void accountBookItemResetsListAndTitles()
    {
        Window win;
        const int a = win.ledger.addEntry("收入", "2026-12- 9", "一", "甲", "1.00", "1.00", "0.00");
        const int b = win.ledger.addEntry("支出", "2026-12- 1", "二", "乙", "2.00", "2.00", "0.00");
        win.show();
        win.click("bsSkinButtonsBar1Sections0Items2");
        TFr_zhangben *page = win.w.accountBookPage();
        DataGrid *grid = page->grid();
        clickTitle(grid, 2);
        clickTitle(grid, 4);
        QCOMPARE(grid->title(2), QString("日期 ∧"));
        QuickSearch *s = page->quickSearch();
        s->kindBox()->setCurrentIndex(s->kindBox()->findText("支出"));
        s->bsSkinButton1Click();
        QCOMPARE(listedBids(grid), QStringList{QString::number(b)});

        win.click("bsSkinButtonsBar1Sections0Items2");
        QCOMPARE(listedBids(grid), (QStringList{QString::number(b), QString::number(a)}));
        QStringList titles;
        for (int c = 0; c < 11; ++c)
            titles << grid->title(c);
        QCOMPARE(titles, TFr_zhangben::plainTitles());
        // The flag is not reset: two clicks were made, so the next one sorts ascending.
        clickTitle(grid, 2);
        QCOMPARE(grid->title(2), QString("日期 ∧"));
    }

    void statisticsRefusesAnEmptyList()
    {
        Window win;
        AutoClose statistics;
        win.w.setStatisticsWindow(&statistics);
        win.show();
        win.click("bsSkinButtonsBar1Sections0Items4");
        QCOMPARE(msg::lastShown().text, kNoEntries);
        QCOMPARE(msg::lastShown().kind, msg::Kind::Information);
        QCOMPARE(statistics.shown, 0);

        // Entries exist, but the last search found none.
        win.ledger.addEntry("收入", "2026-12- 1", "一", "甲", "1.00", "1.00", "0.00");
        win.click("bsSkinButtonsBar1Sections0Items2");
        QuickSearch *s = win.w.accountBookPage()->quickSearch();
        s->kindBox()->setCurrentIndex(s->kindBox()->findText("支出"));
        s->bsSkinButton1Click();
        msg::clearShown();
        win.click("bsSkinButtonsBar1Sections0Items4");
        QCOMPARE(msg::lastShown().text, kNoEntries);
        QCOMPARE(statistics.shown, 0);

        QTest::mouseClick(win.w.accountBookPage()->findChild<QToolButton *>("bsSkinSpeedButton4"), Qt::LeftButton);
        msg::clearShown();
        win.click("bsSkinButtonsBar1Sections0Items4");
        QVERIFY(msg::shown().isEmpty());
        QCOMPARE(statistics.shown, 1);
    }

    void windowsOpenModally_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("window");
        QTest::newRow("设置密码") << "bsSkinButtonsBar1Sections1Items0" << "password";
        QTest::newRow("帮 助") << "bsSkinButtonsBar1Sections1Items1" << "help";
        QTest::newRow("关 于") << "bsSkinButtonsBar1Sections1Items3" << "about";
        QTest::newRow("customer service") << "bsSkinSpeedButton1" << "service";
        QTest::newRow("sponsor") << "bsSkinLinkImage3" << "sponsor";
        QTest::newRow("page help") << "bsSkinSpeedButton8" << "help";
    }
    void windowsOpenModally()
    {
        QFETCH(QString, control);
        QFETCH(QString, window);
        Window win;
        QMap<QString, AutoClose *> windows;
        for (const char *n : {"password", "help", "about", "service", "sponsor"})
            windows[n] = new AutoClose(&win.w);
        win.w.setPasswordWindow(windows["password"]);
        win.w.setHelpWindow(windows["help"]);
        win.w.setAboutWindow(windows["about"]);
        win.w.setServiceWindow(windows["service"]);
        win.w.setSponsorWindow(windows["sponsor"]);
        win.show();
        win.click("bsSkinButtonsBar1Sections1");   // open "系 统"
        win.click("bsSkinButtonsBar1Sections0Items2");
        win.click(control);
        for (auto it = windows.cbegin(); it != windows.cend(); ++it)
            QCOMPARE(it.value()->shown, it.key() == window ? 1 : 0);
        QVERIFY(msg::shown().isEmpty());
    }

    // Closing the password window applies the gate again and shows the welcome page.
    void passwordWindowClosesIntoTheGate()
    {
        Window win;
        AutoClose password;
        password.onShow = [&] { win.setLock("1"); };
        win.w.setPasswordWindow(&password);
        win.show();
        win.click("bsSkinButtonsBar1Sections0Items2");
        win.click("bsSkinButtonsBar1Sections1");
        win.click("bsSkinButtonsBar1Sections1Items0");
        QCOMPARE(win.visiblePages(), QStringList{"Fr_wel1"});
        QVERIFY(!win.w.navigationBar()->isEnabled());
        QVERIFY(win.w.welcomePage()->lockPanel()->isVisible());
    }

    void webAddressesGoToTheBrowser()
    {
        Window win;
        QStringList opened;
        Browser::setOverride([&](const QString &url) { opened << url; });
        win.show();
        win.click("bsSkinButtonsBar1Sections1");
        win.click("bsSkinButtonsBar1Sections1Items2");
        win.click("bsSkinLinkImage2");
        Browser::setOverride({});
        QCOMPARE(opened, (QStringList{Tmain::donationAddress(), Tmain::homeAddress()}));
        QCOMPARE(win.visiblePages(), QStringList{"Fr_wel1"});
    }

    void gateAtStart_data()
    {
        QTest::addColumn<QString>("flag");
        QTest::addColumn<bool>("quick");
        QTest::addColumn<bool>("lock");
        QTest::addColumn<bool>("navigation");
        QTest::newRow("locked") << "1" << false << true << false;
        QTest::newRow("open") << "0" << true << false << true;
        QTest::newRow("other value leaves both") << "x" << true << true << true;
    }
    void gateAtStart()
    {
        QFETCH(QString, flag);
        QFETCH(bool, quick);
        QFETCH(bool, lock);
        QFETCH(bool, navigation);
        Window win(flag);
        win.show();
        TFr_wel *wel = win.w.welcomePage();
        QCOMPARE(wel->quickEntryPanel()->isVisible(), quick);
        QCOMPARE(wel->lockPanel()->isVisible(), lock);
        QCOMPARE(win.w.navigationBar()->isEnabled(), navigation);
        // The book is loaded behind the lock all the same.
        QCOMPARE(win.w.accountBookPage()->bookKey(), QString("1"));
    }

    // The lock button applies the gate from the row as loaded and shows the welcome page;
    // while locked the bar ignores clicks and the status bar stays usable.
    void lockButton()
    {
        Window win;
        AutoClose service;
        win.w.setServiceWindow(&service);
        win.show();
        win.click("bsSkinButtonsBar1Sections0Items2");
        win.setLock("1");
        QVERIFY(win.w.navigationBar()->isEnabled());   // nothing happens before the gate
        win.click("bsSkinSpeedButton3");
        QCOMPARE(win.visiblePages(), QStringList{"Fr_wel1"});
        QVERIFY(!win.w.navigationBar()->isEnabled());
        QVERIFY(win.w.welcomePage()->lockPanel()->isVisible());
        QVERIFY(!win.w.welcomePage()->quickEntryPanel()->isVisible());
        win.click("bsSkinButtonsBar1Sections0Items2");
        QCOMPARE(win.visiblePages(), QStringList{"Fr_wel1"});
        win.click("bsSkinSpeedButton1");
        QCOMPARE(service.shown, 1);

        win.setLock("0");
        win.click("bsSkinSpeedButton3");
        QVERIFY(win.w.navigationBar()->isEnabled());
        QVERIFY(win.w.welcomePage()->quickEntryPanel()->isVisible());
        QVERIFY(!win.w.welcomePage()->lockPanel()->isVisible());
    }

    // iset.ini asks for the guide: it opens before the book is loaded, and the start goes on.
    void guideAtStart()
    {
        Window win;
        DataFolder::setIniValue(DataFolder::file("iset.ini"), "pro_set", "run", "1");
        AutoClose help;
        bool loadedBefore = true;
        help.onShow = [&] { loadedBefore = win.ledger.dm->Query_jz_ab->isOpen(); };
        win.w.setHelpWindow(&help);
        win.show();
        QCOMPARE(help.shown, 1);
        QVERIFY(!loadedBefore);
        QVERIFY(win.ledger.dm->Query_jz_ab->isOpen());
        QCOMPARE(win.statusLabel("bsSkinStdLabel2")->text(), QString("1"));
    }

    void upgradeShowsHealthCheckOnce()
    {
        Window win;
        const QString check = DataFolder::file("check.ini");
        DataFolder::setIniValue(check, "data_set", "one", "1");
        win.show();
        QCOMPARE(DataFolder::iniValue(check, "data_set", "one"), QString("0"));
        QLabel *health = win.statusLabel("bsSkinLinkImage1");
        QVERIFY(health->isVisible());
        QTimer *timer = win.w.findChild<QTimer *>("Timer1");
        QVERIFY(timer && timer->isActive());
        QCOMPARE(timer->interval(), 5000);
        QMetaObject::invokeMethod(timer, "timeout");
        QVERIFY(health->isHidden());
        QTRY_VERIFY(!win.w.findChild<QTimer *>("Timer1"));
    }

    void noUpgradeNoPicture()
    {
        Window win;
        win.show();
        QVERIFY(win.statusLabel("bsSkinLinkImage1")->isHidden());
        QTimer *timer = win.w.findChild<QTimer *>("Timer1");
        QVERIFY(!timer || !timer->isActive());
    }

    // A failing upgrade shows the error box; the book was loaded before it, "1" stays.
    void failedUpgradeShowsTheError()
    {
        Window win;
        const QString check = DataFolder::file("check.ini");
        DataFolder::setIniValue(check, "data_set", "one", "1");
        win.ledger.dm->conn_jz_f.exec("drop table a2");
        win.show();
        QCOMPARE(msg::lastShown().kind, msg::Kind::Error);
        QCOMPARE(DataFolder::iniValue(check, "data_set", "one"), QString("1"));
        QVERIFY(win.statusLabel("bsSkinLinkImage1")->isHidden());
        QVERIFY(win.ledger.dm->Query_jz_ab->isOpen());
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_main_window.moc"
