#include "app/AppMain.h"

#include "app/MainFrm.h"
#include "db/DataModule.h"
#include "import/JetImport.h"
#include "pictures/Pictures.h"
#include "platform/ui/Application.h"
#include "platform/ui/SavedFileMessage.h"
#include "settings/AppInfo.h"
#include "settings/MemberSettings.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QEvent>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QWidget>
#include <csignal>
#include <cstdio>

namespace {

Q_LOGGING_CATEGORY(lcWindows, "quorvane.windows", QtWarningMsg)

// Writes every window as it is shown (its class, title and, for a message, its
// text) to the category quorvane.windows, which is off unless QT_LOGGING_RULES
// turns it on ("quorvane.windows.info=true"): what the user was shown, for a
// fault report, and how a script sees that the program has started.
class WindowLog : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show && watched->isWidgetType()) {
            const auto* window = static_cast<QWidget*>(watched);
            if (window->isWindow()) {
                QString text;
                {
                    QDebug line(&text);
                    line.noquote() << "shown" << window->metaObject()->className();
                    line.quote() << window->windowTitle();
                    if (const auto* box = qobject_cast<const QMessageBox*>(window))
                        line << box->text();
                }
                qCInfo(lcWindows).noquote() << text.trimmed();
            }
        }
        return false;
    }
};

volatile std::sig_atomic_t g_interrupted = 0;

void interrupt(int) {
    g_interrupted = 1;
}

// Quorvane --import OLD.mdb NEW.mdb: the import without a window, for
// scripted moves. The summary goes to standard output, a failure to standard
// error; the exit code is 0 only when the new register was made. Ctrl+C
// cancels and leaves no file behind.
int RunImportCommand(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 4) {
        std::fprintf(stderr, "Usage: %s --import OLD.mdb NEW.mdb\n",
                     qPrintable(QCoreApplication::applicationName()));
        return 2;
    }
    std::signal(SIGINT, interrupt);
    std::signal(SIGTERM, interrupt);
    const JetImport::Result result = JetImport::ImportRegister(
        args.at(2), args.at(3), [](const JetImport::Progress&) { return !g_interrupted; });
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    switch (result.outcome) {
    case JetImport::Outcome::Imported:
        std::fprintf(stdout, "%s\n", result.summary.text().toUtf8().constData());
        return 0;
    case JetImport::Outcome::Cancelled:
        std::fprintf(stderr, "The import was cancelled; no new register was made.\n");
        return 1;
    case JetImport::Outcome::Failed:
        break;
    }
    std::fprintf(stderr, "%s\nNo new register was made.\n", result.message.toUtf8().constData());
    return 1;
}

} // namespace

int RunQuorvane(int argc, char** argv) {
    // Without TZ the C library looks at /etc/localtime again for every local
    // date it converts; lists and reports convert one per row.
    if (!qEnvironmentVariableIsSet("TZ"))
        qputenv("TZ", ":/etc/localtime");
    if (argc > 1 && qstrcmp(argv[1], "--import") == 0)
        return RunImportCommand(argc, argv);
    // Named "Quorvane"; its notify() is the default error report.
    qv::QuorvaneApplication app(argc, argv);
    QApplication::setWindowIcon(qv::Pictures::icon(u"application"));
    // The desktop entry the installed program is started from: the window
    // system matches the window to it, for its icon and name.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.quorvane.Quorvane"));
    // Help, a mail link or a linked file the desktop has no program for is
    // said in a message, not dropped.
    AppInfo::SetShellFailureReport(qv::ReportDesktopFailure);

    // Quorvane [REGISTER]: the register a file manager or the menu entry hands
    // over is opened for this run; the saved settings stay as they are.
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "A membership register for clubs.\n"
        "Quorvane --import OLD.mdb NEW.mdb imports an Access register without a window."));
    parser.addHelpOption();
    parser.addPositionalArgument(
        QStringLiteral("register"),
        QStringLiteral("A register file to open for this run; the settings are not changed."),
        QStringLiteral("[register]"));
    parser.process(app);
    const QStringList registers = parser.positionalArguments();
    if (registers.size() > 1) {
        std::fprintf(stderr, "%s\n", qPrintable(parser.helpText()));
        return 2;
    }
    if (!registers.isEmpty())
        MemberSettings::SetRegisterForRun(registers.first());

    WindowLog windowLog;
    if (lcWindows().isInfoEnabled())
        app.installEventFilter(&windowLog);

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
