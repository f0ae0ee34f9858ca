// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/os/FileSystem.h"
#include "platform/os/IniFile.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTest>

#include <sys/stat.h>

using qv::IniWriteError;
using qv::test::readFileBytes;
using qv::test::TempFolder;
using qv::test::writeFileBytes;
namespace IniFile = qv::IniFile;

namespace {

// The message the user sees; compared whole so a changed wording fails here.
void expectWriteError(const QString& path, const QString& section, const QString& key,
                      const QString& value) {
    try {
        IniFile::writeString(path, section, key, value);
        QFAIL("the write did not fail");
    } catch (const IniWriteError& e) {
        QCOMPARE(e.message(), QStringLiteral("Unable to write to ") + path);
        QCOMPARE(QString::fromUtf8(e.what()), e.message());
    }
}

mode_t modeOf(const QString& path) {
    struct stat info {};
    ::stat(QFile::encodeName(path).constData(), &info);
    return info.st_mode & 07777;
}

} // namespace

class TestIniFile : public QObject {
    Q_OBJECT

private slots:
    void readsTheWayThePlatformDid_data();
    void readsTheWayThePlatformDid();
    void readNeverCreatesAndMissingIsNotEmpty();
    void longValuesAreCutAt2047();
    void hugeAndBinaryFilesAreSafe();
    void writeChangesOnlyThatLine_data();
    void writeChangesOnlyThatLine();
    void writeAppendsKeyOrSection_data();
    void writeAppendsKeyOrSection();
    void writeReadRoundTripWithDuplicates();
    void writeKeepsPermissionsAndLinks();
    void failedWritesChangeNothing();
    void unreadableFileIsNotClobbered();
    void readOnlyFileIsRefused();
    void rewritingKeepsSpacing_data();
    void rewritingKeepsSpacing();
    void severalKeysInOneReplacement();
    void staleTemporariesGoLiveOnesStay();
};

void TestIniFile::readsTheWayThePlatformDid_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("key");
    QTest::addColumn<bool>("found");
    QTest::addColumn<QString>("expected");

    QTest::newRow("plain") << QByteArray("[Database]\nAccessDatabase=/a/b.mdb\n")
                           << "AccessDatabase" << true << "/a/b.mdb";
    QTest::newRow("names ignore case")
        << QByteArray("[DATABASE]\naccessdatabase=x\n") << "AccessDatabase" << true << "x";
    QTest::newRow("whitespace trimmed")
        << QByteArray("  [ Database ]  \n\t AccessDatabase \t=  /my path/x.mdb \t\n")
        << "AccessDatabase" << true << "/my path/x.mdb";
    QTest::newRow("CRLF") << QByteArray("[Database]\r\nSQLServerName=srv\r\nX=1\r\n")
                          << "SQLServerName" << true << "srv";
    QTest::newRow("byte-order mark")
        << QByteArray("\xEF\xBB\xBF[Database]\nA=1\n") << "A" << true << "1";
    QTest::newRow("no final newline") << QByteArray("[Database]\nA=last") << "A" << true << "last";
    QTest::newRow("empty value is a value") << QByteArray("[Database]\nA=\n") << "A" << true << "";
    QTest::newRow("value holds =") << QByteArray("[Database]\nA=b=c\n") << "A" << true << "b=c";
    QTest::newRow("first key wins") << QByteArray("[Database]\nA=1\nA=2\n") << "A" << true << "1";
    QTest::newRow("only the first section counts")
        << QByteArray("[Database]\nB=1\n[Database]\nA=2\n") << "A" << false << "";
    QTest::newRow("key of another section")
        << QByteArray("[Other]\nA=1\n[Database]\nB=2\n") << "A" << false << "";
    QTest::newRow("key before any section")
        << QByteArray("A=1\n[Database]\n") << "A" << false << "";
    QTest::newRow("commented out") << QByteArray("[Database]\n;A=1\n# A=2\n") << "A" << false << "";
    QTest::newRow("comment after header")
        << QByteArray("[Database] ; the register\nA=1\n") << "A" << true << "1";
    QTest::newRow("NUL ends the value")
        << QByteArray("[Database]\nA=ab\0cd\n", 19) << "A" << true << "ab";
    QTest::newRow("UTF-8") << QByteArray("[Database]\nA=/home/jos\xC3\xA9/r\xC3\xA9gister.mdb\n")
                           << "A" << true << QString::fromUtf8("/home/jos\u00e9/r\u00e9gister.mdb");
    QTest::newRow("junk around")
        << QByteArray(
               "\x01\x02\xFF\xFE garbage\n[Database\n]\n[Database]\nnot a key\n\x80=\x81\nA=ok\n")
        << "A" << true << "ok";
}

