#include "ui/message_box.h"

#include <QApplication>
#include <QGridLayout>
#include <QSpacerItem>

namespace msg {
namespace {
bool g_scripted = false;
QList<QMessageBox::StandardButton> g_answers;
QList<Shown> g_shown;

QString appTitle()
{
    const QString name = QApplication::applicationDisplayName();
    return name.isEmpty() ? QStringLiteral("Tallyrue") : name;
}

QMessageBox::StandardButton run(Kind kind, QWidget *parent, const QString &caption,
                                const QString &text, QMessageBox::StandardButtons buttons,
                                QMessageBox::Icon icon)
{
    g_shown.append({kind, caption, text});
    if (g_scripted) {
        if (g_answers.isEmpty())
            return QMessageBox::Ok;
        return g_answers.takeFirst();
    }
    QMessageBox box(icon, caption, text, buttons, parent);
    box.setDefaultButton(QMessageBox::Ok);
    fitTitle(box);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}
} // namespace

void info(QWidget *parent, const QString &text)
{
    run(Kind::Information, parent, appTitle(), text, QMessageBox::Ok, QMessageBox::Information);
}

bool confirmDelete(QWidget *parent, const QString &text)
{
    return run(Kind::Question, parent, QStringLiteral("删除确认"), text,
               QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Question)
        == QMessageBox::Ok;
}

void error(QWidget *parent, const QString &text)
{
    run(Kind::Error, parent, appTitle(), text, QMessageBox::Ok, QMessageBox::Critical);
}

void fitTitle(QMessageBox &box)
{
    auto *grid = qobject_cast<QGridLayout *>(box.layout());
    if (!grid)
        return;
    // Title bars use a larger, often bold font, and carry the window's buttons.
    QFont titleFont = box.font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.25);
    const int need = QFontMetrics(titleFont).horizontalAdvance(box.windowTitle()) + 160;
    grid->addItem(new QSpacerItem(need, 0, QSizePolicy::Minimum, QSizePolicy::Fixed), grid->rowCount(), 0, 1,
                  grid->columnCount());
}

void setScripted(bool on)
{
    g_scripted = on;
    g_answers.clear();
}
bool scripted() { return g_scripted; }
void setNextAnswer(QMessageBox::StandardButton answer) { g_answers.append(answer); }
QList<Shown> shown() { return g_shown; }
Shown lastShown() { return g_shown.isEmpty() ? Shown{Kind::Information, {}, {}} : g_shown.last(); }
void clearShown() { g_shown.clear(); }

} // namespace msg
