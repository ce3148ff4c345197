#include "records/entry_dialog.h"

#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QToolButton>
#include <stdexcept>

#include "data/book_cache.h"
#include "data/book_refresh.h"
#include "data/data_module.h"
#include "data/query.h"
#include "records/amount_field.h"
#include "records/menu_item_manager.h"
#include "ui/date_field.h"
#include "ui/centre_on_screen.h"
#include "ui/form_labels.h"
#include "ui/guard.h"
#include "ui/line_text.h"
#include "ui/message_box.h"
#include "ui/skin.h"

namespace {

const int kClientHeight = 228;
const int kRowStep = 36;
const int kFirstRow = 30;

} // namespace

EntryDialog::EntryDialog(Kind kind, Mode mode, TDataModule2 *dm, QWidget *parent)
    : QDialog(parent), m_kind(kind), m_mode(mode), m_dm(dm)
{
    const bool income = kind == Kind::Income;
    if (mode == Mode::New) {
        setObjectName(income ? QStringLiteral("Tnew_shouru") : QStringLiteral("Tnew_zhichu"));
        setWindowTitle(income ? QStringLiteral("新增收入") : QStringLiteral("新增支出"));
        m_write = new Query(&dm->conn_jz_m, QStringLiteral("Query_add"), this);
    } else {
        setObjectName(income ? QStringLiteral("Tedit_shouru") : QStringLiteral("Tedit_zhichu"));
        setWindowTitle(income ? QStringLiteral("修改选中的收入") : QStringLiteral("修改选中的支出"));
        m_write = new Query(&dm->conn_jz_m, QStringLiteral("Query_edit"), this);
    }
    m_phraseAdd = new Query(&dm->conn_jz_f, QStringLiteral("Query_f_add"), this);

    // Only a close button; it acts like "取  消" (reject).
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                   | Qt::WindowCloseButtonHint);
    buildUi();
}

