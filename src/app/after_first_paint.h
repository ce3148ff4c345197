#pragma once
// Runs a step once a window has been painted for the first time while ready() holds, after
// the rest of that paint pass (the step is posted); the watch then goes away.
#include <functional>

class QWidget;

void afterFirstPaint(QWidget *window, std::function<bool()> ready, std::function<void()> step);
