// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "import/JetImport.h"

#include <QDialog>
#include <QElapsedTimer>

class QLabel;
class QProgressBar;
class QPushButton;

// The progress window of an import from an Access (Jet) file: which table is
// being copied, how far it has gone, and Cancel, which stops the import and
// leaves no new file.
class TfrmImport : public QDialog {
    Q_OBJECT

public:
    TfrmImport(const QString& jetPath, const QString& newPath, QWidget* parent = nullptr);

    // Shows the window, runs the import while it shows, hides it again and
    // answers the import's result.
    JetImport::Result Execute(const JetImport::Options& options = {});

signals:
    // After each progress step, before Cancel is looked at.
    void progressed(const QString& table, qint64 done, qint64 total);

public slots:
    void btnCancelClick();
    // Esc and the window's close button cancel too; the window stays until
    // the import has undone its work.
    void reject() override;

private:
    bool Progress(const JetImport::Progress& progress);

    QString m_jetPath;
    QString m_newPath;
    bool m_cancelled = false;
    bool m_running = false;
    QString m_table;
    QElapsedTimer m_sinceEvents;

    QLabel* lblImportFile = nullptr;
    QLabel* lblImportTable = nullptr;
    QProgressBar* prgImport = nullptr;
    QPushButton* btnCancel = nullptr;
};

// Imports with the progress window, then shows the summary (or why nothing
// was made). A file whose columns differ from the register's (as a damaged
// one does) is imported only when the user accepts, when asked, that those
// columns' values are lost. True when the new register was made, which is
// then remembered as made from `jetPath` (MemberSettings::ImportedRegisterFor).
bool ImportJetRegister(QWidget* parent, const QString& jetPath, const QString& newPath);

// The question asked when the register named in the settings is a Jet file.
QString JetImportQuestion(const QString& jetPath, const QString& newPath);

// After Yes to that question: imports into `newPath` and points the settings at
// the new register (or, for a register named on the command line, this run).
// True when both were done.
bool ImportAndUseJetRegister(QWidget* parent, const QString& jetPath, const QString& newPath);

// The question asked instead when `jetPath` was imported before into
// `registerPath` and is unchanged since.
QString JetImportedQuestion(const QString& jetPath, const QString& registerPath);
// Points the settings (or this run) at `registerPath`, as after an import.
bool UseImportedRegister(QWidget* parent, const QString& registerPath);
