#include "app/start_up.h"

#include <exception>
#include "app/program.h"
#include "app/single_instance.h"
#include "data/data_folder.h"
#include "data/db_error.h"
#include "data/query_model.h"
#include "ui/message_box.h"

namespace StartUp {

Session::Session() = default;

Session::~Session()
{
    // The windows go before the lock that guards their files.
    program.reset();
    instance.reset();
}

int begin(Session &session)
{
    const QString dir = DataFolder::path();
    const QString problem = DataFolder::prepare(dir);
    if (!problem.isEmpty()) {
        msg::error(nullptr, problem);
        return 1;
    }
    session.instance = std::make_unique<SingleInstance>(dir);
    switch (session.instance->state()) {
    case SingleInstance::State::Acquired:
        break;
    case SingleInstance::State::HeldByOther:
        return 0;
    case SingleInstance::State::Failed:
        msg::error(nullptr, session.instance->error());
        return 1;
    }
    // A grid or list that cannot read its rows shows them empty and says why, once.
    QueryModel::setFallbackReporter([](const QString &text) { msg::error(nullptr, text); });
    try {
        session.program = std::make_unique<Program>(dir);
    } catch (const DbError &e) {
        msg::error(nullptr, e.text());
        return 1;
    } catch (const std::exception &e) {
        msg::error(nullptr, QString::fromUtf8(e.what()));
        return 1;
    }
    return -1;
}

} // namespace StartUp
