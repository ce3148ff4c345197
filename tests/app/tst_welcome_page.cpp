#include <QtTest>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPushButton>
#include <QToolButton>

#include "program_fixture.h"
#include "../books/book_fixture.h"
#include "app/browser.h"
#include "app/online_check.h"
#include "app/web_view.h"
#include "records/amount_field.h"
#include "records/entry_dialog.h"
#include "ui/data_grid.h"
#include "ui/message_box.h"

using namespace programfixture;

namespace {
// Every request fails at once, without leaving the machine.
class NoNetwork : public QNetworkAccessManager
{
protected:
    QNetworkReply *createRequest(Operation op, const QNetworkRequest &, QIODevice *data) override
    {
        return QNetworkAccessManager::createRequest(op, QNetworkRequest(QUrl("file:///nonexistent/news")), data);
    }
};
} // namespace

class TestWelcomePage : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        testsupport::initApplication();
        OnlineCheck::setOverride([] { return false; });
    }
    void init() { msg::clearShown(); }
    void cleanup() { Browser::setOverride({}); }

    // The places the page gives its parts at the main window's first size.
    void layoutAtFirstSize()
    {
        Run run;
        QVERIFY(run.start());
        TFr_wel *wel = run.wel();
        QCOMPARE(wel->size(), QSize(892, 605));
        auto at = [wel](const char *name) {
            QWidget *c = wel->findChild<QWidget *>(name);
            return c ? QRect(c->mapTo(wel, QPoint(0, 0)), c->size()) : QRect();
        };
        const QRect lock = at("bsSkinGroupBox1");
        QCOMPARE(lock.topLeft(), QPoint(24, 238 + 88));
        QCOMPARE(lock.width(), 313);
        QCOMPARE(at("bsSkinGroupBox2"), lock);
        const QRect guide = at("bsSkinLinkImage2");
        const QRect contact = at("bsSkinLinkImage3");
        QCOMPARE(guide.size(), QSize(313, 25));
        QCOMPARE(contact.size(), QSize(313, 25));
        QVERIFY(guide.top() >= lock.bottom() && contact.top() > guide.bottom());
        QCOMPARE(guide.left(), 24);
        for (const char *name : {"Image10", "Image8", "Image9"}) {
            QCOMPARE(at(name).size(), QSize(69, 42));
            QVERIFY(lock.contains(at(name)));
        }
        const QRect banner = at("Image3");
        QVERIFY(banner.bottom() < 238 && banner.bottom() > 238 - 12);
        QCOMPARE(at("Image2").top() < 24, true);
        QVERIFY(at("Image2").left() >= 892 - 172);
        // The news view hangs over the edges of its 191 by 214 clip so no border shows.
        WebView *news = wel->newsView();
        QCOMPARE(news->parentWidget()->size(), QSize(191, 214));
        QCOMPARE(news->geometry(), QRect(-3, -2, 229, 229));
        QCOMPARE(news->parentWidget()->parentWidget()->size(), QSize(193, 238));
        QVERIFY(news->parentWidget()->parentWidget()->x() > lock.right());
        // The pictures take no keyboard focus, as pictures do not.
        for (const char *name : {"Image2", "Image8", "Image9", "Image10", "bsSkinLinkImage2", "bsSkinLinkImage3"})
            QCOMPARE(wel->findChild<QWidget *>(name)->focusPolicy(), Qt::NoFocus);
        QCOMPARE(wel->findChild<QPushButton *>("bsSkinButton1")->text(), QString("  解  锁"));
        QCOMPARE(wel->quickEntryPanel()->title(), QString("功能导览"));
        QCOMPARE(wel->lockPanel()->title(), QString("软件已锁定"));
    }

    // 收入 and 支出 open the real new-entry dialog, which stores the entry in the current
    // book, even as the very first action after the start.
    void quickEntries_data()
    {
        QTest::addColumn<QString>("picture");
        QTest::addColumn<QString>("kind");
        QTest::newRow("收入") << "Image10" << "收入";
        QTest::newRow("支出") << "Image9" << "支出";
    }
    void quickEntries()
    {
        QFETCH(QString, picture);
        QFETCH(QString, kind);
        Run run;
        run.addBook(2, "二号", true);
        run.addEntry("收入", "一号的", "1");
        QVERIFY(run.start());
        EntryDialog *dialog = kind == "收入" ? run.program.newIncome() : run.program.newExpense();
        QString key;
        new OnShow(dialog, [&] {
            key = dialog->bookKey();
            typeText(dialog->findChild<QLineEdit *>("bsSkinEdit4"), "快捷");
            typeText(dialog->findChild<QLineEdit *>("bsSkinEdit5"), "某单位");
            AmountField *total = dialog->findChild<AmountField *>("bsSkinEdit1");
            total->setFocus(Qt::TabFocusReason);
            QTest::keyClick(total, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClicks(total, "7.5");
            QTest::mouseClick(dialog->findChild<QPushButton *>("bsSkinButton1"), Qt::LeftButton);
        });
        run.clickAt(run.wel()->findChild<QToolButton *>(picture));
        QVERIFY(!dialog->isVisible());
        QCOMPARE(key, QString("2"));
        QCOMPARE(run.visiblePages(), QStringList{"Fr_zhangben1"});
        Query q(&run.dm().conn_jz_m, "probe");
        q.setSql("select b1, b3, b14 from jz_ab order by bid desc");
        q.open();
        QCOMPARE(q.rowCount(), 2);
        QCOMPARE((QStringList{q.value(0, 0), q.value(0, 1), q.value(0, 2)}), (QStringList{kind, "快捷", "2"}));
        // The grid shows book 2 only, the new entry in it.
        QCOMPARE(fixture::column(run.book()->grid(), 3), QStringList{"快捷"});
    }

    // 账本 shows the book's entries as stored now; the grid titles keep their marks.
    void accountBookPicture()
    {
        Run run;
        const int first = run.addEntry("收入", "一");
        QVERIFY(run.start());
        run.clickAt(run.nav()->item(0, 2));
        DataGrid *grid = run.book()->grid();
        fixture::clickTitle(grid, 3);
        const QString marked = grid->title(3);
        QVERIFY(marked != QString("摘要"));
        run.clickAt(run.statusControl("bsSkinSpeedButton3"));
        QCOMPARE(run.visiblePages(), QStringList{"Fr_wel1"});
        const int later = run.addEntry("支出", "后来");
        run.clickAt(run.wel()->findChild<QToolButton *>("Image8"));
        QCOMPARE(run.visiblePages(), QStringList{"Fr_zhangben1"});
        QCOMPARE(fixture::listedBids(grid), (QStringList{QString::number(later), QString::number(first)}));
        QCOMPARE(grid->title(3), marked);
        QVERIFY(msg::shown().isEmpty());
    }

    // The links open their windows once these exist; the logo goes to the browser.
    void links_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("opens");
        QTest::newRow("guide") << "bsSkinLinkImage2" << "help";
        QTest::newRow("customer service") << "bsSkinLinkImage3" << "service";
        QTest::newRow("logo") << "Image2" << "browser";
    }
    void links()
    {
        QFETCH(QString, control);
        QFETCH(QString, opens);
        Run run;
        fixture::AutoClose help, service;
        run.w()->setHelpWindow(&help);
        run.w()->setServiceWindow(&service);
        QStringList browsed;
        Browser::setOverride([&](const QString &url) { browsed << url; });
        QVERIFY(run.start());
        run.clickAt(run.wel()->findChild<QToolButton *>(control));
        run.clickAt(run.wel()->findChild<QToolButton *>(control));
        QCOMPARE(help.shown, opens == "help" ? 2 : 0);
        QCOMPARE(service.shown, opens == "service" ? 2 : 0);
        const QStringList home(2, Tmain::homeAddress());
        QCOMPARE(browsed, opens == "browser" ? home : QStringList());
        QCOMPARE(run.visiblePages(), QStringList{"Fr_wel1"});
    }

    // The news view is loaded once, from the answer at start, for the whole run.
    void newsLoadedOnce_data()
    {
        QTest::addColumn<bool>("online");
        QTest::newRow("offline") << false;
        QTest::newRow("online") << true;
    }
    void newsLoadedOnce()
    {
        QFETCH(bool, online);
        Run run;
        OnlineCheck::setOverride([online] { return online; });
        NoNetwork quiet;
        run.wel()->newsView()->setNetworkAccessManager(&quiet);
        QVERIFY(run.start());
        const QString first = online ? TFr_wel::newsAddress() : TFr_wel::offlinePage();
        QCOMPARE(run.wel()->newsView()->target(), first);
        OnlineCheck::setOverride([online] { return !online; });
        run.clickAt(run.statusControl("bsSkinSpeedButton3"));
        run.w()->hide();
        run.w()->show();
        QVERIFY(QTest::qWaitForWindowExposed(run.w()));
        QCOMPARE(run.wel()->newsView()->target(), first);
        OnlineCheck::setOverride([] { return false; });
        run.wel()->newsView()->setNetworkAccessManager(nullptr);
    }

    // The welcome page owns the bound-label names; the account-book totals have their own.
    void boundLabelNames()
    {
        Run run;
        run.storeSettings("pw", "0", "0");
        // Within the main window; the dialogs it parents are windows of their own.
        auto named = [&](const QString &name) {
            QList<QWidget *> out;
            for (QWidget *c : run.w()->findChildren<QWidget *>(name))
                if (c->window() == run.w())
                    out << c;
            return out;
        };
        QCOMPARE(named("bsSkinDBText1"), QList<QWidget *>{run.wel()->findChild<QLabel *>("bsSkinDBText1")});
        QCOMPARE(named("bsSkinDBText2"), QList<QWidget *>{run.wel()->findChild<QLabel *>("bsSkinDBText2")});
        for (int i = 3; i <= 6; ++i)
            QVERIFY(named(QStringLiteral("bsSkinDBText%1").arg(i)).isEmpty());
        QCOMPARE(run.wel()->lockFlag(), QString("0"));
        QCOMPARE(run.wel()->storedPassword(), QString("pw"));
        QVERIFY(run.wel()->findChild<QLabel *>("bsSkinDBText1")->isHidden());
        for (int i = 0; i < 6; ++i)
            QVERIFY(!run.book()->totalLabel(i)->objectName().startsWith("bsSkin"));
    }
};

QTEST_MAIN(TestWelcomePage)
#include "tst_welcome_page.moc"
