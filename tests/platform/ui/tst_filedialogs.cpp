// SPDX-License-Identifier: GPL-3.0-or-later
#include "ModalHelpers.h"
#include "platform/ui/FileDialogs.h"
#include "platform/ui/MessageBox.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QListView>
#include <QTemporaryDir>
#include <QTest>

using namespace qv;

class TestFileDialogs : public QObject {
    Q_OBJECT

private slots:
    void filterConversion_data();
    void filterConversion();
    void answersTakenInOrderAndRecorded();
    void checkRefusalTakesNextAnswer();
    void emptyQueueCancelsAndIsFlagged();
    void realSaveDialogRefusalsKeepItOpen();
    void realDialogListsEachKindByContent();
};

void TestFileDialogs::filterConversion_data() {
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("qt");
    const char* rows[][3] = {
        {"one entry", "Access Database (*.mdb)|*.mdb", "Access Database (*.mdb)"},
        {"every file", "CSV file (*.csv)|*.csv|All Files (*.*)|*.*",
         "CSV file (*.csv);;All Files (*)"},
        {"several patterns", "Text (*.txt)|*.txt;*.log", "Text (*.txt *.log)"},
        {"Qt form kept", "Text (*.txt);;All (*)", "Text (*.txt);;All (*)"},
    };
    for (const auto& row : rows)
        QTest::newRow(row[0]) << QString::fromUtf8(row[1]) << QString::fromUtf8(row[2]);
}

void TestFileDialogs::filterConversion() {
    QFETCH(QString, filter);
    QFETCH(QString, qt);
    QCOMPARE(QtFileFilter(filter), qt);
    QCOMPARE(QtDefaultSuffix(QStringLiteral("*.csv")), QStringLiteral("csv"));
    QCOMPARE(QtDefaultSuffix(QStringLiteral("*.*")), QString());
}

void TestFileDialogs::answersTakenInOrderAndRecorded() {
    QWidget parent;
    FileDialogTestScope dialogs;
    dialogs.queue(QStringLiteral("/data/Club list.csv"));
    dialogs.queueCancel();
    dialogs.queue(QStringLiteral("/backups"));

    FileDialogOptions save;
    save.caption = QStringLiteral("Export CSV");
    save.initialFolder = QStringLiteral("/home/user/Documents");
    save.fileName = QStringLiteral("Club list");
    save.filter = QStringLiteral("CSV file (*.csv)|*.csv");
    save.defaultSuffix = QStringLiteral("csv");
    QCOMPARE(GetSaveFileName(save, &parent),
             std::optional<QString>(QStringLiteral("/data/Club list.csv")));

    FileDialogOptions open;
    open.caption = QStringLiteral("Access Database");
    open.filter = QStringLiteral("Access Database (*.mdb)|*.mdb");
    QCOMPARE(GetOpenFileName(open), std::nullopt);

    FolderDialogOptions folder;
    folder.caption = QStringLiteral("Select folder to store backup");
    folder.allowNewFolder = false;
    QCOMPARE(GetExistingFolder(folder), std::optional<QString>(QStringLiteral("/backups")));

    const QList<FileDialogRequest>& requests = dialogs.requests();
    QCOMPARE(requests.size(), 3);
    QCOMPARE(requests[0].kind, FileDialogKind::Save);
    QCOMPARE(requests[0].caption, QStringLiteral("Export CSV"));
    QCOMPARE(requests[0].initialFolder, QStringLiteral("/home/user/Documents"));
    QCOMPARE(requests[0].fileName, QStringLiteral("Club list"));
    QCOMPARE(requests[0].filter, QStringLiteral("CSV file (*.csv)|*.csv"));
    QVERIFY(requests[0].confirmOverwrite);
    QCOMPARE(requests[0].parent.data(), &parent);
    QCOMPARE(requests[1].kind, FileDialogKind::Open);
    QVERIFY(!requests[1].unexpected); // a queued cancel is an answer
    QCOMPARE(requests[2].kind, FileDialogKind::Folder);
    QVERIFY(!requests[2].allowNewFolder);
    QVERIFY(dialogs.isClean());
}

void TestFileDialogs::checkRefusalTakesNextAnswer() {
    QStringList checked;
    FileDialogOptions create;
    create.caption = QStringLiteral("Create Access Database");
    create.check = [&](const QString& path) {
        checked << path;
        return !path.endsWith(QLatin1String("DrelvinMembers.mdb"));
    };

    FileDialogTestScope dialogs;
    dialogs.queue(QStringLiteral("/db/DrelvinMembers.mdb"));
    dialogs.queue(QStringLiteral("/db/New.mdb"));
    QCOMPARE(GetSaveFileName(create), std::optional<QString>(QStringLiteral("/db/New.mdb")));
    QCOMPARE(checked, QStringList({"/db/DrelvinMembers.mdb", "/db/New.mdb"}));
    QCOMPARE(dialogs.requests().at(0).refused, QStringList{"/db/DrelvinMembers.mdb"});
    QVERIFY(dialogs.requests().at(0).hasCheck);

    // Refused, then the user cancels: the check is not asked about a cancel.
    dialogs.queue(QStringLiteral("/db/DrelvinMembers.mdb"));
    dialogs.queueCancel();
    QCOMPARE(GetSaveFileName(create), std::nullopt);
    QCOMPARE(checked.size(), 3);
}

