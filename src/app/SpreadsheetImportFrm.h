// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "import/SpreadsheetImport.h"

#include <QDialog>
#include <QElapsedTimer>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QStackedWidget;
class QTableWidget;

namespace qv {
class Connection;
}

// Bringing members in from a spreadsheet's CSV file, in two steps. First the
// columns: how the file was read (its encoding, separator and header row),
// where each column goes, and the first rows. Then the check: what the
// import will do, the rows that look like members already there with a
// choice for each, and the rows refused and why. Nothing is written until
// Import; then all of it in one transaction, with progress and Cancel.
class TfrmSpreadsheetImport : public QDialog {
    Q_OBJECT

public:
    TfrmSpreadsheetImport(qv::Connection& connection, QWidget* parent = nullptr);

    // Reads the file's first rows and guesses the columns (or takes the
    // mapping saved for the same columns). False, after saying why, when the
    // file cannot be read.
    bool LoadFile(const QString& path);

    const SpreadsheetImport::Preview& preview() const { return m_preview; }
    const SpreadsheetImport::Plan& plan() const { return m_plan; }
    const SpreadsheetImport::Result& result() const { return m_result; }

    QLabel* lblFile = nullptr;
    QLabel* lblEncoding = nullptr;
    QComboBox* cboDelimiter = nullptr;
    QCheckBox* chkHeader = nullptr;
    QLabel* lblSavedMapping = nullptr;
    QTableWidget* grdColumns = nullptr;
    QTableWidget* grdPreview = nullptr;
    QLineEdit* edtMappingName = nullptr;
    QStackedWidget* stkPages = nullptr;
    QLabel* lblSummary = nullptr;
    QTableWidget* grdDuplicates = nullptr;
    QComboBox* cboAllDuplicates = nullptr;
    QCheckBox* chkCreateLevels = nullptr;
    QCheckBox* chkCutLongText = nullptr;
    QTableWidget* grdRefused = nullptr;
    QPushButton* btnSaveRefused = nullptr;
    QLabel* lblProgress = nullptr;
    QProgressBar* prgImport = nullptr;
    QPushButton* btnBack = nullptr;
    QPushButton* btnCheck = nullptr;
    QPushButton* btnImport = nullptr;
    QPushButton* btnCancel = nullptr;

signals:
    // After each progress step of the check or the import, before Cancel is
    // looked at.
    void progressed(qint64 done, qint64 total);

public slots:
    void btnCheckClick();
    void btnBackClick();
    void btnImportClick();
    void btnCancelClick();
    void btnSaveRefusedClick();
    void reject() override;

private:
    void showColumns();
    void showPreview();
    void showCheck();
    void rereadFile();
    void fieldChosen(int column, int index);
    void showDateForm(int column);
    bool Progress(qint64 done, qint64 total);
    void setRunning(bool running, const QString& what);
    // Asks for a file name and writes the refused rows there.
    void saveRefusedRows();

    qv::Connection& m_connection;
    QString m_path;
    SpreadsheetImport::Preview m_preview;
    SpreadsheetImport::Plan m_plan;
    SpreadsheetImport::Result m_result;
    bool m_running = false;
    bool m_cancelled = false;
    QElapsedTimer m_sinceEvents;
};

// File > Import Members from Spreadsheet: asks for the file, then shows the
// window. True when members were imported.
bool ImportMembersFromSpreadsheet(QWidget* parent, qv::Connection& connection);
