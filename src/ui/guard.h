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

// The steps that follow a change already stored (re-reads, phrase lists, totals): each runs
// even when one before it failed, then `finish` closes the dialog, and only then is the first
// failure passed on. A dialog left open after its change was stored would store it twice on
// the next click.
template <typename Finish, typename... Steps>
void afterStored(Finish &&finish, Steps &&...steps)
{
    std::exception_ptr failure;
    auto run = [&failure](auto &&step) {
        try {
            step();
        } catch (...) {
            if (!failure)
                failure = std::current_exception();
        }
    };
    (run(steps), ...);
    finish();
    if (failure)
        std::rethrow_exception(failure);
}

} // namespace ui
