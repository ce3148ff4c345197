#include <QtTest>
#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QToolButton>

#include "program_fixture.h"
#include "app/online_check.h"
#include "app/browser.h"
#include "books/title_sort.h"
#include "data/lock_password.h"
#include "security/password_window.h"
#include "ui/data_grid.h"
#include "ui/message_box.h"

using namespace programfixture;

namespace {

const QString kWrong = QStringLiteral("您输入的密码错误");

// Records every window that comes up while it lives and closes the dialogs among them.
class WindowWatch : public QObject
{
public:
    WindowWatch() { qApp->installEventFilter(this); }
    ~WindowWatch() override { qApp->removeEventFilter(this); }
    QStringList shown;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::Show || !watched->isWidgetType())
            return false;
        auto *w = static_cast<QWidget *>(watched);
        const Qt::WindowType type = w->windowType();
        if (!w->isWindow() || (type != Qt::Window && type != Qt::Dialog && type != Qt::Sheet))
            return false;
        if (qobject_cast<QMainWindow *>(w))
            return false;
        shown << (w->objectName().isEmpty() ? QString::fromLatin1(w->metaObject()->className()) : w->objectName());
        if (auto *d = qobject_cast<QDialog *>(w))
            QTimer::singleShot(0, d, &QDialog::reject);
        return false;
    }
};

// Locked, on the welcome page, the books out of sight.
void verifyLocked(Run &run, const char *stage)
{
    QVERIFY2(run.locked(), stage);
    QVERIFY2(run.visiblePages() == QStringList{"Fr_wel1"}, stage);
    QVERIFY2(run.book()->isHidden(), stage);
}

} // namespace

