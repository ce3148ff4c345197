#include <QtTest>
#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QLabel>
#include <QToolButton>
#include "../books/book_fixture.h"
#include "app/main_window.h"
#include "app/nav_bar.h"
#include "app/online_check.h"
#include "books/account_book_page.h"
#include "ui/message_box.h"
#include "ui/skin.h"

using namespace fixture;

namespace {

// A 1024 x 768 screen less a task bar, frame included.
const QSize kSmallScreen(1024, 740);
const int kGridRows = 8;

// Lets every pending layout run (they chain: a page, then the window) and the window system
// report the new size.
void settle()
{
    for (int i = 0; i < 5; ++i)
        QTest::qWait(20);
}

struct Window {
    Ledger ledger;
    Tmain w;

    Window()
    {
        // Long amounts make long totals.
        for (int i = 0; i < 30; ++i) {
            if (i % 2)
                ledger.addEntry("收入", "2026-12- 1", QStringLiteral("销售%1").arg(i), "某某贸易有限公司",
                                "123456789012345.00", "100000000000000.00", "23456789012345.00");
            else
                ledger.addEntry("支出", "2026-12- 1", QStringLiteral("采购%1").arg(i), "供应商",
                                "-98765432109876.55", "-8765432109876.55", "-90000000000000.00");
        }
        w.attachData(ledger.dm.get());
        w.show();
        if (!QTest::qWaitForWindowExposed(&w))
            qWarning("main window not exposed");
        QTRY_VERIFY(w.showSequenceDone());
        QTest::mouseClick(w.navigationBar()->item(0, 2), Qt::LeftButton);
        settle();
    }
};

bool insideScrollArea(const QWidget *w)
{
    for (const QWidget *p = w->parentWidget(); p; p = p->parentWidget())
        if (qobject_cast<const QAbstractScrollArea *>(p))
            return true;
    return false;
}

// Every caption, value and button of a part of the window: as large as it needs to be whole
// (unless its size is fixed on purpose), inside its parents, and clear of its neighbours.
// The navigation bar's buttons have their size from the skin: only their place is checked.
QStringList clipped(QWidget *root, bool sizes = true)
{
    QStringList problems;
    QList<QWidget *> shown;
    QWidget *window = root->window();
    for (QWidget *w : root->findChildren<QWidget *>()) {
        if (!w->isVisible() || insideScrollArea(w))
            continue;
        if (!qobject_cast<QLabel *>(w) && !qobject_cast<QAbstractButton *>(w))
            continue;
        const QString name = w->objectName().isEmpty()
            ? QString::fromUtf8(w->metaObject()->className()) + QLatin1Char(' ')
                  + (qobject_cast<QLabel *>(w) ? qobject_cast<QLabel *>(w)->text()
                                                : qobject_cast<QAbstractButton *>(w)->text())
            : w->objectName();
        const QSize need = w->minimumSizeHint();
        const bool fixedWidth = w->minimumWidth() == w->maximumWidth();
        const bool fixedHeight = w->minimumHeight() == w->maximumHeight();
        if (sizes && ((!fixedWidth && w->width() < need.width()) || (!fixedHeight && w->height() < need.height())))
            problems << QStringLiteral("%1 squeezed to %2x%3 of %4x%5").arg(name).arg(w->width())
                            .arg(w->height()).arg(need.width()).arg(need.height());
        for (QWidget *p = w; p != window; p = p->parentWidget()) {
            if (!QRect(QPoint(), p->parentWidget()->size()).contains(p->geometry())) {
                problems << QStringLiteral("%1 cut off by %2").arg(name, p->parentWidget()->objectName());
                break;
            }
        }
        shown << w;
    }
    for (int i = 0; i < shown.size(); ++i)
        for (int j = i + 1; j < shown.size(); ++j) {
            QWidget *a = shown[i];
            QWidget *b = shown[j];
            if (a->parentWidget() != b->parentWidget() || a->isAncestorOf(b) || b->isAncestorOf(a))
                continue;
            if (a->geometry().intersects(b->geometry()))
                problems << QStringLiteral("%1 overlaps %2").arg(a->objectName(), b->objectName());
        }
    return problems;
}

} // namespace

class TestWindowSize : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        testsupport::initApplication();
        Skin::apply(*qApp);
        OnlineCheck::setOverride([] { return false; });
    }

    void wholeAtEverySize_data()
    {
        QTest::addColumn<QSize>("asked");
        QTest::addColumn<bool>("search");
        for (bool search : {false, true}) {
            const char *panel = search ? "search panel open" : "search panel closed";
            QTest::addRow("smallest, %s", panel) << QSize(1, 1) << search;
            QTest::addRow("800 x 560, %s", panel) << QSize(800, 560) << search;
            QTest::addRow("600 x 400, %s", panel) << QSize(600, 400) << search;
            QTest::addRow("first size, %s", panel) << QSize(972, 626) << search;
            QTest::addRow("large, %s", panel) << QSize(1400, 1000) << search;
        }
    }

    void wholeAtEverySize()
    {
        QFETCH(QSize, asked);
        QFETCH(bool, search);
        Window win;
        TFr_zhangben *page = win.w.accountBookPage();
        QVERIFY(page->isVisible());
        if (search)
            QTest::mouseClick(page->findChild<QToolButton *>("bsSkinSpeedButton7"), Qt::LeftButton);
        settle();
        win.w.resize(asked);
        settle();

        const QSize frame = win.w.frameGeometry().size() - win.w.size();
        const QSize smallest = win.w.minimumSize() + frame;
        QVERIFY2(smallest.width() <= kSmallScreen.width() && smallest.height() <= kSmallScreen.height(),
                 qPrintable(QStringLiteral("%1 x %2").arg(smallest.width()).arg(smallest.height())));
        QCOMPARE(win.w.size(), asked.expandedTo(win.w.minimumSize()));

        QStringList problems = clipped(page) + clipped(win.w.navigationBar(), false);
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QStringLiteral("; "))));
        // The default book's name is never cut short.
        auto *name = page->findChild<QLabel *>("bsSkinDBText16");
        QCOMPARE(name->text(), QString("默认账本"));
        QVERIFY(name->width() >= name->fontMetrics().horizontalAdvance(name->text()));
        // The entry grid shows a fair number of rows whole.
        DataGrid *grid = page->grid();
        const int rows = grid->viewport()->height() / grid->verticalHeader()->defaultSectionSize();
        QVERIFY2(rows >= kGridRows, qPrintable(QString::number(rows)));
    }

    // The window keeps its smallest size whichever page shows, so switching never resizes it.
    void smallestSizeSameOnEveryPage()
    {
        Window win;
        win.w.resize(1, 1);
        settle();
        const QSize onBook = win.w.size();
        for (QWidget *p : win.w.pages()) {
            win.w.showPage(p);
            settle();
            QCOMPARE(win.w.size(), onBook);
            QCOMPARE(win.w.minimumSize(), onBook);
        }
    }
};

QTEST_MAIN(TestWindowSize)
#include "tst_window_size.moc"
