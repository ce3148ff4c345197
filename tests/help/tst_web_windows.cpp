#include <QtTest>
#include <QApplication>
#include <QContextMenuEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QNetworkProxy>
#include <QToolButton>
#include <functional>
#include <memory>
#include "test_support.h"
#include "app/browser.h"
#include "app/main_window.h"
#include "app/online_check.h"
#include "app/web_view.h"
#include "help/about_window.h"
#include "help/web_window.h"
#include "ui/skin.h"

namespace {

using Factory = std::function<WebWindow *()>;

const QString kOffline = QStringLiteral(
    "about:<body scroll=\"no\" style=\"font-size:12px; color:#999; padding:20px 0 0 0; "
    "text-align:center; background-color:#E3EEFD;\">读取盒子内容失败，网络已断开</body>");

void addWindowRows()
{
    QTest::addColumn<Factory>("make");
    QTest::addColumn<QString>("address");
    QTest::newRow("Thezi") << Factory([] { return new Thezi; }) << QStringLiteral("https://tallyrue.example/service/");
    QTest::newRow("Tqoravi") << Factory([] { return new Tqoravi; })
                             << QStringLiteral("https://tallyrue.example/sponsor/");
}

// Right button down and up at the middle of target, delivered the way the window system
// delivers a user's click (so a context-menu event follows as it would for real).
void rightClick(QWidget *target)
{
    QWidget *top = target->window();
    const QPoint at = target->mapTo(top, target->rect().center());
    QTest::mouseClick(top->windowHandle(), Qt::RightButton, {}, at);
    QCoreApplication::processEvents();
}

void closePopups()
{
    while (QWidget *popup = QApplication::activePopupWidget())
        popup->close();
}

// What reaches a widget of right-button and context-menu events, after the application's
// filters have had their say.
class RightButtonRecorder : public QObject
{
public:
    explicit RightButtonRecorder(QWidget *target) { target->installEventFilter(this); }
    int seen = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::ContextMenu:
            ++seen;
            return true;   // a menu must not open while the test runs
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
            if (static_cast<QMouseEvent *>(event)->button() == Qt::RightButton)
                ++seen;
            return false;
        default:
            return false;
        }
    }
};

} // namespace

class TestWebWindows : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        testsupport::initApplication();
        Skin::apply(*static_cast<QApplication *>(QCoreApplication::instance()));
        // A fetch that slips through goes to a closed local port, never out of the machine.
        QNetworkProxy::setApplicationProxy(QNetworkProxy(QNetworkProxy::HttpProxy, QStringLiteral("127.0.0.1"), 9));
        Browser::setOverride([this](const QString &url) { m_opened << url; });
    }
    void init()
    {
        m_opened.clear();
        OnlineCheck::setOverride([] { return false; });
    }

    void offlineNoticeForTheWholeRun_data() { addWindowRows(); }
    void offlineNoticeForTheWholeRun()
    {
        QFETCH(Factory, make);
        std::unique_ptr<WebWindow> w(make());
        QCOMPARE(w->view()->target(), kOffline);
        QCOMPARE(w->view()->toPlainText(), QStringLiteral("读取盒子内容失败，网络已断开"));

        // The connection returns: the window still shows what it loaded at creation.
        OnlineCheck::setOverride([] { return true; });
        for (int i = 0; i < 2; ++i) {
            w->show();
            QVERIFY(QTest::qWaitForWindowExposed(w.get()));
            w->close();
        }
        QCOMPARE(w->view()->target(), kOffline);
        QCOMPARE(w->view()->toPlainText(), QStringLiteral("读取盒子内容失败，网络已断开"));
    }

    void onlineLoadsTheAddressOnce_data() { addWindowRows(); }
    void onlineLoadsTheAddressOnce()
    {
        QFETCH(Factory, make);
        QFETCH(QString, address);
        int asked = 0;
        OnlineCheck::setOverride([&asked] { ++asked; return true; });
        std::unique_ptr<WebWindow> w(make());
        QCOMPARE(w->view()->target(), address);
        w->show();
        w->close();
        w->show();
        QCOMPARE(asked, 1);
        QCOMPARE(w->view()->target(), address);
    }

    void rightClickInTheViewOpensNothing_data() { addWindowRows(); }
    void rightClickInTheViewOpensNothing()
    {
        QFETCH(Factory, make);
        std::unique_ptr<WebWindow> w(make());
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        WebView *view = w->view();
        RightButtonRecorder atView(view);
        RightButtonRecorder atViewport(view->viewport());

        rightClick(view->viewport());
        // The keyboard's menu key asks for a menu too.
        const QPoint middle = view->viewport()->rect().center();
        QContextMenuEvent key(QContextMenuEvent::Keyboard, middle, view->viewport()->mapToGlobal(middle));
        QApplication::sendEvent(view->viewport(), &key);
        QCoreApplication::processEvents();

        QCOMPARE(atView.seen + atViewport.seen, 0);
        QCOMPARE(QApplication::activePopupWidget(), nullptr);
        closePopups();
    }

    void rightClickElsewhereStillOpensItsMenu()
    {
        // Both web windows exist, hidden, as they do for the whole run.
        Thezi service;
        Tqoravi sponsor;
        QWidget other;
        auto *edit = new QLineEdit(QStringLiteral("文字"), &other);
        other.resize(200, 60);
        edit->resize(180, 30);
        other.show();
        QVERIFY(QTest::qWaitForWindowExposed(&other));

        rightClick(edit);
        QTRY_VERIFY(qobject_cast<QMenu *>(QApplication::activePopupWidget()));
        closePopups();
    }

    void aboutLinksGoToTheBrowser_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("textIsAddress");
        QTest::newRow("官 网") << "bsSkinLinkLabel1" << "https://tallyrue.example/" << true;
        QTest::newRow("论 坛") << "bsSkinLinkLabel2" << "https://tallyrue.example/bbs/" << true;
        QTest::newRow("捐助") << "bsSkinSpeedButton1" << Tmain::donationAddress() << false;
    }

    void aboutLinksGoToTheBrowser()
    {
        QFETCH(QString, control);
        QFETCH(QString, address);
        QFETCH(bool, textIsAddress);
        Tabout about;
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        auto *target = about.findChild<QWidget *>(control);
        QVERIFY(target && target->isVisible());
        if (textIsAddress) {
            auto *label = qobject_cast<QLabel *>(target);
            QVERIFY(label);
            QCOMPARE(label->text(), address);
            // The whole address shows inside the window.
            QVERIFY(label->fontMetrics().horizontalAdvance(address) <= label->width());
            const QRect shown(label->mapTo(&about, QPoint(0, 0)), label->size());
            QVERIFY(about.rect().contains(shown));
            QVERIFY(label->parentWidget()->contentsRect().contains(label->geometry()));
        }

        QTest::mouseClick(target, Qt::LeftButton);
        QTest::mouseClick(target, Qt::LeftButton);
        QCOMPARE(m_opened, QStringList({address, address}));
        QVERIFY(about.isVisible());
    }

private:
    QStringList m_opened;
};

QTEST_MAIN(TestWebWindows)
#include "tst_web_windows.moc"
