#include "books/book_text_dialogs.h"

#include <QCoreApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include "books/book_command.h"
#include "data/book_refresh.h"
#include "data/data_module.h"
#include "data/query.h"
#include "ui/centre_on_screen.h"
#include "ui/guard.h"
#include "ui/line_text.h"
#include "ui/message_box.h"

namespace {

bool isBlank(QChar c) { return c.category() == QChar::Separator_Space; }

QString withoutBlanks(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (QChar c : text)
        if (!isBlank(c))
            out.append(c);
    return out;
}

// Drops blanks the user types (keys and input-method commits); pasted text is not typed
// and passes as it is.
class DropTypedBlanks : public QObject
{
public:
    explicit DropTypedBlanks(QLineEdit *edit) : QObject(edit) { edit->installEventFilter(this); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::KeyPress) {
            auto *key = static_cast<QKeyEvent *>(event);
            const QString text = key->text();
            const QString kept = withoutBlanks(text);
            if (kept.size() == text.size())
                return false;
            if (!kept.isEmpty()) {
                QKeyEvent rest(QEvent::KeyPress, Qt::Key_unknown, key->modifiers(), kept,
                               key->isAutoRepeat(), ushort(key->count()));
                QCoreApplication::sendEvent(watched, &rest);
            }
            return true;
        }
        if (event->type() == QEvent::InputMethod) {
            auto *im = static_cast<QInputMethodEvent *>(event);
            const QString kept = withoutBlanks(im->commitString());
            if (kept.size() == im->commitString().size())
                return false;
            QInputMethodEvent rest(im->preeditString(), im->attributes());
            rest.setCommitString(kept, im->replacementStart(), im->replacementLength());
            QCoreApplication::sendEvent(watched, &rest);
            return true;
        }
        return false;
    }
};

} // namespace

BookTextDialog::BookTextDialog(TDataModule2 *dm, const QString &objectName, const QString &caption,
                               const QString &placeholder, int height, int maxLength, QWidget *parent)
    : QDialog(parent), m_dm(dm)
{
    setObjectName(objectName);
    setWindowTitle(caption);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFixedSize(363, height);
    m_change = new Query(&dm->conn_jz_m, QStringLiteral("Query_chenge"), this);

    // One field as wide as the dialog allows, so a whole name shows; the caption says
    // what it holds.
    const int top = (height - 30) / 2;
    m_field = new QLineEdit(this);
    m_field->setObjectName(QStringLiteral("bsSkinEdit1"));
    m_field->setMaxLength(maxLength);
    ui::keepLineText(m_field);
    m_field->setPlaceholderText(placeholder);
    m_field->setGeometry(12, top + 3, 252, 24);
    m_save = new QPushButton(QStringLiteral("保  存"), this);
    m_save->setObjectName(QStringLiteral("bsSkinButton2"));
    m_save->setDefault(true);
    m_save->setGeometry(272, top, 80, 30);
    m_key = new QLabel(this);
    m_key->setObjectName(QStringLiteral("bsSkinStdLabel1"));
    m_key->hide();

    connect(m_save, &QPushButton::clicked, this, &BookTextDialog::bsSkinButton2Click);
}

void BookTextDialog::setBook(const QString &key, const QString &text)
{
    m_key->setText(key);
    m_field->setText(text);
}

QString BookTextDialog::bookKey() const { return m_key->text(); }

void BookTextDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    ui::centreOnScreen(this);
    m_field->setFocus(Qt::OtherFocusReason);
    m_field->selectAll();
}

void BookTextDialog::runUpdate(const QString &sql, const QString &text)
{
    books::runCommand(m_change, sql, {m_key->text(), text});
    m_dm->Query_jz_aa->reopen();
    // The account-book page shows the current book's row: a name or remark it no longer
    // has would be wrong, so that one row is read again (nothing else of the book changed).
    if (m_key->text() == BookRefresh::bookKey(*m_dm))
        m_dm->Query_zhangben->reopen();
    accept();
}

void BookTextDialog::bsSkinButton2Click()
{
    ui::guard(this, [this] { save(m_field->text()); });
}

Tqiehuan_cmm::Tqiehuan_cmm(TDataModule2 *dm, QWidget *parent)
    : BookTextDialog(dm, QStringLiteral("Tqiehuan_cmm"), QStringLiteral("修改账本名称"),
                     QStringLiteral("账本名称"), 70, 20, parent)
{
    new DropTypedBlanks(m_field);
}

void Tqiehuan_cmm::save(const QString &text)
{
    if (text.isEmpty()) {
        msg::info(this, QStringLiteral("账本名不能是空的,请重新输入！"));
        return;
    }
    runUpdate(QStringLiteral("update jz_aa set a1=:b where aid=:a "), text);
}

Tqiehuan_beizhu::Tqiehuan_beizhu(TDataModule2 *dm, QWidget *parent)
    : BookTextDialog(dm, QStringLiteral("Tqiehuan_beizhu"), QStringLiteral("为账本填写备注"),
                     QStringLiteral("备注"), 68, 40, parent)
{
}

void Tqiehuan_beizhu::save(const QString &text)
{
    // An empty remark is a remark too: it clears the old one.
    runUpdate(QStringLiteral("update jz_aa set a3=:b where aid=:a "), text);
}
