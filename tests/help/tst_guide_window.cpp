#include <QtTest>
#include <QAbstractButton>
#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QToolButton>
#include "test_support.h"
#include "data/data_folder.h"
#include "help/guide_window.h"
#include "ui/skin.h"

namespace {

// A settings file in a form the program itself never writes (comment, blanks, CRLF), so a
// rewrite shows in its bytes.
QByteArray handWritten(const QByteArray &value)
{
    return "; written by hand\r\n[pro_set]\r\nrun = " + value + "\r\n";
}

const QByteArray kAbsent = "<absent>";

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return kAbsent;
    return f.readAll();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile::remove(path);
    if (bytes == kAbsent)
        return;
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QString runValue(const QString &path)
{
    return DataFolder::iniValue(path, QStringLiteral("pro_set"), QStringLiteral("run"));
}

// The pages' own buttons and boxes a user can see and click on the visible page.
QStringList clickableOnVisiblePage(Thelp &guide)
{
    QStringList out;
    for (QAbstractButton *b : guide.findChildren<QAbstractButton *>())
        if (b->isVisible())
            out << b->objectName();
    out.sort();
    return out;
}

void clickNext(Thelp &guide, const QString &name)
{
    auto *b = guide.findChild<QToolButton *>(name);
    QVERIFY2(b && b->isVisible(), qPrintable(name));
    QTest::mouseClick(b, Qt::LeftButton);
}

} // namespace

