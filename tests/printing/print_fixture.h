#pragma once
// The whole program on its own data folder for the tests that print and export: a small
// ledger, the account-book page shown, its print button answered.
#include <QtTest>
#include <QLabel>
#include <QTemporaryDir>
#include <QToolButton>
#include <memory>
#include "../books/book_fixture.h"
#include "app/main_window.h"
#include "app/program.h"
#include "books/account_book_page.h"
#include "data/data_module.h"
#include "printing/report_engine.h"

namespace printfix {

// The whole program on its own data folder, its account-book page shown.
struct Prog {
    testsupport::DataFolder folder;
    QTemporaryDir out;
    std::unique_ptr<Program> program;

    Prog() : program(std::make_unique<Program>(folder.path()))
    {
        exec("update jz_aa set a1 = '家庭' where aid = 1");
    }
    TDataModule2 &dm() { return *program->data(); }
    Tmain *main() { return program->mainWindow(); }
    TFr_zhangben *page() { return main()->accountBookPage(); }
    void exec(const QString &sql, const Params &params = {}) { dm().conn_jz_m.exec(sql, params); }

    int add(const QString &kind, const QString &date, const QString &summary, const QString &party,
            const QString &total, const QString &settled, const QString &outstanding,
            const QString &book = QStringLiteral("1"))
    {
        const bool income = kind == QStringLiteral("收入");
        exec(income ? QStringLiteral("insert into jz_ab (b1,b2,b3,b4,b5,b6,b7,b14) values (:a,:b,:c,:d,:e,:f,:g,:h)")
                    : QStringLiteral("insert into jz_ab (b1,b2,b3,b4,b8,b9,b10,b14) values (:a,:b,:c,:d,:e,:f,:g,:h)"),
             {{":a", kind}, {":b", date}, {":c", summary}, {":d", party}, {":e", total}, {":f", settled},
              {":g", outstanding}, {":h", book}});
        return int(dm().conn_jz_m.lastInsertId());
    }
    // Book 1 (家庭) with income and expenses, book 12 with one entry that must never show.
    void fill()
    {
        exec("insert into jz_aa (aid,a1,a2,a3,a6) values (12,'十二号','2026-1-1','','0')");
        add("收入", "2026- 3- 1", "工资", "公司", "100.00", "60.00", "40.00");
        add("支出", "2026- 1-15", "支付房租", "房东", "35.50", "35.50", "0.00");
        add("收入", "2026- 2- 9", "奖金", "公司", "0.10", "0.10", "0.00");
        add("支出", "2026- 4- 2", "文具", "文具店", "0.20", "0.00", "0.20");
        add("收入", "2026- 1- 1", "别的账本", "别处", "999.00", "999.00", "0.00", "12");
    }
    void show()
    {
        main()->show();
        QVERIFY(QTest::qWaitForWindowExposed(main()));
        QTRY_VERIFY(main()->showSequenceDone());
        auto *nav = main()->findChild<QToolButton *>("bsSkinButtonsBar1Sections0Items2");
        QVERIFY(nav);
        QTest::mouseClick(nav, Qt::LeftButton);
        QVERIFY(page()->isVisible());
    }
    QString pdfPath(const QString &name) { return out.filePath(name); }
    // "打 印" on the account-book page, answering the output choice with that output
    // and file.
    QString printBookPage(const QString &name = QStringLiteral("book.pdf"), report::Output output = report::Output::Pdf)
    {
        const QString file = pdfPath(name);
        report::setNextOutput(output, file);
        auto *b = page()->findChild<QToolButton *>("bsSkinSpeedButton9");
        Q_ASSERT(b);
        QTest::mouseClick(b, Qt::LeftButton);
        return file;
    }
    QStringList shownTotals()
    {
        QStringList t;
        for (int i = 0; i < 6; ++i)
            t << page()->totalLabel(i)->text();
        return t;
    }
    // The rows a summary page lists: the book's entries of one kind, newest first.
    std::unique_ptr<Query> summaryRows(const QString &kind)
    {
        auto q = std::make_unique<Query>(&dm().conn_jz_m, QStringLiteral("Query_summary"));
        q->setSql(QStringLiteral("select * from jz_ab where b1 = :a and b14 = :b order by bid desc"));
        q->bind(":a", kind);
        q->bind(":b", page()->bookKey());
        q->open();
        return q;
    }
};

} // namespace printfix
