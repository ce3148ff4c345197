#include "records/menu_item_manager.h"

#include <QApplication>
#include <QFocusEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QStyledItemDelegate>
#include <QToolButton>

#include "data/data_module.h"
#include "data/query.h"
#include "records/entry_dialog.h"
#include "ui/data_grid.h"
#include "ui/centre_on_screen.h"
#include "ui/guard.h"
#include "ui/line_text.h"
#include "ui/wheel_rule.h"

namespace {
const int kWidth = 410;
const int kHeight = 301;
const int kHeadingHeight = 26;
const int kNavigatorHeight = 25;
// A phrase is at most as long as the summary and counterparty fields it goes into.
const int kPhraseLimit = 160;

// The in-place editor of a phrase: a one-line field with the limit of the entry fields, so
// that "选  择" hands over the phrase whole. A longer stored phrase is shown whole, so that
// opening it never cuts it.
class PhraseDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override
    {
        QWidget *editor = QStyledItemDelegate::createEditor(parent, option, index);
        if (auto *edit = qobject_cast<QLineEdit *>(editor)) {
            edit->setMaxLength(kPhraseLimit);
            ui::keepLineText(edit);
        }
        return editor;
    }
    void setEditorData(QWidget *editor, const QModelIndex &index) const override
    {
        if (auto *edit = qobject_cast<QLineEdit *>(editor))
            edit->setMaxLength(std::max<int>(kPhraseLimit, int(index.data(Qt::EditRole).toString().size())));
        QStyledItemDelegate::setEditorData(editor, index);
    }
};
} // namespace

