#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include "app/main_window.h"
#include "app/paint_probe.h"
#include "app/program.h"
#include "app/start_up.h"
#include "data/private_files.h"
#include "ui/skin.h"

int main(int argc, char **argv)
{
    // Everything the program creates is private to the user, whatever the umask.
    PrivateFiles::restrictUmask();
    QApplication app(argc, argv);
    StartUp::configureApplication(app);

    // A second copy ends here, silently; a folder or file that cannot be used ends with
    // one message and a non-zero status. Either way no file is changed.
    StartUp::Session session;
    const int status = StartUp::begin(session);
    if (status >= 0)
        return status;
    PaintProbe::installIfAsked(session.program->mainWindow());
    session.program->show();
    return app.exec();
}
