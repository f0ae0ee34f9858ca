// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QStackedLayout;
class QTabWidget;
class QWidget;

// Chooses the register: an existing database file, a copy of it, a new file,
// or a database on a server. Creating a file or a server database happens at
// once; the settings file is written only by Save.
class TfrmSettings : public QDialog {
    Q_OBJECT

public:
    explicit TfrmSettings(QWidget* parent = nullptr);

public slots:
    void LoadSettings();
    void cboDatabaseChange();
    void btnAccessBrowseClick();
    void btnAccessCopyClick();
    void btnAccessNewClick();
    void btnAccessImportClick();
    void btnCreateSQLServerDatabaseClick();
    void btnSaveClick();
    void btnBackupFolderClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void addPrivacyTab();

    QWidget* pnlBottom = nullptr;
    QPushButton* btnSave = nullptr;
    QPushButton* btnCancel = nullptr;
    QTabWidget* pgcSettings = nullptr;
    QWidget* tabDatabase = nullptr;
    QLabel* lblDatabase = nullptr;
    QComboBox* cboDatabase = nullptr;
    QStackedLayout* kindPages = nullptr;
    QGroupBox* grpAccess = nullptr;
    QLabel* lblDBFile = nullptr;
    QLineEdit* edtDBFile = nullptr;
    QPushButton* btnAccessBrowse = nullptr;
    QPushButton* btnAccessCopy = nullptr;
    QPushButton* btnAccessNew = nullptr;
    QPushButton* btnAccessImport = nullptr;
    QGroupBox* grpSQLServer = nullptr;
    QLabel* lblServer = nullptr;
    QLineEdit* edtServer = nullptr;
    QLabel* lblSQLDatabaseName = nullptr;
    QLineEdit* edtDatabaseName = nullptr;
    QPushButton* btnCreateSQLServerDatabase = nullptr;
    // Automatic backup of a register file on closing, on a tab of its own.
    QWidget* tabBackup = nullptr;
    QGroupBox* grpAutoBackup = nullptr;
    QCheckBox* chkAutoBackup = nullptr;
    QLabel* lblBackupFolder = nullptr;
    QLineEdit* edtBackupFolder = nullptr;
    QPushButton* btnBackupFolder = nullptr;
    QLabel* lblBackupKeep = nullptr;
    QSpinBox* spnBackupKeep = nullptr;
    QLabel* lblBackupThinning = nullptr;
    // How long past members' data is kept before they are due for erasure.
    QWidget* tabPrivacy = nullptr;
    QGroupBox* grpRetention = nullptr;
    QLabel* lblRetentionYears = nullptr;
    QSpinBox* spnRetentionYears = nullptr;
};