void TestIniFile::readsTheWayThePlatformDid() {
    QFETCH(QByteArray, content);
    QFETCH(QString, key);
    QFETCH(bool, found);
    QFETCH(QString, expected);
    TempFolder dir;
    const QString path = dir.filePath("t.ini");
    QVERIFY(writeFileBytes(path, content));

    const std::optional<QString> value = IniFile::readValue(path, "Database", key);
    QCOMPARE(value.has_value(), found);
    if (found)
        QCOMPARE(*value, expected);
    QCOMPARE(IniFile::readString(path, "Database", key, "dflt"), found ? expected : "dflt");
}

void TestIniFile::readNeverCreatesAndMissingIsNotEmpty() {
    TempFolder dir;
    const QString path = dir.filePath("none.ini");
    QVERIFY(!IniFile::readValue(path, "Database", "A"));
    QCOMPARE(IniFile::readString(path, "Database", "A", "dflt"), QString("dflt"));
    QVERIFY(!QFileInfo::exists(path));
    // A folder where the file should be, or a path through a file, is just "missing".
    QVERIFY(!IniFile::readValue(dir.path(), "Database", "A"));
    QVERIFY(writeFileBytes(path, "x"));
    QVERIFY(!IniFile::readValue(path + "/sub.ini", "Database", "A"));
}

void TestIniFile::longValuesAreCutAt2047() {
    TempFolder dir;
    const QString path = dir.filePath("t.ini");
    const QString longValue(5000, u'v');
    IniFile::writeString(path, "Database", "A", longValue);
    // Stored whole, read back cut.
    QVERIFY(readFileBytes(path).contains(longValue.toUtf8()));
    QCOMPARE(IniFile::readString(path, "Database", "A"), QString(2047, u'v'));

    // Exactly at the limit nothing is lost.
    IniFile::writeString(path, "Database", "A", QString(2047, u'w'));
    QCOMPARE(IniFile::readString(path, "Database", "A"), QString(2047, u'w'));

    // A character outside the BMP straddling the cut is dropped whole.
    const QString clef = QString::fromUcs4(U"\U0001D11E");
    IniFile::writeString(path, "Database", "A", QString(2046, u'x') + clef + "tail");
    QCOMPARE(IniFile::readString(path, "Database", "A"), QString(2046, u'x'));
}

void TestIniFile::hugeAndBinaryFilesAreSafe() {
    TempFolder dir;
    const QString path = dir.filePath("t.ini");
    QByteArray noise(8 * 1024 * 1024, '\0');
    QRandomGenerator rng(42);
    for (char& c : noise)
        c = static_cast<char>(rng.bounded(256));
    noise.replace('\n', 'n'); // one huge line
    const QByteArray content = noise + "\n[Database]\r\nA=1\n" + noise;
    QVERIFY(writeFileBytes(path, content));

    QCOMPARE(IniFile::readString(path, "Database", "A"), QString("1"));
    IniFile::writeString(path, "Database", "A", "2");
    QByteArray expected = content;
    expected.replace(noise.size() + 15, 1, "2");
    QVERIFY(readFileBytes(path) == expected);

    // Pure binary with no line structure at all.
    QVERIFY(writeFileBytes(path, noise.left(4096)));
    QVERIFY(!IniFile::readValue(path, "Database", "A"));
    IniFile::writeString(path, "Database", "A", "3");
    QCOMPARE(IniFile::readString(path, "Database", "A"), QString("3"));
    QVERIFY(readFileBytes(path).startsWith(noise.left(4096)));
}

