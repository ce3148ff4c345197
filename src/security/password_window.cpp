#include "security/password_window.h"

#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>
#include "data/data_module.h"
#include "data/lock_password.h"
#include "data/query.h"
#include "ui/centre_on_screen.h"
#include "ui/guard.h"
#include "ui/message_box.h"
#include "ui/password_field.h"

namespace {

const QString kSelectRow = QStringLiteral("select * from jz_ub");

// One labelled password field in a panel row.
PasswordField *fieldRow(QWidget *panel, QVBoxLayout *rows, const QString &name, const QString &label)
{
    auto *row = new QHBoxLayout;
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(6);
    auto *caption = new QLabel(label, panel);
    caption->setFixedWidth(100);
    caption->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    auto *field = new PasswordField(panel);
    field->setObjectName(name);
    field->setFixedHeight(24);
    row->addWidget(caption);
    row->addWidget(field, 1);
    rows->addLayout(row);
    return field;
}

QFrame *panel(QWidget *parent, const QString &name)
{
    auto *p = new QFrame(parent);
    p->setObjectName(name);
    p->setFrameShape(QFrame::NoFrame);
    return p;
}

} // namespace

Tset_mima::Tset_mima(TDataModule2 *dm, QWidget *parent) : QDialog(parent), m_dm(dm)
{
    setObjectName(QStringLiteral("Tset_mima"));
    setWindowTitle(QStringLiteral("设置软件密码"));
    // Only a close button; it closes like "取  消".
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFixedSize(345, 234);
    m_set = new Query(&dm->conn_jz_u, QStringLiteral("Query_set"), this);

    m_enabled = new QCheckBox(QStringLiteral("启用登陆及锁定密码"), this);
    m_enabled->setObjectName(QStringLiteral("bsSkinCheckRadioBox1"));
    m_enabled->setGeometry(22, 12, 300, 24);

    m_group = new QGroupBox(QStringLiteral("设置密码"), this);
    m_group->setObjectName(QStringLiteral("bsSkinGroupBox1"));
    m_group->setGeometry(12, 42, 321, 132);
    auto *stack = new QVBoxLayout(m_group);
    stack->setContentsMargins(10, 18, 16, 6);
    stack->setSpacing(6);

    // The old-password panel sits above; when it is hidden the other one moves up.
    m_oldPanel = panel(m_group, QStringLiteral("bsSkinPanel2"));
    auto *oldRows = new QVBoxLayout(m_oldPanel);
    oldRows->setContentsMargins(0, 0, 0, 0);
    m_old = fieldRow(m_oldPanel, oldRows, QStringLiteral("bsSkinEdit1"), QStringLiteral("请先输入旧密码:"));
    stack->addWidget(m_oldPanel);

    m_newPanel = panel(m_group, QStringLiteral("bsSkinPanel1"));
    auto *newRows = new QVBoxLayout(m_newPanel);
    newRows->setContentsMargins(0, 0, 0, 0);
    newRows->setSpacing(6);
    m_new = fieldRow(m_newPanel, newRows, QStringLiteral("bsSkinEdit4"), QStringLiteral("请输入密码:"));
    m_repeat = fieldRow(m_newPanel, newRows, QStringLiteral("bsSkinEdit2"), QStringLiteral("再输入一遍:"));
    stack->addWidget(m_newPanel);
    stack->addStretch(1);

    // The two confirm buttons share one place; the layout shows one of them.
    m_confirmFirst = new QPushButton(QStringLiteral("确  定"), this);
    m_confirmFirst->setObjectName(QStringLiteral("bsSkinButton1"));
    m_confirmFirst->setGeometry(148, 190, 84, 30);
    m_confirmChange = new QPushButton(QStringLiteral("确  定"), this);
    m_confirmChange->setObjectName(QStringLiteral("bsSkinButton3"));
    m_confirmChange->setGeometry(148, 190, 84, 30);
    m_cancel = new QPushButton(QStringLiteral("取  消"), this);
    m_cancel->setObjectName(QStringLiteral("bsSkinButton2"));
    m_cancel->setGeometry(244, 190, 84, 30);

    // The loaded settings row, as the handlers compare it.
    m_lockFlag = new QLabel(this);
    m_lockFlag->setObjectName(QStringLiteral("bsSkinDBText1"));
    m_passwordSet = new QLabel(this);
    m_passwordSet->setObjectName(QStringLiteral("bsSkinDBText2"));
    m_storedPassword = new QLabel(this);
    m_storedPassword->setObjectName(QStringLiteral("bsSkinDBText3"));
    Query *row = dm->Query_jz_ub;
    const struct { QLabel *label; const char *field; } bound[] = {
        {m_lockFlag, "ub2"}, {m_passwordSet, "ub4"}, {m_storedPassword, "ub1"}};
    for (const auto &b : bound) {
        b.label->hide();
        QLabel *label = b.label;
        const QString field = QString::fromLatin1(b.field);
        auto show = [label, row, field] {
            label->setText(row->isOpen() && !row->isEmpty() ? row->value(0, field) : QString());
        };
        connect(row, &Query::resetDone, label, show);
        show();
    }

    // Until the first opening decides: first-time layout, lock off.
    m_group->hide();
    m_oldPanel->hide();
    m_confirmChange->hide();
    m_confirmFirst->setDefault(true);

    setTabOrder(m_enabled, m_old);
    setTabOrder(m_old, m_new);
    setTabOrder(m_new, m_repeat);
    setTabOrder(m_repeat, m_confirmFirst);
    setTabOrder(m_confirmFirst, m_confirmChange);
    setTabOrder(m_confirmChange, m_cancel);

    connect(m_enabled, &QCheckBox::toggled, this, &Tset_mima::bsSkinCheckRadioBox1Click);
    connect(m_confirmFirst, &QPushButton::clicked, this, &Tset_mima::bsSkinButton1Click);
    connect(m_confirmChange, &QPushButton::clicked, this, &Tset_mima::bsSkinButton3Click);
    connect(m_cancel, &QPushButton::clicked, this, &Tset_mima::bsSkinButton2Click);
}

