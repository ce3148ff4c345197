#include <QtTest>
#include <QApplication>
#include <QContextMenuEvent>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPushButton>
#include <QStringEncoder>
#include <QTextFrame>
#include <QVBoxLayout>

#include "app/browser.h"
#include "app/context_menu_filter.h"
#include "app/online_check.h"
#include "app/web_view.h"
#include "test_support.h"

namespace {

// A reply served from memory: nothing touches the network.
class CannedReply : public QNetworkReply
{
public:
    CannedReply(const QNetworkRequest &request, const QByteArray &body, const QByteArray &contentType,
                bool hold, QObject *parent)
        : QNetworkReply(parent), m_body(body)
    {
        setRequest(request);
        setUrl(request.url());
        setOperation(QNetworkAccessManager::GetOperation);
        setHeader(QNetworkRequest::ContentTypeHeader, contentType);
        open(QIODevice::ReadOnly | QIODevice::Unbuffered);
        if (!hold)
            QMetaObject::invokeMethod(this, &CannedReply::deliver, Qt::QueuedConnection);
    }

    void deliver()
    {
        if (isFinished())
            return;
        setFinished(true);
        Q_EMIT readyRead();
        Q_EMIT finished();
    }

    void abort() override
    {
        if (isFinished())
            return;
        setError(OperationCanceledError, QStringLiteral("cancelled"));
        setFinished(true);
        Q_EMIT errorOccurred(OperationCanceledError);
        Q_EMIT finished();
    }

    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override { return m_body.size() - m_pos + QIODevice::bytesAvailable(); }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        const qint64 n = qMin<qint64>(maxSize, m_body.size() - m_pos);
        memcpy(data, m_body.constData() + m_pos, size_t(n));
        m_pos += n;
        return n;
    }

private:
    QByteArray m_body;
    qint64 m_pos = 0;
};

class CannedNetwork : public QNetworkAccessManager
{
public:
    QByteArray body;
    QByteArray contentType = "text/html; charset=utf-8";
    bool hold = false;
    QPointer<CannedReply> last;

protected:
    QNetworkReply *createRequest(Operation, const QNetworkRequest &request, QIODevice *) override
    {
        auto *reply = new CannedReply(request, body, contentType, hold, this);
        last = reply;
        return reply;
    }
};

const QString kOfflinePage = QStringLiteral(
    "about:<body scroll=\"no\" style=\"font-size:12px; color:#999; padding:20px 0 0 12px; "
    "background-color:#E3EEFD;\">读取资讯失败，网络已断开</body>");

// Records the events a widget receives; context-menu events stop here so that a failing
// filter cannot open a real menu in the test.
class EventRecorder : public QObject
{
public:
    explicit EventRecorder(QWidget *target) { target->installEventFilter(this); }
    QList<QEvent::Type> seen;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
            seen << event->type();
            return false;
        case QEvent::ContextMenu:
            seen << event->type();
            return true;
        default:
            return false;
        }
    }
};

// One window holding a web view with its filter and an ordinary button.
struct FilteredWindow
{
    FilteredWindow()
    {
        auto *layout = new QVBoxLayout(window);
        view = new WebView(window);
        other = new QPushButton(QStringLiteral("其他"), window);
        layout->addWidget(view);
        layout->addWidget(other);
        filter = new ContextMenuFilter(view);
        window->resize(300, 200);
    }
    ~FilteredWindow() { delete window; }

    QWidget *window = new QWidget;
    WebView *view = nullptr;
    QPushButton *other = nullptr;
    QPointer<ContextMenuFilter> filter;
};

// Sends one event of the given kind to target; returns whether the target got it.
bool delivered(QWidget *target, QEvent::Type type, Qt::MouseButton button)
{
    EventRecorder recorder(target);
    const QPoint pos(5, 5);
    if (type == QEvent::ContextMenu) {
        QContextMenuEvent event(QContextMenuEvent::Mouse, pos, target->mapToGlobal(pos));
        QApplication::sendEvent(target, &event);
    } else {
        QMouseEvent event(type, QPointF(pos), QPointF(target->mapToGlobal(pos)), button,
                          type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button),
                          Qt::NoModifier);
        QApplication::sendEvent(target, &event);
    }
    return recorder.seen.contains(type);
}

} // namespace

