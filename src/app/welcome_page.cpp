#include "app/welcome_page.h"

#include <QApplication>

#include <QGroupBox>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScopeGuard>
#include <QShowEvent>
#include <QToolButton>
#include "app/browser.h"
#include "app/context_menu_filter.h"
#include "app/main_window.h"
#include "app/online_check.h"
#include "app/web_view.h"
#include "books/account_book_page.h"
#include "data/book_refresh.h"
#include "data/data_module.h"
#include "ui/guard.h"
#include "ui/message_box.h"
#include "ui/password_field.h"
#include "data/lock_password.h"
#include "ui/skin.h"

namespace {

// Sizes of the page at the main window's first size.
const int kUpperHeight = 238;
const int kLowerHeight = 355;
const int kLogoPanelWidth = 172;
const QPoint kPanelsAt(24, 88);   // inside the lower strip
const QSize kPanelSize(313, 170);
const QSize kLinkSize(313, 25);
const QSize kNewsPanelSize(193, 238);
const QRect kNewsClip(1, 23, 191, 214);

QLabel *picture(const QString &name, const QString &file, QWidget *parent)
{
    auto *l = new QLabel(parent);
    l->setObjectName(name);
    l->setPixmap(Skin::picture(file));
    l->resize(l->pixmap().deviceIndependentSize().toSize());
    return l;
}

// A picture that acts on a click, as the page's pictures did: a hand cursor and no
// keyboard focus. The text is for screen readers and tool tips only.
QToolButton *clickablePicture(const QString &name, const QString &file, const QString &text, QWidget *parent)
{
    auto *b = new QToolButton(parent);
    b->setObjectName(name);
    b->setProperty("skin", QStringLiteral("flat"));
    b->setText(text);
    b->setAccessibleName(text);
    b->setToolButtonStyle(Qt::ToolButtonIconOnly);
    const QPixmap pm = Skin::picture(file);
    const QSize size = pm.deviceIndependentSize().toSize();
    b->setIcon(QIcon(pm));   // the rendered picture: painting it renders nothing again
    b->setIconSize(size);
    b->setFixedSize(size);
    b->setAutoRaise(true);
    b->setFocusPolicy(Qt::NoFocus);
    b->setCursor(Qt::PointingHandCursor);
    return b;
}

// A group box that hides whatever lies behind it, title strip included.
class OpaqueGroupBox : public QGroupBox
{
public:
    using QGroupBox::QGroupBox;

protected:
    void paintEvent(QPaintEvent *event) override
    {
        QPainter(this).fillRect(rect(), palette().window());
        QGroupBox::paintEvent(event);
    }
};

} // namespace

