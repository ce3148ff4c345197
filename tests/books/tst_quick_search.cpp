#include <QtTest>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>
#include "book_fixture.h"
#include "books/account_book_page.h"
#include "books/quick_search.h"
#include "ui/message_box.h"

using namespace fixture;

namespace {

// Entries of book 1 and, with the same phrases, of book 12, which must never show.
struct SearchPage {
    Ledger ledger;
    TFr_zhangben page;
    QMap<QString, int> bid;   // summary -> bid in book 1

    SearchPage()
    {
        ledger.addBook(12, "十二");
        const QList<QStringList> rows{
            {"收入", "工资", "公司"},
            {"支出", "房租", "房东"},
            {"收入", "50% off", "O'Neil"},
            {"支出", "500 off", "ONeil"},
            {"收入", "a_b", "back\\slash"},
            {"支出", "axb", "backXslash"},
            {"收入", "工资补发", "公司"},
            {"支出", "Joe's", "乙"},
        };
        for (const QStringList &r : rows) {
            ledger.addEntry(r[0], "2026-12- 1", r[1], r[2], "1.00", "1.00", "0.00", "12");
            bid[r[1]] = ledger.addEntry(r[0], "2026-12- 1", r[1], r[2], "1.00", "1.00", "0.00", "1");
            ledger.addPhrase("a1", r[1]);
            ledger.addPhrase("a2", r[2]);
        }
        ledger.addPhrase("a1", "工资");   // a phrase may be listed twice
        ledger.addPhrase("a1", "50%");
        ledger.addPhrase("a1", "_");
        ledger.addPhrase("a1", "'");
        ledger.addPhrase("a2", "\\");
        ledger.dm->Query_jz_a1->reopen();
        ledger.dm->Query_jz_a2->reopen();
        page.attachData(ledger.dm.get());
        BookRefresh::full(*ledger.dm);
        page.resize(892, 605);
        page.show();
        QTest::mouseClick(page.findChild<QToolButton *>("bsSkinSpeedButton7"), Qt::LeftButton);
    }
    QuickSearch *panel() { return page.quickSearch(); }
    void choose(QComboBox *box, const QString &text)
    {
        const int i = text.isEmpty() ? -1 : box->findText(text);
        QVERIFY2(text.isEmpty() || i >= 0, qPrintable(text));
        box->setCurrentIndex(i);
    }
    void search() { QTest::mouseClick(panel()->findChild<QPushButton *>("bsSkinButton1"), Qt::LeftButton); }
    QStringList bids(const QStringList &summaries)
    {
        QList<int> ids;
        for (const QString &s : summaries)
            ids << bid.value(s);
        std::sort(ids.begin(), ids.end(), std::greater<int>());
        QStringList out;
        for (int i : ids)
            out << QString::number(i);
        return out;
    }
    QStringList totals()
    {
        QStringList out;
        for (int i = 0; i < 6; ++i)
            out << page.totalLabel(i)->text();
        return out;
    }
};

const QString kStatement = QStringLiteral(
    "select * from jz_ab where b1 like :kind escape '\\' and b3 like :summary escape '\\' "
    "and b4 like :party escape '\\' and b14 = :key order by bid desc");

} // namespace

