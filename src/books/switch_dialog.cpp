#include "books/switch_dialog.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QToolButton>
#include "books/book_command.h"
#include "books/book_text_dialogs.h"
#include "data/book_refresh.h"
#include "data/connection.h"
#include "data/data_module.h"
#include "data/db_error.h"
#include "data/query.h"
#include "data/recycle_bin.h"
#include "ui/backup_prompt.h"
#include "ui/centre_on_screen.h"
#include "ui/data_grid.h"
#include "ui/guard.h"
#include "ui/message_box.h"
#include "ui/skin.h"

namespace {

const QString kNoBooks = QStringLiteral("无账本，请先新建。");
const QString kBookList = QStringLiteral("select * from jz_aa order by aid desc");

QToolButton *speedButton(QWidget *parent, const QString &name, const QString &caption, const QString &icon,
                         const QRect &at)
{
    auto *b = new QToolButton(parent);
    b->setObjectName(name);
    b->setText(caption);
    b->setIcon(Skin::icon(icon));
    b->setIconSize(QSize(16, 16));
    b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    b->setAutoRaise(true);
    b->setGeometry(at);
    return b;
}

} // namespace

Tqiehuan::Tqiehuan(TDataModule2 *dm, QWidget *parent) : QDialog(parent), m_dm(dm)
{
    setObjectName(QStringLiteral("Tqiehuan"));
    setWindowTitle(QStringLiteral("切换账本"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFixedSize(470, 346);
    m_change = new Query(&dm->conn_jz_m, QStringLiteral("Query_chenge"), this);
    m_del = new Query(&dm->conn_jz_m, QStringLiteral("Query_del"), this);

    auto *banner = new QLabel(this);
    banner->setObjectName(QStringLiteral("switchHeader"));
    banner->setPixmap(Skin::picture(QStringLiteral("switch_header")));
    banner->setScaledContents(true);
    banner->setGeometry(0, 0, 470, 58);
    auto *current = new QLabel(QStringLiteral("当前账本:"), this);
    current->setGeometry(64, 17, 66, 24);
    m_header = new QLabel(this);
    m_header->setObjectName(QStringLiteral("bsSkinStdLabel5"));
    m_header->setProperty("skin", QStringLiteral("title"));
    m_header->setTextFormat(Qt::PlainText);
    m_header->setGeometry(130, 17, 330, 24);

    auto *group = new QGroupBox(QStringLiteral("账本列表"), this);
    group->setObjectName(QStringLiteral("bookListGroup"));
    group->setGeometry(8, 64, 454, 234);
    QToolButton *rename = speedButton(group, QStringLiteral("bsSkinSpeedButton1"), QStringLiteral("重命名"),
                                      QStringLiteral("tool_edit"), QRect(204, 16, 76, 26));
    QToolButton *remark = speedButton(group, QStringLiteral("bsSkinSpeedButton2"), QStringLiteral("写备注"),
                                      QStringLiteral("tool_mingxi"), QRect(282, 16, 76, 26));
    QToolButton *remove = speedButton(group, QStringLiteral("bsSkinSpeedButton3"), QStringLiteral("删除账本"),
                                      QStringLiteral("tool_delete"), QRect(360, 16, 86, 26));

    m_grid = new DataGrid(QStringLiteral("bsSkinDBGrid1"), DataGrid::Mode::ReadOnly, group);
    m_grid->setGeometry(8, 46, 438, 180);
    // A creation text is never cut short: its column widens when the font needs it. The
    // name takes what the other columns and the scroll bar leave.
    const int createdWidth = qMax(110, m_grid->fontMetrics().horizontalAdvance(QStringLiteral("2026-12-31 23:59:59")) + 14);
    const int nameWidth = 438 - 2 * m_grid->frameWidth() - 60 - 113 - createdWidth - 18;
    QList<QueryModel::Column> columns;
    const struct {
        const char *field, *title;
        int width;
    } cols[] = {{"aid", "账本编号", 60}, {"a1", "账本名称", nameWidth}, {"a3", "备注", 113}, {"a2", "创建日期", createdWidth}};
    for (const auto &c : cols) {
        QueryModel::Column col;
        col.field = QString::fromLatin1(c.field);
        col.title = QString::fromUtf8(c.title);
        col.width = c.width;
        columns << col;
    }
    m_grid->setQuery(dm->Query_jz_aa, columns);

    m_switch = new QPushButton(QStringLiteral("切  换"), this);
    m_switch->setObjectName(QStringLiteral("bsSkinButton1"));
    m_switch->setDefault(true);
    m_switch->setGeometry(284, 306, 84, 30);
    m_cancel = new QPushButton(QStringLiteral("取  消"), this);
    m_cancel->setObjectName(QStringLiteral("bsSkinButton2"));
    m_cancel->setGeometry(376, 306, 84, 30);

    connect(rename, &QToolButton::clicked, this, &Tqiehuan::bsSkinSpeedButton1Click);
    connect(remark, &QToolButton::clicked, this, &Tqiehuan::bsSkinSpeedButton2Click);
    connect(remove, &QToolButton::clicked, this, &Tqiehuan::bsSkinSpeedButton3Click);
    connect(m_switch, &QPushButton::clicked, this, &Tqiehuan::bsSkinButton1Click);
    connect(m_cancel, &QPushButton::clicked, this, &Tqiehuan::bsSkinButton2Click);
}

void Tqiehuan::setSmallDialogs(Tqiehuan_cmm *rename, Tqiehuan_beizhu *remark)
{
    m_rename = rename;
    m_remark = remark;
}

void Tqiehuan::setCurrentBookName(const QString &name) { m_header->setText(name); }
QString Tqiehuan::currentBookName() const { return m_header->text(); }

void Tqiehuan::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    ui::centreOnScreen(this);
    m_grid->setFocus(Qt::OtherFocusReason);
}

bool Tqiehuan::refuseWhenNoBooks()
{
    const Query *list = m_dm->Query_jz_aa;
    if (list->isOpen() && list->currentRow() >= 0)
        return false;
    msg::info(this, kNoBooks);
    return true;
}

void Tqiehuan::switchToSelected()
{
    if (refuseWhenNoBooks())
        return;
    Query *list = m_dm->Query_jz_aa;
    const QString key = list->field(QStringLiteral("aid"));
    {
        // Demotion and promotion stand or fall together: exactly one book stays current.
        Connection::Transaction t(m_dm->conn_jz_m);
        books::runCommand(m_change, QStringLiteral("update jz_aa set a6=:a where a6=:b "),
                          {QStringLiteral("0"), QStringLiteral("1")});
        const int promoted = books::runCommand(m_change, QStringLiteral("update jz_aa set a6=:a where aid=:b "),
                                               {QStringLiteral("1"), key});
        if (promoted != 1)
            throw DbError(QStringLiteral("账本 %1 已不存在").arg(key));
        t.commit();
    }
    list->close();
    list->setSql(kBookList);
    list->open();
    BookRefresh::full(*m_dm);
    accept();
}

void Tqiehuan::deleteSelected()
{
    if (refuseWhenNoBooks())
        return;
    Query *list = m_dm->Query_jz_aa;
    const QString key = list->field(QStringLiteral("aid"));
    if (key == QLatin1String("1")) {
        msg::info(this, QStringLiteral("默认账本不能被删除"));
        return;
    }
    if (!msg::confirmDelete(this, QStringLiteral("您确定要删除此账本吗?所有相关收支记录也会被清除！！")))
        return;
    // A copy of the three files first: a deleted book cannot be brought back otherwise.
    if (!ui::backupBeforeDeletion(this, m_dm, key))
        return;
    const bool pageShowsIt = BookRefresh::bookKey(*m_dm) == key;
    bool promoted = false;
    try {
        // The entries, the book and, when it was current, the hand-over to the default
        // book: all of it or nothing, so no book is ever listed without its entries.
        Connection::Transaction t(m_dm->conn_jz_m);
        RecycleBin::keepBook(*m_dm, key);   // the bin keeps a copy of all that goes
        books::runCommand(m_del, QStringLiteral("delete from jz_ab where b14 = :a"), {key});
        list->deleteCurrentRow();
        const QString noneCurrent = QStringLiteral(" and not exists (select 1 from jz_aa where a6=:a)");
        promoted = books::runCommand(m_change, QStringLiteral("update jz_aa set a6=:a where aid=:b") + noneCurrent,
                                     {QStringLiteral("1"), QStringLiteral("1")}) > 0;
        // A ledger without its default book falls back on the newest one.
        if (!promoted)
            promoted = books::runCommand(m_change,
                                         QStringLiteral("update jz_aa set a6=:a where aid=(select max(aid) from jz_aa)")
                                             + noneCurrent,
                                         {QStringLiteral("1")}) > 0;
        t.commit();
    } catch (...) {
        // The list dropped the row already; show what the file still holds.
        try {
            list->reopen();
        } catch (...) {
        }
        throw;
    }
    if (promoted || pageShowsIt) {
        BookRefresh::full(*m_dm);
        const Query *book = m_dm->Query_zhangben;
        setCurrentBookName(book->isEmpty() ? QString() : book->value(0, QStringLiteral("a1")));
    }
}

void Tqiehuan::bsSkinButton1Click()
{
    ui::guard(this, [this] { switchToSelected(); });
}

void Tqiehuan::bsSkinButton2Click() { reject(); }

void Tqiehuan::bsSkinSpeedButton1Click()
{
    ui::guard(this, [this] {
        if (refuseWhenNoBooks() || !m_rename)
            return;
        const Query *list = m_dm->Query_jz_aa;
        m_rename->setBook(list->field(QStringLiteral("aid")), list->field(QStringLiteral("a1")));
        if (m_rename->exec() == QDialog::Accepted && m_rename->bookKey() == BookRefresh::bookKey(*m_dm))
            setCurrentBookName(m_dm->Query_zhangben->value(0, QStringLiteral("a1")));
    });
}

void Tqiehuan::bsSkinSpeedButton2Click()
{
    ui::guard(this, [this] {
        if (refuseWhenNoBooks() || !m_remark)
            return;
        const Query *list = m_dm->Query_jz_aa;
        m_remark->setBook(list->field(QStringLiteral("aid")), list->field(QStringLiteral("a3")));
        m_remark->exec();
    });
}

void Tqiehuan::bsSkinSpeedButton3Click()
{
    ui::guard(this, [this] { deleteSelected(); });
}
