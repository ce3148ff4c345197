#include "details/detail_window.h"

#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QShowEvent>
#include <QToolButton>

#include "data/data_module.h"
#include "data/query.h"
#include "data/recycle_bin.h"
#include "details/detail_dialog.h"
#include "details/detail_list.h"
#include "ui/centre_on_screen.h"
#include "ui/data_grid.h"
#include "ui/guard.h"
#include "ui/message_box.h"
#include "ui/skin.h"

namespace {

const QString kNoLines = QStringLiteral("此记录没有明细，请您先添加");

// One line of text that ends in "…" when it is wider than the label; text() stays whole.
class LineLabel : public QLabel
{
public:
    explicit LineLabel(QWidget *parent) : QLabel(parent) {}

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.setPen(palette().color(foregroundRole()));
        const QRect r = contentsRect();
        p.drawText(r, Qt::AlignLeft | Qt::AlignVCenter,
                   fontMetrics().elidedText(text(), Qt::ElideRight, r.width()));
    }
};

} // namespace

Tmingxi::Tmingxi(TDataModule2 *dm, QWidget *parent) : QDialog(parent), m_dm(dm)
{
    setObjectName(QStringLiteral("Tmingxi"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                   | Qt::WindowCloseButtonHint);
    setFixedSize(661, 331);

    auto *banner = new QLabel(this);
    banner->setObjectName(QStringLiteral("detailBanner"));
    banner->setPixmap(Skin::picture(QStringLiteral("detail_banner")));
    banner->setGeometry(13, 6, 634, 54);

    m_line = new LineLabel(banner);
    m_line->setObjectName(QStringLiteral("bsSkinStdLabel4"));
    m_line->setTextFormat(Qt::PlainText);
    QFont lineFont = m_line->font();
    lineFont.setPixelSize(12);
    m_line->setFont(lineFont);
    QPalette linePalette = m_line->palette();
    linePalette.setColor(QPalette::WindowText, Qt::black);
    m_line->setPalette(linePalette);
    m_line->setGeometry(16, 24, 601, 24);

    m_key = new QLabel(this);
    m_key->setObjectName(QStringLiteral("bsSkinStdLabel3"));
    m_key->setGeometry(8, 8, 40, 16);
    m_key->hide();

    auto *group = new QGroupBox(QStringLiteral("记录明细列表"), this);
    group->setObjectName(QStringLiteral("bsSkinGroupBox3"));
    group->setGeometry(8, 66, 645, 257);

    struct Button {
        const char *name, *caption, *icon;
        void (Tmingxi::*slot)();
    };
    const Button buttons[] = {
        {"bsSkinSpeedButton1", "添加明细", "detail_add", &Tmingxi::bsSkinSpeedButton1Click},
        {"bsSkinSpeedButton2", "修改明细", "tool_edit", &Tmingxi::bsSkinSpeedButton2Click},
        {"bsSkinSpeedButton3", "删除明细", "tool_delete", &Tmingxi::bsSkinSpeedButton3Click},
    };
    int x = group->width() - 10 - 3 * 90;
    for (const Button &b : buttons) {
        auto *button = new QToolButton(group);
        button->setObjectName(QString::fromLatin1(b.name));
        button->setProperty("skin", QStringLiteral("tool"));
        button->setText(QString::fromUtf8(b.caption));
        button->setIcon(Skin::icon(QString::fromLatin1(b.icon)));
        button->setIconSize(QSize(20, 20));
        button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        button->setAutoRaise(true);
        // Reachable by Tab; a click leaves the focus on the grid.
        button->setFocusPolicy(Qt::TabFocus);
        button->setGeometry(x, 20, 90, 28);
        connect(button, &QToolButton::clicked, this, b.slot);
        x += 90;
    }

    m_grid = new DataGrid(QStringLiteral("bsSkinDBGrid1"), DataGrid::Mode::ReadOnly, group);
    m_grid->setGeometry(10, 52, group->width() - 20, group->height() - 62);
    const struct {
        const char *field, *title;
        int width;
    } columns[] = {{"ua1", "类型", 60}, {"ua2", "日期", 100}, {"ua3", "摘要", 180},
                   {"ua4", "备注", 140}, {"ua5", "金额总计", 100}};
    QList<QueryModel::Column> cols;
    for (const auto &c : columns) {
        QueryModel::Column col;
        col.field = QString::fromLatin1(c.field);
        col.title = QString::fromUtf8(c.title);
        col.width = c.width;
        cols << col;
    }
    m_grid->setQuery(dm->Query_jz_ua, cols);
    m_grid->setColumnFit({4}, {2, 3});
    m_grid->viewport()->installEventFilter(this);
    m_grid->installEventFilter(this);
}

void Tmingxi::setDialogs(DetailDialog *add, DetailDialog *change)
{
    m_add = add;
    m_change = change;
}

void Tmingxi::setEntryLine(const QString &line)
{
    m_line->setText(line);
    // A tool tip reads markup into any text that looks like it: the line is made rich text
    // of its own, so a summary such as "<b>" shows as typed.
    m_line->setToolTip(QStringLiteral("<p style=\"white-space:pre-wrap\">%1</p>").arg(line.toHtmlEscaped()));
}

QString Tmingxi::entryLine() const { return m_line->text(); }
void Tmingxi::setEntryKey(const QString &key) { m_key->setText(key); }
QString Tmingxi::entryKey() const { return m_key->text(); }

void Tmingxi::openFor(const QString &entryLine, const QString &entryKey, const QString &caption)
{
    setEntryLine(entryLine);
    setEntryKey(entryKey);
    setWindowTitle(caption);
    exec();
}

void Tmingxi::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    ui::centreOnScreen(this);
    FormShow();
    m_grid->setFocus(Qt::OtherFocusReason);
}

