// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/AppMain.h"

#include "app/MainFrm.h"
#include "app/SpreadsheetImportCommand.h"
#include "db/DataModule.h"
#include "import/JetImport.h"
#include "jobs/Jobs.h"
#include "pictures/Pictures.h"
#include "platform/ui/Application.h"
#include "platform/ui/SavedFileMessage.h"
#include "settings/AppInfo.h"
#include "settings/MemberSettings.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFileInfo>
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

// What the command line asks for, read before any application object exists:
// --help, --version and wrong arguments are answered without a display.
struct CommandLine {
    enum class Action { Run, Command, Help, Version, Wrong };
    Action action = Action::Run;
    QString register_;
    QString wrong;                         // what is wrong, for Action::Wrong
    int (*command)(int, char**) = nullptr; // for Action::Command
};

int RunJobCommand(int argc, char** argv);

// The commands that run without a window: each is named by the first
// argument, reads the rest itself and answers the exit code. One more command
// is one more row.
struct WindowlessCommand {
    bool (*matches)(const QString& firstArgument);
    int (*run)(int argc, char** argv);
};

const WindowlessCommand WindowlessCommands[] = {
    {[](const QString& arg) { return arg == u"--import"; }, RunImportCommand},
    {Jobs::IsJobOption, RunJobCommand},
    {[](const QString& arg) { return arg == u"--import-members"; }, RunImportMembersCommand},
};

// The options Qt's GUI application takes itself, with the value that follows
// them, and those without one; both are let through to it.
bool IsQtOptionWithValue(const QString& option) {
    static const QStringList options = {"platform",
                                        "platformpluginpath",
                                        "platformtheme",
                                        "plugin",
                                        "qwindowgeometry",
                                        "qwindowtitle",
                                        "qwindowicon",
                                        "display",
                                        "geometry",
                                        "title",
                                        "name",
                                        "style",
                                        "stylesheet",
                                        "session",
                                        "qmljsdebugger"};
    return options.contains(option);
}

bool IsQtFlag(const QString& option) {
    static const QStringList flags = {"reverse", "widgetcount", "nograb", "dograb", "sync"};
    return flags.contains(option);
}

CommandLine ReadCommandLine(int argc, char** argv) {
    CommandLine line;
    if (argc > 1) {
        const QString first = QString::fromLocal8Bit(argv[1]);
        for (const WindowlessCommand& command : WindowlessCommands) {
            if (command.matches(first)) {
                line.action = CommandLine::Action::Command;
                line.command = command.run;
                return line;
            }
        }
    }
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        if (arg == u"--")
            break;
        if (arg == u"-h" || arg == u"--help" || arg == u"-?") {
            line.action = CommandLine::Action::Help;
            return line;
        }
        if (arg == u"-v" || arg == u"--version") {
            line.action = CommandLine::Action::Version;
            return line;
        }
    }
    bool optionsEnd = false;
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        if (!optionsEnd && arg == u"--") {
            optionsEnd = true;
            continue;
        }
        if (!optionsEnd && arg.startsWith(u'-') && arg.size() > 1) {
            // Qt reads "-style x", "--style x" and "-style=x" alike.
            QString option = arg.mid(arg.startsWith(u"--") ? 2 : 1);
            const bool hasValue = option.contains(u'=');
            option = option.section(u'=', 0, 0);
            if (IsQtFlag(option))
                continue;
            if (IsQtOptionWithValue(option)) {
                if (!hasValue && ++i >= argc) {
                    line.action = CommandLine::Action::Wrong;
                    line.wrong = QStringLiteral("%1 needs a value").arg(arg);
                    return line;
                }
                continue;
            }
            line.action = CommandLine::Action::Wrong;
            line.wrong = QStringLiteral("unknown option %1").arg(arg);
            return line;
        }
        if (!line.register_.isEmpty()) {
            line.action = CommandLine::Action::Wrong;
            line.wrong = QStringLiteral("one register at most");
            return line;
        }
        line.register_ = arg;
    }
    return line;
}

QString CommandName(char** argv) {
    const QString name = QFileInfo(QString::fromLocal8Bit(argv[0])).fileName();
    return name.isEmpty() ? QStringLiteral("quorvane") : name;
}

QString UsageLines(const QString& name) {
    return QStringLiteral("Usage: %1 [REGISTER]\n"
                          "       %1 --import OLD.mdb NEW.mdb\n"
                          "       %1 --import-members FILE.csv --register REGISTER --mapping "
                          "MAPPING\n")
               .arg(name) +
           Jobs::UsageLines(name) + QStringLiteral("       %1 --help | --version\n").arg(name);
}

int RunJobCommand(int argc, char** argv) {
    return Jobs::RunJob(argc, argv, CommandName(argv));
}

QString HelpText(const QString& name) {
    return UsageLines(name) +
           QStringLiteral(
               "\n"
               "Quorvane keeps the membership register of a club, society or charity.\n"
               "\n"
               "  REGISTER              open this register file for this run only; the\n"
               "                        saved settings are not changed. An Access file\n"
               "                        is offered for import into a new register.\n"
               "  --import OLD.mdb NEW.mdb\n"
               "                        import the Access file OLD.mdb into the new\n"
               "                        register NEW.mdb without a window, then exit\n"
               "                        (1 when no register was made)\n"
               "  --import-members FILE.csv --register REGISTER --mapping MAPPING\n"
               "                        [--refused REFUSED.csv]\n"
               "                        add the members of a spreadsheet's CSV file to\n"
               "                        the register without a window; MAPPING is a\n"
               "                        JSON file, or the name of a mapping saved by an\n"
               "                        import from the window (1 when nothing was\n"
               "                        written)\n"
               "\n") +
           Jobs::HelpText() +
           QStringLiteral("\n"
                          "  -h, --help            show this text and exit\n"
                          "  -v, --version         show the version and exit\n"
                          "\n"
                          "Qt's own options (-platform NAME, -style NAME, ...) are passed to Qt.\n"
                          "Wrong arguments exit with 2. See also the manual page quorvane(1).\n"
                          "Daily backups: systemctl --user enable --now quorvane-backup.timer\n");
}

} // namespace

int RunQuorvane(int argc, char** argv) {
    const CommandLine line = ReadCommandLine(argc, argv);
    switch (line.action) {
    case CommandLine::Action::Help:
        std::fputs(HelpText(CommandName(argv)).toLocal8Bit().constData(), stdout);
        return 0;
    case CommandLine::Action::Version:
        std::fprintf(stdout, "Quorvane %s\n", QV_VERSION);
        return 0;
    case CommandLine::Action::Wrong:
        std::fprintf(stderr, "%s: %s\n%s", qPrintable(CommandName(argv)), qPrintable(line.wrong),
                     UsageLines(CommandName(argv)).toLocal8Bit().constData());
        return 2;
    case CommandLine::Action::Command:
    case CommandLine::Action::Run:
        break;
    }
    // Without TZ the C library looks at /etc/localtime again for every local
    // date it converts; lists and reports convert one per row.
    if (!qEnvironmentVariableIsSet("TZ"))
        qputenv("TZ", ":/etc/localtime");
    if (line.action == CommandLine::Action::Command)
        return line.command(argc, argv);
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
    if (!line.register_.isEmpty())
        MemberSettings::SetRegisterForRun(line.register_);

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
