// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

// Asks for a server and the name of the database to create on it.
class TfrmCreateSQLServer : public QDialog {
    Q_OBJECT

public:
    explicit TfrmCreateSQLServer(QWidget* parent = nullptr);

    // The same questions for a PostgreSQL server.
    void setPostgreSQL();

    void setDatabaseName(const QString& name);
    QString serverName() const;
    QString databaseName() const;

public slots:
    void btnOKClick();

private:
    QLabel* lblSQLServer = nullptr;
    QLineEdit* edtSQLServer = nullptr;
    QLabel* lblDatabaseName = nullptr;
    QLineEdit* edtSQLDatabase = nullptr;
    QPushButton* btnOK = nullptr;
    QPushButton* btnCancel = nullptr;
    bool m_postgres = false;
};
