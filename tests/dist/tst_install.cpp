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

struct Outcome {
    int exitCode = -1;
    QString output;
};

Outcome Run(const QString& program, const QStringList& args) {
    QProcess process;
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
    QStringList expected = {"bin/quorvane", "share/applications/" + AppId + ".desktop",
                            "share/icons/hicolor/scalable/apps/" + AppId + ".svg",
                            "share/metainfo/" + AppId + ".metainfo.xml",
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

    // A build folder, or a folder of its own, is no installed copy and keeps
    // its settings beside the executable.
    QVERIFY(MemberSettings::InstalledDataFolder(QV_BUILD_DIR).isEmpty());
    TempFolder portable;
    const QString portableBin = portable.filePath("bin");
    QVERIFY(QDir(portable.path()).mkpath("bin"));
    QVERIFY(MemberSettings::InstalledDataFolder(portableBin).isEmpty());
    QCOMPARE(MemberSettings::SettingsFolderFor(portableBin), portableBin);
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
