// SPDX-License-Identifier: GPL-3.0-or-later
// A PostgreSQL register from the user's side, on a real server (CTest runs
// this under pg_virtualenv): created from the settings dialog and opened by
// the main window; a server that is down, silent or refusing says so.

#include "AppTestSupport.h"
#include "app/CreateSQLServerFrm.h"
#include "app/MainFrm.h"
#include "app/SettingsFrm.h"
#include "db/DBCreate.h"
#include "db/DataModule.h"
#include "platform/data/DatabaseError.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/ModalHelpers.h"
#include "settings/MemberSettings.h"
#include "support/AppTestMain.h"
#include "support/PgFixture.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTcpServer>
#include <QTest>

using namespace qv;
using qv::test::SettingsSandbox;

namespace {

const QString OpenFailed = "There was a problem opening the database.\n\r\n\r- Check the "
                           "server/database exists and is available.\n\r- Ensure you have the "
                           "appropriate permissions to access the server and database.";

template <typename T> T* child(QObject* parent, const char* name) {
    T* found = parent->findChild<T*>(QString::fromLatin1(name));
    if (!found)
        qFatal("missing child %s", name);
    return found;
}

void click(QWidget* parent, const char* name) {
    QTest::mouseClick(child<QPushButton>(parent, name), Qt::LeftButton);
}

void writePgSettings(const SettingsSandbox& box, const QString& server, const QString& database) {
    box.writeSettings(QStringLiteral("[Database]\nUseAccessDatabase=0\nServerType=PostgreSQL\n"
                                     "SQLServerName=%1\nSQLDatabaseName=%2\n")
                          .arg(server, database)
                          .toUtf8());
}

// Opens the register the settings name, cancelling the settings dialog that
// follows a failure; answers the message shown, empty when it opened.
QString openFailure(Tdm& dm) {
    MessageBoxTestScope boxes;
    boxes.queue(MessageResult::Ok);
    qvtest::ModalWatchdog watchdog(20000);
    qvtest::WhenModal([](QWidget* modal) { static_cast<QDialog*>(modal)->reject(); }, 20000);
    TfrmMain frm(dm);
    frm.OpenDatabase();
    return boxes.shown().isEmpty() ? QString() : boxes.shown().at(0).text;
}

} // namespace

class TestPgSettings : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QV_REQUIRE_PG_SERVER(); }
    void createFromTheDialogAndOpen();
    void serverDownRefusingOrSilent();
};