class TestLock : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        testsupport::initApplication();
        OnlineCheck::setOverride([] { return false; });
        Browser::setOverride([](const QString &) {});
    }
    void init() { msg::clearShown(); }

    // The lock panel and a disabled bar; the book is loaded behind them all the same.
    void lockedAtStart()
    {
        Run run;
        run.addEntry("收入", "一");
        run.addEntry("支出", "二");
        run.storeSettings("abc", "1", "1");
        QVERIFY(run.start());
        verifyLocked(run, "start");
        QCOMPARE(run.dm().Query_jz_ab->rowCount(), 2);
        QCOMPARE(run.book()->bookKey(), QString("1"));
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(run.passEdit()));
        QVERIFY(msg::shown().isEmpty());
    }

    void refusedPasswords_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("byEnter");
        QTest::newRow("wrong") << "abd" << false;
        QTest::newRow("wrong, by Enter") << "abd" << true;
        QTest::newRow("other letter case") << "ABC" << false;
        QTest::newRow("other letter case, by Enter") << "Abc" << true;
        QTest::newRow("a part of it") << "ab" << true;
        QTest::newRow("empty") << "" << false;
    }
    void refusedPasswords()
    {
        QFETCH(QString, typed);
        QFETCH(bool, byEnter);
        Run run;
        run.storeSettings("abc", "1", "1");
        QVERIFY(run.start());
        for (int attempt = 0; attempt < 2; ++attempt) {
            msg::clearShown();
            QTest::keyClicks(run.passEdit(), typed);
            if (byEnter)
                QTest::keyClick(run.passEdit(), Qt::Key_Return);
            else
                run.clickAt(run.wel()->findChild<QPushButton *>("bsSkinButton1"));
            QCOMPARE(msg::shown().size(), 1);
            QCOMPARE(msg::lastShown().text, kWrong);
            QCOMPARE(msg::lastShown().kind, msg::Kind::Information);
            QCOMPARE(run.passEdit()->text(), QString());
            verifyLocked(run, "refused");
        }
    }

    // The right password opens the book with its entries as stored now and plain titles;
    // the lock button locks again.
    void rightPasswordAndLockButton_data()
    {
        QTest::addColumn<bool>("byEnter");
        QTest::newRow("click") << false;
        QTest::newRow("Enter") << true;
    }
    void rightPasswordAndLockButton()
    {
        QFETCH(bool, byEnter);
        Run run;
        const int first = run.addEntry("收入", "一");
        run.storeSettings("aB3", "1", "1");
        QVERIFY(run.start());
        const int later = run.addEntry("支出", "后来");   // stored after the start's refresh
        auto unlock = [&] {
            QTest::keyClicks(run.passEdit(), "aB3");
            if (byEnter)
                QTest::keyClick(run.passEdit(), Qt::Key_Return);
            else
                run.clickAt(run.wel()->findChild<QPushButton *>("bsSkinButton1"));
        };
        unlock();
        QVERIFY(msg::shown().isEmpty());
        QCOMPARE(run.visiblePages(), QStringList{"Fr_zhangben1"});
        QVERIFY(run.nav()->isEnabled());
        QCOMPARE(run.passEdit()->text(), QString());
        DataGrid *grid = run.book()->grid();
        QCOMPARE(fixtureBids(grid), (QStringList{QString::number(later), QString::number(first)}));

        // Sorted by a title click, then locked by the lock button.
        QHeaderView *h = grid->horizontalHeader();
        QTest::mouseClick(h->viewport(), Qt::LeftButton, {},
                          QPoint(h->sectionViewportPosition(0) + 10, h->height() / 2));
        QVERIFY(grid->title(0) != QString("编号"));
        run.clickAt(run.statusControl("bsSkinSpeedButton3"));
        verifyLocked(run, "lock button");
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(run.passEdit()));

        unlock();
        QCOMPARE(run.visiblePages(), QStringList{"Fr_zhangben1"});
        QStringList titles;
        for (int c = 0; c < 11; ++c)
            titles << grid->title(c);
        QCOMPARE(titles, TFr_zhangben::plainTitles());
        QCOMPARE(fixtureBids(grid), (QStringList{QString::number(later), QString::number(first)}));
    }

    // Files made before passwords were hashed hold the password as typed: it still opens
    // the program, and the first unlock replaces it by its hash. A wrong one changes nothing.
    void plainPasswordOfEarlierFilesIsHashedAtUnlock()
    {
        Run run;
        run.storeSettings("aB3", "1", "1");
        QVERIFY(run.start());
        auto *label = run.wel()->findChild<QLabel *>("bsSkinDBText2");
        QCOMPARE(label->text(), QString("aB3"));
        run.unlock("aB4");
        QCOMPARE(msg::lastShown().text, kWrong);
        QCOMPARE(run.storedSettings(), (QStringList{"aB3", "1", "1"}));
        msg::clearShown();
        run.unlock("aB3");
        QVERIFY(msg::shown().isEmpty());
        QCOMPARE(run.visiblePages(), QStringList{"Fr_zhangben1"});
        const QString hashed = run.storedSettings()[0];
        QVERIFY2(LockPassword::isHash(hashed), qPrintable(hashed));
        QVERIFY(!hashed.contains("aB3"));
        QCOMPARE(label->text(), hashed);   // the hidden label carries what ub1 holds

        // Locked again: the hash opens it for the same password only.
        run.clickAt(run.statusControl("bsSkinSpeedButton3"));
        verifyLocked(run, "lock button");
        for (const QString &wrong : {QString("ab3"), QString("AB3"), hashed.left(10)}) {
            msg::clearShown();
            run.unlock(wrong);
            QCOMPARE(msg::lastShown().text, kWrong);
        }
        msg::clearShown();
        run.unlock("aB3");
        QVERIFY(msg::shown().isEmpty());
        QCOMPARE(run.visiblePages(), QStringList{"Fr_zhangben1"});
        QCOMPARE(run.storedSettings()[0], hashed);
    }

    // Every way through the password window as the user goes it, from "设置密码" to the
    // face the program shows afterwards.
    void passwordWindow_data()
    {
        QTest::addColumn<QStringList>("row");        // ub1, ub2, ub4 at start
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("message");        // empty: none
        QTest::addColumn<QStringList>("after");
        QTest::addColumn<bool>("lockedAfter");
        const QStringList never{"", "0", "0"};
        const QStringList on{"abc", "1", "1"};
        QTest::newRow("the first password") << never << "first" << "密码已经设置"
                                            << QStringList{"new1", "1", "1"} << true;
        QTest::newRow("a change with a wrong old password") << on << "wrongOld" << "旧密码输入错误，请您重试。"
                                                            << on << true;
        QTest::newRow("switching off without the old password") << on << "off" << "已经关闭了软件登录密码"
                                                                << QStringList{"abc", "0", "0"} << false;
        QTest::newRow("a mismatched repetition") << on << "mismatch" << "您两次输入的密码不正确" << on << true;
        QTest::newRow("cancel with the lock on") << on << "cancel" << "" << on << true;
        QTest::newRow("cancel with the lock off") << never << "cancel" << "" << never << false;
        QTest::newRow("closed with Escape, lock on") << on << "escape" << "" << on << true;
    }
    void passwordWindow()
    {
        QFETCH(QStringList, row);
        QFETCH(QString, path);
        QFETCH(QString, message);
        QFETCH(QStringList, after);
        QFETCH(bool, lockedAfter);
        Run run;
        run.storeSettings(row[0], row[1], row[2]);
        QVERIFY(run.start());
        if (row[1] == "1")
            run.unlock(row[0]);
        QVERIFY(run.nav()->isEnabled());
        msg::clearShown();

        Tset_mima *window = run.program.passwordWindow();
        bool scripted = false;
        new OnShow(window, [&] {
            auto field = [&](const char *name) { return window->findChild<PasswordField *>(name); };
            auto button = [&](const char *name) { return window->findChild<QPushButton *>(name); };
            auto *box = window->findChild<QCheckBox *>("bsSkinCheckRadioBox1");
            auto type = [&](const char *name, const QString &text) {
                field(name)->setFocus(Qt::TabFocusReason);
                QTest::keyClicks(field(name), text);
            };
            if (path == "first") {
                QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
                type("bsSkinEdit4", "new1");
                type("bsSkinEdit2", "new1");
                QTest::mouseClick(button("bsSkinButton1"), Qt::LeftButton);
            } else if (path == "wrongOld" || path == "mismatch") {
                type("bsSkinEdit1", path == "wrongOld" ? "abd" : "abc");
                type("bsSkinEdit4", "new1");
                type("bsSkinEdit2", path == "wrongOld" ? "new1" : "new2");
                QTest::keyClick(field("bsSkinEdit2"), Qt::Key_Return);
                if (window->isVisible())   // refused: the user gives up
                    QTest::mouseClick(button("bsSkinButton2"), Qt::LeftButton);
            } else if (path == "off") {
                QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
                QTest::mouseClick(button("bsSkinButton3"), Qt::LeftButton);
            } else if (path == "cancel") {
                QTest::mouseClick(button("bsSkinButton2"), Qt::LeftButton);
            } else {
                QTest::keyClick(window, Qt::Key_Escape);
            }
            scripted = true;
        });
        run.openSection(1);
        run.clickAt(run.nav()->item(1, 0));
        QVERIFY(scripted);
        QVERIFY(!window->isVisible());
        QCOMPARE(msg::shown().size(), message.isEmpty() ? 0 : 1);
        if (!message.isEmpty())
            QCOMPARE(msg::lastShown().text, message);
        // The password is kept only as its hash (a plain one was replaced at the unlock).
        const QStringList stored = run.storedSettings();
        QCOMPARE(stored.mid(1), after.mid(1));
        if (after[0].isEmpty())
            QCOMPARE(stored[0], QString());
        else
            QVERIFY2(LockPassword::isHash(stored[0]) && LockPassword::matches(after[0], stored[0]), qPrintable(stored[0]));
        QCOMPARE(run.visiblePages(), QStringList{"Fr_wel1"});
        QCOMPARE(run.locked(), lockedAfter);
        QCOMPARE(run.wel()->quickEntryPanel()->isVisible(), !lockedAfter);
        if (lockedAfter) {
            // The lock panel takes the keys at once: no click into its field first.
            QVERIFY(QTest::qWaitFor([&] { return QApplication::focusWidget() == run.passEdit(); }));
            // Only the password as stored now opens it again.
            msg::clearShown();
            QTest::keyClicks(QApplication::focusWidget(), after[0]);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            QVERIFY(msg::shown().isEmpty());
            QCOMPARE(run.visiblePages(), QStringList{"Fr_zhangben1"});
        }
    }

    // While the lock is on, no key, no Tab path, no click and no double-click reaches a
    // page or dialog that shows or changes entries; only the status bar stays usable.
    void waysIn_data()
    {
        QTest::addColumn<bool>("workedBefore");
        QTest::newRow("locked at start") << false;
        QTest::newRow("locked again by the lock button") << true;
    }
    void waysIn()
    {
        QFETCH(bool, workedBefore);
        Run run;
        const int bid = run.addEntry("收入", "一");
        run.addEntry("支出", "二");
        run.dm().conn_jz_u.exec("insert into jz_ua (ua1,ua2,ua3,ua4,ua5,ua6) values ('x','2026-12- 1','s','r','1',:k)",
                                {{":k", QString::number(bid)}});
        run.dm().conn_jz_f.exec("insert into a1 (z1) values ('一')");
        run.storeSettings("abc", "1", "1");
        QVERIFY(run.start());
        if (workedBefore) {
            run.unlock("abc");
            DataGrid *grid = run.book()->grid();
            run.clickAt(run.book()->findChild<QToolButton *>("bsSkinSpeedButton7"));   // 速 查
            grid->setFocus(Qt::OtherFocusReason);
            QTest::keyClick(grid, Qt::Key_Down);
            run.clickAt(run.statusControl("bsSkinSpeedButton3"));
        }
        verifyLocked(run, "before");
        const QString before = fingerprint(run.dm());
        const QString listSql = run.dm().Query_jz_ab->sql();
        const int listRows = run.dm().Query_jz_ab->rowCount();
        msg::clearShown();
        WindowWatch windows;

        // Tab through every control that takes the focus; Enter and Space on each.
        QSet<QWidget *> visited;
        run.passEdit()->setFocus(Qt::TabFocusReason);
        for (int step = 0; step < 60; ++step) {
            QWidget *at = QApplication::focusWidget();
            QVERIFY(at);
            QVERIFY2(run.w()->isAncestorOf(at), qPrintable(at->objectName() + " in " + at->window()->objectName()));
            visited.insert(at);
            QTest::keyClick(at, Qt::Key_Return);
            QTest::keyClick(at, Qt::Key_Space);
            // A window that opened and closed again may leave the activation behind it.
            if (!run.w()->isActiveWindow()) {
                run.w()->activateWindow();
                QTRY_VERIFY(run.w()->isActiveWindow());
            }
            at->setFocus(Qt::TabFocusReason);   // pressing may have moved it
            QTest::keyClick(at, Qt::Key_Tab);
        }
        for (int step = 0; step < 20; ++step)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
        QVERIFY(visited.contains(run.passEdit()));
        QVERIFY(visited.contains(run.statusControl("bsSkinSpeedButton3")));
        for (QWidget *w : std::as_const(visited))
            QVERIFY2(!run.book()->isAncestorOf(w), qPrintable(w->objectName()));
        verifyLocked(run, "Tab, Enter and Space");

        // Every mnemonic and the usual shortcuts, and every shortcut the program declares.
        QList<QKeySequence> sequences;
        const Qt::KeyboardModifiers letterModifiers[] = {
            Qt::AltModifier, Qt::ControlModifier, Qt::AltModifier | Qt::ShiftModifier,
            Qt::ControlModifier | Qt::ShiftModifier};
        for (int k = Qt::Key_A; k <= Qt::Key_Z; ++k)
            for (Qt::KeyboardModifiers m : letterModifiers)
                sequences << QKeySequence(QKeyCombination(m, Qt::Key(k)));
        for (int k = Qt::Key_0; k <= Qt::Key_9; ++k)
            sequences << QKeySequence(QKeyCombination(Qt::AltModifier, Qt::Key(k)))
                      << QKeySequence(QKeyCombination(Qt::ControlModifier, Qt::Key(k)));
        for (int k = Qt::Key_F1; k <= Qt::Key_F12; ++k)
            sequences << QKeySequence(QKeyCombination(Qt::Key(k)))
                      << QKeySequence(QKeyCombination(Qt::ControlModifier, Qt::Key(k)));
        for (Qt::Key k : {Qt::Key_Delete, Qt::Key_Insert, Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape,
                          Qt::Key_PageDown, Qt::Key_PageUp, Qt::Key_Home, Qt::Key_End, Qt::Key_Down, Qt::Key_Up})
            sequences << QKeySequence(QKeyCombination(k)) << QKeySequence(QKeyCombination(Qt::ControlModifier, k));
        for (QWidget *top : QApplication::topLevelWidgets()) {
            for (QAction *a : top->findChildren<QAction *>())
                sequences << a->shortcuts();
            for (QShortcut *s : top->findChildren<QShortcut *>())
                sequences << s->keys();
            for (QAbstractButton *b : top->findChildren<QAbstractButton *>())
                if (!b->shortcut().isEmpty())
                    sequences << b->shortcut();
        }
        for (const QKeySequence &seq : std::as_const(sequences)) {
            for (int i = 0; i < seq.count(); ++i) {
                QWidget *to = QApplication::focusWidget() ? QApplication::focusWidget() : run.w();
                QTest::keyClick(to, seq[i].key(), seq[i].keyboardModifiers());
            }
        }
        verifyLocked(run, "keys");

        // Every control of the status bar, and the navigation items where they show.
        for (QAbstractButton *b : run.w()->findChild<QWidget *>("bsSkinStatusBar1")->findChildren<QAbstractButton *>())
            if (b->isVisible())
                run.clickAt(b);
        for (QToolButton *b : run.nav()->findChildren<QToolButton *>())
            if (b->isVisible())
                run.clickAt(b);
        verifyLocked(run, "clicks");

        // Double clicks all over the page area, where the grids would be.
        QWidget *area = run.w()->findChild<QWidget *>("pageArea");
        for (int y = 4; y < area->height(); y += 24)
            for (int x = 4; x < area->width(); x += 24)
                QTest::mouseDClick(run.w()->windowHandle(), Qt::LeftButton, {}, area->mapTo(run.w(), QPoint(x, y)));
        verifyLocked(run, "double clicks");

        QCoreApplication::processEvents();
        for (const QString &name : std::as_const(windows.shown))
            QVERIFY2(QStringList({"Thelp", "Thezi", "Tqoravi"}).contains(name), qPrintable(name));
        for (const msg::Shown &box : msg::shown())
            QVERIFY2(box.text == kWrong, qPrintable(box.text));
        QCOMPARE(fingerprint(run.dm()), before);
        QCOMPARE(run.dm().Query_jz_ab->sql(), listSql);
        QCOMPARE(run.dm().Query_jz_ab->rowCount(), listRows);
        for (QWidget *page : run.w()->pages())
            if (page != run.wel())
                QVERIFY2(page->isHidden(), qPrintable(page->objectName()));
    }

    // The lock panel's field and the window's three: bullets, ten characters, no blank.
    void passwordFields_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("pasted");
        QTest::addColumn<QString>("expected");
        for (const char *f : {"Pass_edit", "bsSkinEdit1", "bsSkinEdit4", "bsSkinEdit2"}) {
            const QString name = QString::fromLatin1(f);
            QTest::addRow("%s: typed blanks", f) << name << " a b " << "" << "ab";
            QTest::addRow("%s: ideographic blank", f) << name << "a\u3000b" << "" << "ab";
            QTest::addRow("%s: pasted blanks", f) << name << "x" << "1 2\t3" << "x123";
            QTest::addRow("%s: eleventh character", f) << name << "abcdefghijk" << "" << "abcdefghij";
        }
    }
    void passwordFields()
    {
        QFETCH(QString, field);
        QFETCH(QString, typed);
        QFETCH(QString, pasted);
        QFETCH(QString, expected);
        Run run;
        run.storeSettings("abc", "1", "1");
        QVERIFY(run.start());
        QWidget *window = run.w();
        if (field != "Pass_edit") {
            window = run.program.passwordWindow();
            window->show();
            QVERIFY(QTest::qWaitForWindowExposed(window));
        }
        auto *edit = window->findChild<PasswordField *>(field);
        QVERIFY(edit && edit->isVisible());
        QCOMPARE(edit->echoMode(), QLineEdit::Password);
        QCOMPARE(edit->maxLength(), 10);
        edit->setFocus(Qt::TabFocusReason);
        typeText(edit, typed);
        if (!pasted.isEmpty()) {
            QApplication::clipboard()->setText(pasted);
            QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
        }
        QCOMPARE(edit->text(), expected);
    }

private:
    static QStringList fixtureBids(DataGrid *grid)
    {
        QStringList out;
        for (int r = 0; r < grid->model()->rowCount(); ++r)
            out << grid->model()->index(r, 0).data().toString();
        return out;
    }
};

QTEST_MAIN(TestLock)
#include "tst_lock.moc"
