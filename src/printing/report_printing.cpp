#include "printing/report_printing.h"

#include "data/query.h"
#include "printing/report_engine.h"
#include "ui/message_box.h"

ReportPrinting::ReportPrinting(QObject *parent)
    : QObject(parent),
      RvData_ab(new ReportData(QStringLiteral("RvData_ab"), this)),
      Rv_mingxi(new ReportComponent(QStringLiteral("Rv_mingxi"), QStringLiteral("ab.rav"), RvData_ab, this)),
      Rv_shouru(new ReportComponent(QStringLiteral("Rv_shouru"), QStringLiteral("sr.rav"), RvData_ab, this)),
      Rv_zhichu(new ReportComponent(QStringLiteral("Rv_zhichu"), QStringLiteral("zc.rav"), RvData_ab, this))
{
}

QString ReportPrinting::emptyListMessage() { return QStringLiteral("此账本无收支记录,请先新增收入\\支出记录。"); }

void ReportPrinting::printBook(QWidget *page, const QString &bookName, const QStringList &totals, Query *entries)
{
    if (!entries || entries->isEmpty()) {
        msg::info(page, emptyListMessage());
        return;
    }
    Rv_mingxi->setParam(QStringLiteral("zbm"), bookName + QStringLiteral(" 的明细收支记录"));
    const char *const names[] = {"shouru", "yishou", "yingshou", "zhichu", "yifu", "yingfu"};
    for (int i = 0; i < 6; ++i)
        Rv_mingxi->setParam(QString::fromLatin1(names[i]), totals.value(i));
    Rv_mingxi->setBookName(bookName);
    run(Rv_mingxi, page, entries);
}

void ReportPrinting::printSummary(QWidget *page, const QString &bookName, const QString &kind, Query *rows)
{
    if (!rows || rows->isEmpty()) {
        msg::info(page, emptyListMessage());
        return;
    }
    const bool income = kind == QStringLiteral("收入");
    ReportComponent *report = income ? Rv_shouru : Rv_zhichu;
    report->setParam(QStringLiteral("zbm"), bookName + (income ? QStringLiteral(" 的收入汇总") : QStringLiteral(" 的支出汇总")));
    report->setBookName(bookName);
    run(report, page, rows);
}

void ReportPrinting::run(ReportComponent *report, QWidget *page, Query *rows)
{
    RvData_ab->setQuery(rows);
    // Closed whatever happens inside, so no parameter lingers into the next print.
    struct Close {
        ReportComponent *r;
        ~Close() { r->close(); }
    } close{report};
    report->execute(page);
}