void TestFileDialogs::emptyQueueCancelsAndIsFlagged() {
    FileDialogTest::enable();
    FileDialogTest::queueAnswer(QStringLiteral("/db/Taken.mdb"));
    FileDialogOptions create;
    create.caption = QStringLiteral("Create Access Database");
    create.check = [](const QString&) { return false; };
    // The only answer is refused and nothing follows it.
    QTest::ignoreMessage(QtWarningMsg,
                         "Unexpected file dialog \"Create Access Database\" (no answer queued)");
    QCOMPARE(GetSaveFileName(create), std::nullopt);
    QCOMPARE(FileDialogTest::unexpectedCount(), 1);
    QVERIFY(FileDialogTest::requests().at(0).unexpected);
    QCOMPARE(FileDialogTest::requests().at(0).refused, QStringList{"/db/Taken.mdb"});
    FileDialogTest::disable();
    QCOMPARE(FileDialogTest::unexpectedCount(), 0);
}

void TestFileDialogs::realSaveDialogRefusalsKeepItOpen() {
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    {
        QFile taken(folder.filePath(QStringLiteral("Taken.mdb")));
        QVERIFY(taken.open(QIODevice::WriteOnly));
    }
    FileDialogOptions create;
    create.caption = QStringLiteral("Create Access Database");
    create.initialFolder = folder.path();
    create.filter = QStringLiteral("Access Database (*.mdb)|*.mdb");
    create.defaultSuffix = QStringLiteral("mdb");
    QStringList checked;
    create.check = [&](const QString& path) {
        checked << QFileInfo(path).fileName();
        return !QFileInfo::exists(path);
    };

    // The refusal message of the missing folder goes through the message box
    // seam; the dialog itself is real.
    MessageBoxTestScope boxes;
    boxes.queue(MessageResult::Ok);
    qvtest::ModalWatchdog watchdog;
    bool stayedOpen = false;
    qvtest::WhenModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        if (!dialog)
            return;
        // What the dialog's Save button does.
        QDialog* asDialog = dialog;
        dialog->selectFile(QStringLiteral("Taken"));
        asDialog->accept(); // refused by the check
        dialog->selectFile(folder.filePath(QStringLiteral("missing/New.mdb")));
        asDialog->accept(); // refused: no such folder
        stayedOpen = dialog->isVisible() && dialog->result() != QDialog::Accepted;
        dialog->selectFile(QStringLiteral("New"));
        asDialog->accept();
    });
    const std::optional<QString> chosen = GetSaveFileName(create);
    QVERIFY(!watchdog.fired());
    QVERIFY(stayedOpen);
    QCOMPARE(chosen, std::optional<QString>(folder.filePath(QStringLiteral("New.mdb"))));
    QCOMPARE(checked, QStringList({"Taken.mdb", "New.mdb"}));
    QCOMPARE(boxes.shown().size(), 1);
    QVERIFY(boxes.shown().at(0).text.startsWith(QStringLiteral("The folder ")));
    QCOMPARE(boxes.shown().at(0).kind, MessageKind::Warning);
}

// Two kinds of file with one extension: each filter lists its own kind, and
// choosing the other filter lists the other kind at once.
void TestFileDialogs::realDialogListsEachKindByContent() {
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    for (const auto& [name, content] : {std::pair{"Club.mdb", "R"}, std::pair{"Old.mdb", "A"}}) {
        QFile file(folder.filePath(QString::fromLatin1(name)));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == 1);
    }
    FileDialogRequest request;
    request.kind = FileDialogKind::Open;
    request.initialFolder = folder.path();
    request.filter = QStringLiteral("Registers (*.mdb)|*.mdb|Old files (*.mdb)|*.mdb");
    request.kinds = [](int filterIndex, const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) && file.readAll() == (filterIndex == 0 ? "R" : "A");
    };
    const auto dialog = CreateFileDialog(request, {}, nullptr);
    dialog->show();
    const auto* view = dialog->findChild<QListView*>(QStringLiteral("listView"));
    QVERIFY(view);
    const auto listed = [&] {
        QStringList names;
        const QModelIndex root = view->rootIndex();
        for (int row = 0; row < view->model()->rowCount(root); ++row)
            names << view->model()->index(row, 0, root).data().toString();
        return names;
    };
    QTRY_COMPARE(listed(), QStringList{"Club.mdb"});
    dialog->selectNameFilter(QStringLiteral("Old files (*.mdb)"));
    QTRY_COMPARE(listed(), QStringList{"Old.mdb"});
}

QTEST_MAIN(TestFileDialogs)
#include "tst_filedialogs.moc"
