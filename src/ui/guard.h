#pragma once
// Runs a UI handler so that no exception crosses the event loop: a failure stops the
// handler where it happened (what ran before stays done) and shows the general error box.
#include <exception>
#include <QWidget>
#include "data/db_error.h"
#include "ui/message_box.h"

namespace ui {

template <typename F>
bool guard(QWidget *parent, F &&handler)
{
    try {
        handler();
        return true;
    } catch (const DbError &e) {
        msg::error(parent, e.text());
    } catch (const std::exception &e) {
        msg::error(parent, QString::fromUtf8(e.what()));
    }
    return false;
}

} // namespace ui
