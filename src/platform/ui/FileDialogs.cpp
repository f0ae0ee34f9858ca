// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/FileDialogs.h"

#include "platform/ui/MessageBox.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QSortFilterProxyModel>
#include <QtDebug>
#include <deque>

namespace qv {

namespace {

struct TestState {
    bool enabled = false;
    std::deque<std::optional<QString>> answers;
    QList<FileDialogRequest> requests;
    QStringList problems;
};

TestState& testState() {
    static TestState state;
    return state;
}

// Qt's dialog with two refusals of our own before it may close on a name: a
// save into a folder that does not exist, and a name the caller's check turns
// down. Qt's own tests (file exists for open, the overwrite question) follow.
class CheckedFileDialog : public QFileDialog {
public:
    CheckedFileDialog(QWidget* parent, FileNameCheck check)
        : QFileDialog(parent)
        , m_check(std::move(check)) {}

    void accept() override {
        const QStringList files = selectedFiles();
        if (fileMode() != Directory && !files.isEmpty()) {
            const QFileInfo info(files.first());
            if (!info.isDir()) {
                const bool saving = acceptMode() == AcceptSave;
                if (saving && !info.absoluteDir().exists()) {
                    ShowMessageBox(QStringLiteral("The folder %1 does not exist.")
                                       .arg(QDir::toNativeSeparators(info.absolutePath())),
                                   MessageKind::Warning, MessageButtons::Ok,
                                   MessagePlacement::Centered, this, windowTitle());
                    return;
                }
                if (m_check && (saving || info.exists()) && !m_check(info.absoluteFilePath()))
                    return;
            }
        }
        QFileDialog::accept();
    }

private:
    FileNameCheck m_check;
};

// Lists only the files the caller's kind test accepts for the filter chosen
// in the dialog's file type box, asked again whenever the choice changes.
class FileKindProxy : public QSortFilterProxyModel {
public:
    FileKindProxy(QFileDialog* dialog, FileKindTest test)
        : QSortFilterProxyModel(dialog)
        , m_test(std::move(test)) {
        m_types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        if (m_types)
            connect(m_types, &QComboBox::currentIndexChanged, this, [this] { invalidateFilter(); });
    }

protected:
    bool filterAcceptsRow(int row, const QModelIndex& parent) const override {
        const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
        if (!files)
            return true;
        const QModelIndex index = files->index(row, 0, parent);
        return files->isDir(index) ||
               m_test(m_types ? qMax(0, m_types->currentIndex()) : 0, files->filePath(index));
    }

private:
    FileKindTest m_test;
    QPointer<QComboBox> m_types;
};

std::optional<QString> testAnswer(FileDialogRequest& request, const FileNameCheck& check) {
    TestState& state = testState();
    while (!state.answers.empty()) {
        std::optional<QString> answer = state.answers.front();
        state.answers.pop_front();
        if (!answer || !check || check(*answer))
            return answer;
        request.refused << *answer;
    }
    request.unexpected = true;
    request.problem =
        QStringLiteral("Unexpected file dialog \"%1\" (no answer queued)").arg(request.caption);
    qWarning().noquote() << request.problem;
    state.problems << request.problem;
    return std::nullopt;
}

std::optional<QString> runDialog(FileDialogRequest& request, const FileNameCheck& check,
                                 QWidget* parent) {
    request.parent = parent;
    request.hasCheck = static_cast<bool>(check);
    TestState& state = testState();
    if (state.enabled) {
        request.answer = testAnswer(request, check);
        state.requests << request;
        return request.answer;
    }

    auto dialog = CreateFileDialog(request, check, parent);
    dialog->adjustSize();
    PlaceOverOwner(dialog.get());
    const QPointer<QFileDialog> alive = dialog.get();
    const int result = dialog->exec();
    if (!alive) {
        // Destroyed with its parent while open.
        (void)dialog.release();
        return std::nullopt;
    }
    const QStringList files = dialog->selectedFiles();
    if (result != QDialog::Accepted || files.isEmpty())
        return std::nullopt;
    return QFileInfo(files.first()).absoluteFilePath();
}

} // namespace

QString QtFileFilter(const QString& filter) {
    if (!filter.contains(QLatin1Char('|')))
        return filter;
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList entries;
    for (qsizetype i = 0; i < parts.size(); i += 2) {
        QString description = parts.at(i).trimmed();
        QStringList patterns;
        const QString patternText = i + 1 < parts.size() ? parts.at(i + 1) : QStringLiteral("*");
        for (const QString& pattern : patternText.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            const QString trimmed = pattern.trimmed();
            // "*.*" matches every file on the original platform, but only names
            // with a dot here.
            patterns << (trimmed == QLatin1String("*.*") ? QStringLiteral("*") : trimmed);
        }
        if (patterns.isEmpty())
            patterns << QStringLiteral("*");
        // Qt reads the patterns from the description's last parentheses, so
        // the shown "(*.x)" is replaced by the real patterns.
        if (description.endsWith(QLatin1Char(')')) && description.contains(QLatin1Char('(')))
            description = description.left(description.lastIndexOf(QLatin1Char('('))).trimmed();
        const QString joined = patterns.join(QLatin1Char(' '));
        entries << (description.isEmpty() ? joined
                                          : QStringLiteral("%1 (%2)").arg(description, joined));
    }
    return entries.join(QStringLiteral(";;"));
}

QString QtDefaultSuffix(const QString& suffix) {
    QString result = suffix.trimmed();
    if (result.startsWith(QLatin1Char('*')))
        result.remove(0, 1);
    if (result.startsWith(QLatin1Char('.')))
        result.remove(0, 1);
    if (result.contains(QLatin1Char('*')) || result.contains(QLatin1Char('?')))
        return QString();
    return result;
}

std::unique_ptr<QFileDialog> CreateFileDialog(const FileDialogRequest& request,
                                              const FileNameCheck& check, QWidget* parent) {
    auto dialog = std::make_unique<CheckedFileDialog>(parent, check);
    dialog->setOption(QFileDialog::DontUseNativeDialog, true);
    dialog->setWindowTitle(request.caption);
    switch (request.kind) {
    case FileDialogKind::Open:
        dialog->setAcceptMode(QFileDialog::AcceptOpen);
        dialog->setFileMode(QFileDialog::ExistingFile);
        break;
    case FileDialogKind::Save:
        dialog->setAcceptMode(QFileDialog::AcceptSave);
        dialog->setFileMode(QFileDialog::AnyFile);
        dialog->setOption(QFileDialog::DontConfirmOverwrite, !request.confirmOverwrite);
        break;
    case FileDialogKind::Folder:
        dialog->setAcceptMode(QFileDialog::AcceptOpen);
        dialog->setFileMode(QFileDialog::Directory);
        dialog->setOption(QFileDialog::ShowDirsOnly, true);
        // Read-only removes the dialog's "new folder" command.
        dialog->setOption(QFileDialog::ReadOnly, !request.allowNewFolder);
        break;
    }
    if (request.kind != FileDialogKind::Folder) {
        const QString filter = QtFileFilter(request.filter);
        if (!filter.isEmpty())
            dialog->setNameFilter(filter);
        dialog->setDefaultSuffix(QtDefaultSuffix(request.defaultSuffix));
    }
    if (request.kinds && request.kind != FileDialogKind::Folder)
        dialog->setProxyModel(new FileKindProxy(dialog.get(), request.kinds));
    if (!request.initialFolder.isEmpty())
        dialog->setDirectory(request.initialFolder);
    if (!request.fileName.isEmpty())
        dialog->selectFile(request.fileName);
    return dialog;
}

namespace {

FileDialogRequest fileRequest(FileDialogKind kind, const FileDialogOptions& options) {
    FileDialogRequest request;
    request.kind = kind;
    request.caption = options.caption;
    request.initialFolder = options.initialFolder;
    request.fileName = options.fileName;
    request.filter = options.filter;
    request.defaultSuffix = options.defaultSuffix;
    request.kinds = options.kinds;
    return request;
}

} // namespace

std::optional<QString> GetOpenFileName(const FileDialogOptions& options, QWidget* parent) {
    FileDialogRequest request = fileRequest(FileDialogKind::Open, options);
    return runDialog(request, options.check, parent);
}

std::optional<QString> GetSaveFileName(const FileDialogOptions& options, QWidget* parent) {
    FileDialogRequest request = fileRequest(FileDialogKind::Save, options);
    request.confirmOverwrite = options.confirmOverwrite;
    return runDialog(request, options.check, parent);
}

std::optional<QString> GetExistingFolder(const FolderDialogOptions& options, QWidget* parent) {
    FileDialogRequest request;
    request.kind = FileDialogKind::Folder;
    request.caption = options.caption;
    request.initialFolder = options.initialFolder;
    request.allowNewFolder = options.allowNewFolder;
    return runDialog(request, FileNameCheck(), parent);
}

void FileDialogTest::enable() {
    clear();
    testState().enabled = true;
}

void FileDialogTest::disable() {
    clear();
    testState().enabled = false;
}

bool FileDialogTest::isEnabled() {
    return testState().enabled;
}

void FileDialogTest::clear() {
    TestState& state = testState();
    state.answers.clear();
    state.requests.clear();
    state.problems.clear();
}

void FileDialogTest::queueAnswer(const QString& path) {
    testState().answers.push_back(path);
}

void FileDialogTest::queueCancel() {
    testState().answers.push_back(std::nullopt);
}

int FileDialogTest::pendingAnswers() {
    return static_cast<int>(testState().answers.size());
}

const QList<FileDialogRequest>& FileDialogTest::requests() {
    return testState().requests;
}

int FileDialogTest::unexpectedCount() {
    return static_cast<int>(testState().problems.size());
}

QStringList FileDialogTest::problems() {
    return testState().problems;
}

} // namespace qv
