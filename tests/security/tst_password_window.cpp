#include <QtTest>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

#include "test_support.h"
#include "data/data_module.h"
#include "data/lock_password.h"
#include "data/query.h"
#include "security/password_window.h"
#include "ui/message_box.h"
#include "ui/password_field.h"

namespace {

// The settings row as stored: ub1, ub2, ub4, ub5.
using Row = QStringList;

struct Env {
    testsupport::DataFolder folder;
    TDataModule2 dm{folder.path()};
    Tset_mima w{&dm};

    explicit Env(const Row &row = {"", "0", "0"}) { store(row); }

    void store(const Row &row)
    {
        dm.conn_jz_u.exec("update jz_ub set ub1=:a, ub2=:b, ub4=:d where ub3='8'",
                          {{":a", row[0]}, {":b", row[1]}, {":d", row[2]}});
    }
    Row stored()
    {
        Query q(&dm.conn_jz_u, "probe");
        q.setSql("select ub1, ub2, ub4, ub5 from jz_ub where ub3 = '8'");
        q.open();
        return {q.value(0, 0), q.value(0, 1), q.value(0, 2), q.value(0, 3)};
    }
    bool open()
    {
        msg::clearShown();
        w.show();
        w.activateWindow();
        return QTest::qWaitForWindowActive(&w);
    }

    bool msgFree() const { return msg::shown().isEmpty(); }
    QCheckBox *box() { return w.findChild<QCheckBox *>("bsSkinCheckRadioBox1"); }
    QGroupBox *group() { return w.findChild<QGroupBox *>("bsSkinGroupBox1"); }
    QWidget *widget(const char *name) { return w.findChild<QWidget *>(name); }
    PasswordField *field(const char *name) { return w.findChild<PasswordField *>(name); }
    QPushButton *button(const char *name) { return w.findChild<QPushButton *>(name); }
    PasswordField *oldField() { return field("bsSkinEdit1"); }
    PasswordField *newField() { return field("bsSkinEdit4"); }
    PasswordField *repeatField() { return field("bsSkinEdit2"); }
    QPushButton *visibleConfirm()
    {
        QPushButton *first = button("bsSkinButton1");
        return first->isVisible() ? first : button("bsSkinButton3");
    }
    // Sets the box as a user does, by clicking it when it shows the other state.
    void tick(bool on)
    {
        if (box()->isChecked() != on)
            QTest::mouseClick(box(), Qt::LeftButton, {}, QPoint(8, box()->height() / 2));
        QCOMPARE(box()->isChecked(), on);
    }
    void type(PasswordField *f, const QString &text)
    {
        if (text.isEmpty())
            return;
        QVERIFY(f->isVisible());
        f->setFocus(Qt::TabFocusReason);
        QTest::keyClicks(f, text);
    }
};

const QString kSet = QStringLiteral("密码已经设置");
const QString kOff = QStringLiteral("已经关闭了软件登录密码");

} // namespace

