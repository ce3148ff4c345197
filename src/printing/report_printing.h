#pragma once
// What the three "打 印" buttons hand to the report engine: the report components, the
// report data connection and the parameters, in their order.
#include <QObject>
#include <QString>
#include <QStringList>

class QWidget;
class Query;
class ReportComponent;
class ReportData;

class ReportPrinting : public QObject
{
    Q_OBJECT
public:
    explicit ReportPrinting(QObject *parent = nullptr);

    // The account-book page: its book name, its six totals as displayed (收入 已收 应收
    // 支出 已付 应付) and the entry list it shows, in the grid's order. Refused when the
    // list has no rows.
    void printBook(QWidget *page, const QString &bookName, const QStringList &totals, Query *entries);

    // A summary page: the book name, the page kind ("收入" or "支出") and the page's own
    // rows, in its grid's order. Refused when the page lists no rows. The shared entry list
    // is left as it is.
    void printSummary(QWidget *page, const QString &bookName, const QString &kind, Query *rows);

    ReportData *RvData_ab;
    ReportComponent *Rv_mingxi;
    ReportComponent *Rv_shouru;
    ReportComponent *Rv_zhichu;

    static QString emptyListMessage();

private:
    void run(ReportComponent *report, QWidget *page, Query *rows);
};