// The settings name a database the server does not have, so the settings
// dialog. There the user keeps PostgreSQL, creates a database whose name
// needs quoting and saves; the main window opens the new register,
// complete, with nothing to upgrade.
void TestPgSettings::createFromTheDialogAndOpen() {
    SettingsSandbox box;
    writePgSettings(box, test::pgServer(), "qv_not_yet");
    const QString name = "Zoë's \"Club\" " + test::PgRegister::uniqueName();
    MessageBoxTestScope boxes;
    boxes.queue(MessageResult::Ok); // the database does not exist
    qvtest::ModalWatchdog watchdog(20000);
    QString groupTitle, createTitle;
    qvtest::WhenModal([&](QWidget* modal) {
        auto* settings = qobject_cast<TfrmSettings*>(modal);
        QVERIFY(settings);
        QCOMPARE(child<QComboBox>(settings, "cboDatabase")->currentText(), QString("PostgreSQL"));
        groupTitle = child<QGroupBox>(settings, "grpSQLServer")->title();
        qvtest::WhenModal([&](QWidget* create) {
            createTitle = create->windowTitle();
            child<QLineEdit>(create, "edtSQLServer")->setText(test::pgServer());
            child<QLineEdit>(create, "edtSQLDatabase")->setText(name);
            click(create, "btnOK");
        });
        click(settings, "btnCreateSQLServerDatabase");
        QCOMPARE(child<QLineEdit>(settings, "edtDatabaseName")->text(), name);
        click(settings, "btnSave");
    });
    Tdm dm;
    TfrmMain frm(dm);
    frm.OpenDatabase();
    QVERIFY(!watchdog.fired());
    QCOMPARE(groupTitle, QString("PostgreSQL"));
    QCOMPARE(createTitle, QString("Create PostgreSQL Database"));
    QCOMPARE(boxes.shown().size(), 1); // no upgrade notice
    QVERIFY(boxes.shown().at(0).text.contains("database \"qv_not_yet\" does not exist"));
    QVERIFY(!frm.isTerminating());
    QCOMPARE(frm.windowTitle(), QString("Quorvane \u2014 ") + name);

    Connection& c = dm.adoMembers();
    QVERIFY(c.isOpen());
    QCOMPARE(c.kind(), ConnectionString::Kind::PostgreSQL);
    QCOMPARE(apptest::Scalar(c, "SELECT count(*) FROM information_schema.tables WHERE "
                                "table_schema = current_schema()"),
             apptest::ExpectedTableCount(c.connectionString()));
    QCOMPARE(apptest::Scalar(c, "SELECT count(*) FROM MembershipLevel"), 1);
    Query current(&c);
    current.setSQL("SELECT current_database()");
    Result r;
    current.fetch(r);
    QCOMPARE(r.rows.textOf(r.rows.cell(0, 0)), name);
    QCOMPARE(MemberSettings::GetDatabaseKind(), MemberSettings::DatabaseKind::PostgreSQL);
    QVERIFY(box.settingsBytes().contains("ServerType=PostgreSQL"));
    QVERIFY(!box.settingsBytes().contains("assword"));
    c.close();
    DBCreate::DropPostgreSQLDatabase(test::pgServer(), name);
}

// Each failure names itself in the server's words below the usual message,
// within the login timeout.
void TestPgSettings::serverDownRefusingOrSilent() {
    SettingsSandbox box;
    Tdm dm;
    QTcpServer closed;
    QVERIFY(closed.listen(QHostAddress::LocalHost));
    const QString down = QStringLiteral("127.0.0.1:%1").arg(closed.serverPort());
    closed.close();
    writePgSettings(box, down, "Club");
    QString message = openFailure(dm);
    QVERIFY2(message.startsWith(OpenFailed +
                                "\n\r\n\rCould not connect to the PostgreSQL server "
                                "\"" +
                                down + "\": "),
             qPrintable(message));
    QVERIFY2(message.contains("Connection refused"), qPrintable(message));

    writePgSettings(box, test::pgServer(), "qv_no_such_register");
    message = openFailure(dm);
    QVERIFY2(message.contains("database \"qv_no_such_register\" does not exist"),
             qPrintable(message));

    const QByteArray user = qgetenv("PGUSER");
    qputenv("PGUSER", "qv_nobody");
    writePgSettings(box, test::pgServer(), "postgres");
    message = openFailure(dm);
    qputenv("PGUSER", user);
    QVERIFY2(message.contains("\"qv_nobody\""), qPrintable(message));

    // A server that takes the connection and never answers.
    QTcpServer silent;
    QVERIFY(silent.listen(QHostAddress::LocalHost));
    Connection c;
    c.setConnectionString(
        QStringLiteral("Provider=PostgreSQL;Data Source=127.0.0.1:%1;Initial Catalog=Club")
            .arg(silent.serverPort()));
    c.setLoginTimeout(2);
    QElapsedTimer clock;
    clock.start();
    try {
        c.open();
        QFAIL("a silent server was taken for a register");
    } catch (const DatabaseError& e) {
        QVERIFY2(e.message().endsWith("timeout expired (no answer within 2 seconds)"),
                 qPrintable(e.message()));
    }
    QVERIFY2(clock.elapsed() < 8000, qPrintable(QString::number(clock.elapsed())));
}

QV_APP_TEST_MAIN(TestPgSettings)
#include "tst_pgsettings.moc"
