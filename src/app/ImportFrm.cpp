// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ImportFrm.h"

#include "platform/ui/Application.h"
#include "platform/ui/MessageBox.h"
#include "settings/MemberSettings.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QString Native(const QString& path) {
    return QDir::toNativeSeparators(path);
}

} // namespace

TfrmImport::TfrmImport(const QString& jetPath, const QString& newPath, QWidget* parent)
    : QDialog(parent)
    , m_jetPath(jetPath)
    , m_newPath(newPath) {
    setObjectName(QStringLiteral("frmImport"));
    setWindowTitle(QStringLiteral("Import Access Database"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setWindowModality(Qt::ApplicationModal);

    lblImportFile = new QLabel(this);
    lblImportFile->setObjectName(QStringLiteral("lblImportFile"));
    lblImportFile->setWordWrap(true);
    lblImportFile->setMinimumWidth(420);
    lblImportFile->setText(
        QStringLiteral("From:  %1\nInto:  %2").arg(Native(jetPath), Native(newPath)));
    lblImportTable = new QLabel(QStringLiteral("Creating the new register..."), this);
    lblImportTable->setObjectName(QStringLiteral("lblImportTable"));
    prgImport = new QProgressBar(this);
    prgImport->setObjectName(QStringLiteral("prgImport"));
    prgImport->setRange(0, 1000);
    prgImport->setValue(0);
    btnCancel = new QPushButton(QStringLiteral("&Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblImportFile);
    layout->addSpacing(6);
    layout->addWidget(lblImportTable);
    layout->addWidget(prgImport);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(btnCancel, &QPushButton::clicked, this, &TfrmImport::btnCancelClick);
}

JetImport::Result TfrmImport::Execute(const JetImport::Options& options) {
    m_cancelled = false;
    m_running = true;
    show();
    QCoreApplication::processEvents();
    m_sinceEvents.start();
    const JetImport::Result result = JetImport::ImportRegister(
        m_jetPath, m_newPath, [this](const JetImport::Progress& p) { return Progress(p); },
        options);
    m_running = false;
    hide();
    return result;
}

bool TfrmImport::Progress(const JetImport::Progress& progress) {
    if (!m_cancelled) {
        if (progress.total > 0)
            prgImport->setValue(int(progress.done * 1000 / progress.total));
        if (!progress.table.isEmpty())
            lblImportTable->setText(QStringLiteral("Copying %1... (%2 of %3 rows)")
                                        .arg(progress.table, QLocale().toString(progress.done),
                                             QLocale().toString(progress.total)));
    }
    emit progressed(progress.table, progress.done, progress.total);
    // The window stays responsive without the event loop running for every
    // few hundred rows: at a new table, or when 30 ms have passed.
    if (progress.table != m_table || m_sinceEvents.elapsed() >= 30) {
        m_table = progress.table;
        QCoreApplication::processEvents();
        m_sinceEvents.restart();
    }
    return !m_cancelled;
}

void TfrmImport::btnCancelClick() {
    m_cancelled = true;
    btnCancel->setEnabled(false);
    lblImportTable->setText(QStringLiteral("Cancelling..."));
}

void TfrmImport::reject() {
    if (m_running)
        btnCancelClick();
    else
        QDialog::reject();
}

bool ImportJetRegister(QWidget* parent, const QString& jetPath, const QString& newPath) {
    TfrmImport frmImport(jetPath, newPath, parent);
    JetImport::Result result = frmImport.Execute();
    if (result.outcome == JetImport::Outcome::Failed && !result.columnLoss.isEmpty()) {
        // The loss is the user's to accept, knowingly: No (the default) keeps
        // the refusal, and nothing is made.
        if (qv::ShowMessageBox(result.message +
                                   QStringLiteral("\n\r\n\rImport anyway, without the values of "
                                                  "these columns?"),
                               qv::MessageKind::Warning, qv::MessageButtons::YesNo,
                               qv::MessagePlacement::Centered, parent) != qv::MessageResult::Yes)
            return false;
        JetImport::Options options;
        options.acceptColumnLoss = true;
        result = frmImport.Execute(options);
    }
    switch (result.outcome) {
    case JetImport::Outcome::Imported:
        // So that opening the Access file again offers this register rather
        // than a second import. Only a convenience: the import has succeeded
        // whether or not it can be noted.
        try {
            MemberSettings::RememberImport(jetPath, newPath);
        } catch (...) {
        }
        qv::ShowMessageBox(result.summary.text(), qv::MessageKind::Information,
                           qv::MessageButtons::Ok, qv::MessagePlacement::Centered, parent);
        return true;
    case JetImport::Outcome::Cancelled:
        return false;
    case JetImport::Outcome::Failed:
        break;
    }
    qv::ShowMessageBox(result.message + QStringLiteral("\n\r\n\rNo new register was made."),
                       qv::MessageKind::Error, qv::MessageButtons::Ok,
                       qv::MessagePlacement::Centered, parent);
    return false;
}

QString JetImportQuestion(const QString& jetPath, const QString& newPath) {
    // A register named on the command line is this run's only, and so is the
    // new one: the question must not promise more.
    const bool forRun = !MemberSettings::RegisterForRun().isEmpty();
    return QStringLiteral("The database file %1 is in the Access (Jet) format, which Quorvane "
                          "does not open directly.\n\r\n\rImport it into a new database file "
                          "beside it and %3?\n\r\n\rNew file: %2\n\r\n\r%4")
        .arg(u'"' + Native(jetPath) + u'"', u'"' + Native(newPath) + u'"',
             forRun ? QStringLiteral("open that for this run")
                    : QStringLiteral("use that from now on"),
             forRun ? QStringLiteral("The Access file itself is left unchanged, and so are the "
                                     "saved settings: choose the new file in the settings to "
                                     "keep using it.")
                    : QStringLiteral("The Access file itself is left unchanged."));
}

QString JetImportedQuestion(const QString& jetPath, const QString& registerPath) {
    const bool forRun = !MemberSettings::RegisterForRun().isEmpty();
    return QStringLiteral("The database file %1 is in the Access (Jet) format, which Quorvane "
                          "does not open directly. It was imported into %2 before and has not "
                          "changed since.\n\r\n\rOpen that database file and %3?\n\r\n\r"
                          "No imports the Access file again into a new database file.")
        .arg(u'"' + Native(jetPath) + u'"', u'"' + Native(registerPath) + u'"',
             forRun ? QStringLiteral("use it for this run") : QStringLiteral("use it from now on"));
}

bool ImportAndUseJetRegister(QWidget* parent, const QString& jetPath, const QString& newPath) {
    if (!ImportJetRegister(parent, jetPath, newPath))
        return false;
    return UseImportedRegister(parent, newPath);
}

bool UseImportedRegister(QWidget* parent, const QString& newPath) {
    // A register named on the command line is used for this run only; so is
    // the one made from it.
    if (!MemberSettings::RegisterForRun().isEmpty()) {
        MemberSettings::SetRegisterForRun(newPath);
        return true;
    }
    try {
        MemberSettings::SetAccessDatabase(newPath);
    } catch (...) {
        // The register is made and stays; only the settings could not follow.
        qv::ShowMessageBox(QStringLiteral("The new database file %1 was made, but the settings "
                                          "could not be changed to use it:\n\r\n\r%2")
                               .arg(u'"' + Native(newPath) + u'"', qv::CurrentExceptionMessage()),
                           qv::MessageKind::Error, qv::MessageButtons::Ok,
                           qv::MessagePlacement::Centered, parent);
        return false;
    }
    return true;
}
