// SPDX-License-Identifier: GPL-3.0-or-later
// Installs the build into a temporary prefix, as `cmake --install` does for a
// user, and tries what was installed: the files, the menu entry and the
// metainfo through the desktop's own validators, and the installed program
// started offscreen, watched through its window log.
#include "settings/AppInfo.h"
#include "settings/MemberSettings.h"
#include "support/RegisterFixture.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>

using qv::test::TempFolder;

namespace {

const QString AppId = QStringLiteral("org.quorvane.Quorvane");
const QList<int> PngSizes = {16, 24, 32, 48, 64, 128, 256};
const QString RegisterType = QStringLiteral("application/x-quorvane-register");
const QString RegisterIcon = QStringLiteral("application-x-quorvane-register");

struct Outcome {
    int exitCode = -1;
    QString output;
};

Outcome Run(const QString& program, const QStringList& args,
            const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
    QProcess process;
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, args);
    if (!process.waitForFinished(60000))
        process.kill();
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAll())};
}

// Every file under `folder`, relative to it, sorted.
QStringList FilesUnder(const QString& folder) {
    QStringList files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << QDir(folder).relativeFilePath(it.next());
    files.sort();
    return files;
}

// The value of `key` in the desktop entry's main group.
QString DesktopValue(const QString& entry, const QString& key) {
    const QRegularExpression line(QStringLiteral("^%1=(.*)$").arg(key),
                                  QRegularExpression::MultilineOption);
    return line.match(entry).captured(1);
}

} // namespace

class TestInstall : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void installedFiles();
    void desktopEntryAndMetainfo();
    void helpAndSettingsOfAnInstalledCopy();
    void commandLineWithoutDisplay_data();
    void commandLineWithoutDisplay();
    void registerFileType();
    void firstStart();
    void registerOnTheCommandLine();

private:
    // Starts the installed program offscreen with a home folder of its own and
    // `args`, until its window log has shown the first message box or it ends
    // (30 s at most), then ends it. Answers the window log's lines.
    QStringList StartUntilMessage(const QString& home, const QStringList& args);

    TempFolder m_prefix;
    QStringList m_installed;
};

void TestInstall::initTestCase() {
    QVERIFY(m_prefix.isValid());
    const Outcome install = Run(QStringLiteral(QV_CMAKE_COMMAND),
                                {"--install", QV_BUILD_DIR, "--prefix", m_prefix.path()});
    QVERIFY2(install.exitCode == 0, qPrintable(install.output));
    m_installed = FilesUnder(m_prefix.path());
}

void TestInstall::installedFiles() {
    QStringList expected = {"bin/quorvane",
                            "lib/systemd/user/quorvane-backup.service",
                            "lib/systemd/user/quorvane-backup.timer",
                            "share/bash-completion/completions/quorvane",
                            "share/applications/" + AppId + ".desktop",
                            "share/doc/quorvane/copyright",
                            "share/icons/hicolor/scalable/apps/" + AppId + ".svg",
                            "share/icons/hicolor/scalable/mimetypes/" + RegisterIcon + ".svg",
                            "share/man/man1/quorvane.1.gz",
                            "share/metainfo/" + AppId + ".metainfo.xml",
                            "share/mime/packages/" + AppId + ".xml",
                            "share/quorvane/quorvane.html"};
    for (int size : PngSizes)
        expected << QStringLiteral("share/icons/hicolor/%1x%1/apps/%2.png").arg(size).arg(AppId);
    expected.sort();
    QCOMPARE(m_installed, expected);

    const QDir prefix(m_prefix.path());
    QVERIFY(QFileInfo(prefix.filePath("bin/quorvane")).isExecutable());
    // One picture: the window's icon itself, and every size drawn from it.
    QCOMPARE(qv::test::readFileBytes(prefix.filePath(expected.filter(".svg").first())),
             qv::test::readFileBytes(QV_SOURCE_DIR "/src/pictures/svg/application.svg"));
    for (int size : PngSizes) {
        const QImage png(prefix.filePath(
            QStringLiteral("share/icons/hicolor/%1x%1/apps/%2.png").arg(size).arg(AppId)));
        QCOMPARE(png.size(), QSize(size, size));
        QVERIFY(png.hasAlphaChannel());
        // Drawn, not blank: the card's blue sits in the middle.
        QVERIFY(qAlpha(png.pixel(size / 2, size / 2)) > 0);
    }
    // The manual page is compressed whole and names this version.
    const Outcome page = Run("gzip", {"-dc", prefix.filePath("share/man/man1/quorvane.1.gz")});
    QCOMPARE(page.exitCode, 0);
    QVERIFY(
        page.output.contains(".TH QUORVANE 1 \"December 2026\" \"Quorvane " QV_PROJECT_VERSION));
}

