#pragma once
// The whole program on a data folder of its own, as a user meets it, plus the helpers the
// whole-program tests share: the settings row, entries, scripts run inside modal windows
// and a fingerprint of every table.
#include <QtTest>
#include <QApplication>
#include <QDialog>
#include <QGroupBox>
#include <QTimer>
#include <QToolButton>
#include <functional>

#include "test_support.h"
#include "app/main_window.h"
#include "app/nav_bar.h"
#include "app/program.h"
#include "app/welcome_page.h"
#include "books/account_book_page.h"
#include "data/data_module.h"
#include "data/query.h"
#include "ui/password_field.h"

namespace programfixture {

struct Run {
    testsupport::DataFolder folder;
    Program program{folder.path()};

    TDataModule2 &dm() { return *program.data(); }
    Tmain *w() { return program.mainWindow(); }
    TFr_wel *wel() { return w()->welcomePage(); }
    TFr_zhangben *book() { return w()->accountBookPage(); }
    NavBar *nav() { return w()->navigationBar(); }
    PasswordField *passEdit() { return wel()->findChild<PasswordField *>("Pass_edit"); }

    // The settings row as a start would read it from the file.
    void storeSettings(const QString &password, const QString &lock, const QString &set)
    {
        dm().conn_jz_u.exec("update jz_ub set ub1=:a, ub2=:b, ub4=:d where ub3='8'",
                            {{":a", password}, {":b", lock}, {":d", set}});
        dm().Query_jz_ub->reopen();
    }
    QStringList storedSettings()
    {
        Query q(&dm().conn_jz_u, "probe");
        q.setSql("select ub1, ub2, ub4 from jz_ub where ub3 = '8'");
        q.open();
        return {q.value(0, 0), q.value(0, 1), q.value(0, 2)};
    }
    void addBook(int aid, const QString &name, bool current)
    {
        if (current)
            dm().conn_jz_m.exec("update jz_aa set a6 = '0'");
        dm().conn_jz_m.exec("insert into jz_aa (aid,a1,a2,a3,a6) values (:a,:b,'2026-1-1','',:d)",
                            {{":a", QString::number(aid)}, {":b", name}, {":d", current ? "1" : "0"}});
    }
    int addEntry(const QString &kind, const QString &summary, const QString &book = QStringLiteral("1"))
    {
        const bool income = kind == QStringLiteral("收入");
        dm().conn_jz_m.exec(
            income ? "insert into jz_ab (b1,b2,b3,b4,b5,b6,b7,b14) values (:a,'2026-12- 1',:c,'单位','1.00','1.00','0.00',:h)"
                   : "insert into jz_ab (b1,b2,b3,b4,b8,b9,b10,b14) values (:a,'2026-12- 1',:c,'单位','1.00','1.00','0.00',:h)",
            {{":a", kind}, {":c", summary}, {":h", book}});
        return int(dm().conn_jz_m.lastInsertId());
    }

    // Shows the main window and waits for its show sequence and for the keyboard.
    bool start()
    {
        program.show();
        if (!QTest::qWaitForWindowExposed(w()))
            return false;
        if (!QTest::qWaitFor([this] { return w()->showSequenceDone(); }))
            return false;
        w()->activateWindow();
        return QTest::qWaitForWindowActive(w());
    }

    QStringList visiblePages()
    {
        QStringList out;
        for (QWidget *p : w()->pages())
            if (p->isVisible())
                out << p->objectName();
        return out;
    }
    bool locked()
    {
        return wel()->lockPanel()->isVisible() && !wel()->quickEntryPanel()->isVisible() && !nav()->isEnabled();
    }
    // Clicks a control of the main window where it shows, as the mouse does.
    void clickAt(QWidget *control, Qt::MouseButton button = Qt::LeftButton)
    {
        QTest::mouseClick(w()->windowHandle(), button, {}, control->mapTo(w(), control->rect().center()));
    }
    // Opens a section of the navigation bar by its header and lets the bar lay it out.
    void openSection(int section)
    {
        clickAt(nav()->header(section));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    }
    void unlock(const QString &password)
    {
        passEdit()->setFocus(Qt::OtherFocusReason);
        QTest::keyClicks(passEdit(), password);
        QTest::keyClick(passEdit(), Qt::Key_Return);
    }
    // The lock button of the status bar (the page has no control of that name).
    QWidget *statusControl(const char *name)
    {
        return w()->findChild<QWidget *>("bsSkinStatusBar1")->findChild<QWidget *>(name);
    }
};

// Types text key by key; characters beyond ASCII come as an input method delivers them.
inline void typeText(QWidget *field, const QString &text)
{
    for (const QChar c : text) {
        if (c.unicode() < 0x80)
            QTest::keyClick(field, c.toLatin1());
        else
            QTest::sendKeyEvent(QTest::Click, field, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

// Runs a script once a window has come up (inside its modal loop when it was exec'd).
class OnShow : public QObject
{
public:
    OnShow(QWidget *window, std::function<void()> script) : QObject(window), m_script(std::move(script))
    {
        window->installEventFilter(this);
    }
    bool ran() const { return m_ran; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show && !m_ran) {
            m_ran = true;
            watched->removeEventFilter(this);
            QTimer::singleShot(0, this, [this] { m_script(); });
        }
        return false;
    }

private:
    std::function<void()> m_script;
    bool m_ran = false;
};

// Every row of every table of the three files, as text: equal fingerprints, equal data.
inline QString fingerprint(TDataModule2 &dm)
{
    const struct { Connection *conn; const char *table, *key; } tables[] = {
        {&dm.conn_jz_m, "jz_aa", "aid"}, {&dm.conn_jz_m, "jz_ab", "bid"}, {&dm.conn_jz_f, "a1", "zid"},
        {&dm.conn_jz_f, "a2", "zid"},    {&dm.conn_jz_u, "jz_ua", "uaid"}, {&dm.conn_jz_u, "jz_ub", "ubid"}};
    QString out;
    for (const auto &t : tables) {
        Query q(t.conn, "fingerprint");
        q.setSql(QStringLiteral("select * from %1 order by %2").arg(QLatin1String(t.table), QLatin1String(t.key)));
        q.open();
        out += QLatin1String(t.table) + QLatin1Char(':');
        for (int r = 0; r < q.rowCount(); ++r) {
            for (int c = 0; c < q.columnCount(); ++c)
                out += (q.isNull(r, c) ? QStringLiteral("<null>") : q.value(r, c)) + QLatin1Char('|');
            out += QLatin1Char('\n');
        }
    }
    return out;
}

} // namespace programfixture
