// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/os/FileSystem.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <cerrno>
#include <sys/stat.h>

using qv::test::readFileBytes;
using qv::test::TempFolder;
using qv::test::writeFileBytes;
namespace FileSystem = qv::FileSystem;

namespace {

bool setMode(const QString& path, mode_t mode) {
    return ::chmod(QFile::encodeName(path).constData(), mode) == 0;
}

mode_t modeOf(const QString& path) {
    struct stat info {};
    ::stat(QFile::encodeName(path).constData(), &info);
    return info.st_mode & 07777;
}

QStringList entries(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

} // namespace

class TestFileSystem : public QObject {
    Q_OBJECT

private slots:
    void probeCreatesAndRemoves();
    void probeRefusals();
    void readOnlyLooksAtPermissionBits();
    void copyNeverOverwritesNorLeavesHalfFiles();
    void moveNeverOverwrites();
    void temporaryAppearsOnlyWhenPlaced();
    void staleTemporariesGoWhenTheNextIsMade();
    void documentsFolderIsNotCreated();
};

void TestFileSystem::probeCreatesAndRemoves() {
    TempFolder dir;
    QVERIFY(FileSystem::canCreateFileIn(dir.path()));
    QVERIFY(FileSystem::canCreateFileIn(dir.path() + "/"));
    QVERIFY(entries(dir.path()).isEmpty());
}

void TestFileSystem::probeRefusals() {
    TempFolder dir;
    // A left-over probe file: the probe must create a new file, so this folder
    // counts as not writable, and the stranger's file is left alone.
    QVERIFY(writeFileBytes(dir.filePath("chk.tmp"), "someone's"));
    QVERIFY(!FileSystem::canCreateFileIn(dir.path()));
    QCOMPARE(readFileBytes(dir.filePath("chk.tmp")), QByteArray("someone's"));

    QVERIFY(!FileSystem::canCreateFileIn(dir.filePath("missing")));
    QVERIFY(!FileSystem::canCreateFileIn(QString()));
    QVERIFY(writeFileBytes(dir.filePath("file"), "x"));
    QVERIFY(!FileSystem::canCreateFileIn(dir.filePath("file")));

    // /proc takes no new files, not even from root: a real folder the probe
    // cannot write whoever runs the tests.
    QVERIFY(QFileInfo(QStringLiteral("/proc")).isDir());
    QVERIFY(!FileSystem::canCreateFileIn(QStringLiteral("/proc")));

    // Permission bits on a folder stop everyone but root.
    if (!qv::test::runningAsRoot()) {
        QVERIFY(QDir(dir.path()).mkdir("locked"));
        QVERIFY(setMode(dir.filePath("locked"), 0555));
        QVERIFY(!FileSystem::canCreateFileIn(dir.filePath("locked")));
        QVERIFY(setMode(dir.filePath("locked"), 0755));
    }
}

void TestFileSystem::readOnlyLooksAtPermissionBits() {
    TempFolder dir;
    const QString path = dir.filePath("register.mdb");
    QVERIFY(writeFileBytes(path, "x"));
    QVERIFY(!FileSystem::isReadOnlyFile(path));
    // No write bit anywhere is read-only even for root, whom the kernel would let
    // write: it is the marking that counts, like a read-only attribute.
    QVERIFY(setMode(path, 0444));
    QVERIFY(FileSystem::isReadOnlyFile(path));
    QVERIFY(setMode(path, 0400));
    QVERIFY(FileSystem::isReadOnlyFile(path));
    QVERIFY(setMode(path, 0600));
    QVERIFY(!FileSystem::isReadOnlyFile(path));

    // What cannot be examined, or is no file, cannot be written as one.
    QVERIFY(FileSystem::isReadOnlyFile(dir.filePath("missing.mdb")));
    QVERIFY(FileSystem::isReadOnlyFile(dir.path()));
    QVERIFY(FileSystem::isReadOnlyFile(QString()));
}

void TestFileSystem::copyNeverOverwritesNorLeavesHalfFiles() {
    TempFolder dir;
    const QString from = dir.filePath("from.mdb");
    const QByteArray content = QByteArray(300000, 'a') + "end";
    QVERIFY(writeFileBytes(from, content));
    QVERIFY(setMode(from, 0640));

    const QString to = dir.filePath("to.mdb");
    QVERIFY(FileSystem::copyFileNoOverwrite(from, to));
    QCOMPARE(readFileBytes(to), content);
    QCOMPARE(modeOf(to), mode_t(0640));

    // An existing target stays as it was.
    QVERIFY(writeFileBytes(to, "keep me"));
    QVERIFY(!FileSystem::copyFileNoOverwrite(from, to));
    QCOMPARE(readFileBytes(to), QByteArray("keep me"));

    // Failures leave nothing behind, not even a temporary file.
    QVERIFY(!FileSystem::copyFileNoOverwrite(dir.filePath("missing.mdb"), dir.filePath("x.mdb")));
    QVERIFY(!FileSystem::copyFileNoOverwrite(dir.path(), dir.filePath("y.mdb")));
    QVERIFY(!FileSystem::copyFileNoOverwrite(from, dir.filePath("no/folder/z.mdb")));
    // A FIFO named as the register is refused at once, not read until a
    // writer comes (the settings dialog's Copy would hang).
    QCOMPARE(::mkfifo(QFile::encodeName(dir.filePath("fifo.mdb")).constData(), 0600), 0);
    QVERIFY(!FileSystem::copyFileNoOverwrite(dir.filePath("fifo.mdb"), dir.filePath("f.mdb")));
    QCOMPARE(entries(dir.path()), QStringList({"fifo.mdb", "from.mdb", "to.mdb"}));
}

void TestFileSystem::moveNeverOverwrites() {
    TempFolder dir;
    const QString a = dir.filePath("a.mdb");
    const QString b = dir.filePath("b.mdb");
    QVERIFY(writeFileBytes(a, "A"));
    QVERIFY(FileSystem::moveFile(a, b));
    QVERIFY(!QFileInfo::exists(a));
    QCOMPARE(readFileBytes(b), QByteArray("A"));

    QVERIFY(writeFileBytes(a, "second"));
    QVERIFY(!FileSystem::moveFile(a, b));
    QCOMPARE(readFileBytes(a), QByteArray("second"));
    QCOMPARE(readFileBytes(b), QByteArray("A"));
    QVERIFY(!FileSystem::moveFile(dir.filePath("missing"), dir.filePath("c.mdb")));
}

void TestFileSystem::temporaryAppearsOnlyWhenPlaced() {
    TempFolder dir;
    const QString target = dir.filePath("club.mdb");
    const auto write = [&](const QByteArray& bytes) {
        FileSystem::TemporaryFile temp = FileSystem::createTemporaryIn(dir.path());
        if (temp.fd < 0 || !FileSystem::writeAll(temp.fd, bytes))
            qFatal("no temporary file");
        return temp;
    };
    {
        // Abandoned: nothing is left, and nothing ever stood at the target.
        FileSystem::TemporaryFile temp = write("half");
        QCOMPARE(QFileInfo(temp.path).absolutePath(), dir.path());
        QVERIFY(QFileInfo(temp.path).fileName().startsWith(".qvtmp-"));
        QCOMPARE(modeOf(temp.path), mode_t(0600));
        QVERIFY(!QFileInfo::exists(target));
        FileSystem::discardTemporary(temp);
        QCOMPARE(temp.fd, -1);
        QCOMPARE(entries(dir.path()), QStringList());
    }
    FileSystem::TemporaryFile whole = write("whole");
    QVERIFY(FileSystem::placeTemporary(whole, target, 0640, FileSystem::Placing::NoReplace));
    QCOMPARE(whole.fd, -1);
    QCOMPARE(entries(dir.path()), QStringList("club.mdb"));
    QCOMPARE(readFileBytes(target), QByteArray("whole"));
    QCOMPARE(modeOf(target), mode_t(0640));

    // A name taken in the meantime is never replaced; the temporary stays
    // for its owner to discard.
    FileSystem::TemporaryFile other = write("other");
    errno = 0;
    QVERIFY(!FileSystem::placeTemporary(other, target, 0644, FileSystem::Placing::NoReplace));
    QCOMPARE(errno, EEXIST);
    QVERIFY(other.fd >= 0 && QFileInfo::exists(other.path));
    FileSystem::discardTemporary(other);
    QCOMPARE(entries(dir.path()), QStringList("club.mdb"));
    QCOMPARE(readFileBytes(target), QByteArray("whole"));

    // Replacing, the target changes in one step.
    FileSystem::TemporaryFile next = write("next");
    QVERIFY(FileSystem::placeTemporary(next, target, 0600, FileSystem::Placing::Replace));
    QCOMPARE(entries(dir.path()), QStringList("club.mdb"));
    QCOMPARE(readFileBytes(target), QByteArray("next"));
    QCOMPARE(modeOf(target), mode_t(0600));
}

void TestFileSystem::staleTemporariesGoWhenTheNextIsMade() {
    // What a killed program left (nobody holds it), with the side files of a
    // database engine, goes when the next temporary file is made there; a
    // file being written now (locked), and names not of our making, stay.
    TempFolder dir;
    const QString stale = dir.filePath(".qvtmp-a1B2c3");
    for (const char* side : {"", "-journal", "-lock"})
        QVERIFY(writeFileBytes(stale + side, "left"));
    QVERIFY(writeFileBytes(dir.filePath("..qvtmp-a1B2c3-lock"), "left"));
    FileSystem::TemporaryFile live = FileSystem::createTemporaryIn(dir.path());
    QVERIFY(live.fd >= 0);
    QVERIFY(writeFileBytes(dir.filePath(".qvtmp-notes.txt"), "x"));
    QVERIFY(writeFileBytes(dir.filePath(".qvtmp-a1B2c"), "x"));
    QVERIFY(QDir(dir.path()).mkdir(".qvtmp-Folder"));
    QVERIFY(!QFileInfo::exists(stale)); // the live one's making swept already
    QVERIFY(writeFileBytes(stale, "left again"));

    FileSystem::TemporaryFile next = FileSystem::createTemporaryIn(dir.path());
    QVERIFY(next.fd >= 0);
    QStringList expected{".qvtmp-notes.txt", ".qvtmp-a1B2c", ".qvtmp-Folder",
                         QFileInfo(live.path).fileName(), QFileInfo(next.path).fileName()};
    expected.sort();
    QStringList found =
        QDir(dir.path())
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    found.sort();
    QCOMPARE(found, expected);
    FileSystem::discardTemporary(live);
    FileSystem::discardTemporary(next);
}

void TestFileSystem::documentsFolderIsNotCreated() {
    TempFolder home;
    const QByteArray oldHome = qgetenv("HOME");
    const QByteArray oldConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("HOME", QFile::encodeName(home.path()));
    qunsetenv("XDG_CONFIG_HOME");
    const QString documents = FileSystem::documentsFolder();
    qputenv("HOME", oldHome);
    if (oldConfig.isNull())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", oldConfig);

    QCOMPARE(documents, home.filePath("Documents"));
    QVERIFY(!QFileInfo::exists(documents));
}

QTEST_GUILESS_MAIN(TestFileSystem)
#include "tst_filesystem.moc"
