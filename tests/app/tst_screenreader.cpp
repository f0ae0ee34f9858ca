// SPDX-License-Identifier: GPL-3.0-or-later
// The program as a screen reader meets it: a private X server, a session bus
// and the accessibility bus, the program's main window with a member list
// that has rows and one that is empty, walked through the bus by pyatspi
// (screenreader_walk.py), then called with what Qt's bridge does not expect.
// The same executable is the program under test when started with --subject.
#include "AppTestSupport.h"
#include "app/MainFrm.h"
#include "db/DataModule.h"
#include "db/MemberSQL.h"
#include "platform/ui/Application.h"
#include "search/MemberListFrm.h"
#include "support/RegisterFixture.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <functional>
#include <unistd.h>

using namespace qv;

namespace {

const QString RowsCaption = QStringLiteral("All Members");
const QString EmptyCaption = QStringLiteral("Keyword Search");
// The main window names the register it has open.
const QString MainCaption = QStringLiteral("Quorvane \u2014 register");
const QStringList Titles = {"First Name(s)", "Surname",   "Address",   "City",
                            "Post Code",     "Tel No",    "Mobile No", "Email Address",
                            "Date Joined",   "Date Left", "Years"};

int RunSubject(int argc, char** argv) {
    QuorvaneApplication app(argc, argv);
    test::pinRegional();
    test::SettingsSandbox box;
    test::Register reg;
    const qint64 brown = reg.addMember("Brown", "Anne", "York", "2 Mill Lane");
    const qint64 jones = reg.addMember("Jones", "Dora", "Bath", "4 Park Rd", "dora@example.org");
    const qint64 smith = reg.addMember("Smith", "John", "Leeds", "1 High St");
    reg.addPeriod(brown, QDate(2012, 6, 1));
    reg.addPeriod(jones, QDate(2004, 1, 1));
    reg.addPeriod(smith, QDate(2009, 1, 1));
    apptest::WriteSettings(box, true, reg.path());

    Tdm dm;
    TfrmMain main(dm);
    main.show();
    TfrmMemberList rows(&main);
    TfrmMemberList none(&main);
    rows.OpenMemberList(reg.connection(), MemberSQL::AllMembersSQL(), QString(), -1, false, false,
                        RowsCaption);
    none.OpenMemberList(reg.connection(), MemberSQL::KeywordSQL(false), QStringLiteral("%nobody%"),
                        -1, false, false, EmptyCaption);
    none.show();
    rows.show();
    // Each line on the input names a window to activate, as the user would by
    // switching windows.
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char line[256];
        const ssize_t got = ::read(STDIN_FILENO, line, sizeof line);
        const QString caption = QString::fromUtf8(line, qMax<ssize_t>(got, 0)).trimmed();
        for (QWidget* window : QApplication::topLevelWidgets())
            if (window->isVisible() && window->windowTitle() == caption)
                window->activateWindow();
    });
    QTimer::singleShot(0, [] {
        std::puts("ready");
        std::fflush(stdout);
    });
    return app.exec();
}

// Starts `process` and waits for its first line of output.
QString StartForLine(QProcess& process, const QString& program, const QStringList& args,
                     const QProcessEnvironment& env) {
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(program, args);
    QDeadlineTimer deadline(20000);
    while (!process.canReadLine() && process.state() != QProcess::NotRunning &&
           !deadline.hasExpired())
        process.waitForReadyRead(200);
    return QString::fromUtf8(process.readLine()).trimmed();
}

QString Tool(const QString& name) {
    const QString path = QStandardPaths::findExecutable(name, {"/usr/bin", "/bin"});
    if (path.isEmpty())
        qFatal("%s is missing (scripts/install-deps.sh installs it)", qPrintable(name));
    return path;
}

void Visit(const QJsonObject& node, const std::function<void(const QJsonObject&)>& f) {
    f(node);
    for (const QJsonValue child : node["children"].toArray())
        Visit(child.toObject(), f);
}

QJsonObject Find(const QJsonObject& root, const QString& role, const QString& name = QString()) {
    QJsonObject hit;
    Visit(root, [&](const QJsonObject& n) {
        if (hit.isEmpty() && n["role"].toString() == role &&
            (name.isNull() || n["name"].toString().simplified() == name))
            hit = n;
    });
    return hit;
}

} // namespace

class TestScreenReader : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void everyNodeIsNamedPlacedAndIntrospectable();
    void focusMovesThroughEveryWindow();
    void unexpectedCallsAreRefused();

private:
    QJsonObject Walk(const QStringList& args);
    QJsonObject Window(const QString& caption);
    QDBusMessage Call(const QString& path, const QString& interface, const QString& member,
                      const QVariantList& args = {});
    bool SubjectAnswers();

    QTemporaryDir m_runtime;
    QProcessEnvironment m_env;
    QProcess m_display, m_sessionBus, m_subject;
    QString m_appBus;
    QJsonObject m_tree;
    std::unique_ptr<QDBusConnection> m_a11y;
};