class TestWebComponents : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { testsupport::initApplication(); }
    void cleanup()
    {
        Browser::setOverride({});
        OnlineCheck::setOverride({});
    }

    void inlinePageRendersAtOnce_data();
    void inlinePageRendersAtOnce();
    void inlinePageKeepsBodyColourAndPadding_data();
    void inlinePageKeepsBodyColourAndPadding();
    void webAddressDoesNotWaitAndErrorsLeaveView();
    void fetchedPageShownAsRichText_data();
    void fetchedPageShownAsRichText();
    void linkInFetchedPageGoesToBrowser();
    void onlyWebLinksLeaveFetchedPage_data();
    void onlyWebLinksLeaveFetchedPage();
    void laterNavigationDropsPendingFetch();

    void onlineOverride();
    void browserOpensOncePerCall();

    void rightButtonSwallowedOnlyInView_data();
    void rightButtonSwallowedOnlyInView();
    void filtersCoexistAndEndWithTheirWindow();
};

void TestWebComponents::inlinePageRendersAtOnce_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("scrollBars");

    QTest::newRow("offline news page") << kOfflinePage << QStringLiteral("读取资讯失败，网络已断开") << false;
    QTest::newRow("plain body") << QStringLiteral("about:<body><p>第一段</p></body>")
                                << QStringLiteral("第一段") << true;
    QTest::newRow("bare text") << QStringLiteral("about:读取盒子内容失败") << QStringLiteral("读取盒子内容失败") << true;
}

void TestWebComponents::inlinePageRendersAtOnce()
{
    QFETCH(QString, target);
    QFETCH(QString, text);
    QFETCH(bool, scrollBars);

    WebView view;
    auto *network = new CannedNetwork;
    network->setParent(&view);
    view.setNetworkAccessManager(network);
    view.navigate(target);

    QCOMPARE(view.toPlainText().trimmed(), text);
    QCOMPARE(view.target(), target);
    QVERIFY(!network->last); // rendered locally, never fetched
    const Qt::ScrollBarPolicy expected = scrollBars ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff;
    QCOMPARE(view.verticalScrollBarPolicy(), expected);
    QCOMPARE(view.horizontalScrollBarPolicy(), expected);
}

void TestWebComponents::inlinePageKeepsBodyColourAndPadding_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<QColor>("background");
    QTest::addColumn<QList<qreal>>("margins"); // top, right, bottom, left

    QTest::newRow("news offline page") << kOfflinePage << QColor(0xE3, 0xEE, 0xFD)
                                       << QList<qreal>{20, 0, 0, 12};
    QTest::newRow("box offline page")
        << QStringLiteral("about:<body scroll=\"no\" style=\"font-size:12px; color:#999; padding:20px 0 0 0; "
                          "text-align:center; background-color:#E3EEFD;\">读取盒子内容失败，网络已断开</body>")
        << QColor(0xE3, 0xEE, 0xFD) << QList<qreal>{20, 0, 0, 0};
    QTest::newRow("bgcolor attribute, single padding")
        << QStringLiteral("about:<body bgcolor=\"#FFEECC\" style='padding:6px'>x</body>")
        << QColor(0xFF, 0xEE, 0xCC) << QList<qreal>{6, 6, 6, 6};
}

void TestWebComponents::inlinePageKeepsBodyColourAndPadding()
{
    QFETCH(QString, target);
    QFETCH(QColor, background);
    QFETCH(QList<qreal>, margins);

    WebView view;
    view.navigate(target);
    const QTextFrameFormat format = view.document()->rootFrame()->frameFormat();
    QCOMPARE(format.background().color(), background);
    QCOMPARE((QList<qreal>{format.topMargin(), format.rightMargin(), format.bottomMargin(), format.leftMargin()}),
             margins);
}

