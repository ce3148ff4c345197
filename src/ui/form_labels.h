#pragma once
// The captions of the dialogs' fields, placed by position as the dialogs lay them out.
#include <QString>

class QLabel;
class QWidget;

namespace ui {

// The red "*" before the label of a required field (8 pixels wide, right-aligned).
QLabel *requiredStar(QWidget *parent, int x, int y, int height = 22);

// A field's caption, left-aligned and vertically centred.
QLabel *fieldLabel(QWidget *parent, const QString &text, int x, int y, int width, int height = 22);

} // namespace ui
