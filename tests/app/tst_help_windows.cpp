#include <QtTest>
#include <QApplication>
#include <QNetworkProxy>
#include <QToolButton>
#include <functional>
#include "test_support.h"
#include "app/browser.h"
#include "app/main_window.h"
#include "app/nav_bar.h"
#include "app/online_check.h"
#include "app/program.h"
#include "books/account_book_page.h"
#include "data/data_folder.h"
#include "data/data_module.h"
#include "help/guide_window.h"

namespace {

// Records the modal windows that open, closing each as the user would.
class ModalWatcher : public QObject
{
public:
    QStringList opened;
    std::function<void(QWidget *)> onOpen;

    ModalWatcher() { m_timer.callOnTimeout([this] { poll(); }); m_timer.start(5); }

private:
    void poll()
    {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal) {
            m_last = nullptr;
            return;
        }
        if (modal == m_last)
            return;
        m_last = modal;
        opened << modal->objectName();
        if (onOpen)
            onOpen(modal);
        QTimer::singleShot(0, modal, [this, modal] {
            modal->close();
            m_last = nullptr;
        });
    }

    QTimer m_timer;
    QPointer<QWidget> m_last;
};

void addEntry(TDataModule2 *dm)
{
    dm->conn_jz_m.exec(QStringLiteral("insert into jz_ab (b1,b2,b3,b4,b5,b6,b7,b14) "
                                      "values ('收入','2026- 3- 2','货款','东方文具店','10.00','10.00','0.00','1')"));
}

QToolButton *statusButton(Tmain *w, const QString &name)
{
    return w->findChild<QWidget *>(QStringLiteral("bsSkinStatusBar1"))->findChild<QToolButton *>(name);
}

} // namespace

class TestHelpWindows : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        testsupport::initApplication();
        QNetworkProxy::setApplicationProxy(QNetworkProxy(QNetworkProxy::HttpProxy, QStringLiteral("127.0.0.1"), 9));
        OnlineCheck::setOverride([] { return false; });
        Browser::setOverride([](const QString &) {});
    }

    void guideAtStartOnlyWhenAsked_data()
    {
        QTest::addColumn<QString>("run");   // empty: no iset.ini
        QTest::addColumn<bool>("shown");
        QTest::newRow("no file") << QString() << false;
        QTest::newRow("1") << "1" << true;
        QTest::newRow("0") << "0" << false;
        QTest::newRow("true") << "true" << false;
    }

    void guideAtStartOnlyWhenAsked()
    {
        QFETCH(QString, run);
        QFETCH(bool, shown);
        testsupport::DataFolder folder;
        if (!run.isEmpty())
            DataFolder::setIniValue(folder.file(QStringLiteral("iset.ini")), QStringLiteral("pro_set"),
                                    QStringLiteral("run"), run);
        Program program(folder.path());
        addEntry(program.data());

        bool listEmptyWhileGuideOpen = false;
        int pageOnOpen = 0;
        ModalWatcher watcher;
        watcher.onOpen = [&](QWidget *) {
            listEmptyWhileGuideOpen = program.data()->Query_jz_ab->isEmpty();
            pageOnOpen = program.guide()->visiblePage();
        };
        program.show();
        QVERIFY(QTest::qWaitForWindowExposed(program.mainWindow()));
        // The start ends with the entries of the current book loaded.
        QTRY_VERIFY(!program.data()->Query_jz_ab->isEmpty());

        QCOMPARE(watcher.opened, shown ? QStringList{QStringLiteral("Thelp")} : QStringList());
        if (shown) {
            // Shown first; the book is loaded after the guide is closed.
            QVERIFY(listEmptyWhileGuideOpen);
            QCOMPARE(pageOnOpen, 1);
        }
    }

    void everyOpenerShowsItsWindow_data()
    {
        QTest::addColumn<std::function<void(Program &)>>("open");
        QTest::addColumn<QString>("window");
        using Open = std::function<void(Program &)>;
        QTest::newRow("帮 助 of the bar") << Open([](Program &p) {
            QTest::mouseClick(p.mainWindow()->navigationBar()->header(1), Qt::LeftButton);
            QTest::mouseClick(p.mainWindow()->navigationBar()->item(1, 1), Qt::LeftButton);
        }) << "Thelp";
        QTest::newRow("帮 助 of the account-book page") << Open([](Program &p) {
            QTest::mouseClick(p.mainWindow()->navigationBar()->item(0, 2), Qt::LeftButton);
            auto *b = p.mainWindow()->accountBookPage()->findChild<QToolButton *>(QStringLiteral("bsSkinSpeedButton8"));
            QTest::mouseClick(b, Qt::LeftButton);
        }) << "Thelp";
        QTest::newRow("关 于") << Open([](Program &p) {
            QTest::mouseClick(p.mainWindow()->navigationBar()->header(1), Qt::LeftButton);
            QTest::mouseClick(p.mainWindow()->navigationBar()->item(1, 3), Qt::LeftButton);
        }) << "Tabout";
        QTest::newRow("customer-service button") << Open([](Program &p) {
            QTest::mouseClick(statusButton(p.mainWindow(), QStringLiteral("bsSkinSpeedButton1")), Qt::LeftButton);
        }) << "Thezi";
        QTest::newRow("sponsor picture") << Open([](Program &p) {
            QTest::mouseClick(statusButton(p.mainWindow(), QStringLiteral("bsSkinLinkImage3")), Qt::LeftButton);
        }) << "Tqoravi";
    }

    void everyOpenerShowsItsWindow()
    {
        QFETCH(std::function<void(Program &)>, open);
        QFETCH(QString, window);
        testsupport::DataFolder folder;
        Program program(folder.path());
        program.show();
        QVERIFY(QTest::qWaitForWindowExposed(program.mainWindow()));
        QTRY_VERIFY(program.data()->Query_jz_ab->isOpen());

        ModalWatcher watcher;
        open(program);
        QCOMPARE(watcher.opened, QStringList{window});
        // The same window each time: created once at start.
        open(program);
        QCOMPARE(watcher.opened, (QStringList{window, window}));
    }
};

QTEST_MAIN(TestHelpWindows)
#include "tst_help_windows.moc"