void TestWebComponents::webAddressDoesNotWaitAndErrorsLeaveView()
{
    WebView view;
    view.navigate(kOfflinePage);
    QSignalSpy finished(&view, &WebView::fetchFinished);

    // Nothing listens on this port: the connection is refused.
    view.navigate(QStringLiteral("http://127.0.0.1:9/"));
    QCOMPARE(finished.count(), 0);
    QCOMPARE(view.toPlainText().trimmed(), QStringLiteral("读取资讯失败，网络已断开"));

    QVERIFY(finished.wait(20000));
    QCOMPARE(finished.first().first().toBool(), false);
    QCOMPARE(view.toPlainText().trimmed(), QStringLiteral("读取资讯失败，网络已断开"));

    // With a failure page the view says so instead of staying as it was; the target stays.
    view.setFailurePage(QStringLiteral("about:<body style=\"color:#999;\">读取资讯失败，请稍后再试</body>"));
    view.navigate(QStringLiteral("http://127.0.0.1:9/"));
    QVERIFY(finished.wait(20000));
    QCOMPARE(view.toPlainText().trimmed(), QStringLiteral("读取资讯失败，请稍后再试"));
    QCOMPARE(view.target(), QStringLiteral("http://127.0.0.1:9/"));
}

void TestWebComponents::fetchedPageShownAsRichText_data()
{
    QTest::addColumn<QByteArray>("contentType");
    QTest::addColumn<QByteArray>("body");

    const QString page = QStringLiteral(
        "<html><head>%1<title>资讯</title></head><body><h1>本月资讯</h1><p><b>新版本</b>已发布</p></body></html>");
    QTest::newRow("utf-8 in header") << QByteArray("text/html; charset=utf-8") << page.arg(QString()).toUtf8();
    QTest::newRow("utf-8 in meta") << QByteArray("text/html")
                                   << page.arg(QStringLiteral("<meta charset=\"utf-8\">")).toUtf8();
    QStringEncoder gbk("GBK");
    if (gbk.isValid())
        QTest::newRow("gbk in header") << QByteArray("text/html; charset=GBK")
                                       << QByteArray(gbk.encode(page.arg(QString())));
}

void TestWebComponents::fetchedPageShownAsRichText()
{
    QFETCH(QByteArray, contentType);
    QFETCH(QByteArray, body);

    WebView view;
    CannedNetwork network;
    network.contentType = contentType;
    network.body = body;
    view.setNetworkAccessManager(&network);
    QSignalSpy finished(&view, &WebView::fetchFinished);

    view.navigate(QStringLiteral("http://news.tallyrue.example/index.html"));
    QVERIFY(network.last);
    QVERIFY(!view.toPlainText().contains(QStringLiteral("本月资讯"))); // arrives later, not in the call

    QVERIFY(finished.wait(5000));
    QCOMPARE(finished.first().first().toBool(), true);
    const QString text = view.toPlainText();
    QVERIFY2(text.contains(QStringLiteral("本月资讯")), qPrintable(text));
    QVERIFY(text.contains(QStringLiteral("新版本已发布")));
    QVERIFY(!text.contains(QLatin1String("<h1>"))); // markup interpreted, not shown
}

void TestWebComponents::linkInFetchedPageGoesToBrowser()
{
    QStringList opened;
    Browser::setOverride([&](const QString &url) { opened << url; });

    WebView view;
    CannedNetwork network;
    network.body = QStringLiteral("<body><p><a href=\"/news/1.html\">第一条资讯</a></p></body>").toUtf8();
    view.setNetworkAccessManager(&network);
    view.resize(300, 200);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));

    QSignalSpy finished(&view, &WebView::fetchFinished);
    view.navigate(QStringLiteral("http://news.tallyrue.example/index.html"));
    QVERIFY(finished.wait(5000));

    QTextCursor found = view.document()->find(QStringLiteral("第一条资讯"));
    QVERIFY(!found.isNull());
    QTextCursor inside(view.document());
    inside.setPosition(found.selectionStart() + 1);
    const QPoint at = view.cursorRect(inside).center();
    QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::NoModifier, at);

    QCOMPARE(opened, QStringList(2, QStringLiteral("http://news.tallyrue.example/news/1.html")));
    QCOMPARE(view.target(), QStringLiteral("http://news.tallyrue.example/index.html")); // not followed inside
    QVERIFY(view.toPlainText().contains(QStringLiteral("第一条资讯")));
}