class TestPasswordWindow : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { testsupport::initApplication(); }

    void window()
    {
        Env env;
        QVERIFY(env.open());
        QCOMPARE(env.w.windowTitle(), QString("设置软件密码"));
        QCOMPARE(env.w.size(), QSize(345, 234));
        QCOMPARE(env.box()->text(), QString("启用登陆及锁定密码"));
        QCOMPARE(env.group()->title(), QString("设置密码"));
        QCOMPARE(env.button("bsSkinButton1")->text(), QString("确  定"));
        QCOMPARE(env.button("bsSkinButton3")->text(), QString("确  定"));
        QCOMPARE(env.button("bsSkinButton2")->text(), QString("取  消"));
        const QStringList captions = {"请先输入旧密码:", "请输入密码:", "再输入一遍:"};
        QStringList shown;
        for (QLabel *l : env.group()->findChildren<QLabel *>())
            shown << l->text();
        for (const QString &c : captions)
            QVERIFY2(shown.contains(c), qPrintable(c));
        for (const char *name : {"bsSkinEdit1", "bsSkinEdit4", "bsSkinEdit2"})
            QVERIFY2(env.field(name), name);
        for (const char *name : {"bsSkinDBText1", "bsSkinDBText2", "bsSkinDBText3"}) {
            auto *label = env.w.findChild<QLabel *>(name);
            QVERIFY2(label && label->isHidden(), name);
        }
        const QWidget *oldPanel = env.widget("bsSkinPanel2");
        QVERIFY(oldPanel->isAncestorOf(env.oldField()));
        QVERIFY(env.widget("bsSkinPanel1")->isAncestorOf(env.newField()));
        QVERIFY(env.widget("bsSkinPanel1")->isAncestorOf(env.repeatField()));
    }

    // The row read at opening chooses the box and the layout; other values leave both.
    void opensInTheLayoutOfTheRow_data()
    {
        QTest::addColumn<Row>("before");   // the row of an earlier opening
        QTest::addColumn<Row>("row");
        QTest::addColumn<bool>("ticked");
        QTest::addColumn<bool>("changeLayout");
        QTest::newRow("never set") << Row{"", "1", "1"} << Row{"", "0", "0"} << false << false;
        QTest::newRow("on") << Row{"", "0", "0"} << Row{"abc", "1", "1"} << true << true;
        QTest::newRow("off after use") << Row{"abc", "1", "1"} << Row{"abc", "0", "0"} << false << false;
        QTest::newRow("other values after on") << Row{"abc", "1", "1"} << Row{"abc", "x", ""} << true << true;
        QTest::newRow("other values after off") << Row{"abc", "0", "0"} << Row{"abc", "", "2"} << false << false;
    }
    void opensInTheLayoutOfTheRow()
    {
        QFETCH(Row, before);
        QFETCH(Row, row);
        QFETCH(bool, ticked);
        QFETCH(bool, changeLayout);
        Env env(before);
        QVERIFY(env.open());
        env.w.reject();
        env.store(row);   // behind the window's back: the opening must read it afresh
        QVERIFY(env.open());
        QCOMPARE(env.box()->isChecked(), ticked);
        QCOMPARE(env.group()->isVisible(), ticked);
        QCOMPARE(!env.widget("bsSkinPanel2")->isHidden(), changeLayout);
        QVERIFY(!env.widget("bsSkinPanel1")->isHidden());
        QCOMPARE(env.button("bsSkinButton3")->isVisible(), changeLayout);
        QCOMPARE(env.button("bsSkinButton1")->isVisible(), !changeLayout);
        QVERIFY(env.visibleConfirm()->isDefault());
        QVERIFY(env.msgFree());
    }

    // The new-password panel moves up into the old one's place when that one is hidden.
    void panelsStackFromTheTop()
    {
        Env env({"abc", "1", "1"});
        QVERIFY(env.open());
        const int oldTop = env.widget("bsSkinPanel2")->y();
        QVERIFY(env.widget("bsSkinPanel1")->y() > oldTop);
        env.w.reject();
        env.store({"abc", "0", "0"});
        QVERIFY(env.open());
        env.tick(true);
        QCOMPARE(env.widget("bsSkinPanel1")->y(), oldTop);
    }

    // Every opening empties the fields; the box shows and hides them, keeping their text.
    void fieldsAndBox()
    {
        Env env({"abc", "1", "1"});
        QVERIFY(env.open());
        env.type(env.oldField(), "o");
        env.type(env.newField(), "n");
        env.type(env.repeatField(), "r");
        env.tick(false);
        QVERIFY(!env.group()->isVisible());
        env.tick(true);
        QVERIFY(env.group()->isVisible());
        QCOMPARE(env.oldField()->text() + env.newField()->text() + env.repeatField()->text(), QString("onr"));
        QTest::mouseClick(env.button("bsSkinButton2"), Qt::LeftButton);
        QVERIFY(!env.w.isVisible());
        QVERIFY(env.open());
        QCOMPARE(env.oldField()->text() + env.newField()->text() + env.repeatField()->text(), QString());
    }

    // Each confirmation through the real controls: its message, what the row holds after
    // it, and whether the window closed. Refusals keep every field's text.
    void confirm_data()
    {
        QTest::addColumn<Row>("row");
        QTest::addColumn<bool>("tick");
        QTest::addColumn<QString>("oldPassword");
        QTest::addColumn<QString>("newPassword");
        QTest::addColumn<QString>("repetition");
        QTest::addColumn<bool>("byEnter");
        QTest::addColumn<QString>("message");
        QTest::addColumn<Row>("after");

        const Row never{"", "0", "0", "0"};
        const Row on{"abc", "1", "1", "0"};
        const Row off{"abc", "0", "0", "0"};
        QTest::newRow("first password") << never << true << "" << "pw1" << "pw1" << false << kSet
                                        << Row{"pw1", "1", "1", "0"};
        QTest::newRow("first password by Enter") << never << true << "" << "pw1" << "pw1" << true << kSet
                                                 << Row{"pw1", "1", "1", "0"};
        QTest::newRow("new password empty") << never << true << "" << "" << "pw1" << false
                                            << "请填写密码" << never;
        QTest::newRow("both empty: the new one first") << never << true << "" << "" << "" << false
                                                       << "请填写密码" << never;
        QTest::newRow("repetition empty") << never << true << "" << "pw1" << "" << false
                                          << "请再次输入密码" << never;
        QTest::newRow("mismatched repetition") << never << true << "" << "pw1" << "pw2" << false
                                               << "您两次输入的密码不正确" << never;
        QTest::newRow("repetition in other letter case") << never << true << "" << "Pw1" << "pw1" << true
                                                         << "您两次输入的密码不正确" << never;
        QTest::newRow("box left unticked") << never << false << "" << "" << "" << false << kOff << never;
        QTest::newRow("off after use: new password replaces the old")
            << off << true << "" << "neu" << "neu" << false << kSet << Row{"neu", "1", "1", "0"};
        QTest::newRow("off after use: switching off keeps it") << off << false << "" << "" << "" << false
                                                               << kOff << off;
        QTest::newRow("change") << on << true << "abc" << "xyz" << "xyz" << false << kSet
                                << Row{"xyz", "1", "1", "0"};
        QTest::newRow("change by Enter") << on << true << "abc" << "xyz" << "xyz" << true << kSet
                                         << Row{"xyz", "1", "1", "0"};
        QTest::newRow("change with a wrong old password") << on << true << "abd" << "xyz" << "xyz" << false
                                                          << "旧密码输入错误，请您重试。" << on;
        QTest::newRow("old password in other letter case") << on << true << "ABC" << "xyz" << "xyz" << true
                                                           << "旧密码输入错误，请您重试。" << on;
        QTest::newRow("wrong old password comes before an empty new one")
            << on << true << "ab" << "" << "" << false << "旧密码输入错误，请您重试。" << on;
        QTest::newRow("change with a mismatched repetition") << on << true << "abc" << "xyz" << "xy" << false
                                                             << "您两次输入的密码不正确" << on;
        QTest::newRow("switching off without the old password") << on << false << "" << "" << "" << false
                                                                << kOff << off;
        QTest::newRow("switching off by Enter") << on << false << "" << "" << "" << true << kOff << off;
    }
    void confirm()
    {
        QFETCH(Row, row);
        QFETCH(bool, tick);
        QFETCH(QString, oldPassword);
        QFETCH(QString, newPassword);
        QFETCH(QString, repetition);
        QFETCH(bool, byEnter);
        QFETCH(QString, message);
        QFETCH(Row, after);
        Env env(row);
        QVERIFY(env.open());
        env.tick(tick);
        env.type(env.oldField(), oldPassword);
        env.type(env.newField(), newPassword);
        env.type(env.repeatField(), repetition);
        if (byEnter) {
            QWidget *from = tick ? static_cast<QWidget *>(env.repeatField()) : env.box();
            from->setFocus(Qt::TabFocusReason);
            QTest::keyClick(from, Qt::Key_Return);
        } else {
            QTest::mouseClick(env.visibleConfirm(), Qt::LeftButton);
        }
        QCOMPARE(msg::shown().size(), 1);
        QCOMPARE(msg::lastShown().text, message);
        QCOMPARE(msg::lastShown().kind, msg::Kind::Information);
        // A password is stored only as its hash; a plain one made before is replaced by its
        // hash once the old password proved right.
        const Row now = env.stored();
        QCOMPARE(now.mid(1), after.mid(1));
        QVERIFY2(now[0] == after[0] || (LockPassword::isHash(now[0]) && LockPassword::matches(after[0], now[0])),
                 qPrintable(now[0]));
        if (message == kSet || (tick && oldPassword == "abc"))
            QVERIFY2(LockPassword::isHash(now[0]), qPrintable(now[0]));
        QCOMPARE(env.w.findChild<QLabel *>("bsSkinDBText3")->text(), now[0]);
        const bool done = message == kSet || message == kOff;
        QCOMPARE(env.w.isVisible(), !done);
        if (!done) {
            QCOMPARE(env.oldField()->text(), oldPassword);
            QCOMPARE(env.newField()->text(), newPassword);
            QCOMPARE(env.repeatField()->text(), repetition);
        }
        // Whatever happened, the data module holds the row as stored.
        QCOMPARE(env.dm.Query_jz_ub->value(0, "ub2"), after[1]);
    }

    // However the window closes, nothing is stored and the row is read again.
    void closing_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("取  消") << "cancel";
        QTest::newRow("Escape") << "escape";
        QTest::newRow("close button") << "close";
    }
    void closing()
    {
        QFETCH(QString, how);
        Env env({"abc", "1", "1"});
        QVERIFY(env.open());
        env.type(env.newField(), "zzz");
        env.tick(false);
        env.store({"abc", "0", "1"});   // a change behind the window, to see the reload
        if (how == "cancel")
            QTest::mouseClick(env.button("bsSkinButton2"), Qt::LeftButton);
        else if (how == "escape")
            QTest::keyClick(&env.w, Qt::Key_Escape);
        else
            env.w.close();
        QVERIFY(!env.w.isVisible());
        QCOMPARE(env.stored(), (Row{"abc", "0", "1", "0"}));
        QCOMPARE(env.dm.Query_jz_ub->value(0, "ub2"), QString("0"));
        QVERIFY(env.msgFree());
    }

    // A failing statement shows the error box and leaves the window open.
    void failingStatementKeepsTheWindowOpen()
    {
        Env env;
        QVERIFY(env.open());
        env.tick(true);
        env.type(env.newField(), "pw");
        env.type(env.repeatField(), "pw");
        env.dm.conn_jz_u.exec("create trigger refuse before update on jz_ub begin select raise(abort, 'locked'); end");
        QTest::mouseClick(env.visibleConfirm(), Qt::LeftButton);
        QCOMPARE(msg::lastShown().kind, msg::Kind::Error);
        QVERIFY(env.w.isVisible());
        QCOMPARE(env.stored(), (Row{"", "0", "0", "0"}));
    }
};

QTEST_MAIN(TestPasswordWindow)
#include "tst_password_window.moc"
