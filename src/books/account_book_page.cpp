#include "books/account_book_page.h"

#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QShortcut>
#include <QToolButton>
#include <QVBoxLayout>
#include "books/quick_search.h"
#include "books/title_sort.h"
#include "data/book_cache.h"
#include "data/book_refresh.h"
#include "data/recycle_bin.h"
#include "data/data_module.h"
#include "records/entry_dialog.h"
#include "ui/button_key.h"
#include "ui/data_grid.h"
#include "ui/guard.h"
#include "ui/message_box.h"
#include "ui/skin.h"

namespace {

const QString kEmptyList = QStringLiteral("此账本无收支记录,请先新增收入\\支出记录。");

const char *const kFields[] = {"bid", "b1", "b2", "b3", "b4", "b5", "b6", "b7", "b8", "b9", "b10"};
const int kWidths[] = {50, 50, 75, 118, 160, 70, 70, 70, 70, 70, 72};

// A strip of three pictures: the left and right ones at their size, the middle one stretched.
QWidget *pictureStrip(const QString &left, const QString &middle, const QString &right, int height,
                      QWidget *parent)
{
    auto *strip = new QWidget(parent);
    strip->setFixedHeight(height);
    auto *row = new QHBoxLayout(strip);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    auto *l = new QLabel(strip);
    l->setPixmap(Skin::picture(left));
    auto *m = new QLabel(strip);
    m->setPixmap(Skin::picture(middle));
    m->setScaledContents(true);
    m->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    auto *r = new QLabel(strip);
    r->setPixmap(Skin::picture(right));
    row->addWidget(l);
    row->addWidget(m, 1);
    row->addWidget(r);
    return strip;
}

// The book name: shown whole when there is room, elided at the end when the window is
// narrow, so a long name never widens the tool bar; a name of up to six characters always
// shows whole. text() stays the whole name.
class NameLabel : public QLabel
{
public:
    explicit NameLabel(QWidget *parent) : QLabel(parent) {}
    QSize minimumSizeHint() const override
    {
        const QSize full = QLabel::minimumSizeHint();
        return {std::min(full.width(), fontMetrics().horizontalAdvance(QStringLiteral("账本账本账本")) + 2),
                full.height()};
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.setPen(palette().color(foregroundRole()));
        const QRect r = contentsRect();
        p.drawText(r, int(alignment()), fontMetrics().elidedText(text(), Qt::ElideRight, r.width()));
    }
};

QFrame *divider(QWidget *parent)
{
    auto *line = new QFrame(parent);
    line->setFrameShape(QFrame::VLine);
    line->setFrameShadow(QFrame::Sunken);
    line->setFixedHeight(22);
    return line;
}

// A label showing one field of a one-row query, kept current through every reopen.
void bindLabel(QLabel *label, Query *q, const QString &field)
{
    auto show = [label, q, field] {
        label->setText(q->isOpen() && !q->isEmpty() ? q->value(0, field) : QString());
    };
    QObject::connect(q, &Query::resetDone, label, show);
    show();
}

} // namespace

