#include "details/detail_dialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QToolButton>
#include <algorithm>

#include "data/data_module.h"
#include "data/query.h"
#include "details/detail_list.h"
#include "records/amount_field.h"
#include "ui/centre_on_screen.h"
#include "ui/date_field.h"
#include "ui/form_labels.h"
#include "ui/guard.h"
#include "ui/line_text.h"
#include "ui/message_box.h"

namespace {

const int kWidth = 398;
const int kCategoryLimit = 20;
const int kTextLimit = 160;

QLineEdit *textField(QWidget *parent, const char *name, int limit, int x, int y, int width)
{
    auto *edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setMaxLength(limit);
    ui::keepLineText(edit);
    edit->setGeometry(x, y, width, 22);
    return edit;
}

// A stored text is shown whole even when it is longer than what may be typed, so that
// saving the line unchanged never cuts it.
void showStored(QLineEdit *edit, int limit, const QString &text)
{
    edit->setMaxLength(std::max<int>(limit, int(text.size())));
    edit->setText(text);
}

} // namespace

DetailDialog::DetailDialog(Mode mode, TDataModule2 *dm, QWidget *parent)
    : QDialog(parent), m_mode(mode), m_dm(dm)
{
    const bool adding = mode == Mode::New;
    setObjectName(adding ? QStringLiteral("Tnew_mingxi") : QStringLiteral("Tedit_mingxi"));
    setWindowTitle(adding ? QStringLiteral("新增明细") : QStringLiteral("编辑明细"));
    m_write = new Query(&dm->conn_jz_u, adding ? QStringLiteral("Query_add") : QStringLiteral("Query_edit"), this);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                   | Qt::WindowCloseButtonHint);
    setFixedSize(kWidth, adding ? 226 : 234);
    buildUi();
}

void DetailDialog::buildUi()
{
    const int labelX = 18;
    const int fieldX = 72;
    int y = 24;
    const int step = 36;

    ui::requiredStar(this, 8, y);
    ui::fieldLabel(this, QStringLiteral("类  别:"), labelX, y, 54);
    m_category = textField(this, "bsSkinEdit6", kCategoryLimit, fieldX, y, 110);
    ui::fieldLabel(this, QStringLiteral("日  期:"), 196, y, 54);
    m_date = new DateField(this);
    m_date->setObjectName(QStringLiteral("bsSkinDateEdit2"));
    // 99 pixels, or what a whole date needs in the font in use.
    const int dateWidth = fontMetrics().horizontalAdvance(QStringLiteral("0000-00-00"))
                          + m_date->dropDownButton()->sizeHint().width() + 16;
    m_date->setGeometry(250, y, std::max(99, dateWidth), 22);
    y += step;

    ui::requiredStar(this, 8, y);
    ui::fieldLabel(this, QStringLiteral("摘  要:"), labelX, y, 54);
    m_summary = textField(this, "bsSkinEdit7", kTextLimit, fieldX, y, 169);
    y += step;

    ui::requiredStar(this, 8, y);
    ui::fieldLabel(this, QStringLiteral("金  额:"), labelX, y, 54);
    m_amount = new AmountField(this);
    m_amount->setObjectName(QStringLiteral("bsSkinSpinEdit1"));
    // Wide enough for the longest amount in the dialog's own font.
    m_amount->setGeometry(fieldX, y - 1, std::max(110, m_amount->widthFor(AmountField::LongestText)), 24);
    y += step;

    ui::fieldLabel(this, QStringLiteral("备  注:"), labelX, y, 54);
    m_remark = textField(this, "bsSkinEdit8", kTextLimit, fieldX, y, 169);

    // Hidden carriers of the entry key and, when changing, of the line's uaid.
    m_entryKey = new QLabel(this);
    m_entryKey->setObjectName(QStringLiteral("bsSkinStdLabel9"));
    m_entryKey->setGeometry(8, height() - 24, 60, 16);
    m_entryKey->hide();
    if (m_mode == Mode::Edit) {
        m_lineId = new QLabel(this);
        m_lineId->setObjectName(QStringLiteral("bsSkinStdLabel10"));
        m_lineId->setGeometry(72, height() - 24, 60, 16);
        m_lineId->hide();
    }

    const int buttonY = height() - 46;
    m_save = new QPushButton(QStringLiteral("保  存"), this);
    m_save->setObjectName(QStringLiteral("bsSkinButton1"));
    m_save->setDefault(true);
    m_save->setGeometry(kWidth - 8 - 84 - 10 - 84, buttonY, 84, 30);
    m_cancel = new QPushButton(QStringLiteral("取  消"), this);
    m_cancel->setObjectName(QStringLiteral("bsSkinButton2"));
    m_cancel->setGeometry(kWidth - 8 - 84, buttonY, 84, 30);

    setTabOrder(m_save, m_cancel);
    setTabOrder(m_cancel, m_amount);
    setTabOrder(m_amount, m_summary);
    setTabOrder(m_summary, m_category);
    setTabOrder(m_category, m_remark);
    setTabOrder(m_remark, m_date);

    connect(m_save, &QPushButton::clicked, this, &DetailDialog::bsSkinButton1Click);
    connect(m_cancel, &QPushButton::clicked, this, &DetailDialog::bsSkinButton2Click);
}