class TestQuickSearch : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { testsupport::initApplication(); }
    void init() { msg::clearShown(); }

    void panelStartsEmpty()
    {
        SearchPage p;
        QuickSearch *s = p.panel();
        QVERIFY(s->isVisible());
        QCOMPARE(s->kindBox()->count(), 3);
        QCOMPARE((QStringList{s->kindBox()->itemText(0), s->kindBox()->itemText(1), s->kindBox()->itemText(2)}),
                 (QStringList{"", "收入", "支出"}));
        for (QComboBox *box : {s->kindBox(), s->summaryBox(), s->partyBox()}) {
            QCOMPARE(box->currentIndex(), -1);
            QVERIFY(!box->isEditable());
        }
        // Newest phrase first, duplicates kept.
        QCOMPARE(s->summaryBox()->itemText(0), QString("'"));
        QCOMPARE(s->summaryBox()->count(), 12);
        QCOMPARE(s->partyBox()->itemText(0), QString("\\"));
    }

    void search_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("summary");
        QTest::addColumn<QString>("party");
        QTest::addColumn<QStringList>("found");
        const QStringList all{"工资", "房租", "50% off", "500 off", "a_b", "axb", "工资补发", "Joe's"};
        QTest::newRow("nothing chosen") << "" << "" << "" << all;
        QTest::newRow("kind") << "支出" << "" << "" << QStringList{"房租", "500 off", "axb", "Joe's"};
        QTest::newRow("summary contains") << "" << "工资" << "" << QStringList{"工资", "工资补发"};
        QTest::newRow("party") << "" << "" << "公司" << QStringList{"工资", "工资补发"};
        QTest::newRow("all three") << "收入" << "工资" << "公司" << QStringList{"工资", "工资补发"};
        QTest::newRow("no match") << "支出" << "工资" << "" << QStringList{};
        QTest::newRow("percent literal") << "" << "50%" << "" << QStringList{"50% off"};
        QTest::newRow("underscore literal") << "" << "_" << "" << QStringList{"a_b"};
        QTest::newRow("apostrophe") << "" << "'" << "" << QStringList{"Joe's"};
        QTest::newRow("apostrophe in party") << "" << "" << "O'Neil" << QStringList{"50% off"};
        QTest::newRow("backslash literal") << "" << "" << "\\" << QStringList{"a_b"};
    }
    void search()
    {
        QFETCH(QString, kind);
        QFETCH(QString, summary);
        QFETCH(QString, party);
        QFETCH(QStringList, found);
        SearchPage p;
        const QStringList totalsBefore = p.totals();
        p.choose(p.panel()->kindBox(), kind);
        p.choose(p.panel()->summaryBox(), summary);
        p.choose(p.panel()->partyBox(), party);
        p.search();
        QVERIFY2(msg::shown().isEmpty(), qPrintable(msg::lastShown().text));
        QCOMPARE(listedBids(p.page.grid()), p.bids(found));
        QCOMPARE(p.ledger.dm->Query_jz_ab->sql(), kStatement);
        QCOMPARE(p.totals(), totalsBefore);
    }

    void enterInThePanelSearches()
    {
        SearchPage p;
        p.choose(p.panel()->kindBox(), "支出");
        p.panel()->kindBox()->setFocus();
        QTest::keyClick(p.panel()->kindBox(), Qt::Key_Return);
        QCOMPARE(listedBids(p.page.grid()), p.bids({"房租", "500 off", "axb", "Joe's"}));
    }

    // Enter presses the focused button; elsewhere in the panel it searches.
    void enterGoesToTheFocusedButton_data()
    {
        QTest::addColumn<QString>("focused");
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("cleared");
        QTest::addColumn<bool>("panelShown");
        for (const int key : {int(Qt::Key_Return), int(Qt::Key_Enter)}) {
            const char *k = key == Qt::Key_Return ? "return" : "enter";
            QTest::addRow("清 空, %s", k) << "bsSkinButton2" << key << true << true;
            QTest::addRow("速 查, %s", k) << "bsSkinButton1" << key << false << true;
            QTest::addRow("summary box, %s", k) << "bsSkinDBLookupComboBox1" << key << false << true;
            QTest::addRow("close button, %s", k) << "bsSkinSpeedButton10" << key << false << false;
        }
    }
    void enterGoesToTheFocusedButton()
    {
        QFETCH(QString, focused);
        QFETCH(int, key);
        QFETCH(bool, cleared);
        QFETCH(bool, panelShown);
        SearchPage p;
        p.choose(p.panel()->kindBox(), "支出");
        p.choose(p.panel()->summaryBox(), "房租");
        p.search();
        QCOMPARE(listedBids(p.page.grid()), p.bids({"房租"}));
        p.choose(p.panel()->summaryBox(), "");   // a new search would list every expense

        auto *target = p.panel()->findChild<QWidget *>(focused);
        QVERIFY(target);
        target->setFocus(Qt::TabFocusReason);
        QTest::keyClick(target, Qt::Key(key));

        if (cleared) {
            QCOMPARE(p.panel()->kindBox()->currentIndex(), -1);
            QCOMPARE(p.page.grid()->model()->rowCount(), 8);
        } else if (focused == QLatin1String("bsSkinSpeedButton10")) {
            QCOMPARE(listedBids(p.page.grid()), p.bids({"房租"}));   // hidden, result kept
            QCOMPARE(p.panel()->kindBox()->currentText(), QString("支出"));
        } else {
            QCOMPARE(listedBids(p.page.grid()), p.bids({"房租", "500 off", "axb", "Joe's"}));
        }
        QCOMPARE(p.panel()->isVisible(), panelShown);
    }

    void clearEmptiesBoxesAndReloads()
    {
        SearchPage p;
        p.choose(p.panel()->kindBox(), "支出");
        p.choose(p.panel()->summaryBox(), "房租");
        p.choose(p.panel()->partyBox(), "房东");
        p.search();
        QCOMPARE(listedBids(p.page.grid()), p.bids({"房租"}));
        // The totals are read again too.
        p.ledger.addEntry("收入", "2026-12- 2", "新", "新", "5.00", "5.00", "0.00");
        QTest::mouseClick(p.panel()->findChild<QPushButton *>("bsSkinButton2"), Qt::LeftButton);
        for (QComboBox *box : {p.panel()->kindBox(), p.panel()->summaryBox(), p.panel()->partyBox()})
            QCOMPARE(box->currentText(), QString());
        QCOMPARE(p.page.grid()->model()->rowCount(), 9);
        QCOMPARE(p.totals().first(), QString("9"));
        QVERIFY(p.panel()->isVisible());
    }

    void closeKeepsValuesAndResult()
    {
        SearchPage p;
        p.choose(p.panel()->summaryBox(), "工资");
        p.search();
        QTest::mouseClick(p.panel()->findChild<QToolButton *>("bsSkinSpeedButton10"), Qt::LeftButton);
        QVERIFY(p.panel()->isHidden());
        QCOMPARE(listedBids(p.page.grid()), p.bids({"工资", "工资补发"}));
        QTest::mouseClick(p.page.findChild<QToolButton *>("bsSkinSpeedButton7"), Qt::LeftButton);
        QVERIFY(p.panel()->isVisible());
        QCOMPARE(p.panel()->summaryBox()->currentText(), QString("工资"));
        QCOMPARE(listedBids(p.page.grid()), p.bids({"工资", "工资补发"}));
    }

    // New phrases show at once; the chosen one stays chosen.
    void phraseBoxesFollowTheirLists()
    {
        SearchPage p;
        p.choose(p.panel()->summaryBox(), "房租");
        p.ledger.addPhrase("a1", "水电");
        p.ledger.dm->Query_jz_a1->reopen();
        QComboBox *box = p.panel()->summaryBox();
        QCOMPARE(box->count(), 13);
        QCOMPARE(box->itemText(0), QString("水电"));
        QCOMPARE(box->currentText(), QString("房租"));
        p.search();
        QCOMPARE(listedBids(p.page.grid()), p.bids({"房租"}));
    }
};

QTEST_MAIN(TestQuickSearch)
#include "tst_quick_search.moc"
