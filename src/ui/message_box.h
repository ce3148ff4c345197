#pragma once
// The one way the program shows message boxes. Tests switch on the scripted mode:
// boxes are then recorded and answered from a queue instead of being shown.
#include <QMessageBox>
#include <QString>
#include <QList>

class QWidget;

namespace msg {

enum class Kind { Information, Question, Error };

struct Shown {
    Kind kind;
    QString caption;
    QString text;
};

// Information box with one OK button.
void info(QWidget *parent, const QString &text);
// "删除确认" with OK, Cancel and a question icon; true only for OK.
bool confirmDelete(QWidget *parent, const QString &text);
// The general error box for failures the user cannot mend (database errors).
void error(QWidget *parent, const QString &text);

// Widens a box so the window manager has room for its whole title beside its buttons
// (a short text would leave "Ta…e").
void fitTitle(QMessageBox &box);

// --- scripted mode for tests ---
void setScripted(bool on);
bool scripted();
// Answer for the next question box (default OK when the queue is empty).
void setNextAnswer(QMessageBox::StandardButton answer);
QList<Shown> shown();          // every box since the last clear
Shown lastShown();             // the newest one, or an empty record
void clearShown();

} // namespace msg