void TestScreenReader::initTestCase() {
    m_env = QProcessEnvironment::systemEnvironment();
    m_env.insert("XDG_RUNTIME_DIR", m_runtime.path());
    m_env.insert("QT_QPA_PLATFORM", "xcb");
    m_env.insert("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1");
    m_env.insert("LC_ALL", "C.UTF-8");
    const QString display = StartForLine(
        m_display, Tool("Xvfb"),
        {"-displayfd", "1", "-screen", "0", "1280x1024x24", "-nolisten", "tcp"}, m_env);
    QVERIFY2(!display.isEmpty(), "Xvfb did not start");
    m_env.insert("DISPLAY", ":" + display);
    // The accessibility bus is started on demand by this bus, with its
    // environment.
    const QString address = StartForLine(m_sessionBus, Tool("dbus-daemon"),
                                         {"--session", "--nofork", "--print-address"}, m_env);
    QVERIFY2(address.startsWith("unix:"), "dbus-daemon did not start");
    m_env.insert("DBUS_SESSION_BUS_ADDRESS", address);

    QCOMPARE(StartForLine(m_subject, QCoreApplication::applicationFilePath(), {"--subject"}, m_env),
             QStringLiteral("ready"));

    m_tree = Walk({"tree", QString::number(m_subject.processId())});
    m_appBus = m_tree["bus"].toString();
    QVERIFY(!m_appBus.isEmpty());
    QDBusConnection session = QDBusConnection::connectToBus(address, "probe-session");
    const QDBusMessage reply = session.call(QDBusMessage::createMethodCall(
        "org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress"));
    QCOMPARE(reply.type(), QDBusMessage::ReplyMessage);
    m_a11y = std::make_unique<QDBusConnection>(
        QDBusConnection::connectToBus(reply.arguments().value(0).toString(), "probe-a11y"));
    QVERIFY(m_a11y->isConnected());
}

void TestScreenReader::cleanupTestCase() {
    // Killing the session bus ends the accessibility bus and its registry.
    for (QProcess* p : {&m_subject, &m_sessionBus, &m_display}) {
        p->terminate();
        if (!p->waitForFinished(5000))
            p->kill();
    }
}

QJsonObject TestScreenReader::Walk(const QStringList& args) {
    QProcess walker;
    walker.setProcessEnvironment(m_env);
    walker.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    walker.start(Tool("python3"), QStringList{QFINDTESTDATA("screenreader_walk.py")} + args);
    walker.waitForFinished(40000);
    if (walker.exitCode() != 0)
        qWarning("walker exited with %d", walker.exitCode());
    return QJsonDocument::fromJson(walker.readAllStandardOutput()).object();
}

QJsonObject TestScreenReader::Window(const QString& caption) {
    for (const QJsonValue w : m_tree["windows"].toArray())
        if (w["name"].toString() == caption)
            return w.toObject();
    return {};
}

QDBusMessage TestScreenReader::Call(const QString& path, const QString& interface,
                                    const QString& member, const QVariantList& args) {
    QDBusMessage call = QDBusMessage::createMethodCall(m_appBus, path, interface, member);
    call.setArguments(args);
    return m_a11y->call(call, QDBus::Block, 10000);
}

// Still running, and still answering the bus.
bool TestScreenReader::SubjectAnswers() {
    return m_subject.state() == QProcess::Running &&
           Call("/org/a11y/atspi/accessible/root", "org.a11y.atspi.Accessible", "GetRole").type() ==
               QDBusMessage::ReplyMessage;
}

void TestScreenReader::everyNodeIsNamedPlacedAndIntrospectable() {
    QVERIFY(!Find(Window(MainCaption), "push button", "Long Service").isEmpty());
    const QJsonObject table = Find(Window(RowsCaption), "table");
    QCOMPARE(table["name"].toString(), QStringLiteral("Members"));
    QCOMPARE(table["titles"].toVariant().toStringList(), Titles);
    const QJsonArray cells = table["cells"].toArray();
    QCOMPARE(cells.size(), 3);
    QCOMPARE(cells[0].toArray()[0].toString(), QStringLiteral("Anne"));
    QCOMPARE(cells[1].toArray()[7].toString(), QStringLiteral("dora@example.org"));
    QCOMPARE(cells[2].toArray()[8].toString(), QStringLiteral("01/01/2009"));
    // Its children: the corner, the titles, then each row's indicator and cells.
    const QJsonArray parts = table["children"].toArray();
    QCOMPARE(parts.size(), (3 + 1) * (Titles.size() + 1));
    QCOMPARE(parts[1].toObject()["role"].toString(), QStringLiteral("table column header"));
    QCOMPARE(parts[Titles.size() + 2].toObject()["name"].toString(), QStringLiteral("Anne"));
    const QJsonObject empty = Find(Window(EmptyCaption), "table");
    QCOMPARE(empty["rows"].toInt(), 0);
    QCOMPARE(empty["titles"].toVariant().toStringList(), Titles);
    QVERIFY(!Find(Window(EmptyCaption), "label", "No records found").isEmpty());

    // Whatever can be used or read has a name, every node is where its parent
    // says, and every node answers Introspect.
    const QStringList named = {"push button",         "check box", "menu item", "table",
                               "table column header", "label",     "dialog",    "frame"};
    int nodes = 0;
    for (const QJsonValue w : m_tree["windows"].toArray())
        Visit(w.toObject(), [&](const QJsonObject& n) {
            ++nodes;
            const QString path = n["path"].toString();
            if (named.contains(n["role"].toString()))
                QVERIFY2(!n["name"].toString().trimmed().isEmpty(), qPrintable(path));
            QVERIFY2(n["placed"].toBool(), qPrintable(path));
            const QDBusMessage xml =
                Call(path, "org.freedesktop.DBus.Introspectable", "Introspect");
            QVERIFY2(xml.arguments().value(0).toString().contains("org.a11y.atspi.Accessible"),
                     qPrintable(path));
        });
    QVERIFY(nodes > 120);
    QVERIFY(SubjectAnswers());
}

