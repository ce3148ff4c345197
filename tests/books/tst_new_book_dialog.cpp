#include <QtTest>
#include <QTimeEdit>
#include "book_dialogs_fixture.h"
#include "ui/date_field.h"

using namespace fixture;

namespace {

struct NewBook {
    explicit NewBook(Tnew_zhangben *d)
        : dialog(d)
        , name(d->findChild<QLineEdit *>("bsSkinEdit1"))
        , remark(d->findChild<QLineEdit *>("bsSkinEdit2"))
        , date(d->findChild<DateField *>("bsSkinDateEdit1"))
        , time(d->findChild<QTimeEdit *>("bsSkinTimeEdit1"))
        , save(d->findChild<QPushButton *>("bsSkinButton1"))
        , cancel(d->findChild<QPushButton *>("bsSkinButton2"))
    {
    }
    Tnew_zhangben *dialog;
    QLineEdit *name;
    QLineEdit *remark;
    DateField *date;
    QTimeEdit *time;
    QPushButton *save;
    QPushButton *cancel;
};

// Types text that may hold characters outside Latin-1, as one key event.
void typeText(QWidget *field, const QString &text)
{
    field->setFocus(Qt::OtherFocusReason);
    QTest::sendKeyEvent(QTest::Click, field, Qt::Key_unknown, text, Qt::NoModifier);
}

bool showActive(QWidget *w)
{
    w->show();
    w->activateWindow();
    return QTest::qWaitForWindowActive(w);
}

} // namespace

