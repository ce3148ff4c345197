#pragma once
// What the user sees of the backup sets: a failed start-of-day set is reported once, and
// a book is deleted only after its set is written, or after the user, told that it could
// not be, chose to delete all the same.
#include <QString>

class QWidget;
class TDataModule2;

namespace ui {

// Begins today's set in the background after delayMs (nothing when today has one). If it
// fails, an information box over window says so; the program goes on either way.
void startDailyBackup(QWidget *window, TDataModule2 *dm, int delayMs);

// Call after the user confirmed deleting the book and before anything is deleted.
// Writes a set of the three files, with a progress dialog when that takes a moment.
// True when the deletion may go on.
bool backupBeforeDeletion(QWidget *parent, TDataModule2 *dm, const QString &bookKey);

} // namespace ui