void TestWebComponents::onlyWebLinksLeaveFetchedPage_data()
{
    QTest::addColumn<QString>("href");
    QTest::addColumn<QString>("opened"); // empty: nothing reaches the browser

    QTest::newRow("https") << "https://bbs.tallyrue.example/t/1" << "https://bbs.tallyrue.example/t/1";
    QTest::newRow("upper-case scheme") << "HTTP://www.tallyrue.example/" << "http://www.tallyrue.example/";
    QTest::newRow("relative") << "more.html" << "http://news.tallyrue.example/more.html";
    QTest::newRow("scheme-relative") << "//cdn.tallyrue.example/a" << "http://cdn.tallyrue.example/a";
    QTest::newRow("local file") << "file:///etc/passwd" << "";
    QTest::newRow("file scheme without slashes") << "file:run.sh" << "";
    QTest::newRow("javascript") << "javascript:alert(1)" << "";
    QTest::newRow("mail") << "mailto:kefu@tallyrue.example" << "";
    QTest::newRow("data") << "data:text/html,<b>x</b>" << "";
    QTest::newRow("ftp") << "ftp://ftp.tallyrue.example/x" << "";
    QTest::newRow("custom handler") << "tallyrue-x://open?cmd=1" << "";
    QTest::newRow("http without host") << "http:/etc/passwd" << "";
}

// A fetched page is not ours: only http and https links may start the browser.
void TestWebComponents::onlyWebLinksLeaveFetchedPage()
{
    QFETCH(QString, href);
    QFETCH(QString, opened);
    QStringList seen;
    Browser::setOverride([&](const QString &url) { seen << url; });

    WebView view;
    CannedNetwork network;
    network.body = QStringLiteral("<body><p><a href=\"%1\">链接在此</a></p></body>").arg(href.toHtmlEscaped()).toUtf8();
    view.setNetworkAccessManager(&network);
    view.resize(300, 200);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QSignalSpy finished(&view, &WebView::fetchFinished);
    view.navigate(QStringLiteral("http://news.tallyrue.example/index.html"));
    QVERIFY(finished.wait(5000));

    QTextCursor found = view.document()->find(QStringLiteral("链接在此"));
    QVERIFY(!found.isNull());
    QTextCursor inside(view.document());
    inside.setPosition(found.selectionStart() + 1);
    QCOMPARE(view.anchorAt(view.cursorRect(inside).center()), href);
    QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::NoModifier, view.cursorRect(inside).center());

    QCOMPARE(seen, opened.isEmpty() ? QStringList() : QStringList{opened});
    QCOMPARE(view.target(), QStringLiteral("http://news.tallyrue.example/index.html"));
}

void TestWebComponents::laterNavigationDropsPendingFetch()
{
    WebView view;
    CannedNetwork network;
    network.hold = true;
    network.body = QStringLiteral("<body>迟到的页面</body>").toUtf8();
    view.setNetworkAccessManager(&network);
    QSignalSpy finished(&view, &WebView::fetchFinished);

    view.navigate(QStringLiteral("http://news.tallyrue.example/"));
    QPointer<CannedReply> pending = network.last;
    QVERIFY(pending);
    view.navigate(kOfflinePage);
    if (pending)
        pending->deliver();
    QCoreApplication::processEvents();

    QCOMPARE(view.toPlainText().trimmed(), QStringLiteral("读取资讯失败，网络已断开"));
    QCOMPARE(finished.count(), 0);
}