class TestNewBookDialog : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { testsupport::initApplication(); }
    void init() { msg::clearShown(); }

    void layoutAndTabOrder()
    {
        Books b;
        NewBook f(&b.newBook);
        QVERIFY(showActive(&b.newBook));
        QCOMPARE(b.newBook.windowTitle(), QString("新建账本"));
        QCOMPARE(b.newBook.size(), QSize(352, 199));
        QCOMPARE(b.newBook.minimumSize(), b.newBook.maximumSize());
        QVERIFY(b.newBook.windowFlags() & Qt::WindowCloseButtonHint);
        QVERIFY(!(b.newBook.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
        QCOMPARE(f.name->maxLength(), 20);
        QCOMPARE(f.remark->maxLength(), 40);
        QVERIFY(f.save->isDefault());
        QCOMPARE(f.save->text(), QString("保  存"));
        QCOMPARE(f.cancel->text(), QString("取  消"));
        QStringList labels;
        for (QLabel *l : b.newBook.findChildren<QLabel *>())
            if (l->isVisible())
                labels << l->text();
        for (const char *text : {"*", "账本名称:", "备    注:", "创建日期:"})
            QVERIFY2(labels.contains(QString::fromUtf8(text)), text);
        // A whole name shows in its field.
        QVERIFY(f.name->fontMetrics().horizontalAdvance(QString(20, QChar(u'账'))) + 12 <= f.name->width());
        // Every control inside the dialog, nothing clipped at its edge.
        for (QWidget *w : b.newBook.findChildren<QWidget *>())
            if (w->isVisible() && w->parentWidget() == &b.newBook)
                QVERIFY2(b.newBook.rect().contains(w->geometry()), qPrintable(w->objectName()));

        const QList<QWidget *> chain{f.name, f.remark, f.save, f.cancel, f.time, f.date, f.name};
        QVERIFY(f.name->hasFocus());
        for (int i = 1; i < chain.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QWidget *now = QApplication::focusWidget();
            QVERIFY2(now == chain[i] || chain[i]->isAncestorOf(now), qPrintable(chain[i]->objectName()));
        }
    }

    void typingStopsAtTheLimits()
    {
        Books b;
        NewBook f(&b.newBook);
        QVERIFY(showActive(&b.newBook));
        f.name->setFocus();
        QTest::keyClicks(f.name, QString(21, QLatin1Char('n')));
        QCOMPARE(f.name->text(), QString(20, QLatin1Char('n')));
        typeText(f.remark, QString(40, QChar(u'备')));
        typeText(f.remark, QStringLiteral("多"));
        QCOMPARE(f.remark->text(), QString(40, QChar(u'备')));
    }

    // Each showing clears name and remark and takes the time anew; the date stays as chosen.
    void showingResetsAllButTheDate()
    {
        Books b;
        NewBook f(&b.newBook);
        QCOMPARE(f.date->text(), DateField::format(QDate::currentDate()));
        QVERIFY(showActive(&b.newBook));
        f.name->setText("旧名");
        f.remark->setText("旧备注");
        f.date->setText("2011- 3- 4");
        f.time->setTime(QTime(1, 2, 3));
        b.newBook.reject();
        const QTime before = QTime::currentTime().addSecs(-1);
        QVERIFY(showActive(&b.newBook));
        QVERIFY(f.name->text().isEmpty());
        QVERIFY(f.remark->text().isEmpty());
        QCOMPARE(f.date->text(), QString("2011- 3- 4"));
        const QTime shown = QTime::fromString(f.time->text(), "H:mm:ss");
        QVERIFY2(shown.isValid() && shown >= before, qPrintable(f.time->text()));
    }

    void save_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("remark");
        QTest::addColumn<bool>("byEnter");
        QTest::newRow("click") << "家庭账本" << "日常开支" << false;
        QTest::newRow("enter, empty remark") << "家庭账本" << "" << true;
        QTest::newRow("three blanks") << "   " << "" << false;
        QTest::newRow("name of the default book") << "默认账本" << "同名" << true;
    }
    // The new book is the one current book; the page shows it with an empty grid and totals.
    void save()
    {
        QFETCH(QString, name);
        QFETCH(QString, remark);
        QFETCH(bool, byEnter);
        Books b;
        b.ledger.addBook(2, "二号");
        b.ledger.addEntry("收入", "2026-12- 1", "工资", "公司", "100.00", "100.00", "0.00", "1");
        b.start();
        QCOMPARE(b.totals()[0], QString("100"));
        NewBook f(&b.newBook);
        QString created;
        auto *drive = new DriveWhenShown(&b.newBook, [&] {
            f.date->setText("2012- 8-27");
            f.time->setTime(QTime(9, 5, 7));
            if (!name.trimmed().isEmpty())
                typeText(f.name, name);
            else
                QTest::keyClicks(f.name, name);
            if (!remark.isEmpty())
                typeText(f.remark, remark);
            created = b.newBook.creationText();
            if (byEnter) {
                f.remark->setFocus();
                QTest::keyClick(f.remark, Qt::Key_Return);
            } else {
                QTest::mouseClick(f.save, Qt::LeftButton);
            }
        });
        QTest::mouseClick(b.page.findChild<QToolButton *>("bsSkinSpeedButton1"), Qt::LeftButton);
        QVERIFY(drive->ran);
        QVERIFY(!drive->stayedOpen);
        QCOMPARE(created, QString("2012- 8-27 9:05:07"));

        const auto rows = b.books();
        QCOMPARE(rows.size(), 3);
        const auto &added = rows.last();
        QCOMPARE(added["aid"], QString("3"));
        QCOMPARE(added["a1"], name);
        QCOMPARE(added["a2"], QString("2012- 8-27 9:05:07"));
        QCOMPARE(added["a3"], remark);
        QVERIFY(!added["a3"].isNull());
        QCOMPARE(b.currentBooks(), QStringList{"3"});
        QCOMPARE(b.entriesOf("1"), 1);

        QCOMPARE(b.page.bookKey(), QString("3"));
        QCOMPARE(b.pageName(), name);
        QCOMPARE(b.page.grid()->model()->rowCount(), 0);
        QCOMPARE(b.totals(), QStringList(6, QString()));
        // The switch dialog lists it first.
        QCOMPARE(listedBids(b.bookGrid()).value(0), QString("3"));
    }

    void emptyNameIsRefused()
    {
        Books b;
        b.start();
        NewBook f(&b.newBook);
        QVERIFY(showActive(&b.newBook));
        typeText(f.remark, "备注留着");
        QTest::mouseClick(f.save, Qt::LeftButton);
        QCOMPARE(msg::lastShown().kind, msg::Kind::Information);
        QCOMPARE(msg::lastShown().text, QString("账本名称必须填写"));
        QVERIFY(b.newBook.isVisible());
        QCOMPARE(f.remark->text(), QString("备注留着"));
        QCOMPARE(b.books().size(), 1);
        QCOMPARE(b.currentBooks(), QStringList{"1"});
    }

    void cancelWritesNothing()
    {
        Books b;
        b.start();
        NewBook f(&b.newBook);
        QVERIFY(showActive(&b.newBook));
        typeText(f.name, "不要了");
        QTest::mouseClick(f.cancel, Qt::LeftButton);
        QVERIFY(!b.newBook.isVisible());
        QCOMPARE(b.books().size(), 1);
        QCOMPARE(b.pageName(), QString("默认账本"));
    }

    // A time left unfinished is stored as the last whole time the field held.
    void unfinishedTimeRevertsBeforeSave()
    {
        Books b;
        b.start();
        NewBook f(&b.newBook);
        QVERIFY(showActive(&b.newBook));
        typeText(f.name, "账");
        f.time->setTime(QTime(14, 30, 0));
        f.time->setFocus();
        QTest::keyClick(f.time, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(f.time, Qt::Key_Backspace);
        QTest::keyClick(f.time, Qt::Key_Return);
        QVERIFY(!b.newBook.isVisible());
        QVERIFY2(b.book("2")["a2"].endsWith(" 14:30:00"), qPrintable(b.book("2")["a2"]));
    }

    // When the insert fails, the demotion before it is undone: the old book stays current.
    void failedInsertChangesNothing()
    {
        Books b;
        b.ledger.addEntry("收入", "2026-12- 1", "工资", "公司", "100.00", "100.00", "0.00", "1");
        b.start();
        b.dm().conn_jz_m.exec("create trigger refuse before insert on jz_aa begin select raise(abort, '磁盘已满'); end");
        NewBook f(&b.newBook);
        QVERIFY(showActive(&b.newBook));
        typeText(f.name, "新的");
        QTest::mouseClick(f.save, Qt::LeftButton);
        QCOMPARE(msg::lastShown().kind, msg::Kind::Error);
        QVERIFY(msg::lastShown().text.contains("磁盘已满"));
        QVERIFY(b.newBook.isVisible());
        QCOMPARE(f.name->text(), QString("新的"));
        QCOMPARE(b.books().size(), 1);
        QCOMPARE(b.currentBooks(), QStringList{"1"});
        QCOMPARE(b.pageName(), QString("默认账本"));
        QCOMPARE(b.page.grid()->model()->rowCount(), 1);
    }
};

QTEST_MAIN(TestNewBookDialog)
#include "tst_new_book_dialog.moc"
