#include "help/guide_window.h"

#include <QDir>

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QShowEvent>
#include <QToolButton>
#include "data/data_folder.h"
#include "ui/centre_on_screen.h"
#include "ui/guard.h"
#include "ui/message_box.h"
#include "ui/skin.h"

namespace {
const int kClientWidth = 641;
const int kClientHeight = 403;
const QSize kPictureSize(642, 400);
const QString kSection = QStringLiteral("pro_set");
const QString kKey = QStringLiteral("run");
} // namespace

Thelp::Thelp(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Thelp"));
    setWindowTitle(QStringLiteral("使用指南"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                   | Qt::WindowCloseButtonHint);
    setFixedSize(kClientWidth, kClientHeight);

    // Five panels stacked over the whole client area, each with its picture on top.
    for (int n = 1; n <= 5; ++n) {
        auto *page = new QFrame(this);
        page->setObjectName(QStringLiteral("p%1").arg(n));
        page->setGeometry(0, 0, kClientWidth, kClientHeight);
        auto *picture = new QLabel(page);
        picture->setObjectName(QStringLiteral("guidePicture%1").arg(n));
        picture->setGeometry(QRect(QPoint(0, 0), kPictureSize));
        m_pages << page;
    }

    const QString next = QStringLiteral("下一页");
    QToolButton *b7 = pageButton(m_pages[0], QStringLiteral("bsSkinLinkImage7"), QStringLiteral("guide_next"),
                                 next, QRect(144, 256, 100, 30));
    QToolButton *b8 = pageButton(m_pages[1], QStringLiteral("bsSkinLinkImage8"), QStringLiteral("guide_next"),
                                 next, QRect(488, 336, 100, 30));
    QToolButton *b9 = pageButton(m_pages[2], QStringLiteral("bsSkinLinkImage9"), QStringLiteral("guide_next"),
                                 next, QRect(488, 336, 100, 30));
    QToolButton *b10 = pageButton(m_pages[3], QStringLiteral("bsSkinLinkImage10"), QStringLiteral("guide_next"),
                                  next, QRect(488, 336, 100, 30));
    QToolButton *b6 = pageButton(m_pages[4], QStringLiteral("bsSkinLinkImage6"), QStringLiteral("guide_close"),
                                 QStringLiteral("关闭使用指南"), QRect(48, 168, 194, 44));
    connect(b7, &QToolButton::clicked, this, &Thelp::bsSkinLinkImage7Click);
    connect(b8, &QToolButton::clicked, this, &Thelp::bsSkinLinkImage8Click);
    connect(b9, &QToolButton::clicked, this, &Thelp::bsSkinLinkImage9Click);
    connect(b10, &QToolButton::clicked, this, &Thelp::bsSkinLinkImage10Click);
    connect(b6, &QToolButton::clicked, this, &Thelp::bsSkinLinkImage6Click);

    m_startup = new QCheckBox(QStringLiteral("启动时弹出使用指南"), m_pages[0]);
    m_startup->setObjectName(QStringLiteral("bsSkinCheckRadioBox1"));
    m_startup->setGeometry(45, 328, 150, 25);
    m_startup->setChecked(true);
    // clicked() comes from the user only (mouse or space), after the state has changed.
    connect(m_startup, &QCheckBox::clicked, this, &Thelp::bsSkinCheckRadioBox1Click);

    // Page 1 in front; its picture waits for the first showing.
    for (int i = 1; i < m_pages.size(); ++i)
        m_pages[i]->hide();
}

QToolButton *Thelp::pageButton(QFrame *page, const QString &name, const QString &picture,
                               const QString &tip, const QRect &geometry)
{
    auto *b = new QToolButton(page);
    b->setObjectName(name);
    b->setProperty("skin", QStringLiteral("flat"));
    b->setToolButtonStyle(Qt::ToolButtonIconOnly);
    b->setIcon(Skin::icon(picture));
    b->setIconSize(geometry.size());
    b->setToolTip(tip);
    b->setAccessibleName(tip);
    b->setCursor(Qt::PointingHandCursor);
    b->setAutoRaise(true);
    b->setGeometry(geometry);
    return b;
}

QString Thelp::settingsFile() { return DataFolder::file(QStringLiteral("iset.ini")); }

void Thelp::showGuidePage(int n)
{
    for (int i = 0; i < m_pages.size(); ++i)
        if (i != n - 1)
            m_pages[i]->hide();
    if (QFrame *p = page(n)) {
        // Pictures are drawn when their page is first seen, not at start.
        auto *picture = p->findChild<QLabel *>();
        if (picture && picture->pixmap().isNull())
            picture->setPixmap(Skin::picture(QStringLiteral("guide_page%1").arg(n)));
        p->show();
        // The page's own button takes the keyboard, so space leafs on.
        if (auto *b = p->findChild<QToolButton *>())
            b->setFocus(Qt::OtherFocusReason);
    }
}

int Thelp::visiblePage() const
{
    for (int i = 0; i < m_pages.size(); ++i)
        if (!m_pages[i]->isHidden())
            return i + 1;
    return 0;
}

void Thelp::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    ui::centreOnScreen(this);
    ui::guard(this, [this] { FormShow(); });
}

void Thelp::FormShow()
{
    const QString value = DataFolder::iniValue(settingsFile(), kSection, kKey);
    // Setting the box here counts as a change of it: the value just read is written back.
    // Any other value leaves the box as it was and the file untouched.
    if (value == QLatin1String("1") || value == QLatin1String("0")) {
        m_startup->setChecked(value == QLatin1String("1"));
        bsSkinCheckRadioBox1Click();
    }
    showGuidePage(1);
}

void Thelp::bsSkinLinkImage7Click() { ui::guard(this, [this] { showGuidePage(2); }); }
void Thelp::bsSkinLinkImage8Click() { ui::guard(this, [this] { showGuidePage(3); }); }
void Thelp::bsSkinLinkImage9Click() { ui::guard(this, [this] { showGuidePage(4); }); }
void Thelp::bsSkinLinkImage10Click() { ui::guard(this, [this] { showGuidePage(5); }); }
void Thelp::bsSkinLinkImage6Click() { ui::guard(this, [this] { close(); }); }

void Thelp::bsSkinCheckRadioBox1Click()
{
    ui::guard(this, [this] {
        const QString file = settingsFile();
        if (!DataFolder::setIniValue(file, kSection, kKey,
                                     m_startup->isChecked() ? QStringLiteral("1") : QStringLiteral("0")))
            msg::error(this, QStringLiteral("无法保存这项设置：文件 %1 不可写入。").arg(QDir::toNativeSeparators(file)));
    });
}