class TestGuideWindow : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { testsupport::initApplication(); }

    void settingReadOnEveryShow_data()
    {
        QTest::addColumn<bool>("boxBefore");
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<bool>("boxAfter");
        QTest::addColumn<QString>("valueAfter");
        QTest::addColumn<bool>("rewritten");

        QTest::newRow("no file, box as created") << true << kAbsent << true << QString() << false;
        QTest::newRow("no file, box cleared") << false << kAbsent << false << QString() << false;
        QTest::newRow("1 ticks a cleared box") << false << handWritten("1") << true << "1" << true;
        QTest::newRow("1 over a ticked box") << true << handWritten("1") << true << "1" << true;
        QTest::newRow("0 clears a ticked box") << true << handWritten("0") << false << "0" << true;
        QTest::newRow("0 over a cleared box") << false << handWritten("0") << false << "0" << true;
        QTest::newRow("other value, ticked") << true << handWritten("yes") << true << "yes" << false;
        QTest::newRow("other value, cleared") << false << handWritten("10") << false << "10" << false;
        QTest::newRow("empty value") << false << handWritten("") << false << QString() << false;
        QTest::newRow("key missing") << true << QByteArray("[pro_set]\r\nother = 0\r\n") << true << QString()
                                     << false;
        QTest::newRow("other section") << false << QByteArray("[set]\r\nrun = 1\r\n") << false << QString()
                                       << false;
    }

    void settingReadOnEveryShow()
    {
        QFETCH(bool, boxBefore);
        QFETCH(QByteArray, file);
        QFETCH(bool, boxAfter);
        QFETCH(QString, valueAfter);
        QFETCH(bool, rewritten);

        testsupport::DataFolder folder;
        const QString ini = folder.file(QStringLiteral("iset.ini"));
        Thelp guide;
        QVERIFY(guide.startupBox()->isChecked());   // as created
        if (!boxBefore) {
            // The user cleared the box the last time the guide was open.
            guide.show();
            QTest::mouseClick(guide.startupBox(), Qt::LeftButton);
            guide.close();
            QVERIFY(!guide.startupBox()->isChecked());
        }
        writeFile(ini, file);

        guide.show();
        QCOMPARE(guide.startupBox()->isChecked(), boxAfter);
        QCOMPARE(runValue(ini), valueAfter);
        QCOMPARE(fileBytes(ini) != file, rewritten);

        // Closing writes nothing.
        const QByteArray open = fileBytes(ini);
        guide.close();
        QCOMPARE(fileBytes(ini), open);
    }

    void clickingTheBoxWritesAtOnce()
    {
        testsupport::DataFolder folder;
        const QString ini = folder.file(QStringLiteral("iset.ini"));
        Thelp guide;
        guide.show();
        QCheckBox *box = guide.startupBox();
        QVERIFY(box->isChecked());
        QVERIFY(!QFile::exists(ini));

        QTest::mouseClick(box, Qt::LeftButton);
        QCOMPARE(runValue(ini), QStringLiteral("0"));
        QTest::mouseClick(box, Qt::LeftButton);
        QCOMPARE(runValue(ini), QStringLiteral("1"));
        box->setFocus();
        QTest::keyClick(box, Qt::Key_Space);
        QCOMPARE(runValue(ini), QStringLiteral("0"));
        QVERIFY(!box->isChecked());
        guide.close();

        // The next opening reads what was written.
        guide.show();
        QVERIFY(!box->isChecked());
    }

    void pagesOnlyGoForward()
    {
        testsupport::DataFolder folder;
        Thelp guide;
        guide.show();
        QVERIFY(QTest::qWaitForWindowExposed(&guide));

        const QStringList buttons{QStringLiteral("bsSkinLinkImage7"), QStringLiteral("bsSkinLinkImage8"),
                                  QStringLiteral("bsSkinLinkImage9"), QStringLiteral("bsSkinLinkImage10"),
                                  QStringLiteral("bsSkinLinkImage6")};
        for (int n = 1; n <= 5; ++n) {
            QCOMPARE(guide.visiblePage(), n);
            for (int other = 1; other <= 5; ++other)
                QCOMPARE(guide.page(other)->isVisible(), other == n);
            // Each page shows its picture and nothing to click but its own button.
            auto *picture = guide.page(n)->findChild<QLabel *>();
            QVERIFY(picture && !picture->pixmap().isNull());
            QStringList expected{buttons[n - 1]};
            if (n == 1)
                expected << QStringLiteral("bsSkinCheckRadioBox1");
            expected.sort();
            QCOMPARE(clickableOnVisiblePage(guide), expected);
            clickNext(guide, buttons[n - 1]);
        }
        // The last page's button closes the window.
        QVERIFY(!guide.isVisible());
    }

    void reopensOnPageOne_data()
    {
        QTest::addColumn<int>("leftOn");
        QTest::newRow("page 3") << 3;
        QTest::newRow("page 5") << 5;
    }

    void reopensOnPageOne()
    {
        QFETCH(int, leftOn);
        testsupport::DataFolder folder;
        Thelp guide;
        guide.show();
        const QStringList buttons{QStringLiteral("bsSkinLinkImage7"), QStringLiteral("bsSkinLinkImage8"),
                                  QStringLiteral("bsSkinLinkImage9"), QStringLiteral("bsSkinLinkImage10")};
        for (int n = 1; n < leftOn; ++n)
            clickNext(guide, buttons[n - 1]);
        QCOMPARE(guide.visiblePage(), leftOn);
        guide.close();   // the title bar's close button

        guide.show();
        QCOMPARE(guide.visiblePage(), 1);
        QVERIFY(guide.startupBox()->isVisible());
    }

    // The pages show the program as it is: the customer-service button of their screenshots
    // carries the maker's brand, as the status bar's own button does.
    void pagesShowTheStatusBarsBrand()
    {
        Skin::picture(QStringLiteral("status_kefu"));   // the resources are there
        auto read = [](const QString &name) {
            QFile f(QStringLiteral(":/pictures/%1.svg").arg(name));
            return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
        };
        static const QRegularExpression brand(QStringLiteral("<tspan font-weight=\"bold\">(\\w+)</tspan>客服"));
        const QRegularExpressionMatch button = brand.match(read(QStringLiteral("status_kefu")));
        QVERIFY(button.hasMatch());
        const QString maker = button.captured(1);
        for (const char *page : {"guide_page1", "guide_page2", "guide_page5"}) {
            const QString svg = read(QString::fromLatin1(page));
            QVERIFY2(!svg.isEmpty(), page);
            const QRegularExpressionMatch m = brand.match(svg);
            QVERIFY2(m.hasMatch(), page);
            QCOMPARE(m.captured(1), maker);
            QVERIFY(!svg.contains(QStringLiteral("Tallyrue客服")));
        }
    }
};

QTEST_MAIN(TestGuideWindow)
#include "tst_guide_window.moc"