Tlist::Tlist(TDataModule2 *dm, QWidget *parent) : QDialog(parent), m_dm(dm)
{
    setObjectName(QStringLiteral("Tlist"));
    setWindowTitle(QStringLiteral("菜单项管理"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                   | Qt::WindowCloseButtonHint);
    setFixedSize(kWidth, kHeight);

    m_zhaiyao = buildPanel(QStringLiteral("caidan_zhaiyao"), QStringLiteral("摘要"),
                           QStringLiteral("bsSkinDBNavigator2"), QStringLiteral("bsSkinDBGrid2"),
                           dm->Query_jz_a1, QStringLiteral("bsSkinButton1"), QStringLiteral("bsSkinButton2"));
    m_danwei = buildPanel(QStringLiteral("caidan_danwei"), QStringLiteral("单位名称"),
                          QStringLiteral("bsSkinDBNavigator1"), QStringLiteral("bsSkinDBGrid1"),
                          dm->Query_jz_a2, QStringLiteral("bsSkinButton3"), QStringLiteral("bsSkinButton4"));
    m_danwei.panel->hide();

    auto *choose1 = m_zhaiyao.panel->findChild<QPushButton *>(QStringLiteral("bsSkinButton1"));
    auto *cancel1 = m_zhaiyao.panel->findChild<QPushButton *>(QStringLiteral("bsSkinButton2"));
    auto *choose2 = m_danwei.panel->findChild<QPushButton *>(QStringLiteral("bsSkinButton3"));
    auto *cancel2 = m_danwei.panel->findChild<QPushButton *>(QStringLiteral("bsSkinButton4"));
    connect(choose1, &QPushButton::clicked, this, &Tlist::bsSkinButton1Click);
    connect(cancel1, &QPushButton::clicked, this, &Tlist::bsSkinButton2Click);
    connect(choose2, &QPushButton::clicked, this, &Tlist::bsSkinButton3Click);
    connect(cancel2, &QPushButton::clicked, this, &Tlist::bsSkinButton4Click);
}

Tlist::Panel Tlist::buildPanel(const QString &panelName, const QString &heading,
                               const QString &navigatorName, const QString &gridName, Query *query,
                               const QString &chooseName, const QString &cancelName)
{
    Panel p;
    p.query = query;
    p.panel = new QWidget(this);
    p.panel->setObjectName(panelName);
    p.panel->setGeometry(0, 0, kWidth, kHeight);

    auto *bar = new QFrame(p.panel);
    bar->setProperty("skin", QStringLiteral("panel"));
    bar->setGeometry(0, 0, kWidth, kHeadingHeight);
    auto *title = new QLabel(heading, bar);
    title->setProperty("skin", QStringLiteral("title"));
    title->setAlignment(Qt::AlignCenter);
    title->setGeometry(0, 0, kWidth, kHeadingHeight);

    auto *nav = new QFrame(p.panel);
    nav->setObjectName(navigatorName);
    nav->setProperty("skin", QStringLiteral("toolBar"));
    nav->setGeometry(0, kHeadingHeight, kWidth, kNavigatorHeight);
    auto *navLayout = new QHBoxLayout(nav);
    navLayout->setContentsMargins(4, 1, 4, 1);
    navLayout->setSpacing(2);
    struct NavButton {
        const char *name;
        QString glyph;
        QString hint;
    };
    const NavButton buttons[] = {
        {"nbInsert", QStringLiteral("+"), QStringLiteral("插入")},
        {"nbDelete", QStringLiteral("−"), QStringLiteral("删除")},
        {"nbPost", QStringLiteral("✔"), QStringLiteral("提交")},
    };
    QToolButton *navButtons[3];
    for (int i = 0; i < 3; ++i) {
        auto *b = new QToolButton(nav);
        b->setObjectName(QLatin1String(buttons[i].name));
        b->setText(buttons[i].glyph);
        b->setToolTip(buttons[i].hint);
        b->setFixedSize(30, 22);
        // The grid keeps the focus, so an unchanged new row survives a click here.
        b->setFocusPolicy(Qt::NoFocus);
        navLayout->addWidget(b);
        navButtons[i] = b;
    }
    navLayout->addStretch(1);

    p.grid = new DataGrid(gridName, DataGrid::Mode::Editable, p.panel);
    p.grid->setGeometry(4, kHeadingHeight + kNavigatorHeight + 2, kWidth - 8,
                        248 - (kHeadingHeight + kNavigatorHeight + 2) - 6);
    p.grid->setQuery(query, {{QStringLiteral("z1"), QStringLiteral("菜单项"), 360}});
    p.grid->setItemDelegate(new PhraseDelegate(p.grid));
    p.grid->verticalHeader()->show();
    p.grid->verticalHeader()->setFixedWidth(18);
    p.grid->setShowGrid(true);
    // Tab leaves the grid; moving between rows is for the arrows and the wheel.
    p.grid->setTabKeyNavigation(false);
    // Enter opens and closes the in-place editor; a key starts it too.
    p.grid->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
                            | QAbstractItemView::AnyKeyPressed);
    WheelRule::install(p.grid);
    p.grid->installEventFilter(this);

    auto *choose = new QPushButton(QStringLiteral("选  择"), p.panel);
    choose->setObjectName(chooseName);
    choose->setGeometry(160, 248, 121, 33);
    auto *cancel = new QPushButton(QStringLiteral("取  消"), p.panel);
    cancel->setObjectName(cancelName);
    cancel->setGeometry(296, 248, 81, 33);
    // Enter belongs to the grid's editor, never to a button.
    for (QPushButton *b : {choose, cancel}) {
        b->setAutoDefault(false);
        b->setDefault(false);
    }

    // The navigator buttons keep the focus in the grid, so an open cell editor is still open
    // when they act: each takes what the editor shows first.
    const Panel copy = p;
    connect(navButtons[0], &QToolButton::clicked, this, [this, copy] {
        ui::guard(this, [this, &copy] {
            writeEdit(copy);
            Query *q = copy.query;
            q->insertRow(q->currentRow() < 0 ? 0 : q->currentRow());
            copy.grid->setFocus(Qt::OtherFocusReason);
        });
    });
    connect(navButtons[1], &QToolButton::clicked, this, [this, copy] {
        ui::guard(this, [&copy] {
            copy.grid->commitEditor();
            copy.query->deleteCurrentRow();
        });
    });
    connect(navButtons[2], &QToolButton::clicked, this, [this, copy] {
        ui::guard(this, [this, &copy] { writeEdit(copy); });
    });
    connect(query, &Query::currentRowChanged, this, [this, copy](int row) { followRow(copy, row); });
    // Focus leaving the grid (or its in-place editor) for another control of this window.
    connect(qApp, &QApplication::focusChanged, this, [this, copy](QWidget *old, QWidget *now) {
        const auto inGrid = [&copy](QWidget *w) { return w && (w == copy.grid || copy.grid->isAncestorOf(w)); };
        const Query *q = copy.query;
        if (inGrid(old) && now && !inGrid(now) && now->window() == this && q->hasPendingEdit()
            && q->isNewRow(q->pendingRow()) && isEmptyEdit(q))
            dropEmptyEdit(copy);
    });
    return p;
}

