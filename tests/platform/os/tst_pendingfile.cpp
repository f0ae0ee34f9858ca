#include "platform/os/PendingFile.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QTest>

using qv::FileSystem::PendingFile;
using namespace qv::test;

class TestPendingFile : public QObject {
    Q_OBJECT

private slots:
    void appearsOnlyWhenPlaced();
};

void TestPendingFile::appearsOnlyWhenPlaced() {
    TempFolder folder;
    const QString target = folder.filePath("club.mdb");
    const auto entries = [&] {
        return QDir(folder.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    };
    {
        // Abandoned: the half-made file and its journal go with it.
        PendingFile pending(target);
        QCOMPARE(QFileInfo(pending.path()).absolutePath(), folder.path());
        QVERIFY(QFileInfo(pending.path()).fileName().startsWith(".club.mdb."));
        QVERIFY(!QFileInfo::exists(pending.path()));
        QVERIFY(writeFileBytes(pending.path(), "half"));
        QVERIFY(writeFileBytes(pending.path() + "-journal", "journal"));
        QVERIFY(!QFileInfo::exists(target));
    }
    QCOMPARE(entries(), QStringList());
    {
        PendingFile pending(target);
        QVERIFY(writeFileBytes(pending.path(), "whole"));
        QVERIFY(pending.place());
    }
    QCOMPARE(entries(), QStringList("club.mdb"));
    {
        // A name taken in the meantime is never replaced.
        PendingFile pending(target);
        QVERIFY(writeFileBytes(pending.path(), "other"));
        QVERIFY(!pending.place());
    }
    QCOMPARE(entries(), QStringList("club.mdb"));
    QCOMPARE(readFileBytes(target), QByteArray("whole"));
}

QTEST_GUILESS_MAIN(TestPendingFile)
#include "tst_pendingfile.moc"
