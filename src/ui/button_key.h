#pragma once
// A key that presses a page's button: the same handler as a click, named in its tool tip.
#include <QKeySequence>

class QAbstractButton;
class QShortcut;

namespace ui {

// The key works while the button shows in the active window (not on a hidden page, not
// behind a modal dialog) and is enabled.
QShortcut *giveKey(QAbstractButton *button, const QKeySequence &key);

} // namespace ui
