#pragma once
// The account-book page with the new-book, switch, rename and remark dialogs, wired the
// way the program wires them, on a ledger of its own.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include "book_fixture.h"
#include "books/account_book_page.h"
#include "books/book_text_dialogs.h"
#include "books/new_book_dialog.h"
#include "books/switch_dialog.h"
#include "ui/message_box.h"

namespace fixture {

struct Books {
    Ledger ledger;
    TFr_zhangben page;
    Tnew_zhangben newBook{ledger.dm.get()};
    Tqiehuan switcher{ledger.dm.get()};
    Tqiehuan_beizhu remark{ledger.dm.get()};
    Tqiehuan_cmm rename{ledger.dm.get()};

    Books()
    {
        page.attachData(ledger.dm.get());
        page.setNewBookHook([this] { newBook.exec(); });
        page.setSwitchHook([this] {
            switcher.setCurrentBookName(page.bookName());
            switcher.exec();
        });
        switcher.setSmallDialogs(&rename, &remark);
        page.resize(892, 605);
        msg::clearShown();
    }
    TDataModule2 &dm() { return *ledger.dm; }

    // The start of a run: the book list as the data module opened it, then the book refresh.
    void start()
    {
        dm().Query_jz_aa->reopen();
        BookRefresh::full(dm());
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
    }

    QList<QHash<QString, QString>> books() { return tableRows(dm().conn_jz_m, "jz_aa", "aid"); }
    QStringList currentBooks()
    {
        QStringList out;
        for (const auto &b : books())
            if (b["a6"] == QLatin1String("1"))
                out << b["aid"];
        return out;
    }
    QHash<QString, QString> book(const QString &aid)
    {
        for (const auto &b : books())
            if (b["aid"] == aid)
                return b;
        return {};
    }
    int entriesOf(const QString &key)
    {
        Query q(&dm().conn_jz_m, "count");
        q.setSql("select count(*) from jz_ab where b14 = :k");
        q.bind(":k", key);
        q.open();
        return q.value(0, 0).toInt();
    }

    QString pageName() { return page.findChild<QLabel *>("bsSkinDBText16")->text(); }
    QStringList totals()
    {
        QStringList out;
        for (int i = 0; i < 6; ++i)
            out << page.totalLabel(i)->text();
        return out;
    }

    // Clicks the page's "[切换]" and runs `drive` in the switch dialog's modal loop.
    bool openSwitch(std::function<void()> drive)
    {
        auto *d = new DriveWhenShown(&switcher, std::move(drive));
        auto *link = page.findChild<QLabel *>("bsSkinStdLabel1");
        QTest::mouseClick(link, Qt::LeftButton, {}, link->rect().center());
        const bool open = d->stayedOpen;
        const bool ran = d->ran;
        delete d;
        if (!ran)
            QTest::qFail("the switch dialog did not open", __FILE__, __LINE__);
        return open;
    }

    // The switch dialog's controls.
    DataGrid *bookGrid() { return switcher.grid(); }
    void clickSwitcher(const char *name)
    {
        QAbstractButton *b = switcher.findChild<QAbstractButton *>(QString::fromLatin1(name));
        QVERIFY2(b, name);
        QTest::mouseClick(b, Qt::LeftButton);
    }
    // Selects the grid row of a book by its key.
    void selectBook(const QString &aid)
    {
        const QStringList keys = listedBids(bookGrid());
        const int row = int(keys.indexOf(aid));
        QVERIFY2(row >= 0, qPrintable(aid));
        clickRow(bookGrid(), row);
        QCOMPARE(dm().Query_jz_aa->field("aid"), aid);
    }
};

} // namespace fixture
