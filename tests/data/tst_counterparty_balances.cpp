// Counterparty figures against the engine: each counterparty's six sums equal the engine's
// own exact sum() over its entries, whatever the amount texts hold, the four aging buckets
// add up to the receivable, and the book read from its rows in memory gives the same
// figures as the book read from the file.
#include <QtTest>
#include <QRandomGenerator>
#include "test_support.h"
#include "data/book_cache.h"
#include "data/book_refresh.h"
#include "data/counterparty_balances.h"
#include "data/data_module.h"
#include "data/query.h"

using namespace wanglai;

namespace {

// Amount texts as the dialogs and other tools may have written them.
const QStringList kAmounts = {"100.00", "0.10", "0.20", "-5.50", "12", "5.", ".5", "1e3", " 12 ", "12abc", "abc", "",
                              "0.005", "-0.10", "99999999.99", "123456789012345678901", "00012.50", "-0", "2.675"};
const QStringList kParties = {"甲", " 甲", "甲  ", "乙", "乙 乙", "", "  ", "丙"};
const QStringList kDates = {"2026- 6-30", "2026- 5-31", "2026- 5-30", "2026- 4-30", "2026- 4- 1", "2026- 3-31",
                            "2026-02-30", "abc", "2026-6-1"};

QStringList rowOf(const Balance &b)
{
    QStringList out{b.party};
    for (const QString &s : b.sums)
        out << s;
    for (const QString &s : b.aging)
        out << s;
    return out << QString::number(b.entries) << QString::number(b.undated);
}

} // namespace

class TestCounterpartyBalances : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { testsupport::initCoreApplication(); }

    void sumsAsTheEngineSumsThem()
    {
        testsupport::DataFolder folder;
        TDataModule2 dm(folder.path());
        Connection &c = dm.conn_jz_m;
        QRandomGenerator rng(21);
        auto pick = [&](const QStringList &l) { return l[int(rng.bounded(quint32(l.size())))]; };
        Connection::Transaction t(c);
        for (int i = 0; i < 600; ++i) {
            const bool income = rng.bounded(2) == 0;
            c.exec(income ? "insert into jz_ab (b1,b2,b3,b4,b5,b6,b7,b14) values ('收入',:b,'s',:d,:e,:f,:g,:h)"
                          : "insert into jz_ab (b1,b2,b3,b4,b8,b9,b10,b14) values ('支出',:b,'s',:d,:e,:f,:g,:h)",
                   {{":b", pick(kDates)}, {":d", rng.bounded(20) == 0 ? QString() : pick(kParties)},
                    {":e", pick(kAmounts)}, {":f", pick(kAmounts)}, {":g", pick(kAmounts)},
                    {":h", rng.bounded(4) == 0 ? "2" : "1"}});
        }
        t.commit();
        const QDate cutoff(2026, 6, 30);
        for (const QString &key : {QStringLiteral("1"), QString()}) {
            const Summary fromFile = readSummary(c, key, cutoff);
            // Every date is on or before the cut-off: the engine's sums over each trimmed name.
            Query q(&c, "expected");
            q.setSql(QStringLiteral("select trim(coalesce(b4, '')), sum(b5), sum(b6), sum(b7), sum(b8), sum(b9), sum(b10), "
                                    "count(*) from jz_ab %1 group by 1")
                         .arg(key.isEmpty() ? QString() : QStringLiteral("where b14 = '1'")));
            q.open();
            QCOMPARE(int(fromFile.parties.size()), q.rowCount());
            for (int r = 0; r < q.rowCount(); ++r) {
                const auto it = std::find_if(fromFile.parties.begin(), fromFile.parties.end(),
                                             [&](const Balance &b) { return b.party == q.value(r, 0); });
                QVERIFY2(it != fromFile.parties.end(), qPrintable(q.value(r, 0)));
                for (int k = 0; k < AmountCount; ++k)
                    QCOMPARE(it->sums[k], q.isNull(r, k + 1) ? QString("0") : q.value(r, k + 1));
                QCOMPARE(QString::number(it->entries), q.value(r, 7));
                QString buckets = "0";
                for (const QString &a : it->aging)
                    buckets = add(buckets, a);
                QCOMPARE(compare(buckets, it->sums[Receivable]), 0);
            }
            int undated = 0;
            for (const Balance &b : fromFile.parties)
                undated += b.undated;
            QCOMPARE(undated, fromFile.undated);
            QVERIFY(fromFile.undated > 0);

            // The current book from memory, the others (when every book is read) from the file.
            BookRefresh::full(dm);
            BookCache &cache = BookCache::of(dm);
            QVERIFY(cache.isCurrent("1"));
            const auto held = HeldRows::of(cache.fields(), cache.rows(), cache.bookOrder(), "1");
            QVERIFY(held);
            const Summary fromMemory = readSummary(c, key, cutoff, held);
            QCOMPARE(fromMemory.parties.size(), fromFile.parties.size());
            for (size_t i = 0; i < fromFile.parties.size(); ++i)
                QCOMPARE(rowOf(fromMemory.parties[i]), rowOf(fromFile.parties[i]));

            // A statement from the index (memory and keys) is the statement of a full pass.
            for (const Balance &b : fromFile.parties) {
                const Statement a = readStatement(c, key, b.party, QDate(2026, 4, 30), cutoff);
                const Statement m = readStatement(c, key, b.party, QDate(2026, 4, 30), cutoff, fromMemory.index.get());
                QCOMPARE(m.lines.size(), a.lines.size());
                QCOMPARE(m.openingReceivable, a.openingReceivable);
                for (int i = 0; i < a.lines.size(); ++i) {
                    QCOMPARE(m.lines[i].bid, a.lines[i].bid);
                    QCOMPARE(m.lines[i].receivableBalance, a.lines[i].receivableBalance);
                    QCOMPARE(m.lines[i].payableBalance, a.lines[i].payableBalance);
                }
                // The last running balance is the summary's, from the first entry on.
                const Statement whole = readStatement(c, key, b.party, QDate(), cutoff);
                QCOMPARE(compare(whole.lines.isEmpty() ? whole.openingReceivable : whole.lines.last().receivableBalance,
                                 b.sums[Receivable]), 0);
            }
        }
    }

    void moneyText_data()
    {
        QTest::addColumn<QString>("in");
        QTest::addColumn<QString>("out");
        QTest::newRow("whole") << "150" << "150.00";
        QTest::newRow("one decimal") << "-0.5" << "-0.50";
        QTest::newRow("more decimals kept") << "1012.205" << "1012.205";
        QTest::newRow("no number") << "abc" << "abc";
    }
    void moneyText()
    {
        QFETCH(QString, in);
        QFETCH(QString, out);
        QCOMPARE(money(in), out);
    }

    void aging_data()
    {
        QTest::addColumn<int>("days");
        QTest::addColumn<int>("bucket");
        for (const auto &[d, b] : std::initializer_list<std::pair<int, int>>{{0, 0}, {30, 0}, {31, 1}, {60, 1}, {61, 2}, {90, 2}, {91, 3}})
            QTest::newRow(qPrintable(QString::number(d))) << d << b;
    }
    void aging()
    {
        QFETCH(int, days);
        QFETCH(int, bucket);
        QCOMPARE(int(bucketOf(days)), bucket);
    }
};

QTEST_MAIN(TestCounterpartyBalances)
#include "tst_counterparty_balances.moc"