void TestIniFile::writeChangesOnlyThatLine_data() {
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("after");

    const QByteArray crlf = "; Settings of the register\r\n"
                            "\r\n"
                            "[Print]\r\n"
                            "Font=Courier New\r\n"
                            "[Database]\r\n"
                            "SQLServerName=old\r\n"
                            "junk line without equals\r\n"
                            "  AccessDatabase  =  /old/path.mdb  \r\n"
                            "UseAccessDatabase=1\r\n"
                            "\r\n"
                            "[Zeta]\r\n"
                            "AccessDatabase=other section\r\n";
    QByteArray crlfAfter = crlf;
    crlfAfter.replace("  AccessDatabase  =  /old/path.mdb  \r\n",
                      "  AccessDatabase  =  /new path/x.mdb  \r\n");
    QTest::newRow("CRLF, spelling and spacing kept") << crlf << "accessdatabase"
                                                     << "/new path/x.mdb" << crlfAfter;

    QTest::newRow("LF") << QByteArray("[Database]\nA=1\nB=2\n") << "A"
                        << "0" << QByteArray("[Database]\nA=0\nB=2\n");
    QTest::newRow("empty value filled") << QByteArray("[Database]\nA=\nB=2") << "A"
                                        << "x" << QByteArray("[Database]\nA=x\nB=2");
    QTest::newRow("value emptied, no final newline") << QByteArray("[Database]\nB=2\nA=1") << "A"
                                                     << "" << QByteArray("[Database]\nB=2\nA=");
    QTest::newRow("mixed endings kept") << QByteArray("[Database]\r\nA=1\nB=2\r\n") << "B"
                                        << "3" << QByteArray("[Database]\r\nA=1\nB=3\r\n");
}

void TestIniFile::writeChangesOnlyThatLine() {
    QFETCH(QByteArray, before);
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(QByteArray, after);
    TempFolder dir;
    const QString path = dir.filePath("t.ini");
    QVERIFY(writeFileBytes(path, before));
    IniFile::writeString(path, "Database", key, value);
    QCOMPARE(readFileBytes(path), after);
    QCOMPARE(IniFile::readString(path, "Database", key), value);
}

void TestIniFile::writeAppendsKeyOrSection_data() {
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("after");

    QTest::newRow("missing file") << QByteArray() << QByteArray("[Database]\nNew=v\n");
    QTest::newRow("key after last entry, before spacing and next section's comment")
        << QByteArray("[Database]\r\nA=1\r\njunk\r\n\r\n; printing\r\n[Print]\r\nX=1\r\n")
        << QByteArray("[Database]\r\nA=1\r\njunk\r\nNew=v\r\n\r\n; printing\r\n[Print]\r\nX=1\r\n");
    QTest::newRow("empty section, header without newline")
        << QByteArray("[Other]\nA=1\n[Database]")
        << QByteArray("[Other]\nA=1\n[Database]\nNew=v\n");
    QTest::newRow("section appended, last line without newline")
        << QByteArray("[Other]\r\nA=1") << QByteArray("[Other]\r\nA=1\r\n[Database]\r\nNew=v\r\n");
    QTest::newRow("section appended after comments")
        << QByteArray("; only a comment\n") << QByteArray("; only a comment\n[Database]\nNew=v\n");
}

void TestIniFile::writeAppendsKeyOrSection() {
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, after);
    TempFolder dir;
    const QString path = dir.filePath("t.ini");
    if (!before.isEmpty())
        QVERIFY(writeFileBytes(path, before));
    IniFile::writeString(path, "Database", "New", "v");
    QCOMPARE(readFileBytes(path), after);
}

void TestIniFile::writeReadRoundTripWithDuplicates() {
    // Reads use only the first matching section; writes must go where reads look,
    // or a saved setting would silently not take effect.
    TempFolder dir;
    const QString path = dir.filePath("t.ini");
    QVERIFY(writeFileBytes(path, "[Database]\nB=1\n[database]\nA=old\n"));
    IniFile::writeString(path, "Database", "A", "new");
    QCOMPARE(IniFile::readString(path, "Database", "A"), QString("new"));
    QCOMPARE(readFileBytes(path), QByteArray("[Database]\nB=1\nA=new\n[database]\nA=old\n"));
}