TFr_zhangben::TFr_zhangben(QWidget *parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("Fr_zhangben1"));

    auto *page = new QVBoxLayout(this);
    page->setContentsMargins(0, 0, 0, 0);
    page->setSpacing(0);

    page->addWidget(pictureStrip(QStringLiteral("book_banner_left"), QStringLiteral("book_banner_middle"),
                                 QStringLiteral("book_banner_right"), 48, this));

    // --- tool bar ---
    auto *bar = new QFrame(this);
    bar->setObjectName(QStringLiteral("bsSkinToolBar1"));
    bar->setProperty("skin", QStringLiteral("toolBar"));
    auto *tools = new QHBoxLayout(bar);
    tools->setContentsMargins(4, 3, 4, 3);
    tools->setSpacing(1);
    // Narrow padding: the whole bar fits the page at the window's first size.
    bar->setStyleSheet(QStringLiteral("QToolButton[skin=\"tool\"] { padding: 2px 1px; }"));
    struct Tool {
        const char *name, *caption, *icon;
        void (TFr_zhangben::*slot)();
        const char *key = nullptr;
    };
    // Enter on a row opens its details like "明 细" (the grid's own key, below); Ctrl+F
    // goes straight into the quick search's first box.
    const Tool left[] = {
        {"bsSkinSpeedButton2", "新收入", "tool_new_shouru", &TFr_zhangben::bsSkinSpeedButton2Click},
        {"bsSkinSpeedButton3", "新支出", "tool_new_zhichu", &TFr_zhangben::bsSkinSpeedButton3Click},
        {nullptr, nullptr, nullptr, nullptr},
        {"bsSkinSpeedButton12", "明 细", "tool_mingxi", &TFr_zhangben::bsSkinSpeedButton12Click},
        {"bsSkinSpeedButton5", "修改选中", "tool_edit", &TFr_zhangben::bsSkinSpeedButton5Click, "F2"},
        {"bsSkinSpeedButton6", "删除选中", "tool_delete", &TFr_zhangben::bsSkinSpeedButton6Click, "Del"},
        {nullptr, nullptr, nullptr, nullptr},
        {"bsSkinSpeedButton7", "速 查", "tool_search", &TFr_zhangben::bsSkinSpeedButton7Click, "Ctrl+F"},
        {"bsSkinSpeedButton4", "刷新", "tool_refresh", &TFr_zhangben::bsSkinSpeedButton4Click, "F5"},
        {"bsSkinSpeedButton9", "打 印", "tool_print", &TFr_zhangben::bsSkinSpeedButton9Click, "Ctrl+P"},
        {"bsSkinSpeedButton8", "帮 助", "tool_help", &TFr_zhangben::bsSkinSpeedButton8Click},
    };
    for (const Tool &t : left) {
        if (!t.name) {
            tools->addWidget(divider(bar));
            continue;
        }
        QToolButton *b = toolButton(bar, QString::fromLatin1(t.name), QString::fromUtf8(t.caption),
                                    QString::fromLatin1(t.icon));
        connect(b, &QToolButton::clicked, this, t.slot);
        tools->addWidget(b);
        if (!t.key)
            continue;
        QShortcut *key = ui::giveKey(b, QKeySequence(QString::fromLatin1(t.key)));
        if (b->objectName() == QLatin1String("bsSkinSpeedButton7"))
            connect(key, &QShortcut::activated, this, [this] {
                if (m_search->isVisible())
                    m_search->kindBox()->setFocus(Qt::ShortcutFocusReason);
            });
    }
    tools->addStretch(1);
    auto *current = new QLabel(QStringLiteral("当前账本: "), bar);
    tools->addWidget(current);
    m_bookName = new NameLabel(bar);
    m_bookName->setObjectName(QStringLiteral("bsSkinDBText16"));
    m_bookName->setProperty("skin", QStringLiteral("title"));
    m_bookName->setTextFormat(Qt::PlainText);
    tools->addWidget(m_bookName, 0);
    tools->addSpacing(2);
    m_switch = new QLabel(QStringLiteral("[切换]"), bar);
    m_switch->setObjectName(QStringLiteral("bsSkinStdLabel1"));
    m_switch->setProperty("skin", QStringLiteral("link"));
    m_switch->setCursor(Qt::PointingHandCursor);
    m_switch->installEventFilter(this);
    tools->addWidget(m_switch);
    tools->addSpacing(2);
    QToolButton *newBook = toolButton(bar, QStringLiteral("bsSkinSpeedButton1"), QStringLiteral("新账本"),
                                      QStringLiteral("tool_new_book"));
    connect(newBook, &QToolButton::clicked, this, &TFr_zhangben::bsSkinSpeedButton1Click);
    tools->addWidget(newBook);
    // The rest of the book row, for the handlers of other windows.
    m_aid = new QLabel(bar);
    m_aid->setObjectName(QStringLiteral("bsSkinDBText13"));
    m_created = new QLabel(bar);
    m_created->setObjectName(QStringLiteral("bsSkinDBText14"));
    m_remark = new QLabel(bar);
    m_remark->setObjectName(QStringLiteral("bsSkinDBText15"));
    for (QLabel *hidden : {m_aid, m_created, m_remark})
        hidden->hide();
    page->addWidget(bar);

    m_search = new QuickSearch(this);
    m_search->hide();
    page->addWidget(m_search);

    page->addWidget(pictureStrip(QStringLiteral("book_strip_left"), QStringLiteral("book_strip_middle"),
                                 QStringLiteral("book_strip_right"), 26, this));

    m_grid = new DataGrid(QStringLiteral("bsSkinDBGrid1"), DataGrid::Mode::ReadOnly, this);
    // However small the window, the grid keeps room for a screenful of entries.
    m_grid->setMinimumRows(8);
    m_grid->viewport()->installEventFilter(this);
    m_grid->installEventFilter(this);
    m_grid->setToolTip(QString());
    m_sort = new TitleSort(m_grid);
    page->addWidget(m_grid, 1);

    // --- totals ---
    auto *totals = new QFrame(this);
    totals->setObjectName(QStringLiteral("totalsPanel"));
    totals->setProperty("skin", QStringLiteral("panel"));
    auto *totalsRow = new QHBoxLayout(totals);
    totalsRow->setContentsMargins(6, 4, 6, 4);
    totalsRow->setSpacing(8);
    auto *calc = new QLabel(totals);
    calc->setPixmap(Skin::picture(QStringLiteral("book_totals")));
    totalsRow->addWidget(calc);
    auto *cells = new QGridLayout;
    cells->setHorizontalSpacing(4);
    cells->setVerticalSpacing(4);
    const char *const captions[] = {"  收入总计:", "  已收总计:", "  应收总计:",
                                    "  支出总计:", "  已付总计:", "  应付总计:"};
    // Named after their total queries: the welcome page's bound labels own bsSkinDBText1/2.
    const char *const names[] = {"Total_shouru", "Total_yishou", "Total_yingshou",
                                 "Total_zhichu", "Total_yifu", "Total_yingfu"};
    for (int i = 0; i < 6; ++i) {
        auto *caption = new QLabel(QString::fromUtf8(captions[i]), totals);
        auto *value = new QLabel(totals);
        value->setObjectName(QString::fromLatin1(names[i]));
        value->setProperty("skin", i < 3 ? QStringLiteral("income") : QStringLiteral("expense"));
        value->setTextFormat(Qt::PlainText);
        value->setMinimumWidth(110);
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        cells->addWidget(caption, i / 3, (i % 3) * 2, Qt::AlignRight | Qt::AlignVCenter);
        cells->addWidget(value, i / 3, (i % 3) * 2 + 1, Qt::AlignLeft | Qt::AlignVCenter);
        m_totals << value;
    }
    totalsRow->addLayout(cells);
    totalsRow->addStretch(1);
    page->addWidget(totals);
}