void TestInstall::desktopEntryAndMetainfo() {
    const QDir prefix(m_prefix.path());
    const QString desktop = prefix.filePath("share/applications/" + AppId + ".desktop");
    const QString metainfo = prefix.filePath("share/metainfo/" + AppId + ".metainfo.xml");
    const Outcome entryCheck = Run(QStringLiteral("desktop-file-validate"), {desktop});
    QVERIFY2(entryCheck.exitCode == 0 && entryCheck.output.isEmpty(),
             qPrintable("desktop-file-validate (desktop-file-utils): " + entryCheck.output));
    const Outcome infoCheck =
        Run(QStringLiteral("appstreamcli"), {"validate", "--no-net", "--strict", metainfo});
    QVERIFY2(infoCheck.exitCode == 0, qPrintable("appstreamcli (appstream): " + infoCheck.output));

    // What the validators do not check: that the entry names what was installed.
    const QString entry = QString::fromUtf8(qv::test::readFileBytes(desktop));
    QCOMPARE(DesktopValue(entry, "GenericName"), QString("Membership Register"));
    QCOMPARE(DesktopValue(entry, "Categories"), QString("Office;"));
    QCOMPARE(DesktopValue(entry, "Exec"), QString("quorvane %f"));
    QVERIFY(QFileInfo::exists(prefix.filePath("bin/quorvane")));
    const QString icon = DesktopValue(entry, "Icon");
    QVERIFY(
        QFileInfo::exists(prefix.filePath("share/icons/hicolor/scalable/apps/" + icon + ".svg")));
    const QString info = QString::fromUtf8(qv::test::readFileBytes(metainfo));
    QVERIFY(info.contains("<launchable type=\"desktop-id\">" + AppId + ".desktop</launchable>"));
    QVERIFY(info.contains("<release version=\"" QV_PROJECT_VERSION "\""));
}

void TestInstall::helpAndSettingsOfAnInstalledCopy() {
    // The names an installed copy goes by.
    const QString name = MemberSettings::SetProgramBaseName("quorvane");
    const struct Reset {
        QString name;
        ~Reset() { MemberSettings::SetProgramBaseName(name); }
    } reset{name};
    const QString bin = QDir(m_prefix.path()).filePath("bin");
    const QString data = MemberSettings::InstalledDataFolder(bin);
    QCOMPARE(data, QDir(m_prefix.path()).filePath("share/quorvane"));
    // Help looks there for the file named after the program.
    QVERIFY(QFileInfo::exists(
        QDir(data).filePath(QFileInfo(AppInfo::ProductHelpFileName()).fileName())));
    // Its settings go to the user's configuration folder, even where the
    // executable's folder could be written (by root, say).
    const QString config = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    QCOMPARE(MemberSettings::SettingsFolderFor(bin), config);
    // Its register is a document of the user's, not hidden among settings.
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    QCOMPARE(MemberSettings::DefaultDatabaseFor(bin),
             QDir(documents).filePath("Quorvane/quorvane.mdb"));

    // A build folder, or a folder of its own, is no installed copy and keeps
    // its settings beside the executable.
    QVERIFY(MemberSettings::InstalledDataFolder(QV_BUILD_DIR).isEmpty());
    TempFolder portable;
    const QString portableBin = portable.filePath("bin");
    QVERIFY(QDir(portable.path()).mkpath("bin"));
    QVERIFY(MemberSettings::InstalledDataFolder(portableBin).isEmpty());
    QCOMPARE(MemberSettings::SettingsFolderFor(portableBin), portableBin);
    QCOMPARE(MemberSettings::DefaultDatabaseFor(portableBin),
             QDir(portableBin).filePath("quorvane.mdb"));
}

void TestInstall::commandLineWithoutDisplay_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("output");
    // Every option is listed, on standard output.
    QTest::newRow("help") << QStringList{"--help"} << 0
                          << QStringList{"Usage: quorvane [REGISTER]", "--import OLD.mdb NEW.mdb",
                                         "-h, --help", "-v, --version"};
    QTest::newRow("version") << QStringList{"--version"} << 0
                             << QStringList{"Quorvane " QV_PROJECT_VERSION "\n"};
    QTest::newRow("help after a register")
        << QStringList{"Club.mdb", "-h"} << 0 << QStringList{"Usage: quorvane [REGISTER]"};
    QTest::newRow("unknown option")
        << QStringList{"--frobnicate"} << 2
        << QStringList{"unknown option --frobnicate", "Usage: quorvane [REGISTER]"};
    QTest::newRow("two registers")
        << QStringList{"A.mdb", "B.mdb"} << 2 << QStringList{"one register at most", "Usage:"};
    QTest::newRow("Qt option without its value")
        << QStringList{"-style"} << 2 << QStringList{"-style needs a value"};
}

// None of these needs a display, so none may start Qt's window system
// connection (which, without a display, aborts before anything is printed).
void TestInstall::commandLineWithoutDisplay() {
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QStringList, output);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(name);
    const Outcome run = Run(QDir(m_prefix.path()).filePath("bin/quorvane"), args, env);
    QCOMPARE(run.exitCode, exitCode);
    for (const QString& text : output)
        QVERIFY2(run.output.contains(text), qPrintable(run.output));
}

