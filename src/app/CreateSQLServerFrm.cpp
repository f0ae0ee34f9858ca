// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CreateSQLServerFrm.h"

#include "db/DBCreate.h"
#include "platform/ui/MessageBox.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TfrmCreateSQLServer::TfrmCreateSQLServer(QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("frmCreateSQLServer"));
    setWindowTitle(QStringLiteral("Create SQL Server Database"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setFixedSize(329, 132);

    lblSQLServer = new QLabel(QStringLiteral("SQL &Server:"), this);
    lblSQLServer->setObjectName(QStringLiteral("lblSQLServer"));
    edtSQLServer = new QLineEdit(this);
    edtSQLServer->setObjectName(QStringLiteral("edtSQLServer"));
    lblSQLServer->setBuddy(edtSQLServer);

    lblDatabaseName = new QLabel(QStringLiteral("&Database Name:"), this);
    lblDatabaseName->setObjectName(QStringLiteral("lblDatabaseName"));
    edtSQLDatabase = new QLineEdit(this);
    edtSQLDatabase->setObjectName(QStringLiteral("edtSQLDatabase"));
    lblDatabaseName->setBuddy(edtSQLDatabase);

    btnOK = new QPushButton(QStringLiteral("&OK"), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setDefault(true);
    connect(btnOK, &QPushButton::clicked, this, &TfrmCreateSQLServer::btnOKClick);
    btnCancel = new QPushButton(QStringLiteral("&Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* fields = new QGridLayout;
    fields->addWidget(lblSQLServer, 0, 0);
    fields->addWidget(edtSQLServer, 0, 1);
    fields->addWidget(lblDatabaseName, 1, 0);
    fields->addWidget(edtSQLDatabase, 1, 1);
    fields->setColumnStretch(1, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnOK);
    buttons->addWidget(btnCancel);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addStretch();
    layout->addLayout(buttons);
}

void TfrmCreateSQLServer::setPostgreSQL() {
    m_postgres = true;
    setWindowTitle(QStringLiteral("Create PostgreSQL Database"));
    lblSQLServer->setText(QStringLiteral("&Server:"));
    edtSQLServer->setPlaceholderText(QStringLiteral("host, host:port or socket folder"));
}

void TfrmCreateSQLServer::setDatabaseName(const QString& name) {
    edtSQLDatabase->setText(name);
}

QString TfrmCreateSQLServer::serverName() const {
    return edtSQLServer->text();
}

QString TfrmCreateSQLServer::databaseName() const {
    return edtSQLDatabase->text();
}

void TfrmCreateSQLServer::btnOKClick() {
    if (edtSQLServer->text().isEmpty() || edtSQLDatabase->text().isEmpty()) {
        qv::ShowMessageBox(
            m_postgres ? QStringLiteral("You must enter a server and database name.")
                       : QStringLiteral("You must enter an SQL Server and Database name."),
            qv::MessageKind::Error, qv::MessageButtons::Ok, qv::MessagePlacement::Centered, this);
        return;
    }
    // The server would cut a long name silently: the database made would
    // not be the one the settings then name.
    if (m_postgres) {
        if (const QString problem = DBCreate::PostgreSQLDatabaseNameProblem(databaseName());
            !problem.isEmpty()) {
            qv::ShowMessageBox(problem, qv::MessageKind::Error, qv::MessageButtons::Ok,
                               qv::MessagePlacement::Centered, this);
            edtSQLDatabase->setFocus();
            edtSQLDatabase->selectAll();
            return;
        }
    }
    accept();
}