void Tmingxi::FormShow()
{
    ui::guard(this, [this] { DetailList::load(*m_dm, entryKey()); });
}

bool Tmingxi::refuseWhenEmpty()
{
    if (m_dm->Query_jz_ua->isOpen() && !m_dm->Query_jz_ua->isEmpty())
        return false;
    msg::info(this, kNoLines);
    return true;
}

void Tmingxi::bsSkinSpeedButton1Click()
{
    ui::guard(this, [this] {
        if (!m_add)
            return;
        m_add->setEntryKey(entryKey());
        m_add->exec();
    });
}

void Tmingxi::bsSkinSpeedButton2Click()
{
    ui::guard(this, [this] {
        if (refuseWhenEmpty() || !m_change)
            return;
        const Query *q = m_dm->Query_jz_ua;
        m_change->loadLine(q->field(QStringLiteral("uaid")), q->field(QStringLiteral("ua1")),
                           q->field(QStringLiteral("ua2")), q->field(QStringLiteral("ua3")),
                           q->field(QStringLiteral("ua4")), q->field(QStringLiteral("ua5")));
        m_change->setEntryKey(entryKey());
        m_change->exec();
    });
}

void Tmingxi::bsSkinSpeedButton3Click()
{
    ui::guard(this, [this] {
        if (refuseWhenEmpty())
            return;
        if (!msg::confirmDelete(this, QStringLiteral("您确定要删除此记录吗?此操作不可恢复")))
            return;
        Query *q = m_dm->Query_jz_ua;
        const int row = q->currentRow();
        RecycleBin::deleteCurrentDetail(*m_dm);   // with its copy into the bin
        DetailList::load(*m_dm, entryKey());
        // The selection stays where the deleted line was.
        q->setCurrentRow(row);
    });
}

bool Tmingxi::eventFilter(QObject *watched, QEvent *event)
{
    // A double click on a line changes it; the Delete key deletes it (after the question).
    if (watched == m_grid->viewport() && event->type() == QEvent::MouseButtonDblClick) {
        auto *me = static_cast<QMouseEvent *>(event);
        if (me->button() == Qt::LeftButton && m_grid->indexAt(me->position().toPoint()).isValid()) {
            bsSkinSpeedButton2Click();
            return true;
        }
    } else if (watched == m_grid && event->type() == QEvent::KeyPress) {
        if (static_cast<QKeyEvent *>(event)->key() == Qt::Key_Delete) {
            bsSkinSpeedButton3Click();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}
