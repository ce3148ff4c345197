#include <QtTest>
#include <QLabel>
#include "../books/book_fixture.h"
#include "summaries/statistics_window.h"
#include "ui/message_box.h"

using namespace fixture;

namespace {

// The value shown beside a row label, found by position as the user reads it.
QString valueBeside(Tzongtongji &w, const QString &caption)
{
    QLabel *label = nullptr;
    for (QLabel *l : w.findChildren<QLabel *>())
        if (l->text() == caption)
            label = l;
    if (!label)
        return QStringLiteral("<no label %1>").arg(caption);
    for (QLabel *l : w.findChildren<QLabel *>())
        if (l != label && l->parentWidget() == &w && l->y() == label->y() && l->x() > label->x())
            return l->text();
    return QStringLiteral("<no value>");
}

// Shows the window as the navigation item does and reads it while it is open.
QMap<QString, QString> showAndRead(Tzongtongji &w)
{
    QMap<QString, QString> seen;
    QTimer::singleShot(0, &w, [&] {
        seen.insert("count", w.valueLabel(0)->text());
        for (const char *c : {"收入总计:", "已收总计:", "应收总计:", "支出总计:", "已付总计:", "应付总计:"})
            seen.insert(QString::fromUtf8(c), valueBeside(w, QString::fromUtf8(c)));
        w.reject();
    });
    w.exec();
    return seen;
}

} // namespace

class TestStatisticsWindow : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { testsupport::initApplication(); }
    void init() { msg::clearShown(); }

    // Every book counts, the empty ones too; the sums cover all books, whichever is current.
    void figuresCoverEveryBook_data()
    {
        QTest::addColumn<int>("current");
        QTest::newRow("book 1 current") << 1;
        QTest::newRow("book 2 current") << 2;
        QTest::newRow("empty book current") << 3;
    }
    void figuresCoverEveryBook()
    {
        QFETCH(int, current);
        Ledger ledger;
        ledger.addBook(2, "二号");
        ledger.addBook(3, "空账本");
        ledger.addEntry("收入", "2026-12- 1", "一", "甲", "100.00", "80.00", "20.00", "1");
        ledger.addEntry("收入", "2026-12- 1", "二", "乙", "50.00", "50.00", "0.00", "2");
        // Exact decimals: a float sum would show 0.30000000000000004.
        ledger.addEntry("支出", "2026-12- 1", "三", "丙", "0.10", "0.10", "0.00", "1");
        ledger.addEntry("支出", "2026-12- 1", "四", "丁", "0.20", "0.05", "0.15", "2");
        // An entry whose book is gone still counts in the sums.
        ledger.addEntry("支出", "2026-12- 1", "五", "戊", "-1.00", "-1.00", "0.00", "99");
        ledger.makeCurrent(current);
        BookRefresh::full(*ledger.dm);

        Tzongtongji w(ledger.dm.get());
        const QMap<QString, QString> seen = showAndRead(w);
        QCOMPARE(seen.value("count"), QString("3"));
        QCOMPARE(seen.value("收入总计:"), QString("150.00"));
        QCOMPARE(seen.value("已收总计:"), QString("130.00"));
        QCOMPARE(seen.value("应收总计:"), QString("20.00"));
        QCOMPARE(seen.value("支出总计:"), QString("-0.70"));
        QCOMPARE(seen.value("已付总计:"), QString("-0.85"));
        QCOMPARE(seen.value("应付总计:"), QString("0.15"));
        QCOMPARE(w.size(), QSize(300, 298));
    }

    // The figures are computed afresh on every show.
    void everyShowRunsTheStatementsAgain()
    {
        Ledger ledger;
        ledger.addEntry("收入", "2026-12- 1", "一", "甲", "1.25", "1.25", "0.00");
        Tzongtongji w(ledger.dm.get());
        QMap<QString, QString> seen = showAndRead(w);
        QCOMPARE(seen.value("收入总计:"), QString("1.25"));
        // Only income so far: the expense sums are over no values and stay empty.
        QCOMPARE(seen.value("支出总计:"), QString());

        ledger.addBook(2, "二号");
        ledger.addEntry("支出", "2026-12- 1", "二", "乙", "2.00", "2.00", "0.00", "2");
        seen = showAndRead(w);
        QCOMPARE(seen.value("count"), QString("2"));
        QCOMPARE(seen.value("支出总计:"), QString("2.00"));
        QCOMPARE(w.query(0)->sql(), QString("select COUNT(*) as zhangbenshu from jz_aa"));
        QCOMPARE(w.query(4)->sql(), QString("select sum(b8) as zongzhichu from jz_ab "));
        QCOMPARE(w.query(4)->fields(), QStringList{"zongzhichu"});
    }

    void twoDecimalsByText_data()
    {
        QTest::addColumn<QString>("sum");
        QTest::addColumn<QString>("shown");
        QTest::newRow("whole") << "150" << "150.00";
        QTest::newRow("one decimal") << "0.3" << "0.30";
        QTest::newRow("two decimals") << "3.75" << "3.75";
        QTest::newRow("negative") << "-0.5" << "-0.50";
        QTest::newRow("zero") << "0" << "0.00";
        QTest::newRow("more decimals kept") << "0.125" << "0.125";
        // Beyond what a double holds exactly.
        QTest::newRow("large") << "123456789012345678901.1" << "123456789012345678901.10";
        QTest::newRow("null") << QString() << QString();
        QTest::newRow("not a plain decimal") << "1.5e+20" << "1.5e+20";
    }
    void twoDecimalsByText()
    {
        QFETCH(QString, sum);
        QFETCH(QString, shown);
        QCOMPARE(Tzongtongji::twoDecimals(sum), shown);
    }
};

QTEST_MAIN(TestStatisticsWindow)
#include "tst_statistics_window.moc"