void TestIniFile::writeKeepsPermissionsAndLinks() {
    TempFolder dir;
    const QString path = dir.filePath("t.ini");
    QVERIFY(writeFileBytes(path, "[Database]\nA=1\n"));
    QVERIFY(::chmod(QFile::encodeName(path).constData(), 0640) == 0);
    IniFile::writeString(path, "Database", "A", "2");
    QCOMPARE(modeOf(path), mode_t(0640));

    // A new file gets the usual mode for new files, not the temp file's 0600.
    const mode_t mask = ::umask(022);
    const QString fresh = dir.filePath("fresh.ini");
    IniFile::writeString(fresh, "Database", "A", "1");
    ::umask(mask);
    QCOMPARE(modeOf(fresh), mode_t(0644));

    // Writing through a link changes the target and keeps the link.
    const QString link = dir.filePath("link.ini");
    QVERIFY(QFile::link(path, link));
    IniFile::writeString(link, "Database", "A", "3");
    QVERIFY(QFileInfo(link).isSymLink());
    QCOMPARE(IniFile::readString(path, "Database", "A"), QString("3"));

    // No temporary files left behind.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System).size(), 3);
}

void TestIniFile::failedWritesChangeNothing() {
    TempFolder dir;
    expectWriteError(dir.filePath("no/such/folder/Quorvane.ini"), "Database", "A", "1");

    // The settings path names a folder.
    QVERIFY(QDir(dir.path()).mkdir("Quorvane.ini"));
    expectWriteError(dir.filePath("Quorvane.ini"), "Database", "A", "1");
    QVERIFY(QFileInfo(dir.filePath("Quorvane.ini")).isDir());

    // Text that would add lines of its own is refused, not written.
    const QString path = dir.filePath("t.ini");
    const QByteArray before = "[Database]\nA=1\n";
    QVERIFY(writeFileBytes(path, before));
    expectWriteError(path, "Database", "A", "x\n[Evil]\nB=2");
    expectWriteError(path, "Database", "A", "x\ry");
    expectWriteError(path, "Database", "A", QString("x") + QChar(0) + "y");
    expectWriteError(path, "Database", "A=B", "1");
    expectWriteError(path, "Database", ";A", "1");
    expectWriteError(path, "Data]base", "A", "1");
    expectWriteError(path, "", "A", "1");
    QCOMPARE(readFileBytes(path), before);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

void TestIniFile::unreadableFileIsNotClobbered() {
    // Replacing a file we cannot read would leave only the one key in it. A
    // FIFO cannot be read as a file by root either (a rename would replace it).
    TempFolder dir;
    const QString fifo = dir.filePath("Quorvane.ini");
    QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0644) == 0);
    expectWriteError(fifo, "Database", "A", "2");
    struct stat info {};
    QVERIFY(::lstat(QFile::encodeName(fifo).constData(), &info) == 0);
    QVERIFY(S_ISFIFO(info.st_mode));

    if (qv::test::runningAsRoot())
        return; // root reads through the permission bits below
    const QString path = dir.filePath("t.ini");
    QVERIFY(writeFileBytes(path, "[Database]\nA=1\n[Other]\nB=2\n"));
    QVERIFY(::chmod(QFile::encodeName(path).constData(), 0200) == 0);
    expectWriteError(path, "Database", "A", "2");
    QVERIFY(::chmod(QFile::encodeName(path).constData(), 0600) == 0);
    QCOMPARE(readFileBytes(path), QByteArray("[Database]\nA=1\n[Other]\nB=2\n"));
}

void TestIniFile::readOnlyFileIsRefused() {
    // The rename needs only the folder's permission, so the file's own bits
    // must be looked at; they stop root too, like the read-only attribute.
    TempFolder dir;
    const QString path = dir.filePath("t.ini");
    const QByteArray before = "[Database]\nA=1\n";
    QVERIFY(writeFileBytes(path, before));
    QVERIFY(::chmod(QFile::encodeName(path).constData(), 0444) == 0);
    expectWriteError(path, "Database", "A", "2");
    expectWriteError(path, "Database", "A", "1"); // even with nothing to change
    QCOMPARE(readFileBytes(path), before);
    QCOMPARE(modeOf(path), mode_t(0444));
}

