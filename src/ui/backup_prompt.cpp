#include "ui/backup_prompt.h"

#include <QPointer>
#include <QProgressDialog>
#include <memory>
#include "data/backup.h"
#include "data/data_module.h"
#include "ui/message_box.h"

namespace ui {

void startDailyBackup(QWidget *window, TDataModule2 *dm, int delayMs)
{
    BackupKeeper *keeper = BackupKeeper::of(dm);
    if (!keeper->startDaily(delayMs))
        return;
    // Reported once, for this set only; the connection ends with it.
    auto connection = std::make_shared<QMetaObject::Connection>();
    QPointer<QWidget> owner(window);
    *connection = QObject::connect(keeper, &BackupKeeper::finished, keeper,
                                   [connection, owner, dataDir = dm->dataDir()](const BackupKeeper::Result &r) {
        if (r.reason != BackupKeeper::dailyReason())
            return;
        QObject::disconnect(*connection);
        if (r.ok)
            return;
        msg::info(owner, QStringLiteral("今天的自动备份未能完成：\n%1\n\n数据文件本身没有受到影响，程序照常工作；"
                                        "下次启动时会再次备份。备份保存在 %2 中。")
                             .arg(r.error, Backup::folder(dataDir)));
    });
}

bool backupBeforeDeletion(QWidget *parent, TDataModule2 *dm, const QString &bookKey)
{
    BackupKeeper *keeper = BackupKeeper::of(dm);
    // Shown only when the set takes more than a moment; user input waits meanwhile.
    QProgressDialog progress(QStringLiteral("正在备份数据，请稍候…"), QString(), 0, 1000, parent);
    progress.setObjectName(QStringLiteral("backupProgress"));
    progress.setWindowTitle(QStringLiteral("备份"));
    // Not modal: a modal one would run the event loop, user input included, from inside
    // each slice of the set. Input waits for the set anyway.
    progress.setWindowModality(Qt::NonModal);
    progress.setCancelButton(nullptr);
    progress.setMinimumDuration(400);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    progress.setValue(0);
    const QMetaObject::Connection c =
        QObject::connect(keeper, &BackupKeeper::progress, &progress, &QProgressDialog::setValue);
    const BackupKeeper::Result r = keeper->makeNow(BackupKeeper::deletionReason(bookKey));
    QObject::disconnect(c);
    progress.close();
    if (r.ok)
        return true;
    return msg::confirmDelete(parent, QStringLiteral("删除前的备份未能完成：\n%1\n\n"
                                                     "没有这份备份，此账本删除后将无法恢复。仍要删除此账本吗?")
                                          .arg(r.error));
}

} // namespace ui