QToolButton *TFr_zhangben::toolButton(QWidget *bar, const QString &name, const QString &caption,
                                      const QString &icon)
{
    auto *b = new QToolButton(bar);
    b->setObjectName(name);
    b->setProperty("skin", QStringLiteral("tool"));
    b->setText(caption);
    b->setIcon(Skin::icon(icon));
    b->setIconSize(QSize(20, 20));
    b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    b->setAutoRaise(true);
    return b;
}

void TFr_zhangben::attachData(TDataModule2 *dm)
{
    m_dm = dm;
    QList<QueryModel::Column> columns;
    const QStringList titles = plainTitles();
    for (int i = 0; i < 11; ++i) {
        QueryModel::Column c;
        c.field = QString::fromLatin1(kFields[i]);
        c.title = titles[i];
        c.width = kWidths[i];
        if (i >= 5)
            c.align = Qt::AlignRight | Qt::AlignVCenter;
        columns << c;
    }
    m_grid->setQuery(dm->Query_jz_ab, columns);
    m_grid->setColumnFit({5, 6, 7, 8, 9, 10}, {3, 4});

    Query *book = dm->Query_zhangben;
    bindLabel(m_bookName, book, QStringLiteral("a1"));
    bindLabel(m_aid, book, QStringLiteral("aid"));
    bindLabel(m_created, book, QStringLiteral("a2"));
    bindLabel(m_remark, book, QStringLiteral("a3"));
    for (int i = 0; i < 6; ++i)
        bindLabel(m_totals[i], dm->totalQuery(i), QStringLiteral("tt1"));
    m_search->attachData(dm);
}

void TFr_zhangben::setEntryDialogs(EntryDialog *newIncome, EntryDialog *newExpense, EntryDialog *editIncome,
                                   EntryDialog *editExpense)
{
    m_newIncome = newIncome;
    m_newExpense = newExpense;
    m_editIncome = editIncome;
    m_editExpense = editExpense;
}

QString TFr_zhangben::bookKey() const { return m_aid->text(); }
QString TFr_zhangben::bookName() const { return m_bookName->text(); }

QStringList TFr_zhangben::plainTitles()
{
    return {QStringLiteral("编号"),     QStringLiteral("类别"),     QStringLiteral("日期"),
            QStringLiteral("摘要"),     QStringLiteral("单位名称"), QStringLiteral("收入总额"),
            QStringLiteral("已收金额"), QStringLiteral("应收账款"), QStringLiteral("支出总额"),
            QStringLiteral("已付金额"), QStringLiteral("应付账款")};
}

void TFr_zhangben::resetTitles()
{
    const QStringList titles = plainTitles();
    for (int i = 0; i < titles.size(); ++i)
        m_grid->setTitle(i, titles[i]);
}

bool TFr_zhangben::refuseWhenEmpty()
{
    if (m_dm && !m_dm->Query_jz_ab->isEmpty())
        return false;
    msg::info(this, kEmptyList);
    return true;
}

void TFr_zhangben::openNewEntry(EntryDialog *dialog)
{
    if (!dialog || !m_dm)
        return;
    dialog->setBookKey(BookRefresh::bookKey(*m_dm));
    dialog->exec();
}

void TFr_zhangben::bsSkinSpeedButton2Click()
{
    ui::guard(this, [this] { openNewEntry(m_newIncome); });
}

void TFr_zhangben::bsSkinSpeedButton3Click()
{
    ui::guard(this, [this] { openNewEntry(m_newExpense); });
}