void TestIniFile::rewritingKeepsSpacing_data() {
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QStringList>("writes");
    QTest::addColumn<QByteArray>("after");
    QTest::newRow("value with spaces written again")
        << QByteArray("[Database]\nA=  b\n") << QStringList{"  b", "  b", " b "}
        << QByteArray("[Database]\nA=  b\n");
    QTest::newRow("new value into spaced line")
        << QByteArray("[Database]\nA = x  \n") << QStringList{"y", "y"}
        << QByteArray("[Database]\nA = y  \n");
    QTest::newRow("empty value written twice")
        << QByteArray("[Database]\r\nA = \r\n") << QStringList{"", ""}
        << QByteArray("[Database]\r\nA = \r\n");
    QTest::newRow("emptied, then filled")
        << QByteArray("[Database]\nA = x\n") << QStringList{"", "", "z"}
        << QByteArray("[Database]\nA = z\n");
}

void TestIniFile::rewritingKeepsSpacing() {
    QFETCH(QByteArray, before);
    QFETCH(QStringList, writes);
    QFETCH(QByteArray, after);
    TempFolder dir;
    const QString path = dir.filePath("t.ini");
    QVERIFY(writeFileBytes(path, before));
    for (const QString& value : writes) {
        IniFile::writeString(path, "Database", "A", value);
        QCOMPARE(IniFile::readString(path, "Database", "A"), value.trimmed());
    }
    QCOMPARE(readFileBytes(path), after);

    // Writing what the key holds leaves the very same file: not even replaced.
    struct stat first {
    }, second{};
    QVERIFY(::stat(QFile::encodeName(path).constData(), &first) == 0);
    IniFile::writeString(path, "Database", "A", writes.last());
    QVERIFY(::stat(QFile::encodeName(path).constData(), &second) == 0);
    QCOMPARE(second.st_ino, first.st_ino);
    QCOMPARE(readFileBytes(path), after);
}

void TestIniFile::severalKeysInOneReplacement() {
    TempFolder dir;
    const QString path = dir.filePath("t.ini");
    QVERIFY(writeFileBytes(path, "[Database]\r\nB=old\r\n"));
    IniFile::writeStrings(path, "Database", {{"A", "1"}, {"B", "2"}, {"C", "3"}});
    QCOMPARE(readFileBytes(path), QByteArray("[Database]\r\nB=2\r\nA=1\r\nC=3\r\n"));
    // One refused value, and none is written.
    try {
        IniFile::writeStrings(path, "Database", {{"A", "9"}, {"B", "x\ny"}});
        QFAIL("the write did not fail");
    } catch (const IniWriteError&) {
    }
    QCOMPARE(IniFile::readString(path, "Database", "A"), QString("1"));
}

void TestIniFile::staleTemporariesGoLiveOnesStay() {
    // What a write killed before its rename leaves is removed by the next one;
    // the file another program is writing at that moment (locked) stays.
    TempFolder dir;
    const QString path = dir.filePath("t.ini");
    const QString stale = dir.filePath(".qvtmp-a1B2c3");
    QVERIFY(writeFileBytes(stale, "[Database]\nA=half"));
    qv::FileSystem::TemporaryFile live = qv::FileSystem::createTemporaryIn(dir.path());
    QVERIFY(live.fd >= 0);
    const QString other = dir.filePath(".qvtmp-notes.txt"); // not one of ours
    QVERIFY(writeFileBytes(other, "x"));
    IniFile::writeString(path, "Database", "A", "1");
    QVERIFY(!QFileInfo::exists(stale));
    QVERIFY(QFileInfo::exists(live.path));
    QVERIFY(QFileInfo::exists(other));
    qv::FileSystem::discardTemporary(live);
    QVERIFY(!QFileInfo::exists(live.path));
}

QTEST_GUILESS_MAIN(TestIniFile)
#include "tst_inifile.moc"
