#include "app/start_up.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <exception>
#include "app/modal_stays_up.h"
#include "app/program.h"
#include "app/single_instance.h"
#include "data/backup.h"
#include "data/data_folder.h"
#include "data/private_files.h"
#include "data/db_error.h"
#include "data/query_model.h"
#include "ui/message_box.h"
#include "ui/skin.h"

namespace StartUp {
namespace {
// Every start that cannot go on ends with one box, and changes nothing on its way out.
void refuse(const QString &why)
{
    msg::error(nullptr, why + QStringLiteral("\n\n程序没有改动任何文件，现在退出。"));
}
} // namespace

Session::Session() = default;

Session::~Session()
{
    // The windows go before the lock that guards their files.
    program.reset();
    instance.reset();
}

void configureApplication(QApplication &app)
{
    QApplication::setApplicationName(QStringLiteral("Tallyrue"));
    // Standard buttons and dialogs in Chinese (the start-up messages use them too).
    static QTranslator qtbase;
    if (qtbase.load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtbase);
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    Skin::apply(app);
    ModalStaysUp::install();
}

int begin(Session &session)
{
    QString problem = DataFolder::nameProblem();
    const QString dir = DataFolder::path();
    if (problem.isEmpty())
        problem = DataFolder::prepare(dir);
    if (!problem.isEmpty()) {
        refuse(problem);
        return 1;
    }
    session.instance = std::make_unique<SingleInstance>(dir);
    switch (session.instance->state()) {
    case SingleInstance::State::Acquired:
        break;
    case SingleInstance::State::HeldByOther:
        return 0;
    case SingleInstance::State::Failed:
        refuse(session.instance->error());
        return 1;
    }
    // A restore cut off halfway is taken back before anything opens the files.
    bool tookBack = false;
    const QString halfRestored = Backup::takeBackUnfinishedRestore(dir, &tookBack);
    if (!halfRestored.isEmpty()) {
        refuse(halfRestored);
        return 1;
    }
    if (tookBack)
        msg::info(nullptr, QStringLiteral("上次恢复备份时中断了，数据文件已还原为恢复之前的样子。"));
    // A grid or list that cannot read its rows shows them empty and says why, once.
    QueryModel::setFallbackReporter([](const QString &text) { msg::error(nullptr, text); });
    try {
        session.program = std::make_unique<Program>(dir);
    } catch (const DbError &e) {
        refuse(e.text());
        return 1;
    } catch (const std::exception &e) {
        refuse(QString::fromUtf8(e.what()));
        return 1;
    }
    // Files an earlier version left open to other users become private; only now, since a
    // start that refuses changes nothing.
    PrivateFiles::tighten(dir);
    return -1;
}

} // namespace StartUp
