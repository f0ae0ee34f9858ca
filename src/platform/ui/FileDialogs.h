// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The open-file, save-file and folder dialogs of the program, with a test mode
// in which queued answers stand in for the user and every request is recorded.

#include "platform/ui/MessageBox.h"

#include <QList>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

class QFileDialog;

namespace qv {

enum class FileDialogKind { Open, Save, Folder };

// Looks at a chosen file name while the dialog is still open: false keeps the
// dialog open (the check shows its own message), true lets it close.
using FileNameCheck = std::function<bool(const QString& path)>;

// Which files the selected filter lists, beyond its patterns: two kinds of
// file that share an extension are told apart by their content. Called with
// the position of the selected filter in the filter text (from 0) and a
// file's path; folders are always listed.
using FileKindTest = std::function<bool(int filterIndex, const QString& path)>;

struct FileDialogOptions {
    QString caption;
    QString initialFolder; // empty: the current folder
    QString fileName;      // proposed name; a full path also sets the folder
    // Either the program's "Description|pattern[;pattern]|..." form or a Qt
    // filter ("Description (*.x);;..."); "*.*" means every file.
    QString filter;
    QString defaultSuffix;        // "csv", ".csv" or "*.csv"; ignored when it has wildcards
    bool confirmOverwrite = true; // save: ask before replacing an existing file
    // Runs before the overwrite question, so a refused name is never asked
    // about. Save: every name; open: names of existing files.
    FileNameCheck check;
    FileKindTest kinds; // none: the patterns alone
};

struct FolderDialogOptions {
    QString caption;
    QString initialFolder;
    bool allowNewFolder = true;
};

// Each returns the chosen absolute path (in test mode: the queued answer as it
// was queued), or nothing when the user cancelled.
// The open dialog accepts only existing files; the save dialog only names in an
// existing folder; all are Qt's own (non-native) dialogs, so the check and the
// folder test behave the same on every desktop.
std::optional<QString> GetOpenFileName(const FileDialogOptions& options, QWidget* parent = nullptr);
std::optional<QString> GetSaveFileName(const FileDialogOptions& options, QWidget* parent = nullptr);
std::optional<QString> GetExistingFolder(const FolderDialogOptions& options,
                                         QWidget* parent = nullptr);

// The filter in Qt's form (see FileDialogOptions::filter).
QString QtFileFilter(const QString& filter);

// The default suffix as QFileDialog wants it ("csv"), or empty.
QString QtDefaultSuffix(const QString& suffix);

// One dialog as it was asked for, and (in test mode) how it was answered.
struct FileDialogRequest {
    FileDialogKind kind = FileDialogKind::Open;
    QString caption;
    QString initialFolder;
    QString fileName;
    QString filter;        // as passed
    QString defaultSuffix; // as passed
    bool confirmOverwrite = false;
    bool allowNewFolder = true;
    bool hasCheck = false;
    FileKindTest kinds;
    QPointer<QWidget> parent;
    std::optional<QString> answer; // nothing: cancelled
    QStringList refused;           // queued names the check turned down
    bool unexpected = false;       // the queue ran dry: answered Cancel
    QString problem;
};

// The real dialog the non-test path shows for `request` (not yet shown).
std::unique_ptr<QFileDialog> CreateFileDialog(const FileDialogRequest& request,
                                              const FileNameCheck& check, QWidget* parent);

// Test mode. While enabled no dialog opens: each request takes queued answers
// (a path, or Cancel) and is recorded. A path refused by the dialog's check is
// recorded in `refused` and the next queued answer is taken, as if the user
// chose again. A request that finds the queue empty is recorded as unexpected,
// answered with Cancel and warned about.
class FileDialogTest {
public:
    static void enable();  // also clears
    static void disable(); // also clears
    static bool isEnabled();
    static void clear();

    static void queueAnswer(const QString& path);
    static void queueCancel();
    static int pendingAnswers();

    static const QList<FileDialogRequest>& requests();
    static int unexpectedCount();
    static QStringList problems();
};

// Enables file dialog test mode for its lifetime and fails the running test on
// destruction when answers are left or requests went unexpected, unless the
// test has already failed. Use it as a local inside a test function.
class FileDialogTestScope {
public:
    FileDialogTestScope() { FileDialogTest::enable(); }
    ~FileDialogTestScope() {
        const QStringList trouble = problems();
        FileDialogTest::disable();
        if (!trouble.isEmpty() && !QTest::currentTestFailed())
            QTest::qFail(qPrintable(trouble.join(QLatin1Char('\n'))), __FILE__, __LINE__);
    }
    FileDialogTestScope(const FileDialogTestScope&) = delete;
    FileDialogTestScope& operator=(const FileDialogTestScope&) = delete;

    void queue(const QString& path) { FileDialogTest::queueAnswer(path); }
    void queueCancel() { FileDialogTest::queueCancel(); }
    const QList<FileDialogRequest>& requests() const { return FileDialogTest::requests(); }
    int pending() const { return FileDialogTest::pendingAnswers(); }

    QStringList problems() const {
        QStringList all = FileDialogTest::problems();
        if (FileDialogTest::pendingAnswers() > 0)
            all << QStringLiteral("%1 queued file dialog answer(s) never used")
                       .arg(FileDialogTest::pendingAnswers());
        return all;
    }
    bool isClean() const { return problems().isEmpty(); }
};

} // namespace qv
