#include "help/about_window.h"

#include <QGroupBox>
#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QTextDocument>
#include <QShowEvent>
#include <QToolButton>
#include "app/browser.h"
#include "app/main_window.h"
#include "ui/centre_on_screen.h"
#include "ui/guard.h"
#include "ui/skin.h"

Tabout::Tabout(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Tabout"));
    setWindowTitle(QStringLiteral("关于Varnel软件"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                   | Qt::WindowCloseButtonHint);
    setFixedSize(495, 257);

    m_banner = new QLabel(this);
    m_banner->setObjectName(QStringLiteral("aboutBanner"));
    m_banner->setGeometry(0, 0, 495, 80);

    auto *product = new QLabel(QStringLiteral("Tallyrue"), this);
    product->setObjectName(QStringLiteral("productName"));
    product->setStyleSheet(QStringLiteral("color:#000080; font-weight:bold; font-size:14px;"));
    product->move(8, 92);
    product->adjustSize();

    auto *maker = new QLabel(QStringLiteral("Varnel软件 出品 · 专注简单好用的记账工具"), this);
    maker->setObjectName(QStringLiteral("makerLine"));
    maker->setStyleSheet(QStringLiteral("color:#0B8A2E; font-size:12px;"));
    maker->move(8, 112);
    maker->adjustSize();

    auto *warning = new QPlainTextEdit(this);
    warning->setObjectName(QStringLiteral("legalWarning"));
    warning->setGeometry(8, 136, 313, 105);
    warning->setPlainText(QStringLiteral(
        "警告：本软件受著作权法及国际版权公约保护。\n"
        "未经 Varnel软件 书面许可，任何单位或个人\n"
        "不得复制、修改、出租、出售或传播本软件的\n"
        "全部或部分内容，不得对本软件进行反向工程、\n"
        "反向编译或反汇编。违者将承担民事责任，\n"
        "构成犯罪的，将依法追究其刑事责任。"));
    // Six lines in small type fill the box without a scroll bar.
    warning->setStyleSheet(QStringLiteral("font-size:11px;"));
    warning->document()->setDocumentMargin(2);
    warning->setLineWrapMode(QPlainTextEdit::NoWrap);
    warning->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    warning->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    warning->setReadOnly(true);
    warning->setEnabled(false);

    auto *box = new QGroupBox(QStringLiteral("版本及相关信息"), this);
    box->setObjectName(QStringLiteral("versionBox"));
    box->setGeometry(336, 88, 150, 150);

    auto rowLabel = [box](const QString &text, int top) {
        auto *l = new QLabel(text, box);
        l->move(8, top);
        l->adjustSize();
        return l;
    };
    rowLabel(QStringLiteral("版 本:"), 24);
    QLabel *version = rowLabel(QStringLiteral("V1.55"), 24);
    version->setObjectName(QStringLiteral("versionNumber"));
    version->move(46, 24);
    // The whole address is the link's text; it is wider than the box beside its caption,
    // so each link has a line of its own under it.
    rowLabel(QStringLiteral("官 网:"), 44);
    m_home = linkLabel(box, QStringLiteral("bsSkinLinkLabel1"), homeAddress(), 62);
    rowLabel(QStringLiteral("论 坛:"), 80);
    m_forum = linkLabel(box, QStringLiteral("bsSkinLinkLabel2"), forumAddress(), 98);

    auto *donate = new QToolButton(box);
    donate->setObjectName(QStringLiteral("bsSkinSpeedButton1"));
    // A framed button, so it reads as one among the labels of the box.
    donate->setStyleSheet(QStringLiteral(
        "QToolButton { border: 1px solid #86A9D9; border-radius: 3px; padding: 1px 3px;"
        " background-color: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #FFFFFF, stop:1 #D2E2F8); }"
        "QToolButton:hover { border-color: #4F86C6; }"
        "QToolButton:pressed { background-color: #BFD6F5; }"));
    donate->setText(QStringLiteral("捐助,为了更好发展"));
    donate->setIcon(Skin::icon(QStringLiteral("nav_juanzhu")));
    donate->setIconSize(QSize(16, 16));
    donate->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    donate->setCursor(Qt::PointingHandCursor);
    donate->setGeometry(8, 118, 135, 28);
    connect(donate, &QToolButton::clicked, this, &Tabout::bsSkinSpeedButton1Click);
}

QLabel *Tabout::linkLabel(QWidget *box, const QString &name, const QString &address, int top)
{
    auto *l = new QLabel(address, box);
    l->setObjectName(name);
    l->setProperty("skin", QStringLiteral("link"));
    l->setCursor(Qt::PointingHandCursor);
    l->setToolTip(address);
    // Small type, smaller still where the font runs wide: the address is never cut off.
    const QRect room = box->contentsRect().adjusted(4, 0, -2, 0);
    QFont f = l->font();
    f.setUnderline(true);
    for (int px = 11; px >= 8; --px) {
        f.setPixelSize(px);
        if (QFontMetrics(f).horizontalAdvance(address) <= room.width())
            break;
    }
    l->setFont(f);
    l->setGeometry(room.left(), top, room.width(), QFontMetrics(f).height() + 2);
    l->installEventFilter(this);
    return l;
}

// The maker's pages; the home and donation pages are the ones the main window opens.
QString Tabout::homeAddress() { return Tmain::homeAddress(); }
QString Tabout::forumAddress() { return QStringLiteral("https://tallyrue.example/bbs/"); }
QString Tabout::donationAddress() { return Tmain::donationAddress(); }

void Tabout::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    // Drawn when first seen, not at start.
    if (m_banner->pixmap().isNull())
        m_banner->setPixmap(Skin::picture(QStringLiteral("about_banner")));
    ui::centreOnScreen(this);
}

bool Tabout::eventFilter(QObject *watched, QEvent *event)
{
    if ((watched == m_home || watched == m_forum) && event->type() == QEvent::MouseButtonRelease) {
        auto *me = static_cast<QMouseEvent *>(event);
        auto *label = static_cast<QLabel *>(watched);
        if (me->button() == Qt::LeftButton && label->rect().contains(me->position().toPoint())) {
            if (watched == m_home)
                bsSkinLinkLabel1Click();
            else
                bsSkinLinkLabel2Click();
        }
        return false;
    }
    return QDialog::eventFilter(watched, event);
}

void Tabout::bsSkinLinkLabel1Click()
{
    ui::guard(this, [this] { Browser::open(this, homeAddress()); });
}

void Tabout::bsSkinLinkLabel2Click()
{
    ui::guard(this, [this] { Browser::open(this, forumAddress()); });
}

void Tabout::bsSkinSpeedButton1Click()
{
    ui::guard(this, [this] { Browser::open(this, donationAddress()); });
}