void TestWebComponents::onlineOverride()
{
    bool answer = false;
    int asked = 0;
    OnlineCheck::setOverride([&] { ++asked; return answer; });
    QCOMPARE(OnlineCheck::isOnline(), false);
    answer = true;
    QCOMPARE(OnlineCheck::isOnline(), true);
    QCOMPARE(asked, 2);

    OnlineCheck::setOverride({});
    OnlineCheck::isOnline(); // the real check answers without the override
    QCOMPARE(asked, 2);
}

void TestWebComponents::browserOpensOncePerCall()
{
    QStringList opened;
    Browser::setOverride([&](const QString &url) { opened << url; });
    QWidget owner;
    Browser::open(&owner, QStringLiteral("http://www.tallyrue.example/donate.html"));
    Browser::open(&owner, QStringLiteral("http://www.tallyrue.example/donate.html"));
    QCOMPARE(opened, QStringList(2, QStringLiteral("http://www.tallyrue.example/donate.html")));
}

void TestWebComponents::rightButtonSwallowedOnlyInView_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("button");
    QTest::addColumn<bool>("passes");

    const int press = QEvent::MouseButtonPress, release = QEvent::MouseButtonRelease,
              dbl = QEvent::MouseButtonDblClick, menu = QEvent::ContextMenu;
    const int right = Qt::RightButton, left = Qt::LeftButton;
    for (const QString &target : {QStringLiteral("view"), QStringLiteral("viewport")}) {
        QTest::addRow("%s right press", qPrintable(target)) << target << press << right << false;
        QTest::addRow("%s right release", qPrintable(target)) << target << release << right << false;
        QTest::addRow("%s right double click", qPrintable(target)) << target << dbl << right << false;
        QTest::addRow("%s context menu", qPrintable(target)) << target << menu << right << false;
        QTest::addRow("%s left press", qPrintable(target)) << target << press << left << true;
        QTest::addRow("%s left release", qPrintable(target)) << target << release << left << true;
    }
    QTest::newRow("other right press") << "other" << press << right << true;
    QTest::newRow("other right release") << "other" << release << right << true;
    QTest::newRow("other context menu") << "other" << menu << right << true;
    QTest::newRow("window context menu") << "window" << menu << right << true;
}

void TestWebComponents::rightButtonSwallowedOnlyInView()
{
    QFETCH(QString, target);
    QFETCH(int, type);
    QFETCH(int, button);
    QFETCH(bool, passes);

    FilteredWindow w;
    w.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.window));
    QWidget *receiver = target == QLatin1String("view")       ? static_cast<QWidget *>(w.view)
                        : target == QLatin1String("viewport") ? w.view->viewport()
                        : target == QLatin1String("other")    ? static_cast<QWidget *>(w.other)
                                                              : w.window;
    QCOMPARE(delivered(receiver, QEvent::Type(type), Qt::MouseButton(button)), passes);
}

void TestWebComponents::filtersCoexistAndEndWithTheirWindow()
{
    auto *first = new FilteredWindow;
    FilteredWindow second;
    QVERIFY(first->filter && first->filter->parent() == first->window);

    QVERIFY(!delivered(first->view->viewport(), QEvent::MouseButtonPress, Qt::RightButton));
    QVERIFY(!delivered(second.view->viewport(), QEvent::MouseButtonPress, Qt::RightButton));
    QVERIFY(delivered(second.other, QEvent::MouseButtonPress, Qt::RightButton));

    QPointer<ContextMenuFilter> firstFilter = first->filter;
    delete first;
    QVERIFY(!firstFilter);
    QVERIFY(!delivered(second.view->viewport(), QEvent::ContextMenu, Qt::RightButton));
    QVERIFY(delivered(second.other, QEvent::MouseButtonRelease, Qt::RightButton));
}

QTEST_MAIN(TestWebComponents)
#include "tst_web_components.moc"