void Tset_mima::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    ui::centreOnScreen(this);
    ui::guard(this, [this] { FormShow(); });
}

void Tset_mima::FormShow()
{
    m_old->clear();
    m_new->clear();
    m_repeat->clear();
    reloadRow();

    const QString lock = m_lockFlag->text();
    if (lock == QLatin1String("1")) {
        m_enabled->setChecked(true);
        m_group->show();
    } else if (lock == QLatin1String("0")) {
        m_enabled->setChecked(false);
        m_group->hide();
    }

    const QString set = m_passwordSet->text();
    if (set == QLatin1String("1")) {
        m_oldPanel->show();
        m_newPanel->show();
        m_confirmChange->show();
        m_confirmFirst->hide();
    } else if (set == QLatin1String("0")) {
        m_oldPanel->hide();
        m_newPanel->show();
        m_confirmFirst->show();
        m_confirmChange->hide();
    }
    // Enter confirms through whichever confirm button the layout shows.
    (m_confirmChange->isHidden() ? m_confirmFirst : m_confirmChange)->setDefault(true);

    if (m_group->isHidden())
        m_enabled->setFocus(Qt::OtherFocusReason);
    else
        (m_oldPanel->isHidden() ? m_new : m_old)->setFocus(Qt::OtherFocusReason);
}

void Tset_mima::bsSkinCheckRadioBox1Click()
{
    // The fields keep their text while hidden.
    m_group->setVisible(m_enabled->isChecked());
}

void Tset_mima::bsSkinButton1Click()
{
    ui::guard(this, [this] {
        if (m_enabled->isChecked())
            setNewPassword();
        else
            switchOff();
    });
}

void Tset_mima::bsSkinButton3Click()
{
    ui::guard(this, [this] {
        if (!m_enabled->isChecked()) {
            // Switching off asks for nothing: the window opens only when unlocked.
            switchOff();
            return;
        }
        if (!LockPassword::verify(m_dm, m_old->text(), m_storedPassword->text())) {
            msg::info(this, QStringLiteral("旧密码输入错误，请您重试。"));
            return;
        }
        setNewPassword();
    });
}

void Tset_mima::bsSkinButton2Click() { reject(); }

void Tset_mima::setNewPassword()
{
    if (m_new->text().isEmpty()) {
        msg::info(this, QStringLiteral("请填写密码"));
        return;
    }
    if (m_repeat->text().isEmpty()) {
        msg::info(this, QStringLiteral("请再次输入密码"));
        return;
    }
    if (m_new->text() != m_repeat->text()) {
        msg::info(this, QStringLiteral("您两次输入的密码不正确"));
        return;
    }
    runSet(QStringLiteral("update jz_ub set ub1=:a,ub2=:b,ub4=:d where ub3=:c "),
           {{QStringLiteral(":a"), LockPassword::hash(m_new->text())},
            {QStringLiteral(":b"), QStringLiteral("1")},
            {QStringLiteral(":d"), QStringLiteral("1")},
            {QStringLiteral(":c"), QStringLiteral("8")}});
    m_dm->Query_jz_ub->reopen();
    msg::info(this, QStringLiteral("密码已经设置"));
    accept();
}

void Tset_mima::switchOff()
{
    // The last password stays in the row; it is replaced when a new one is confirmed.
    runSet(QStringLiteral("update jz_ub set ub2=:b,ub4=:d where ub3=:c "),
           {{QStringLiteral(":b"), QStringLiteral("0")},
            {QStringLiteral(":d"), QStringLiteral("0")},
            {QStringLiteral(":c"), QStringLiteral("8")}});
    m_dm->Query_jz_ub->reopen();
    msg::info(this, QStringLiteral("已经关闭了软件登录密码"));
    accept();
}

void Tset_mima::runSet(const QString &sql, const QList<QPair<QString, QString>> &params)
{
    m_set->close();
    m_set->clearSql();
    m_set->setSql(sql);
    for (const auto &p : params)
        m_set->bind(p.first, p.second);
    m_set->execSql();
}

void Tset_mima::reloadRow()
{
    Query *row = m_dm->Query_jz_ub;
    row->close();
    row->setSql(kSelectRow);
    row->open();
}

void Tset_mima::done(int result)
{
    FormClose();
    QDialog::done(result);
}

void Tset_mima::FormClose()
{
    // The gate that follows reads the row as stored now, so a failed read still closes.
    ui::guard(this, [this] { reloadRow(); });
}
