// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/AppInfo.h"
#include "settings/MemberSettings.h"
#include "support/UrlCatcher.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QStandardPaths>
#include <QTest>
#include <QUrl>
#include <memory>

class TestAppInfo : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void mailToPassesTheTextOn_data();
    void mailToPassesTheTextOn();
    void helpFileBesideTheProgram();
    void documentsFolder();
    void handOffTheDesktopRefusesIsReported_data();
    void handOffTheDesktopRefusesIsReported();

private:
    std::unique_ptr<qv::test::UrlCatcher> m_catcher;
};

void TestAppInfo::init() {
    m_catcher = std::make_unique<qv::test::UrlCatcher>(QStringList{"mailto", "file"});
}

void TestAppInfo::cleanup() {
    m_catcher.reset();
}

void TestAppInfo::mailToPassesTheTextOn_data() {
    QTest::addColumn<QString>("address");
    QTest::addColumn<QByteArray>("encoded");
    QTest::newRow("one") << "secretary@club.org.uk" << QByteArray("mailto:secretary@club.org.uk");
    // The e-mail list joins addresses with ", " and leaves the last one on.
    QTest::newRow("list with trailing comma and space")
        << "a@x.org, b.c@y.org, " << QByteArray("mailto:a@x.org,%20b.c@y.org,%20");
    QTest::newRow("non-ASCII") << QString::fromUtf8("j\u00f6rg@m\u00fcller.de")
                               << QByteArray("mailto:j%C3%B6rg@m%C3%BCller.de");
    QTest::newRow("a # in an address keeps the rest of the list")
        << "a@x.org, b#c@y.org, d@z.org, "
        << QByteArray("mailto:a@x.org,%20b%23c@y.org,%20d@z.org,%20");
}

void TestAppInfo::mailToPassesTheTextOn() {
    QFETCH(QString, address);
    QFETCH(QByteArray, encoded);
    AppInfo::OpenMailTo(address);
    QCOMPARE(m_catcher->urls.size(), 1);
    const QUrl url = m_catcher->urls.first();
    QVERIFY(url.isValid());
    QCOMPARE(url.scheme(), QString("mailto"));
    QCOMPARE(url.path(QUrl::FullyDecoded), address);
    QCOMPARE(url.toString(), "mailto:" + QString(address).replace("#", "%23"));
    QCOMPARE(url.toEncoded(), encoded);
}

void TestAppInfo::helpFileBesideTheProgram() {
    // Named after the executable: this test program's own name here, the
    // program's name when it is "Quorvane".
    const QDir folder(QCoreApplication::applicationDirPath());
    AppInfo::OpenProductHelp();
    QCOMPARE(m_catcher->urls.size(), 1);
    QCOMPARE(m_catcher->urls.first(), QUrl::fromLocalFile(folder.filePath("tst_appinfo.html")));
    const QString previous = MemberSettings::SetProgramBaseName("Quorvane");
    const QString named = AppInfo::ProductHelpFileName();
    MemberSettings::SetProgramBaseName(previous);
    QCOMPARE(named, folder.filePath("Quorvane.html"));
}

void TestAppInfo::documentsFolder() {
    QCOMPARE(AppInfo::GetDocumentsFolder(),
             QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
}

void TestAppInfo::handOffTheDesktopRefusesIsReported_data() {
    QTest::addColumn<QString>("scheme");
    QTest::addColumn<int>("what");
    QTest::addColumn<QString>("said");
    QTest::newRow("help") << "file" << 0 << "has no program set up to open web pages";
    QTest::newRow("mail") << "mailto" << 1 << "has no e-mail program set up";
    QTest::newRow("linked file") << "file" << 2 << "has no program set up for it.\n\r/srv/a b.odt";
}

void TestAppInfo::handOffTheDesktopRefusesIsReported() {
    // A handler without the named slot makes the desktop answer "no program".
    QFETCH(QString, scheme);
    QFETCH(int, what);
    QFETCH(QString, said);
    m_catcher.reset();
    QObject nobody;
    QDesktopServices::setUrlHandler(scheme, &nobody, "noSuchSlot");
    QStringList reports;
    AppInfo::SetShellFailureReport([&reports](const QString& message) { reports << message; });
    const bool opened = what == 0   ? AppInfo::OpenProductHelp()
                        : what == 1 ? AppInfo::OpenMailTo(QStringLiteral("a@x.org"))
                                    : AppInfo::OpenDocument(QStringLiteral("/srv/a b.odt"));
    AppInfo::SetShellFailureReport({});
    QDesktopServices::unsetUrlHandler(scheme);
    QVERIFY(!opened);
    QCOMPARE(reports.size(), 1);
    QVERIFY2(reports[0].contains(said), qPrintable(reports[0]));
}

QTEST_MAIN(TestAppInfo)
#include "tst_appinfo.moc"
