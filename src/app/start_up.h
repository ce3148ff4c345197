#pragma once
// Everything main() does before the event loop, kept apart so tests run the same steps.
#include <memory>

class Program;
class QApplication;
class SingleInstance;

namespace StartUp {

struct Session {
    std::unique_ptr<SingleInstance> instance;
    std::unique_ptr<Program> program;   // built when begin() returns -1
    Session();
    ~Session();
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;
};

// The application's name, Chinese standard buttons and dialogs, the skin. No display name
// is set: the windowing system would append it to every title ("新增收入 — Tallyrue").
void configureApplication(QApplication &app);

// Makes sure the data folder can be used, takes the single-instance lock and builds the
// program on the files of the data folder. Returns -1 when the program is ready to be
// shown, else the exit status: 0 when a live copy already runs (nothing shown), 1 after
// the one message that says which folder or file cannot be used (nothing changed).
int begin(Session &session);

} // namespace StartUp