void EntryDialog::buildUi()
{
    const bool income = m_kind == Kind::Income;
    const bool editor = m_mode == Mode::Edit;
    int width = income ? 472 : 474;

    // Left column: (kind), summary, counterparty, date.
    int y = kFirstRow;
    if (editor) {
        ui::fieldLabel(this, QStringLiteral("类    别:"), 18, y, 64);
        auto *badge = new QLabel(this);
        badge->setObjectName(income ? QStringLiteral("img_shouru") : QStringLiteral("img_zhichu"));
        badge->setPixmap(Skin::picture(income ? QStringLiteral("badge_shouru")
                                              : QStringLiteral("badge_zhichu")));
        badge->setGeometry(82, y, 50, 22);
        badge->setAttribute(Qt::WA_TransparentForMouseEvents);
        y += kRowStep;
    }

    ui::requiredStar(this, 8, y);
    ui::fieldLabel(this, QStringLiteral("项目摘要:"), 18, y, 64);
    m_summary = new QLineEdit(this);
    m_summary->setObjectName(QStringLiteral("bsSkinEdit4"));
    m_summary->setMaxLength(160);
    ui::keepLineText(m_summary);
    m_summary->setGeometry(82, y, 120, 22);
    m_pickSummary = new QToolButton(this);
    m_pickSummary->setObjectName(QStringLiteral("bsSkinSpeedButton1"));
    m_pickSummary->setGeometry(206, y, 22, 22);
    y += kRowStep;

    ui::requiredStar(this, 8, y);
    ui::fieldLabel(this, QStringLiteral("单位名称:"), 18, y, 64);
    m_counterparty = new QLineEdit(this);
    m_counterparty->setObjectName(QStringLiteral("bsSkinEdit5"));
    m_counterparty->setMaxLength(160);
    ui::keepLineText(m_counterparty);
    m_counterparty->setGeometry(82, y, 120, 22);
    m_pickCounterparty = new QToolButton(this);
    m_pickCounterparty->setObjectName(QStringLiteral("bsSkinSpeedButton2"));
    m_pickCounterparty->setGeometry(206, y, 22, 22);
    y += kRowStep;

    ui::fieldLabel(this, QStringLiteral("登记日期:"), 18, y, 64);
    m_date = new DateField(this);
    m_date->setObjectName(QStringLiteral("bsSkinDateEdit1"));
    m_date->setGeometry(82, y, 146, 22);

    for (QToolButton *pick : {m_pickSummary, m_pickCounterparty}) {
        pick->setIcon(Skin::icon(QStringLiteral("tag")));
        pick->setIconSize(QSize(16, 16));
        // Like the original speed buttons: a click leaves the focus where it was.
        pick->setFocusPolicy(Qt::NoFocus);
        pick->setAutoRaise(false);
    }
    m_pickSummary->setToolTip(QStringLiteral("摘要"));
    m_pickCounterparty->setToolTip(QStringLiteral("单位名称"));

    // Hidden carrier of the book key (new dialogs) or the entry number (editors).
    m_keyLabel = new QLabel(this);
    m_keyLabel->setObjectName(editor && !income ? QStringLiteral("bsSkinStdLabel12")
                                                : QStringLiteral("bsSkinStdLabel7"));
    m_keyLabel->setGeometry(8, 200, 60, 16);
    m_keyLabel->hide();

    // Right half: the three amounts.
    auto *group = new QGroupBox(income ? QStringLiteral("请输入收入详情") : QStringLiteral("请输入支出详情"),
                                this);
    group->setObjectName(QStringLiteral("amountGroup"));
    // As wide as the left column leaves room for: the amounts need it (up to 18 characters).
    const int groupX = 232;
    group->setGeometry(groupX, 10, width - groupX - 6, 164);
    const QStringList labels = income
        ? QStringList{QStringLiteral("收入总额:"), QStringLiteral("已收金额:"), QStringLiteral("应收账款:")}
        : QStringList{QStringLiteral("支出总额:"), QStringLiteral("已付金额:"), QStringLiteral("应付账款:")};
    AmountField **fields[] = {&m_total, &m_settled, &m_outstanding};
    for (int i = 0; i < 3; ++i) {
        const int gy = 30 + i * 42;
        if (i == 0)
            ui::requiredStar(group, 5, gy);
        ui::fieldLabel(group, labels[i], 11, gy, 60);
        auto *f = new AmountField(group);
        f->setObjectName(QStringLiteral("bsSkinEdit%1").arg(i + 1));
        f->setGeometry(72, gy - 1, group->width() - 72 - 6, 24);
        *fields[i] = f;
    }
    // The amounts show whole in the dialog's own font, the longest typed amount and a
    // difference of two of them; where the font needs more room the dialog grows.
    const int extra = m_total->widthFor(AmountField::LongestText + 1) - m_total->width();
    if (extra > 0) {
        width += extra;
        group->resize(group->width() + extra, group->height());
        for (AmountField *f : {m_total, m_settled, m_outstanding})
            f->resize(f->width() + extra, f->height());
    }
    setFixedSize(width, kClientHeight);

    m_save = new QPushButton(QStringLiteral("保  存"), this);
    m_save->setObjectName(QStringLiteral("bsSkinButton1"));
    m_save->setDefault(true);
    m_save->setGeometry(width - 8 - 76 - 10 - 84, 186, 84, 30);
    m_cancel = new QPushButton(QStringLiteral("取  消"), this);
    m_cancel->setObjectName(QStringLiteral("bsSkinButton2"));
    m_cancel->setGeometry(width - 8 - 76, 186, 76, 30);

    setTabOrder(m_summary, m_counterparty);
    setTabOrder(m_counterparty, m_date);
    setTabOrder(m_date, m_total);
    setTabOrder(m_total, m_settled);
    setTabOrder(m_settled, m_outstanding);
    setTabOrder(m_outstanding, m_save);
    setTabOrder(m_save, m_cancel);

    connect(m_total, &AmountField::changed, this, &EntryDialog::bsSkinEdit1Change);
    connect(m_settled, &AmountField::changed, this, &EntryDialog::bsSkinEdit2Change);
    connect(m_save, &QPushButton::clicked, this, &EntryDialog::bsSkinButton1Click);
    connect(m_cancel, &QPushButton::clicked, this, &EntryDialog::bsSkinButton2Click);
    connect(m_pickSummary, &QToolButton::clicked, this, &EntryDialog::bsSkinSpeedButton1Click);
    connect(m_pickCounterparty, &QToolButton::clicked, this, &EntryDialog::bsSkinSpeedButton2Click);
}

void EntryDialog::setBookKey(const QString &key)
{
    if (m_mode == Mode::New)
        m_keyLabel->setText(key);
}

QString EntryDialog::bookKey() const
{
    return m_mode == Mode::New ? m_keyLabel->text() : QString();
}

QString EntryDialog::entryNumber() const
{
    return m_mode == Mode::Edit ? m_keyLabel->text() : QString();
}

void EntryDialog::setSummaryText(const QString &text) { m_summary->setText(text); }
void EntryDialog::setCounterpartyText(const QString &text) { m_counterparty->setText(text); }
QString EntryDialog::summaryText() const { return m_summary->text(); }
QString EntryDialog::counterpartyText() const { return m_counterparty->text(); }

void EntryDialog::loadEntry(const QString &bid, const QString &summary, const QString &counterparty,
                            const QString &date, const QString &total, const QString &settled,
                            const QString &outstanding)
{
    // The amounts are set as texts so the change rules run on the way; the outstanding
    // text comes last and therefore stands as stored.
    m_keyLabel->setText(bid);
    m_summary->setText(summary);
    m_counterparty->setText(counterparty);
    m_date->setText(date);
    m_loading = true;
    m_loadError.clear();
    const auto check = [this] {
        if (m_loadError.isEmpty())
            return;
        m_loading = false;
        throw std::runtime_error(m_loadError.toStdString());
    };
    m_total->setText(total);
    check();
    m_settled->setText(settled);
    check();
    m_outstanding->setText(outstanding);
    check();
    m_loading = false;
}

void EntryDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    ui::centreOnScreen(this);
    if (m_mode == Mode::New)
        FormShow();
    m_summary->setFocus(Qt::OtherFocusReason);
}

void EntryDialog::FormShow()
{
    m_total->setText(QStringLiteral("0.00"));
    m_settled->setText(QStringLiteral("0.00"));
    m_outstanding->setText(QStringLiteral("0.00"));
    m_date->setToday();
    m_summary->clear();
    m_counterparty->clear();
}

void EntryDialog::bsSkinEdit1Change()
{
    // From the total's digits, not its double: 123456789012345.67 keeps its cents.
    m_settled->setExactValue(m_total->exactText());
}

void EntryDialog::recomputeOutstanding()
{
    const QString diff = AmountField::difference(m_total->text(), m_settled->text());
    m_outstanding->setExactValue(diff);
}

void EntryDialog::bsSkinEdit2Change()
{
    if (m_loading) {
        try {
            recomputeOutstanding();
        } catch (const std::exception &e) {
            if (m_loadError.isEmpty())
                m_loadError = QString::fromUtf8(e.what());
        }
        return;
    }
    ui::guard(this, [this] { recomputeOutstanding(); });
}

void EntryDialog::runCommand(Query *q, const QString &sql, const QStringList &values)
{
    q->close();
    q->clearSql();
    q->setSql(sql);
    for (int i = 0; i < values.size(); ++i)
        q->bind(QStringLiteral(":") + QChar(u'a' + i), values[i]);
    q->execSql();
}

void EntryDialog::save()
{
    if (m_summary->text().isEmpty() || m_counterparty->text().isEmpty() || m_total->text().isEmpty()) {
        msg::info(this, QStringLiteral("红色*号项必须填写"));
        return;
    }
    const bool income = m_kind == Kind::Income;
    // Numbers are stored as they stand (a total that kept the focus as typed); a text that is
    // no number (a lone "-") would poison the sums, so the field's value goes in instead.
    const QString total = AmountField::storedText(m_total->text(), m_total->value());
    const QString settled = AmountField::storedText(m_settled->text(), m_settled->value());
    const QString outstanding = AmountField::storedText(m_outstanding->text(), m_outstanding->value());

    // The book in memory follows this one entry; anything unexpected drops it.
    BookCache::EntryWrite write(BookCache::of(*m_dm));
    if (m_mode == Mode::New) {
        const QString sql = income
            ? QStringLiteral("insert into jz_ab (b1,b2,b3,b4,b5,b6,b7,b14)values (:a,:b,:c,:d,:e,:f,:g,:h)")
            : QStringLiteral("insert into jz_ab (b1,b2,b3,b4,b8,b9,b10,b14)values (:a,:b,:c,:d,:e,:f,:g,:h)");
        runCommand(m_write, sql,
                   {income ? QStringLiteral("收入") : QStringLiteral("支出"), m_date->text(),
                    m_summary->text(), m_counterparty->text(), total, settled, outstanding,
                    m_keyLabel->text()});
        write.done(QString::number(m_dm->conn_jz_m.lastInsertId()));
    } else {
        const QString sql = income
            ? QStringLiteral("update jz_ab set b3=:a,b4=:b,b2=:c,b5=:d,b6=:e,b7=:f where bid=:g ")
            : QStringLiteral("update jz_ab set b3=:a,b4=:b,b2=:c,b8=:d,b9=:e,b10=:f where bid=:g ");
        runCommand(m_write, sql,
                   {m_summary->text(), m_counterparty->text(), m_date->text(), total, settled,
                    outstanding, m_keyLabel->text()});
        write.done(m_keyLabel->text());
    }

    ui::afterStored(
        [this] { accept(); }, [this] { BookRefresh::rerunEntries(*m_dm); },
        [this] {
            runCommand(m_phraseAdd, QStringLiteral("insert into a1 (z1)values (:a)"), {m_summary->text()});
            m_dm->Query_jz_a1->reopen();
        },
        [this] {
            runCommand(m_phraseAdd, QStringLiteral("insert into a2 (z1)values (:a)"), {m_counterparty->text()});
            m_dm->Query_jz_a2->reopen();
        },
        [this] { BookRefresh::loadTotals(*m_dm); });
}

void EntryDialog::bsSkinButton1Click()
{
    ui::guard(this, [this] { save(); });
}

void EntryDialog::bsSkinButton2Click() { reject(); }

void EntryDialog::bsSkinSpeedButton1Click()
{
    ui::guard(this, [this] {
        if (m_manager)
            m_manager->showSummaries();
    });
}

void EntryDialog::bsSkinSpeedButton2Click()
{
    ui::guard(this, [this] {
        if (m_manager)
            m_manager->showCounterparties();
    });
}
