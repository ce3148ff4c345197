#include "books/new_book_dialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QTimeEdit>
#include "books/book_command.h"
#include "data/book_refresh.h"
#include "data/connection.h"
#include "data/data_module.h"
#include "data/query.h"
#include "ui/centre_on_screen.h"
#include "ui/date_field.h"
#include "ui/form_labels.h"
#include "ui/guard.h"
#include "ui/line_text.h"
#include "ui/message_box.h"

namespace {

const QString kTimeFormat = QStringLiteral("H:mm:ss");

// Tab leaves the time field at once, as it leaves every other field; the arrow keys and
// the separators still walk its hours, minutes and seconds.
class TimeField : public QTimeEdit
{
public:
    explicit TimeField(QWidget *parent) : QTimeEdit(parent) {}

protected:
    bool focusNextPrevChild(bool next) override { return QAbstractSpinBox::focusNextPrevChild(next); }
};

} // namespace

Tnew_zhangben::Tnew_zhangben(TDataModule2 *dm, QWidget *parent) : QDialog(parent), m_dm(dm)
{
    setObjectName(QStringLiteral("Tnew_zhangben"));
    setWindowTitle(QStringLiteral("新建账本"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFixedSize(352, 199);
    m_add = new Query(&dm->conn_jz_m, QStringLiteral("Query_add"), this);

    // The name field shows all of its 20 characters.
    const int labelX = 18, fieldX = 82, fieldW = 260;
    ui::requiredStar(this, labelX - 10, 28, 24);
    ui::fieldLabel(this, QStringLiteral("账本名称:"), labelX, 28, 62, 24);
    m_name = new QLineEdit(this);
    m_name->setObjectName(QStringLiteral("bsSkinEdit1"));
    m_name->setMaxLength(20);
    ui::keepLineText(m_name);
    m_name->setGeometry(fieldX, 28, fieldW, 24);

    ui::fieldLabel(this, QStringLiteral("备    注:"), labelX, 64, 62, 24);
    m_remark = new QLineEdit(this);
    m_remark->setObjectName(QStringLiteral("bsSkinEdit2"));
    m_remark->setMaxLength(40);
    ui::keepLineText(m_remark);
    m_remark->setGeometry(fieldX, 64, fieldW, 24);

    ui::fieldLabel(this, QStringLiteral("创建日期:"), labelX, 100, 62, 24);
    m_date = new DateField(this);
    m_date->setObjectName(QStringLiteral("bsSkinDateEdit1"));
    m_date->setGeometry(fieldX, 100, 130, 24);
    // The date of the program's start, and after that whatever the user chose last.
    m_date->setToday();
    m_time = new TimeField(this);
    m_time->setObjectName(QStringLiteral("bsSkinTimeEdit1"));
    m_time->setDisplayFormat(kTimeFormat);
    m_time->setButtonSymbols(QAbstractSpinBox::NoButtons);
    m_time->setGeometry(fieldX + 136, 100, fieldW - 136, 24);

    m_save = new QPushButton(QStringLiteral("保  存"), this);
    m_save->setObjectName(QStringLiteral("bsSkinButton1"));
    m_save->setDefault(true);
    m_save->setGeometry(152, 150, 82, 30);
    m_cancel = new QPushButton(QStringLiteral("取  消"), this);
    m_cancel->setObjectName(QStringLiteral("bsSkinButton2"));
    m_cancel->setGeometry(242, 150, 82, 30);

    setTabOrder(m_name, m_remark);
    setTabOrder(m_remark, m_save);
    setTabOrder(m_save, m_cancel);
    setTabOrder(m_cancel, m_time);
    setTabOrder(m_time, m_date);

    connect(m_save, &QPushButton::clicked, this, &Tnew_zhangben::bsSkinButton1Click);
    connect(m_cancel, &QPushButton::clicked, this, &Tnew_zhangben::bsSkinButton2Click);
}

void Tnew_zhangben::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    ui::centreOnScreen(this);
    FormShow();
    m_name->setFocus(Qt::OtherFocusReason);
}

void Tnew_zhangben::FormShow()
{
    m_time->setTime(QTime::currentTime());
    m_name->clear();
    m_remark->clear();
}

QString Tnew_zhangben::creationText() const
{
    // An unfinished time goes back to the last whole one before it is read.
    if (!m_time->hasAcceptableInput())
        m_time->setTime(m_time->time());
    return m_date->text() + QLatin1Char(' ') + m_time->text();
}

void Tnew_zhangben::save()
{
    const QString name = m_name->text();
    // Blanks count as a name; only an empty field is refused.
    if (name.isEmpty()) {
        msg::info(this, QStringLiteral("账本名称必须填写"));
        return;
    }
    const QString created = creationText();
    {
        // Demotion and insert stand or fall together: never no current book, never two.
        Connection::Transaction t(m_dm->conn_jz_m);
        books::runCommand(m_add, QStringLiteral("update jz_aa set a6=:a where a6=:b "),
                          {QStringLiteral("0"), QStringLiteral("1")});
        books::runCommand(m_add, QStringLiteral("insert into jz_aa (a1,a2,a3,a6)values (:a,:b,:c,:d)"),
                          {name, created, m_remark->text(), QStringLiteral("1")});
        t.commit();
    }
    ui::afterStored([this] { accept(); }, [this] { m_dm->Query_jz_aa->reopen(); },
                    [this] { BookRefresh::full(*m_dm); });
}

void Tnew_zhangben::bsSkinButton1Click()
{
    ui::guard(this, [this] { save(); });
}

void Tnew_zhangben::bsSkinButton2Click() { reject(); }
