#include <QtTest>
#include <QApplication>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QTableView>
#include <QWheelEvent>
#include "test_support.h"
#include "ui/wheel_rule.h"

namespace {

struct Turn {
    int dx;
    int dy;
    Qt::ScrollPhase phase;
};

// A grid of 40 rows with the rule, its current row in the middle.
struct Grid {
    QStandardItemModel model{40, 2};
    QTableView view;

    Grid()
    {
        view.setModel(&model);
        WheelRule::install(&view);
        view.resize(300, 200);
        view.show();
        view.setCurrentIndex(model.index(20, 1));
        view.scrollTo(model.index(20, 1), QAbstractItemView::PositionAtCenter);
    }
    // What a mouse wheel or a touchpad delivers, in order.
    void send(const QList<Turn> &turns)
    {
        QWidget *vp = view.viewport();
        const QPointF at(vp->width() / 2.0, vp->height() / 2.0);
        for (const Turn &t : turns) {
            QWheelEvent e(at, vp->mapToGlobal(at), QPoint(t.dx / 4, t.dy / 4), QPoint(t.dx, t.dy), Qt::NoButton,
                          Qt::NoModifier, t.phase, false);
            QApplication::sendEvent(vp, &e);
        }
    }
};

} // namespace

Q_DECLARE_METATYPE(QList<Turn>)

class TestWheelRule : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { testsupport::initApplication(); }

    void turnsMoveTheCurrentRow_data()
    {
        QTest::addColumn<QList<Turn>>("turns");
        QTest::addColumn<int>("row");
        const auto none = Qt::NoScrollPhase;
        const auto begin = Qt::ScrollBegin, update = Qt::ScrollUpdate, end = Qt::ScrollEnd;

        QTest::newRow("notch towards the user") << QList<Turn>{{0, -120, none}} << 21;
        QTest::newRow("notch away") << QList<Turn>{{0, 120, none}} << 19;
        QTest::newRow("three notches") << QList<Turn>{{0, -120, none}, {0, -120, none}, {0, -120, none}} << 23;
        QTest::newRow("a big turn is one row") << QList<Turn>{{0, -960, none}} << 21;
        QTest::newRow("no movement") << QList<Turn>{{0, 0, none}} << 20;
        QTest::newRow("touchpad begin and end only") << QList<Turn>{{0, 0, begin}, {0, 0, end}} << 20;
        QTest::newRow("sideways swipe") << QList<Turn>{{0, 0, begin}, {-120, 0, update}, {-240, 0, update},
                                                       {-120, 0, update}, {0, 0, end}} << 20;
        QTest::newRow("sideways notch") << QList<Turn>{{120, 0, none}} << 20;
        QTest::newRow("mostly sideways swipe") << QList<Turn>{{-200, -30, update}, {-200, -30, update},
                                                              {-200, -30, update}, {-200, -30, update}} << 20;
        // Small steps add up to notches; a begin or an end drops what did not make one.
        QTest::newRow("touchpad swipe of two notches")
            << QList<Turn>{{0, 0, begin}, {0, -60, update}, {0, -60, update}, {0, -60, update},
                           {0, -60, update}, {0, -30, update}, {0, 0, end}} << 22;
        QTest::newRow("small steps short of a notch")
            << QList<Turn>{{0, 0, begin}, {0, -50, update}, {0, -50, update}, {0, 0, end},
                           {0, 0, begin}, {0, -50, update}, {0, 0, end}} << 20;
        QTest::newRow("smooth wheel without phases")
            << QList<Turn>{{0, 40, none}, {0, 40, none}, {0, 40, none}, {0, 40, none}} << 19;
        QTest::newRow("a turn back starts afresh")
            << QList<Turn>{{0, -100, none}, {0, 100, none}, {0, 30, none}} << 19;
    }
    void turnsMoveTheCurrentRow()
    {
        QFETCH(QList<Turn>, turns);
        QFETCH(int, row);
        Grid g;
        const int scroll = g.view.verticalScrollBar()->value();
        g.send(turns);
        QCOMPARE(g.view.currentIndex().row(), row);
        QCOMPARE(g.view.currentIndex().column(), 1);
        QCOMPARE(g.view.verticalScrollBar()->value(), scroll);
        QCOMPARE(g.view.horizontalScrollBar()->value(), 0);
    }

    void endsStay()
    {
        Grid g;
        g.view.setCurrentIndex(g.model.index(0, 0));
        g.send({{0, 120, Qt::NoScrollPhase}});
        QCOMPARE(g.view.currentIndex().row(), 0);
        g.view.setCurrentIndex(g.model.index(39, 0));
        g.send({{0, -120, Qt::NoScrollPhase}});
        QCOMPARE(g.view.currentIndex().row(), 39);
    }
};

QTEST_MAIN(TestWheelRule)
#include "tst_wheel_rule.moc"