bool Tlist::isEmptyEdit(const Query *q)
{
    return q->hasPendingEdit() && q->value(q->pendingRow(), QStringLiteral("z1")).trimmed().isEmpty();
}

void Tlist::writeEdit(const Panel &p)
{
    p.grid->commitEditor();
    Query *q = p.query;
    if (!q->hasPendingEdit())
        return;
    if (isEmptyEdit(q)) {
        dropEmptyEdit(p);
        return;
    }
    q->post();
}

void Tlist::dropEmptyEdit(const Panel &p)
{
    Query *q = p.query;
    if (!isEmptyEdit(q))
        return;
    const int pending = q->pendingRow();
    const bool isNew = q->isNewRow(pending);
    int current = q->currentRow();
    q->cancelEdit();
    if (!isNew) {
        // The user emptied a stored phrase: it keeps its text, which he sees come back.
        QApplication::beep();
        return;
    }
    if (current == pending)
        current = std::min(pending, q->rowCount() - 1);
    else if (current > pending)
        --current;
    q->setCurrentRow(current);
}

void Tlist::followRow(const Panel &p, int row)
{
    Query *q = p.query;
    if (!q->hasPendingEdit() || q->pendingRow() == row || row < 0)
        return;
    if (isEmptyEdit(q)) {
        // The grid is still moving its own cursor: drop the row once that is done.
        QMetaObject::invokeMethod(this, [this, p] { dropEmptyEdit(p); }, Qt::QueuedConnection);
        return;
    }
    // Leaving an edited row writes it; when that fails the row stays edited and current.
    const int pending = q->pendingRow();
    if (ui::guard(this, [q] { q->post(); }))
        return;
    q->setCurrentRow(pending);
    // The grid is still busy moving its own cursor: put it back once that is done.
    DataGrid *grid = p.grid;
    QMetaObject::invokeMethod(grid, [grid, q] {
        if (q->currentRow() >= 0 && grid->model())
            grid->setCurrentIndex(grid->model()->index(q->currentRow(), 0));
    }, Qt::QueuedConnection);
}

const Tlist::Panel *Tlist::panelOf(QObject *watched) const
{
    if (watched == m_zhaiyao.grid)
        return &m_zhaiyao;
    if (watched == m_danwei.grid)
        return &m_danwei;
    return nullptr;
}

bool Tlist::eventFilter(QObject *watched, QEvent *event)
{
    const Panel *p = panelOf(watched);
    if (!p)
        return QDialog::eventFilter(watched, event);
    if (event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        // With the editor open the focus is in the editor, whose delegate closes it on Enter.
        if (enter && QApplication::focusWidget() == p->grid) {
            const QModelIndex cur = p->grid->currentIndex();
            if (cur.isValid())
                p->grid->edit(cur);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void Tlist::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    ui::centreOnScreen(this);
    const Panel &visible = m_zhaiyao.panel->isVisibleTo(this) ? m_zhaiyao : m_danwei;
    visible.grid->setFocus(Qt::OtherFocusReason);
}

void Tlist::showSummaries()
{
    m_danwei.panel->hide();
    m_zhaiyao.panel->show();
    exec();
}

void Tlist::showCounterparties()
{
    m_zhaiyao.panel->hide();
    m_danwei.panel->show();
    exec();
}

void Tlist::choose(const Panel &p, bool summaries)
{
    ui::guard(this, [&] {
        // A typed row is written first, then chosen.
        writeEdit(p);
        const QString text = p.query->field(QStringLiteral("z1"));
        for (EntryDialog *d : m_targets) {
            if (summaries)
                d->setSummaryText(text);
            else
                d->setCounterpartyText(text);
        }
        accept();
    });
}

void Tlist::reject()
{
    // Typing is kept: it is what the user sees in the list. When the write fails the row stays
    // edited and the manager still closes, so that a failing file cannot trap the user here.
    for (const Panel *p : {&m_zhaiyao, &m_danwei})
        ui::guard(this, [this, p] { writeEdit(*p); });
    QDialog::reject();
}

void Tlist::bsSkinButton1Click() { choose(m_zhaiyao, true); }
void Tlist::bsSkinButton2Click() { reject(); }
void Tlist::bsSkinButton3Click() { choose(m_danwei, false); }
void Tlist::bsSkinButton4Click() { reject(); }
