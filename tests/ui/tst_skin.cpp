#include <QtTest>
#include <QApplication>
#include <QLabel>
#include <QStyle>
#include <QToolButton>

#include "ui/message_box.h"
#include "ui/skin.h"
#include "test_support.h"

class TestSkin : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { testsupport::initApplication(); }
    void everyPictureLoads_data();
    void everyPictureLoads();
    void unknownNameIsNull();
    void styleSheetAppliesStyleClasses();
    void focusIsMarked_data();
    void focusIsMarked();
    void messageBoxTitleHasRoom();
};

void TestSkin::everyPictureLoads_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QSize>("size");

    const struct { const char *name; int w, h; } pictures[] = {
        {"nav_zhangben", 32, 32}, {"nav_shouru", 32, 32}, {"nav_zhichu", 32, 32},
        {"nav_tongji", 32, 32}, {"nav_mima", 32, 32}, {"nav_help", 32, 32},
        {"nav_juanzhu", 32, 32}, {"nav_about", 32, 32},
        {"status_lock", 18, 18}, {"status_kefu", 80, 21}, {"status_sponsor", 125, 21},
        {"status_web", 90, 21}, {"status_health", 125, 21},
        {"book_banner_left", 300, 48}, {"book_banner_middle", 16, 48}, {"book_banner_right", 220, 48},
        {"book_strip_left", 160, 26}, {"book_strip_middle", 16, 26}, {"book_strip_right", 24, 26},
        {"book_totals", 56, 48}, {"search_close", 16, 16},
        {"tool_new_shouru", 20, 20}, {"tool_new_zhichu", 20, 20}, {"tool_mingxi", 20, 20},
        {"tool_edit", 20, 20}, {"tool_delete", 20, 20}, {"tool_search", 20, 20},
        {"tool_refresh", 20, 20}, {"tool_print", 20, 20}, {"tool_help", 20, 20},
        {"tool_new_book", 20, 20},
        {"tag", 16, 16}, {"badge_shouru", 50, 22}, {"badge_zhichu", 50, 22},
        {"summary_title_shouru", 160, 30}, {"summary_title_zhichu", 160, 30},
        {"summary_banner_middle", 16, 30}, {"summary_banner_right", 220, 30},
        {"statistics_background", 300, 298},
        {"welcome_banner", 560, 150}, {"app_icon", 64, 64},
        {"welcome_logo", 160, 56}, {"welcome_callout", 40, 196}, {"welcome_notepad", 300, 300},
        {"quick_background", 309, 150}, {"quick_shouru", 69, 42}, {"quick_zhangben", 69, 42},
        {"quick_zhichu", 69, 42}, {"lock_keys", 60, 60}, {"link_guide", 313, 25}, {"link_contact", 313, 25},
    };
    for (const auto &p : pictures)
        QTest::newRow(p.name) << QString::fromLatin1(p.name) << QSize(p.w, p.h);
}

void TestSkin::everyPictureLoads()
{
    QFETCH(QString, name);
    QFETCH(QSize, size);

    const QPixmap pixmap = Skin::picture(name);
    QVERIFY(!pixmap.isNull());
    QCOMPARE(pixmap.deviceIndependentSize().toSize(), size);

    // Something is actually drawn, not just a valid empty document.
    const QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
    int opaque = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            opaque += qAlpha(image.pixel(x, y)) > 128;
    QVERIFY2(opaque * 10 >= image.width() * image.height(), "picture is almost empty");

    const QIcon icon = Skin::icon(name);
    QVERIFY(!icon.isNull());
    QVERIFY(!icon.pixmap(size).isNull());
}

void TestSkin::unknownNameIsNull()
{
    QVERIFY(Skin::picture(QStringLiteral("no_such_picture")).isNull());
    QVERIFY(Skin::icon(QStringLiteral("no_such_picture")).isNull());
}

void TestSkin::styleSheetAppliesStyleClasses()
{
    QVERIFY(!Skin::styleSheet().trimmed().isEmpty());
    // A broken rule would make Qt drop the whole sheet with this warning.
    QTest::failOnWarning(QRegularExpression(QStringLiteral("stylesheet|style sheet"),
                                            QRegularExpression::CaseInsensitiveOption));
    Skin::apply(*qApp);
    QCOMPARE(qApp->styleSheet(), Skin::styleSheet());
    QVERIFY(qApp->font().families().contains(QStringLiteral("Noto Sans CJK SC")));

    QWidget window;
    auto *link = new QLabel(QStringLiteral("[切换]"), &window);
    link->setProperty("skin", "link");
    auto *nav = new QToolButton(&window);
    nav->setProperty("skin", "navItem");
    auto *tool = new QToolButton(&window);
    tool->setProperty("skin", "tool");
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    QCOMPARE(link->palette().color(QPalette::WindowText), QColor(QStringLiteral("#1A5FC8")));
    QCOMPARE(nav->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
    QCOMPARE(nav->iconSize(), QSize(32, 32));
    QCOMPARE(tool->toolButtonStyle(), Qt::ToolButtonTextBesideIcon);
    QCOMPARE(tool->iconSize(), QSize(20, 20));
}

void TestSkin::focusIsMarked_data()
{
    QTest::addColumn<QString>("skin");
    QTest::addColumn<bool>("autoRaise");
    QTest::newRow("navigation item") << "navItem" << false;
    QTest::newRow("navigation section") << "navSection" << false;
    QTest::newRow("tool bar button") << "tool" << true;
    QTest::newRow("status bar button") << "flat" << true;
    QTest::newRow("plain tool button") << "" << false;
}

// A button with the focus looks different from the same button without it: Tab shows
// where Space will act.
void TestSkin::focusIsMarked()
{
    QFETCH(QString, skin);
    QFETCH(bool, autoRaise);
    Skin::apply(*qApp);
    QWidget window;
    auto *button = new QToolButton(&window);
    if (!skin.isEmpty())
        button->setProperty("skin", skin);
    button->setAutoRaise(autoRaise);
    button->setText(QStringLiteral("账本"));
    button->setIcon(Skin::icon(QStringLiteral("nav_zhangben")));
    button->setGeometry(4, 4, 80, 60);
    auto *other = new QToolButton(&window);
    other->setGeometry(4, 70, 80, 20);
    window.resize(100, 100);
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));

    other->setFocus(Qt::TabFocusReason);
    const QImage without = button->grab().toImage();
    button->setFocus(Qt::TabFocusReason);
    QVERIFY(button->hasFocus());
    const QImage with = button->grab().toImage();
    QVERIFY(with != without);
}

// A short message leaves the title bar room for the whole title and the window's buttons.
void TestSkin::messageBoxTitleHasRoom()
{
    Skin::apply(*qApp);
    QMessageBox box(QMessageBox::Information, QStringLiteral("Tallyrue"), QStringLiteral("账本名不能是空的"),
                    QMessageBox::Ok);
    msg::fitTitle(box);
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    QFont titleFont = box.font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.25);
    QVERIFY2(box.width() >= QFontMetrics(titleFont).horizontalAdvance(box.windowTitle()) + 150,
             qPrintable(QString::number(box.width())));
    box.close();
}

QTEST_MAIN(TestSkin)
#include "tst_skin.moc"
