#pragma once
// Hands a web address to the user's own browser. Nothing is reported back: a browser that
// fails to start is simply not there, and the calling window stays as it is.
#include <QString>
#include <functional>

class QWidget;

namespace Browser {

// Opens url once per call (two clicks open it twice). owner is the window that asked.
void open(QWidget *owner, const QString &url);

// Tests route every hand-off here instead of starting a browser; an empty function restores
// the real one.
void setOverride(std::function<void(const QString &)> handler);

} // namespace Browser
