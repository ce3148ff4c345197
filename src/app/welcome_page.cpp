#include "app/welcome_page.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>
#include "app/context_menu_filter.h"
#include "app/online_check.h"
#include "app/web_view.h"
#include "data/data_module.h"
#include "ui/skin.h"

namespace {

QToolButton *entryPicture(const QString &name, const QString &text, const QString &icon, QWidget *parent)
{
    auto *b = new QToolButton(parent);
    b->setObjectName(name);
    b->setText(text);
    b->setIcon(Skin::icon(icon));
    b->setIconSize(QSize(20, 20));
    b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    b->setFixedSize(69, 42);
    b->setCursor(Qt::PointingHandCursor);
    return b;
}

} // namespace

TFr_wel::TFr_wel(QWidget *parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("Fr_wel1"));

    auto *page = new QVBoxLayout(this);
    page->setContentsMargins(0, 0, 0, 0);
    page->setSpacing(0);

    // Upper strip: the banner, centred at its bottom.
    auto *upper = new QWidget(this);
    upper->setFixedHeight(238);
    auto *upperLayout = new QVBoxLayout(upper);
    upperLayout->setContentsMargins(0, 0, 0, 0);
    auto *banner = new QLabel(upper);
    banner->setObjectName(QStringLiteral("Image3"));
    banner->setPixmap(Skin::picture(QStringLiteral("welcome_banner")));
    upperLayout->addWidget(banner, 0, Qt::AlignHCenter | Qt::AlignBottom);
    page->addWidget(upper);

    // Lower strip: the two panels in one place, the news to their right.
    auto *lower = new QWidget(this);
    auto *lowerLayout = new QHBoxLayout(lower);
    lowerLayout->setContentsMargins(24, 24, 12, 12);
    lowerLayout->setSpacing(24);

    auto *panels = new QWidget(lower);
    panels->setFixedWidth(313);
    auto *panelsLayout = new QGridLayout(panels);
    panelsLayout->setContentsMargins(0, 0, 0, 0);

    m_quick = new QGroupBox(QStringLiteral("功能导览"), panels);
    m_quick->setObjectName(QStringLiteral("bsSkinGroupBox2"));
    auto *quick = new QGridLayout(m_quick);
    quick->addWidget(entryPicture(QStringLiteral("Image10"), QStringLiteral("收入"),
                                  QStringLiteral("tool_new_shouru"), m_quick), 0, 0);
    quick->addWidget(entryPicture(QStringLiteral("Image8"), QStringLiteral("账本"),
                                  QStringLiteral("nav_zhangben"), m_quick), 1, 1);
    quick->addWidget(entryPicture(QStringLiteral("Image9"), QStringLiteral("支出"),
                                  QStringLiteral("tool_new_zhichu"), m_quick), 2, 0);

    m_lock = new QGroupBox(QStringLiteral("软件已锁定"), panels);
    m_lock->setObjectName(QStringLiteral("bsSkinGroupBox1"));
    auto *lock = new QGridLayout(m_lock);
    auto *keys = new QLabel(m_lock);
    keys->setPixmap(Skin::picture(QStringLiteral("status_lock")));
    lock->addWidget(keys, 0, 0, 2, 1, Qt::AlignCenter);
    lock->addWidget(new QLabel(QStringLiteral("密 码:"), m_lock), 0, 1);
    m_password = new QLineEdit(m_lock);
    m_password->setObjectName(QStringLiteral("Pass_edit"));
    m_password->setMaxLength(10);
    m_password->setEchoMode(QLineEdit::Password);
    lock->addWidget(m_password, 0, 2);
    m_unlock = new QPushButton(QStringLiteral("  解  锁"), m_lock);
    m_unlock->setObjectName(QStringLiteral("bsSkinButton1"));
    m_unlock->setDefault(true);
    lock->addWidget(m_unlock, 1, 2, Qt::AlignLeft);

    // Both faces share the place; the lock panel lies in front until the gate decides.
    panelsLayout->addWidget(m_quick, 0, 0);
    panelsLayout->addWidget(m_lock, 0, 0);
    panelsLayout->setRowStretch(1, 1);
    m_lock->raise();
    lowerLayout->addWidget(panels, 0, Qt::AlignTop);

    auto *newsPanel = new QGroupBox(QStringLiteral("资 讯"), lower);
    newsPanel->setObjectName(QStringLiteral("bsSkinGroupBox3"));
    newsPanel->setFixedSize(193, 238);
    auto *newsLayout = new QVBoxLayout(newsPanel);
    newsLayout->setContentsMargins(1, 18, 1, 5);
    auto *newsClip = new QWidget(newsPanel);
    newsLayout->addWidget(newsClip);
    m_news = new WebView(newsClip);
    m_news->setObjectName(QStringLiteral("WebBrowser1"));
    new ContextMenuFilter(m_news, this);
    lowerLayout->addWidget(newsPanel, 0, Qt::AlignTop);
    lowerLayout->addStretch(1);
    page->addWidget(lower, 1);

    // The settings row as last loaded.
    m_lockFlag = new QLabel(this);
    m_lockFlag->setObjectName(QStringLiteral("bsSkinDBText1"));
    m_lockFlag->hide();
    m_storedPassword = new QLabel(this);
    m_storedPassword->setObjectName(QStringLiteral("bsSkinDBText2"));
    m_storedPassword->hide();
}

void TFr_wel::attachData(TDataModule2 *dm)
{
    Query *q = dm->Query_jz_ub;
    auto show = [this, q] {
        const bool row = q->isOpen() && !q->isEmpty();
        m_lockFlag->setText(row ? q->value(0, QStringLiteral("ub2")) : QString());
        m_storedPassword->setText(row ? q->value(0, QStringLiteral("ub1")) : QString());
    };
    connect(q, &Query::resetDone, this, show);
    show();
}

QString TFr_wel::newsAddress() { return QStringLiteral("https://tallyrue.example/news/"); }

QString TFr_wel::offlinePage()
{
    return QStringLiteral("about:<body scroll=\"no\" style=\"font-size:12px; color:#999; "
                          "padding:20px 0 0 12px; background-color:#E3EEFD;\">读取资讯失败，网络已断开</body>");
}

void TFr_wel::loadNews()
{
    m_news->navigate(OnlineCheck::isOnline() ? newsAddress() : offlinePage());
    // Border and scroll bars lie outside the visible part of the panel.
    m_news->setGeometry(-3, -2, 229, 229);
}

QString TFr_wel::lockFlag() const { return m_lockFlag->text(); }
QString TFr_wel::storedPassword() const { return m_storedPassword->text(); }

void TFr_wel::applyGate(QWidget *navigation)
{
    const QString flag = lockFlag();
    if (flag == QLatin1String("1")) {
        m_quick->hide();
        m_lock->show();
        if (navigation)
            navigation->setEnabled(false);
    } else if (flag == QLatin1String("0")) {
        m_quick->show();
        m_lock->hide();
        if (navigation)
            navigation->setEnabled(true);
    }
}