void TFr_zhangben::bsSkinSpeedButton12Click() { bsSkinDBGrid1DblClick(); }

void TFr_zhangben::bsSkinDBGrid1DblClick()
{
    ui::guard(this, [this] {
        if (refuseWhenEmpty() || !m_detailHook)
            return;
        const Query *q = m_dm->Query_jz_ab;
        const auto f = [q](const char *name) { return q->field(QString::fromLatin1(name)); };
        const QString kind = f("b1");
        QString line;
        if (kind == QStringLiteral("收入"))
            line = kind + u',' + f("b3") + QStringLiteral(", 总额") + f("b5") + QStringLiteral(" 已收")
                   + f("b6") + QStringLiteral(" 应收") + f("b7") + QStringLiteral("  ") + f("b2");
        else if (kind == QStringLiteral("支出"))
            line = kind + u',' + f("b3") + QStringLiteral(", 总额") + f("b8") + QStringLiteral(" 已付")
                   + f("b9") + QStringLiteral(" 应付") + f("b10") + QStringLiteral("  ") + f("b2");
        const QString bid = f("bid");
        m_detailHook(line, bid, QStringLiteral("编号") + bid + u'的' + kind + QStringLiteral("记录明细"));
    });
}

void TFr_zhangben::bsSkinSpeedButton5Click()
{
    ui::guard(this, [this] {
        if (refuseWhenEmpty())
            return;
        Query *q = m_dm->Query_jz_ab;
        const QString kind = q->field(QStringLiteral("b1"));
        EntryDialog *editor = nullptr;
        QStringList amounts;
        if (kind == QStringLiteral("收入")) {
            editor = m_editIncome;
            amounts = {QStringLiteral("b5"), QStringLiteral("b6"), QStringLiteral("b7")};
        } else if (kind == QStringLiteral("支出")) {
            editor = m_editExpense;
            amounts = {QStringLiteral("b8"), QStringLiteral("b9"), QStringLiteral("b10")};
        }
        if (!editor)
            return;
        editor->loadEntry(q->field(QStringLiteral("bid")), q->field(QStringLiteral("b3")),
                          q->field(QStringLiteral("b4")), q->field(QStringLiteral("b2")),
                          q->field(amounts[0]), q->field(amounts[1]), q->field(amounts[2]));
        editor->exec();
    });
}

void TFr_zhangben::bsSkinSpeedButton6Click()
{
    ui::guard(this, [this] {
        if (refuseWhenEmpty())
            return;
        if (!msg::confirmDelete(this, QStringLiteral("您确定要删除此记录吗?此操作不可恢复")))
            return;
        // The row goes, and its copy into the bin, in one transaction.
        RecycleBin::deleteCurrentEntry(*m_dm);
        BookRefresh::loadEntries(*m_dm);
        BookRefresh::loadTotals(*m_dm);
    });
}

void TFr_zhangben::bsSkinSpeedButton7Click() { m_search->show(); }

void TFr_zhangben::bsSkinSpeedButton4Click()
{
    ui::guard(this, [this] {
        if (!m_dm)
            return;
        BookRefresh::loadEntries(*m_dm);
        BookRefresh::loadTotals(*m_dm);
    });
}

void TFr_zhangben::bsSkinSpeedButton9Click()
{
    ui::guard(this, [this] {
        if (refuseWhenEmpty())
            return;
        if (m_printHook)
            m_printHook();
    });
}

void TFr_zhangben::bsSkinSpeedButton8Click()
{
    ui::guard(this, [this] {
        if (m_helpHook)
            m_helpHook();
    });
}

void TFr_zhangben::bsSkinStdLabel1Click()
{
    ui::guard(this, [this] {
        if (m_switchHook)
            m_switchHook();
    });
}

void TFr_zhangben::bsSkinSpeedButton1Click()
{
    ui::guard(this, [this] {
        if (m_newBookHook)
            m_newBookHook();
    });
}

bool TFr_zhangben::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_switch && event->type() == QEvent::MouseButtonRelease) {
        auto *me = static_cast<QMouseEvent *>(event);
        if (me->button() == Qt::LeftButton && m_switch->rect().contains(me->position().toPoint()))
            bsSkinStdLabel1Click();
        return false;
    }
    // Enter on the grid opens the details of the selected row, as a double click does.
    if (watched == m_grid && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter)
            && !(static_cast<QKeyEvent *>(event)->modifiers() & ~Qt::KeypadModifier)) {
            bsSkinDBGrid1DblClick();
            return true;
        }
    }
    // The whole grid answers a double click, empty area included, so an empty list refuses.
    if (watched == m_grid->viewport() && event->type() == QEvent::MouseButtonDblClick) {
        if (static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton)
            bsSkinDBGrid1DblClick();
        return false;
    }
    return QFrame::eventFilter(watched, event);
}