// What a desktop makes of the three kinds of file that may lie about: the
// installed type in a MIME database made by its own tool, asked through
// xdg-mime as a file manager or a desktop's "open with" does.
void TestInstall::registerFileType() {
    TempFolder data, home, files;
    const QDir prefix(m_prefix.path());
    QVERIFY(QDir(data.path()).mkpath("mime/packages"));
    QVERIFY(QDir(data.path()).mkpath("applications"));
    QVERIFY(QFile::copy(prefix.filePath("share/mime/packages/" + AppId + ".xml"),
                        data.filePath("mime/packages/" + AppId + ".xml")));
    QVERIFY(QFile::copy(prefix.filePath("share/applications/" + AppId + ".desktop"),
                        data.filePath("applications/" + AppId + ".desktop")));
    for (const auto& [tool, folder] : {std::pair{"update-mime-database", "mime"},
                                       std::pair{"update-desktop-database", "applications"}}) {
        const Outcome made = Run(tool, {data.filePath(folder)});
        QVERIFY2(made.exitCode == 0, qPrintable(QString(tool) + ": " + made.output));
    }

    // A register as the program makes it, an Access file, and an SQLite file
    // of another program, the first two under the same extension.
    qv::test::Register reg;
    reg->close();
    const QString club = files.filePath("Club.mdb");
    QVERIFY(QFile::copy(reg.path(), club));
    const QString access = files.filePath("Old club.mdb");
    QVERIFY(QFile::copy(QV_SOURCE_DIR "/tests/data/jet/register-small.mdb", access));
    const QString other = files.filePath("other.sqlite3");
    QCOMPARE(Run("sqlite3", {other, "CREATE TABLE t (a)"}).exitCode, 0);

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // The desktop-neutral path of xdg-mime, which reads the shared MIME
    // database; a desktop's own tools read the same files.
    for (const char* name : {"XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "KDE_FULL_SESSION",
                             "GNOME_DESKTOP_SESSION_ID", "XDG_DATA_HOME", "XDG_CONFIG_HOME"})
        env.remove(name);
    env.insert("HOME", home.path());
    env.insert("XDG_DATA_DIRS", data.path() + ":/usr/share");
    const auto query = [&](const QStringList& args) {
        const Outcome out = Run("xdg-mime", QStringList{"query"} + args, env);
        return out.exitCode == 0 ? out.output.trimmed() : "failed: " + out.output;
    };
    QCOMPARE(query({"filetype", club}), RegisterType);
    QCOMPARE(query({"filetype", access}), QString("application/vnd.ms-access"));
    QCOMPARE(query({"filetype", other}), QString("application/vnd.sqlite3"));
    // The program is what opens a register.
    QCOMPARE(query({"default", RegisterType}), AppId + ".desktop");
    // The icon the type names is the one installed.
    QVERIFY(qv::test::readFileBytes(data.filePath("mime/icons"))
                .contains((RegisterType + ':' + RegisterIcon).toUtf8()));
}

QStringList TestInstall::StartUntilMessage(const QString& home, const QStringList& args) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("XDG_CONFIG_HOME");
    env.insert("HOME", home);
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("QT_LOGGING_RULES", "quorvane.windows.info=true");
    QProcess program;
    program.setProcessEnvironment(env);
    program.setProcessChannelMode(QProcess::MergedChannels);
    program.start(QDir(m_prefix.path()).filePath("bin/quorvane"), args);
    QString output;
    QElapsedTimer clock;
    clock.start();
    while (!output.contains("shown QMessageBox") && program.state() != QProcess::NotRunning &&
           clock.elapsed() < 30000) {
        program.waitForReadyRead(200);
        output += QString::fromUtf8(program.readAll());
    }
    program.kill();
    program.waitForFinished();
    output += QString::fromUtf8(program.readAll());
    return output.split('\n').filter(QRegularExpression("^quorvane\\.windows: "));
}

void TestInstall::firstStart() {
    TempFolder home;
    const QString notFound =
        R"(quorvane.windows: shown QMessageBox "Quorvane" "The database file could not be found.")";
    const QStringList shown = StartUntilMessage(home.path(), {});
    QCOMPARE(shown, QStringList({R"(quorvane.windows: shown TfrmMain "Quorvane")", notFound}));
    // Nothing written: not in the home folder, and (as root too) not beside
    // the executable.
    QCOMPARE(FilesUnder(home.path()), QStringList());
    QCOMPARE(FilesUnder(m_prefix.path()), m_installed);
}

void TestInstall::registerOnTheCommandLine() {
    qv::test::Register old;
    old->execute("ALTER TABLE DatesJoined DROP COLUMN MembershipNo");
    old->close();
    TempFolder home;
    // Only an opened register is upgraded, and the notice says so.
    const QString upgraded =
        R"(quorvane.windows: shown QMessageBox "Quorvane" "Your database was from a previous )"
        R"(version - it has now been updated for this latest version!")";
    const QStringList shown = StartUntilMessage(home.path(), {old.path()});
    QCOMPARE(shown, QStringList({R"(quorvane.windows: shown TfrmMain "Quorvane")", upgraded}));
    // For this run only: no settings were saved.
    QCOMPARE(FilesUnder(home.path()), QStringList());
    QCOMPARE(FilesUnder(m_prefix.path()), m_installed);
}

QTEST_MAIN(TestInstall)
#include "tst_install.moc"