TFr_wel::TFr_wel(QWidget *parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("Fr_wel1"));

    // --- upper strip: callout, banner, logo panel ---
    m_upper = new QWidget(this);
    m_upper->setObjectName(QStringLiteral("upperStrip"));
    m_banner = picture(QStringLiteral("Image3"), QStringLiteral("welcome_banner"), m_upper);
    m_callout = picture(QStringLiteral("Image4"), QStringLiteral("welcome_callout"), m_upper);
    m_logoPanel = new QFrame(m_upper);
    m_logoPanel->setObjectName(QStringLiteral("logoPanel"));
    m_logoPanel->setProperty("skin", QStringLiteral("panel"));
    m_logo = clickablePicture(QStringLiteral("Image2"), QStringLiteral("welcome_logo"), QStringLiteral("Varnel"),
                              m_logoPanel);
    m_logo->setToolTip(Tmain::homeAddress());
    connect(m_logo, &QToolButton::clicked, this, &TFr_wel::Image2Click);

    // --- lower strip: decoration behind, the two faces, links, news ---
    m_lower = new QWidget(this);
    m_lower->setObjectName(QStringLiteral("lowerStrip"));
    m_notepad = picture(QStringLiteral("Image1"), QStringLiteral("welcome_notepad"), m_lower);

    m_quick = new QGroupBox(QStringLiteral("功能导览"), m_lower);
    m_quick->setObjectName(QStringLiteral("bsSkinGroupBox2"));
    m_quick->setGeometry(QRect(kPanelsAt, kPanelSize));
    auto *arrows = picture(QStringLiteral("quickBackground"), QStringLiteral("quick_background"), m_quick);
    arrows->move(2, 18);
    struct Entry {
        const char *name, *file, *text;
        QPoint at;
        void (TFr_wel::*slot)();
    };
    const Entry entries[] = {
        {"Image10", "quick_shouru", "收入", {32, 29}, &TFr_wel::Image10Click},
        {"Image8", "quick_zhangben", "账本", {198, 72}, &TFr_wel::Image8Click},
        {"Image9", "quick_zhichu", "支出", {32, 115}, &TFr_wel::Image9Click},
    };
    for (const Entry &e : entries) {
        QToolButton *b = clickablePicture(QString::fromLatin1(e.name), QString::fromLatin1(e.file),
                                          QString::fromUtf8(e.text), m_quick);
        b->move(e.at);
        connect(b, &QToolButton::clicked, this, e.slot);
    }

    m_lock = new OpaqueGroupBox(QStringLiteral("软件已锁定"), m_lower);
    m_lock->setObjectName(QStringLiteral("bsSkinGroupBox1"));
    m_lock->setGeometry(QRect(kPanelsAt, kPanelSize));
    picture(QStringLiteral("lockPicture"), QStringLiteral("lock_keys"), m_lock)->move(22, 50);
    auto *prompt = new QLabel(QStringLiteral("密 码:"), m_lock);
    prompt->setGeometry(96, 56, 44, 24);
    m_password = new PasswordField(m_lock);
    m_password->setObjectName(QStringLiteral("Pass_edit"));
    m_password->setGeometry(142, 56, 146, 24);
    m_unlock = new QPushButton(QStringLiteral("  解  锁"), m_lock);
    m_unlock->setObjectName(QStringLiteral("bsSkinButton1"));
    m_unlock->setDefault(true);
    m_unlock->setGeometry(142, 96, 96, 30);
    // The page is no dialog: Enter in the field presses the default button itself.
    connect(m_password, &QLineEdit::returnPressed, this, &TFr_wel::bsSkinButton1Click);
    connect(m_unlock, &QPushButton::clicked, this, &TFr_wel::bsSkinButton1Click);
    // Both faces share the place; the lock panel lies in front, covering the other, until
    // the gate decides.
    m_lock->raise();

    m_guideLink = clickablePicture(QStringLiteral("bsSkinLinkImage2"), QStringLiteral("link_guide"),
                                   QStringLiteral("不会用？点这里查看 快速入门"), m_lower);
    connect(m_guideLink, &QToolButton::clicked, this, &TFr_wel::bsSkinLinkImage2Click);
    m_serviceLink = clickablePicture(QStringLiteral("bsSkinLinkImage3"), QStringLiteral("link_contact"),
                                     QStringLiteral("您有任何意见或建议，请随时联系Varnel软件"), m_lower);
    connect(m_serviceLink, &QToolButton::clicked, this, &TFr_wel::bsSkinLinkImage3Click);

    m_newsPanel = new QGroupBox(QStringLiteral("资 讯"), m_lower);
    m_newsPanel->setObjectName(QStringLiteral("newsPanel"));
    m_newsPanel->resize(kNewsPanelSize);
    m_newsClip = new QWidget(m_newsPanel);
    m_newsClip->setObjectName(QStringLiteral("newsClip"));
    m_newsClip->setGeometry(kNewsClip);
    m_news = new WebView(m_newsClip);
    m_news->setObjectName(QStringLiteral("WebBrowser1"));
    new ContextMenuFilter(m_news, this);

    // The settings row as last loaded.
    m_lockFlag = new QLabel(this);
    m_lockFlag->setObjectName(QStringLiteral("bsSkinDBText1"));
    m_lockFlag->hide();
    m_storedPassword = new QLabel(this);
    m_storedPassword->setObjectName(QStringLiteral("bsSkinDBText2"));
    m_storedPassword->hide();

    resize(892, 605);
    layOut();
}

void TFr_wel::attachData(TDataModule2 *dm)
{
    m_dm = dm;
    Query *q = dm->Query_jz_ub;
    auto show = [this, q] {
        const bool row = q->isOpen() && !q->isEmpty();
        m_lockFlag->setText(row ? q->value(0, QStringLiteral("ub2")) : QString());
        m_storedPassword->setText(row ? q->value(0, QStringLiteral("ub1")) : QString());
    };
    connect(q, &Query::resetDone, this, show);
    show();
}

void TFr_wel::setAccountBook(TFr_zhangben *page, std::function<void()> show)
{
    m_book = page;
    m_showBook = std::move(show);
}

void TFr_wel::resizeEvent(QResizeEvent *event)
{
    QFrame::resizeEvent(event);
    layOut();
}

void TFr_wel::layOut()
{
    const int w = width();
    m_upper->setGeometry(0, 0, w, kUpperHeight);
    m_lower->setGeometry(0, kUpperHeight, w, std::max(kLowerHeight, height() - kUpperHeight));

    // The banner is centred over the part the logo panel leaves free, at the bottom.
    const int free = w - kLogoPanelWidth;
    m_banner->move(std::max(m_callout->width() + 8, (free - m_banner->width()) / 2),
                   kUpperHeight - m_banner->height() - 4);
    m_callout->move(2, 20);
    m_logoPanel->setGeometry(w - kLogoPanelWidth, 0, kLogoPanelWidth, kUpperHeight);
    m_logo->move((kLogoPanelWidth - m_logo->width()) / 2, 10);

    const int linksTop = kPanelsAt.y() + kPanelSize.height() + 8;
    m_guideLink->move(kPanelsAt.x(), linksTop);
    m_serviceLink->move(kPanelsAt.x(), linksTop + kLinkSize.height() + 6);
    m_newsPanel->move(kPanelsAt.x() + kPanelSize.width() + 12, kPanelsAt.y());
    // The decoration fills the right part, behind everything else.
    const int lowerHeight = m_lower->height();
    m_notepad->move(std::max(m_newsPanel->geometry().right() + 8, w - m_notepad->width() - 16),
                    std::max(0, (lowerHeight - m_notepad->height()) / 2));
}

