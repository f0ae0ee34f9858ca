#include "app/AppMain.h"

#include "app/MainFrm.h"
#include "db/DataModule.h"
#include "pictures/Pictures.h"
#include "platform/ui/Application.h"

int RunQuorvane(int argc, char** argv) {
    // Without TZ the C library looks at /etc/localtime again for every local
    // date it converts; lists and reports convert one per row.
    if (!qEnvironmentVariableIsSet("TZ"))
        qputenv("TZ", ":/etc/localtime");
    // Named "Quorvane"; its notify() is the default error report.
    qv::QuorvaneApplication app(argc, argv);
    QApplication::setWindowIcon(qv::Pictures::icon(u"application"));

    // The data module comes first so the window can hold it; neither touches
    // the database before the window is first shown.
    Tdm dm;
    TfrmMain frmMain(dm);
    // Cancelling the settings dialog at start-up ends the program without the
    // exit question.
    QObject::connect(&frmMain, &TfrmMain::terminationRequested, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    frmMain.show();
    return app.exec();
}