void TestScreenReader::focusMovesThroughEveryWindow() {
    QStringList cells;
    for (const QString& caption : {RowsCaption, EmptyCaption, MainCaption}) {
        m_subject.write(caption.toUtf8() + '\n');
        m_subject.waitForBytesWritten(5000);
        const QJsonObject walk = Walk({"focus", QString::number(m_subject.processId()), caption});
        QVERIFY2(walk["active"].toBool(), qPrintable(caption));
        int focused = 0;
        for (const QJsonValue s : walk["steps"].toArray()) {
            const QStringList states = s["states"].toVariant().toStringList();
            const QString target = s["target"].toString();
            if (s["grabbed"].toBool() && states.contains("enabled")) {
                QVERIFY2(states.contains("focused"), qPrintable(caption + ": " + target));
                ++focused;
            }
            if (s["kind"] == "cell") {
                // The row the screen reader moved to is the current record.
                QVERIFY(states.contains("selected"));
                QVERIFY(s["events"].toVariant().toStringList().contains(target));
                cells << target + ": " +
                             s["labels"].toVariant().toStringList().filter(" records").value(0);
            }
        }
        QVERIFY2(focused >= 3, qPrintable(caption));
        QVERIFY(SubjectAnswers());
    }
    QCOMPARE(cells,
             QStringList({"John: 3 of 3 records", "Dora: 2 of 3 records", "Anne: 1 of 3 records"}));
}

void TestScreenReader::unexpectedCallsAreRefused() {
    const QString root = "/org/a11y/atspi/accessible/root";
    const QJsonObject rowsTable = Find(Window(RowsCaption), "table");
    const QString table = rowsTable["path"].toString();
    const QString cell =
        rowsTable["children"].toArray()[Titles.size() + 2].toObject()["path"].toString();
    const QString emptyTable = Find(Window(EmptyCaption), "table")["path"].toString();
    const QString label = Find(Window(RowsCaption), "label", "1 of 3 records")["path"].toString();
    const QString component = "org.a11y.atspi.Component";
    const QString props = "org.freedesktop.DBus.Properties";
    const QString tableIf = "org.a11y.atspi.Table";
    const struct {
        QString path, interface, member;
        QVariantList args;
    } calls[] = {
        // Each of these ended the program before the guard. busctl introspect
        // asks for every property at once.
        {root, props, "GetAll", {"org.a11y.atspi.Accessible"}},
        {root, props, "Get", {"org.a11y.atspi.Accessible"}},
        {table, "org.a11y.atspi.Accessible", "GetChildAtIndex", {}},
        {root, component, "GetExtents", {}},
        {table, component, "GetAccessibleAtPoint", {5}},
        {table, "org.a11y.atspi.Action", "DoAction", {}},
        {cell, tableIf, "GetNRows", {}},
        {table, tableIf, "IsSelected", {99, 99}},
        {table, tableIf, "GetColumnExtentAt", {-1, 0}},
        {table, tableIf, "GetRowExtentAt", {3, 0}},
        {emptyTable, tableIf, "GetRowColumnExtentsAtIndex", {0}},
        {label, "org.a11y.atspi.EditableText", "InsertText", {0, "x", 2000000000}},
    };
    for (const auto& c : calls) {
        const QDBusMessage reply = Call(c.path, c.interface, c.member, c.args);
        QVERIFY2(SubjectAnswers(), qPrintable(c.interface + "." + c.member + " killed it"));
        QCOMPARE(reply.type(), QDBusMessage::ErrorMessage);
    }
    // What a screen reader asks in the ordinary way still gets its answer.
    QCOMPARE(Call(table, props, "Get", {tableIf, "NRows"})
                 .arguments()
                 .value(0)
                 .value<QDBusVariant>()
                 .variant()
                 .toInt(),
             3);
    QCOMPARE(Call(table, tableIf, "IsSelected", {0, 2}).arguments().value(0).toBool(), true);
}

int main(int argc, char** argv) {
    if (argc > 1 && qstrcmp(argv[1], "--subject") == 0)
        return RunSubject(argc, argv);
    QCoreApplication app(argc, argv);
    TestScreenReader test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_screenreader.moc"
