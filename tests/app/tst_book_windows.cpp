#include <QtTest>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include "../books/book_fixture.h"
#include "app/main_window.h"
#include "app/online_check.h"
#include "app/program.h"
#include "books/account_book_page.h"
#include "books/new_book_dialog.h"
#include "books/switch_dialog.h"
#include "ui/message_box.h"

using namespace fixture;

// The whole program: the account-book page opens the book windows the program built.
class TestBookWindows : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        testsupport::initApplication();
        OnlineCheck::setOverride([] { return false; });
    }

    void pageOpensTheBookWindows()
    {
        testsupport::DataFolder folder;
        Program program(folder.path());
        program.show();
        QTRY_VERIFY(program.mainWindow()->showSequenceDone());
        TFr_zhangben *page = program.mainWindow()->accountBookPage();
        program.mainWindow()->showPage(page);

        // "新账本": a new book, current at once, shown by the page.
        Tnew_zhangben *newBook = program.newBook();
        QVERIFY(newBook);
        DriveWhenShown create(newBook, [&] {
            auto *name = newBook->findChild<QLineEdit *>("bsSkinEdit1");
            name->setFocus();
            QTest::keyClicks(name, "Travel");
            QTest::keyClick(name, Qt::Key_Return);
        });
        QTest::mouseClick(page->findChild<QToolButton *>("bsSkinSpeedButton1"), Qt::LeftButton);
        QVERIFY(create.ran && !create.stayedOpen);
        QCOMPARE(page->bookName(), QString("Travel"));
        QCOMPARE(page->bookKey(), QString("2"));

        // "[切换]": the header carries the page's name; switching back to the default book.
        Tqiehuan *switcher = program.switchDialog();
        QString header;
        DriveWhenShown back(switcher, [&] {
            header = switcher->findChild<QLabel *>("bsSkinStdLabel5")->text();
            switcher->grid()->setCurrentIndex(switcher->grid()->model()->index(1, 0));
            QTest::mouseClick(switcher->findChild<QPushButton *>("bsSkinButton1"), Qt::LeftButton);
        });
        auto *link = page->findChild<QLabel *>("bsSkinStdLabel1");
        QTest::mouseClick(link, Qt::LeftButton, {}, link->rect().center());
        QVERIFY(back.ran && !back.stayedOpen);
        QCOMPARE(header, QString("Travel"));
        QCOMPARE(page->bookKey(), QString("1"));
        QVERIFY(msg::shown().isEmpty());
    }
};

QTEST_MAIN(TestBookWindows)
#include "tst_book_windows.moc"
