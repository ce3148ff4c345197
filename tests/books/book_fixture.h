#pragma once
// A data folder with a ledger the page tests fill row by row, plus the widget helpers the
// tests share (clicks on grid rows and titles, wheel notches, self-closing windows).
#include <QtTest>
#include <QDialog>
#include <QHeaderView>
#include <QStyle>
#include <QTimer>
#include <QWheelEvent>
#include <functional>
#include <memory>
#include "test_support.h"
#include "data/book_refresh.h"
#include "data/data_module.h"
#include "ui/data_grid.h"

namespace fixture {

struct Ledger {
    testsupport::DataFolder folder;
    std::unique_ptr<TDataModule2> dm;

    Ledger() : dm(std::make_unique<TDataModule2>(folder.path())) {}

    // A book with a fixed number; not current.
    void addBook(int aid, const QString &name)
    {
        dm->conn_jz_m.exec(QStringLiteral("insert into jz_aa (aid,a1,a2,a3,a6) values (:a,:b,'2026-1-1','',:d)"),
                           {{":a", QString::number(aid)}, {":b", name}, {":d", "0"}});
    }
    void makeCurrent(int aid)
    {
        dm->conn_jz_m.exec(QStringLiteral("update jz_aa set a6 = case when aid = :a then '1' else '0' end"),
                           {{":a", QString::number(aid)}});
    }
    // One entry; the amounts of the other kind stay NULL. Returns its bid.
    int addEntry(const QString &kind, const QString &date, const QString &summary, const QString &party,
                 const QString &total, const QString &settled, const QString &outstanding,
                 const QString &book = QStringLiteral("1"))
    {
        const bool income = kind == QStringLiteral("收入");
        const QString sql = income
            ? QStringLiteral("insert into jz_ab (b1,b2,b3,b4,b5,b6,b7,b14) values (:a,:b,:c,:d,:e,:f,:g,:h)")
            : QStringLiteral("insert into jz_ab (b1,b2,b3,b4,b8,b9,b10,b14) values (:a,:b,:c,:d,:e,:f,:g,:h)");
        dm->conn_jz_m.exec(sql, {{":a", kind}, {":b", date}, {":c", summary}, {":d", party},
                                 {":e", total}, {":f", settled}, {":g", outstanding}, {":h", book}});
        return int(dm->conn_jz_m.lastInsertId());
    }
    void addPhrase(const QString &table, const QString &text)
    {
        dm->conn_jz_f.exec(QStringLiteral("insert into %1 (z1) values (:a)").arg(table), {{":a", text}});
    }
    int entryCount()
    {
        Query q(&dm->conn_jz_m, QStringLiteral("count"));
        q.setSql(QStringLiteral("select count(*) from jz_ab"));
        q.open();
        return q.value(0, 0).toInt();
    }
};

// The bids the grid lists, top to bottom.
inline QStringList listedBids(const DataGrid *grid)
{
    QStringList out;
    const QAbstractItemModel *m = grid->model();
    for (int r = 0; r < m->rowCount(); ++r)
        out << m->index(r, 0).data().toString();
    return out;
}

inline QStringList column(const DataGrid *grid, int col)
{
    QStringList out;
    const QAbstractItemModel *m = grid->model();
    for (int r = 0; r < m->rowCount(); ++r)
        out << m->index(r, col).data().toString();
    return out;
}

// Every shown cell whose text the grid would cut short ("123456…"), as "row,column".
inline QStringList elided(DataGrid *grid, const QList<int> &columns)
{
    QStringList out;
    const int margin = grid->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, grid) + 1;
    for (int r = 0; r < grid->model()->rowCount(); ++r) {
        for (int c : columns) {
            const QModelIndex i = grid->model()->index(r, c);
            const QString text = i.data().toString();
            const int room = grid->visualRect(i).width() - 2 * margin;
            if (grid->fontMetrics().elidedText(text, Qt::ElideRight, room) != text)
                out << QStringLiteral("%1,%2").arg(r).arg(c);
        }
    }
    return out;
}

inline void clickRow(DataGrid *grid, int row)
{
    const QRect cell = grid->visualRect(grid->model()->index(row, 1));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
}

inline void clickTitle(DataGrid *grid, int col)
{
    QHeaderView *h = grid->horizontalHeader();
    const QPoint at(h->sectionViewportPosition(col) + h->sectionSize(col) / 2, h->height() / 2);
    QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, at);
}

// One wheel turn over the grid: negative towards the user.
inline void wheel(DataGrid *grid, int delta)
{
    QWidget *vp = grid->viewport();
    const QPointF at(vp->width() / 2.0, vp->height() / 2.0);
    QWheelEvent e(at, vp->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                  Qt::NoScrollPhase, false);
    QApplication::sendEvent(vp, &e);
}

// Closes a dialog as soon as it is shown (for windows whose exec the test only passes through).
class CloseWhenShown : public QObject
{
public:
    explicit CloseWhenShown(QDialog *dialog) : QObject(dialog) { dialog->installEventFilter(this); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show)
            QTimer::singleShot(0, static_cast<QDialog *>(watched), &QDialog::reject);
        return false;
    }
};

// A window that counts how often it was shown modally and closes itself at once.
class AutoClose : public QDialog
{
public:
    explicit AutoClose(QWidget *parent = nullptr) : QDialog(parent) {}
    int shown = 0;
    std::function<void()> onShow;

protected:
    void showEvent(QShowEvent *e) override
    {
        QDialog::showEvent(e);
        ++shown;
        if (onShow)
            onShow();
        QTimer::singleShot(0, this, &QDialog::reject);
    }
};

// Runs `drive` inside the dialog's next modal loop, once it is on screen. Whatever the
// dialog still shows afterwards is closed, so exec() returns; `stayedOpen` tells.
class DriveWhenShown : public QObject
{
public:
    DriveWhenShown(QDialog *dialog, std::function<void()> drive)
        : QObject(dialog), m_dialog(dialog), m_drive(std::move(drive))
    {
        dialog->installEventFilter(this);
    }
    bool ran = false;
    bool stayedOpen = false;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_dialog && event->type() == QEvent::Show && !ran) {
            ran = true;
            QTimer::singleShot(0, m_dialog, [this] {
                m_drive();
                stayedOpen = m_dialog->isVisible();
                if (stayedOpen)
                    m_dialog->reject();
            });
        }
        return false;
    }

private:
    QDialog *m_dialog;
    std::function<void()> m_drive;
};

// The texts of one row of a table, oldest first (NULL reads as a null QString).
inline QList<QHash<QString, QString>> tableRows(Connection &conn, const QString &table, const QString &key)
{
    Query q(&conn, QStringLiteral("probe"));
    q.setSql(QStringLiteral("select * from %1 order by %2").arg(table, key));
    q.open();
    QList<QHash<QString, QString>> out;
    for (int r = 0; r < q.rowCount(); ++r) {
        QHash<QString, QString> row;
        for (int c = 0; c < q.columnCount(); ++c)
            row.insert(q.fields()[c], q.isNull(r, c) ? QString() : q.value(r, c));
        out << row;
    }
    return out;
}

} // namespace fixture