void TFr_wel::showEvent(QShowEvent *event)
{
    QFrame::showEvent(event);
    focusPasswordWhenLocked();
}

void TFr_wel::changeEvent(QEvent *event)
{
    QFrame::changeEvent(event);
    // Back from a dialog or another program: the lock panel's field takes the keys again.
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
        const QWidget *at = QApplication::focusWidget();
        if (!at || !m_lock->isAncestorOf(at))
            focusPasswordWhenLocked();
    }
}

void TFr_wel::focusPasswordWhenLocked()
{
    // Whoever meets the lock panel can type at once.
    if (isVisible() && !m_lock->isHidden() && m_quick->isHidden()) {
        m_password->setFocus(Qt::OtherFocusReason);
        // After a modal window the window manager may leave no window active.
        if (!isActiveWindow())
            window()->activateWindow();
    }
}

QString TFr_wel::newsAddress() { return QStringLiteral("https://tallyrue.example/news/"); }

QString TFr_wel::offlinePage()
{
    return QStringLiteral("about:<body scroll=\"no\" style=\"font-size:12px; color:#999; "
                          "padding:20px 0 0 12px; background-color:#E3EEFD;\">读取资讯失败，网络已断开</body>");
}

QString TFr_wel::failedPage()
{
    return QStringLiteral("about:<body scroll=\"no\" style=\"font-size:12px; color:#999; "
                          "padding:20px 0 0 12px; background-color:#E3EEFD;\">读取资讯失败，请稍后再试</body>");
}

void TFr_wel::loadNews()
{
    m_news->setFailurePage(failedPage());
    m_news->navigate(OnlineCheck::isOnline() ? newsAddress() : offlinePage());
    // Border and scroll bars lie outside the visible part of the panel.
    m_news->setGeometry(-3, -2, 229, 229);
}

QString TFr_wel::lockFlag() const { return m_lockFlag->text(); }
QString TFr_wel::storedPassword() const { return m_storedPassword->text(); }

void TFr_wel::applyGate()
{
    const QString flag = lockFlag();
    if (flag == QLatin1String("1")) {
        m_quick->hide();
        m_lock->show();
        if (m_navigation)
            m_navigation->setEnabled(false);
        focusPasswordWhenLocked();
    } else if (flag == QLatin1String("0")) {
        m_quick->show();
        m_lock->hide();
        if (m_navigation)
            m_navigation->setEnabled(true);
    }
}

void TFr_wel::showAccountBook()
{
    if (m_showBook)
        m_showBook();
    if (m_dm)
        BookRefresh::loadEntries(*m_dm);
}

void TFr_wel::Image8Click()
{
    ui::guard(this, [this] {
        // The pictures act only while they are the page's face.
        if (m_quick->isHidden())
            return;
        showAccountBook();
    });
}

void TFr_wel::Image10Click()
{
    ui::guard(this, [this] {
        if (m_quick->isHidden())
            return;
        showAccountBook();
        if (m_book)
            m_book->bsSkinSpeedButton2Click();
    });
}

void TFr_wel::Image9Click()
{
    ui::guard(this, [this] {
        if (m_quick->isHidden())
            return;
        showAccountBook();
        if (m_book)
            m_book->bsSkinSpeedButton3Click();
    });
}

void TFr_wel::Image2Click()
{
    ui::guard(this, [this] { Browser::open(this, Tmain::homeAddress()); });
}

void TFr_wel::bsSkinLinkImage2Click()
{
    ui::guard(this, [this] {
        if (m_guideHook)
            m_guideHook();
    });
}

void TFr_wel::bsSkinLinkImage3Click()
{
    ui::guard(this, [this] {
        if (m_serviceHook)
            m_serviceHook();
    });
}

void TFr_wel::bsSkinButton1Click()
{
    ui::guard(this, [this] {
        // Emptied whatever happens, also when the refresh below fails.
        const auto clear = qScopeGuard([this] { m_password->clear(); });
        const bool right = m_dm ? LockPassword::verify(m_dm, m_password->text(), storedPassword())
                                : LockPassword::matches(m_password->text(), storedPassword());
        if (!right) {
            msg::info(this, QStringLiteral("您输入的密码错误"));
            if (m_navigation)
                m_navigation->setEnabled(false);
            m_password->setFocus(Qt::OtherFocusReason);
            return;
        }
        if (m_navigation)
            m_navigation->setEnabled(true);
        showAccountBook();
        if (m_book)
            m_book->resetTitles();
    });
}