void DetailDialog::setEntryKey(const QString &key) { m_entryKey->setText(key); }
QString DetailDialog::entryKey() const { return m_entryKey->text(); }

QString DetailDialog::lineId() const { return m_lineId ? m_lineId->text() : QString(); }

void DetailDialog::loadLine(const QString &uaid, const QString &category, const QString &date,
                            const QString &summary, const QString &remark, const QString &amount)
{
    showStored(m_category, kCategoryLimit, category);
    m_date->setText(date);
    showStored(m_summary, kTextLimit, summary);
    showStored(m_remark, kTextLimit, remark);
    m_amount->setText(amount);
    if (m_lineId)
        m_lineId->setText(uaid);
}

void DetailDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    ui::centreOnScreen(this);
    if (m_mode == Mode::New)
        FormShow();
    m_category->setFocus(Qt::OtherFocusReason);
}

void DetailDialog::FormShow()
{
    m_category->setMaxLength(kCategoryLimit);
    m_summary->setMaxLength(kTextLimit);
    m_remark->setMaxLength(kTextLimit);
    m_category->clear();
    m_summary->clear();
    m_remark->clear();
    // Set as text, so it stands as "0" until the field is left.
    m_amount->setText(QStringLiteral("0"));
    m_date->setToday();
}

void DetailDialog::save()
{
    if (m_category->text().isEmpty() || m_summary->text().isEmpty() || m_amount->text().isEmpty()) {
        msg::info(this, QStringLiteral("红色*号项必须填写"));
        return;
    }
    // A number is stored as it stands (12.5 after Enter, 12.50 once the field was left);
    // a text that is no number (a lone "-") gives way to the field's value.
    const QString amount = AmountField::storedText(m_amount->text(), m_amount->value());
    const QString key = m_entryKey->text();

    m_write->close();
    m_write->clearSql();
    if (m_mode == Mode::New) {
        m_write->setSql(QStringLiteral("insert into jz_ua (ua1,ua2,ua3,ua4,ua5,ua6)values (:a,:b,:c,:d,:e,:f)"));
        m_write->bind(QStringLiteral(":f"), key);
    } else {
        m_write->setSql(QStringLiteral("update jz_ua set ua1=:a,ua2=:b,ua3=:c,ua4=:d,ua5=:e where uaid=:f "));
        m_write->bind(QStringLiteral(":f"), m_lineId->text());
    }
    m_write->bind(QStringLiteral(":a"), m_category->text());
    m_write->bind(QStringLiteral(":b"), m_date->text());
    m_write->bind(QStringLiteral(":c"), m_summary->text());
    m_write->bind(QStringLiteral(":d"), m_remark->text());
    m_write->bind(QStringLiteral(":e"), amount);
    m_write->execSql();

    ui::afterStored([this] { accept(); },
                    [&] {
                        DetailList::load(*m_dm, key);
                        // The changed line stays selected; a new one is first and selected anyway.
                        if (m_mode == Mode::Edit)
                            DetailList::select(*m_dm, m_lineId->text());
                    });
}

void DetailDialog::bsSkinButton1Click()
{
    ui::guard(this, [this] { save(); });
}

void DetailDialog::bsSkinButton2Click() { reject(); }
