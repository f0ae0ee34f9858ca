// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/SpreadsheetImportFrm.h"

#include "platform/data/Connection.h"
#include "platform/os/FileSystem.h"
#include "platform/ui/FileDialogs.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/SavedFileMessage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QTableWidget>
#include <QVBoxLayout>

using namespace SpreadsheetImport;

namespace {

const QString Caption = QStringLiteral("Import Members from Spreadsheet");

QTableWidget* makeGrid(const QString& name, const QStringList& headers, QWidget* parent) {
    auto* grid = new QTableWidget(0, int(headers.size()), parent);
    grid->setObjectName(name);
    grid->setHorizontalHeaderLabels(headers);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->verticalHeader()->setVisible(false);
    grid->horizontalHeader()->setStretchLastSection(true);
    grid->setWordWrap(false);
    return grid;
}

QTableWidgetItem* cell(const QString& text) {
    return new QTableWidgetItem(text);
}

// A line number, sorted as a number.
QTableWidgetItem* lineCell(qint64 line) {
    auto* item = new QTableWidgetItem;
    item->setData(Qt::DisplayRole, line);
    return item;
}

// A value as one line of a grid: a line break inside it shows as "⏎".
QString oneLine(const QString& text) {
    QString line = text;
    return line.replace(u'\n', QStringLiteral(" \u23CE "));
}

} // namespace

TfrmSpreadsheetImport::TfrmSpreadsheetImport(qv::Connection& connection, QWidget* parent)
    : QDialog(parent)
    , m_connection(connection) {
    setObjectName(QStringLiteral("frmSpreadsheetImport"));
    setWindowTitle(Caption);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    resize(820, 600);

    // ---- The columns ----
    auto* columnsPage = new QWidget(this);
    lblFile = new QLabel(columnsPage);
    lblFile->setObjectName(QStringLiteral("lblFile"));
    lblFile->setWordWrap(true);
    lblFile->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lblEncoding = new QLabel(columnsPage);
    lblEncoding->setObjectName(QStringLiteral("lblEncoding"));
    cboDelimiter = new QComboBox(columnsPage);
    cboDelimiter->setObjectName(QStringLiteral("cboDelimiter"));
    cboDelimiter->addItem(QStringLiteral("Comma"), QChar(u','));
    cboDelimiter->addItem(QStringLiteral("Semicolon"), QChar(u';'));
    cboDelimiter->addItem(QStringLiteral("Tab"), QChar(u'\t'));
    auto* lblDelimiter = new QLabel(QStringLiteral("&Separator:"), columnsPage);
    lblDelimiter->setBuddy(cboDelimiter);
    chkHeader = new QCheckBox(QStringLiteral("The first row holds the column &names"), columnsPage);
    chkHeader->setObjectName(QStringLiteral("chkHeader"));
    lblSavedMapping = new QLabel(columnsPage);
    lblSavedMapping->setObjectName(QStringLiteral("lblSavedMapping"));
    lblSavedMapping->setWordWrap(true);
    grdColumns = makeGrid(QStringLiteral("grdColumns"),
                          {QStringLiteral("Column"), QStringLiteral("First value"),
                           QStringLiteral("Goes to"), QStringLiteral("Dates written")},
                          columnsPage);
    grdColumns->setSelectionMode(QAbstractItemView::NoSelection);
    auto* lblColumns = new QLabel(QStringLiteral("&Where each column goes:"), columnsPage);
    lblColumns->setBuddy(grdColumns);
    grdPreview = makeGrid(QStringLiteral("grdPreview"), {}, columnsPage);
    auto* lblPreview = new QLabel(QStringLiteral("The first &rows:"), columnsPage);
    lblPreview->setBuddy(grdPreview);
    edtMappingName = new QLineEdit(columnsPage);
    edtMappingName->setObjectName(QStringLiteral("edtMappingName"));
    edtMappingName->setMaxLength(50);
    auto* lblMappingName = new QLabel(QStringLiteral("Save the columns &as:"), columnsPage);
    lblMappingName->setBuddy(edtMappingName);

    auto* readRow = new QHBoxLayout;
    readRow->addWidget(lblEncoding, 1);
    readRow->addWidget(lblDelimiter);
    readRow->addWidget(cboDelimiter);
    readRow->addSpacing(12);
    readRow->addWidget(chkHeader);
    auto* nameRow = new QHBoxLayout;
    nameRow->addWidget(lblMappingName);
    nameRow->addWidget(edtMappingName, 1);
    auto* columnsLayout = new QVBoxLayout(columnsPage);
    columnsLayout->setContentsMargins(0, 0, 0, 0);
    columnsLayout->addWidget(lblFile);
    columnsLayout->addLayout(readRow);
    columnsLayout->addWidget(lblSavedMapping);
    columnsLayout->addWidget(lblColumns);
    columnsLayout->addWidget(grdColumns, 3);
    columnsLayout->addWidget(lblPreview);
    columnsLayout->addWidget(grdPreview, 2);
    columnsLayout->addLayout(nameRow);

    // ---- The check ----
    auto* checkPage = new QWidget(this);
    lblSummary = new QLabel(checkPage);
    lblSummary->setObjectName(QStringLiteral("lblSummary"));
    lblSummary->setWordWrap(true);
    lblSummary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    chkCreateLevels = new QCheckBox(QStringLiteral("Create the &new membership types"), checkPage);
    chkCreateLevels->setObjectName(QStringLiteral("chkCreateLevels"));
    chkCutLongText = new QCheckBox(
        QStringLiteral("C&ut text longer than its column, instead of refusing the row"), checkPage);
    chkCutLongText->setObjectName(QStringLiteral("chkCutLongText"));
    grdDuplicates =
        makeGrid(QStringLiteral("grdDuplicates"),
                 {QStringLiteral("Line"), QStringLiteral("Row"), QStringLiteral("Looks like"),
                  QStringLiteral("Why"), QStringLiteral("What to do")},
                 checkPage);
    grdDuplicates->setSelectionMode(QAbstractItemView::NoSelection);
    cboAllDuplicates = new QComboBox(checkPage);
    cboAllDuplicates->setObjectName(QStringLiteral("cboAllDuplicates"));
    for (const DuplicateChoice c :
         {DuplicateChoice::Skip, DuplicateChoice::AddAnyway, DuplicateChoice::FillEmpty})
        cboAllDuplicates->addItem(DuplicateChoiceCaption(c), int(c));
    auto* lblAll = new QLabel(QStringLiteral("For &all of them:"), checkPage);
    lblAll->setBuddy(cboAllDuplicates);
    auto* duplicatesBox =
        new QGroupBox(QStringLiteral("Rows like members already there"), checkPage);
    auto* allRow = new QHBoxLayout;
    allRow->addWidget(lblAll);
    allRow->addWidget(cboAllDuplicates);
    allRow->addStretch();
    auto* duplicatesLayout = new QVBoxLayout(duplicatesBox);
    duplicatesLayout->addLayout(allRow);
    duplicatesLayout->addWidget(grdDuplicates);
    grdRefused = makeGrid(QStringLiteral("grdRefused"),
                          {QStringLiteral("Line"), QStringLiteral("Why")}, checkPage);
    btnSaveRefused = new QPushButton(QStringLiteral("Sa&ve Refused Rows..."), checkPage);
    btnSaveRefused->setObjectName(QStringLiteral("btnSaveRefused"));
    auto* refusedBox = new QGroupBox(QStringLiteral("Rows with a problem"), checkPage);
    auto* refusedLayout = new QVBoxLayout(refusedBox);
    refusedLayout->addWidget(grdRefused);
    auto* saveRow = new QHBoxLayout;
    saveRow->addStretch();
    saveRow->addWidget(btnSaveRefused);
    refusedLayout->addLayout(saveRow);
    auto* checkLayout = new QVBoxLayout(checkPage);
    checkLayout->setContentsMargins(0, 0, 0, 0);
    checkLayout->addWidget(lblSummary);
    checkLayout->addWidget(chkCreateLevels);
    checkLayout->addWidget(chkCutLongText);
    checkLayout->addWidget(duplicatesBox, 1);
    checkLayout->addWidget(refusedBox, 1);

    stkPages = new QStackedWidget(this);
    stkPages->setObjectName(QStringLiteral("stkPages"));
    stkPages->addWidget(columnsPage);
    stkPages->addWidget(checkPage);

    // ---- Progress and buttons ----
    lblProgress = new QLabel(this);
    lblProgress->setObjectName(QStringLiteral("lblProgress"));
    prgImport = new QProgressBar(this);
    prgImport->setObjectName(QStringLiteral("prgImport"));
    prgImport->setRange(0, 1000);
    btnBack = new QPushButton(QStringLiteral("< &Back"), this);
    btnBack->setObjectName(QStringLiteral("btnBack"));
    btnCheck = new QPushButton(QStringLiteral("&Check >"), this);
    btnCheck->setObjectName(QStringLiteral("btnCheck"));
    btnImport = new QPushButton(QStringLiteral("&Import"), this);
    btnImport->setObjectName(QStringLiteral("btnImport"));
    btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    auto* progressRow = new QHBoxLayout;
    progressRow->addWidget(lblProgress);
    progressRow->addWidget(prgImport, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnBack);
    buttons->addWidget(btnCheck);
    buttons->addWidget(btnImport);
    buttons->addWidget(btnCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(stkPages, 1);
    layout->addLayout(progressRow);
    layout->addLayout(buttons);
    setRunning(false, QString());

    connect(btnCheck, &QPushButton::clicked, this, &TfrmSpreadsheetImport::btnCheckClick);
    connect(btnBack, &QPushButton::clicked, this, &TfrmSpreadsheetImport::btnBackClick);
    connect(btnImport, &QPushButton::clicked, this, &TfrmSpreadsheetImport::btnImportClick);
    connect(btnCancel, &QPushButton::clicked, this, &TfrmSpreadsheetImport::btnCancelClick);
    connect(btnSaveRefused, &QPushButton::clicked, this,
            &TfrmSpreadsheetImport::btnSaveRefusedClick);
    connect(cboDelimiter, &QComboBox::activated, this, [this] {
        m_preview.mapping.format.delimiter = cboDelimiter->currentData().toChar();
        rereadFile();
    });
    connect(chkHeader, &QCheckBox::clicked, this, [this](bool checked) {
        m_preview.mapping.header = checked;
        rereadFile();
    });
    connect(cboAllDuplicates, &QComboBox::activated, this, [this] {
        const auto choice = DuplicateChoice(cboAllDuplicates->currentData().toInt());
        m_plan.mapping.duplicates = choice;
        for (Duplicate& d : m_plan.duplicates)
            d.choice.reset();
        showCheck();
    });
    connect(chkCreateLevels, &QCheckBox::clicked, this, [this](bool checked) {
        m_plan.mapping.createLevels = checked;
        showCheck();
    });
    connect(chkCutLongText, &QCheckBox::clicked, this, [this](bool checked) {
        m_plan.mapping.cutLongText = checked;
        showCheck();
    });
}

bool TfrmSpreadsheetImport::LoadFile(const QString& path) {
    QString error;
    if (!ReadPreview(path, m_preview, error)) {
        qv::ShowMessageBox(QStringLiteral("The file %1 could not be read:\n\r\n\r%2")
                               .arg(u'"' + QDir::toNativeSeparators(path) + u'"', error),
                           qv::MessageKind::Error, qv::MessageButtons::Ok,
                           qv::MessagePlacement::Centered, parentWidget());
        return false;
    }
    if (m_preview.columnCount == 0) {
        qv::ShowMessageBox(QStringLiteral("The file %1 holds no rows to import.")
                               .arg(u'"' + QDir::toNativeSeparators(path) + u'"'),
                           qv::MessageKind::Information, qv::MessageButtons::Ok,
                           qv::MessagePlacement::Centered, parentWidget());
        return false;
    }
    m_path = path;
    // The columns saved for a file with the same column names come back.
    try {
        if (const std::optional<QString> saved =
                SavedMappingFor(m_connection, HeaderSignature(m_preview.mapping.headers,
                                                              m_preview.mapping.header))) {
            if (const std::optional<JsonMapping> mapping = ParseMapping(*saved, error)) {
                Apply(*mapping, m_preview);
                m_preview.savedMapping = true;
            }
        }
    } catch (const std::exception&) {
        // A register without the mappings' table (opened read-only before
        // the upgrade could add it) has none saved: the guess stands.
    }
    lblFile->setText(QStringLiteral("File:  %1").arg(QDir::toNativeSeparators(path)));
    edtMappingName->setText(m_preview.mapping.name);
    showColumns();
    stkPages->setCurrentIndex(0);
    setRunning(false, QString());
    return true;
}

void TfrmSpreadsheetImport::rereadFile() {
    QString error;
    if (!RereadPreview(m_path, m_preview, error))
        qv::ShowMessageBox(QStringLiteral("The file could not be read again:\n\r\n\r%1").arg(error),
                           qv::MessageKind::Error, qv::MessageButtons::Ok,
                           qv::MessagePlacement::Centered, this);
    showColumns();
}

void TfrmSpreadsheetImport::showColumns() {
    const Mapping& m = m_preview.mapping;
    lblEncoding->setText(
        QStringLiteral("Read as %1.").arg(Spreadsheet::EncodingName(m.format.encoding)));
    cboDelimiter->setCurrentIndex(cboDelimiter->findData(m.format.delimiter));
    chkHeader->setChecked(m.header);
    lblSavedMapping->setVisible(m_preview.savedMapping);
    lblSavedMapping->setText(
        QStringLiteral("The columns saved as \"%1\" for a file with these column names are used.")
            .arg(m.name));

    grdColumns->setRowCount(0); // the last file's choosers go
    grdColumns->setRowCount(m_preview.columnCount);
    for (int i = 0; i < m_preview.columnCount; ++i) {
        grdColumns->setItem(i, 0, cell(m.headers.value(i)));
        QString first;
        for (const QStringList& row : m_preview.rows)
            if (i < row.size() && !row[i].trimmed().isEmpty()) {
                first = oneLine(row[i]);
                break;
            }
        grdColumns->setItem(i, 1, cell(first));
        auto* field = new QComboBox(grdColumns);
        field->setObjectName(QStringLiteral("cboField%1").arg(i));
        for (int f = 0; f < FieldCount; ++f)
            field->addItem(FieldCaption(Field(f)), f);
        field->setCurrentIndex(int(m.columns[size_t(i)].field));
        field->setAccessibleName(QStringLiteral("Goes to, for %1").arg(m.headers.value(i)));
        connect(field, &QComboBox::activated, this,
                [this, i](int index) { fieldChosen(i, index); });
        grdColumns->setCellWidget(i, 2, field);
        showDateForm(i);
    }
    grdColumns->resizeColumnsToContents();
    showPreview();
}

void TfrmSpreadsheetImport::fieldChosen(int column, int index) {
    m_preview.mapping.columns[size_t(column)].field = Field(index);
    showDateForm(column);
}

void TfrmSpreadsheetImport::showDateForm(int i) {
    const Column& column = m_preview.mapping.columns[size_t(i)];
    // Only a date column has a form to choose; the view would show a hidden
    // cell widget again, so the others have none.
    if (!IsDateField(column.field)) {
        grdColumns->removeCellWidget(i, 3);
        return;
    }
    if (grdColumns->cellWidget(i, 3))
        return;
    auto* form = new QComboBox(grdColumns);
    form->setObjectName(QStringLiteral("cboDateForm%1").arg(i));
    for (const DateForm d : {DateForm::DayFirst, DateForm::MonthFirst, DateForm::Iso})
        form->addItem(DateFormCaption(d), int(d));
    form->setAccessibleName(
        QStringLiteral("Dates written, for %1").arg(m_preview.mapping.headers.value(i)));
    form->setCurrentIndex(int(column.dateForm));
    connect(form, &QComboBox::activated, this, [this, i, form] {
        m_preview.mapping.columns[size_t(i)].dateForm = DateForm(form->currentData().toInt());
    });
    grdColumns->setCellWidget(i, 3, form);
}

void TfrmSpreadsheetImport::showPreview() {
    grdPreview->clear();
    grdPreview->setColumnCount(m_preview.columnCount);
    grdPreview->setHorizontalHeaderLabels(m_preview.mapping.headers);
    grdPreview->setRowCount(int(m_preview.rows.size()));
    for (int r = 0; r < int(m_preview.rows.size()); ++r)
        for (int c = 0; c < int(m_preview.rows[size_t(r)].size()); ++c)
            grdPreview->setItem(r, c, cell(oneLine(m_preview.rows[size_t(r)][c])));
    grdPreview->resizeColumnsToContents();
}

void TfrmSpreadsheetImport::showCheck() {
    lblSummary->setText(m_plan.text());
    chkCreateLevels->setVisible(!m_plan.unknownLevels.isEmpty());
    chkCreateLevels->setChecked(m_plan.mapping.createLevels);
    chkCreateLevels->setText(QStringLiteral("Create the &new membership types: %1")
                                 .arg(m_plan.unknownLevels.join(QStringLiteral(", "))));
    chkCutLongText->setVisible(m_plan.tooLong() > 0);
    chkCutLongText->setChecked(m_plan.mapping.cutLongText);
    cboAllDuplicates->setCurrentIndex(cboAllDuplicates->findData(int(m_plan.mapping.duplicates)));

    grdDuplicates->setRowCount(int(m_plan.duplicates.size()));
    for (int i = 0; i < int(m_plan.duplicates.size()); ++i) {
        const Duplicate& d = m_plan.duplicates[size_t(i)];
        grdDuplicates->setItem(i, 0, lineCell(d.line));
        grdDuplicates->setItem(i, 1, cell(d.name));
        grdDuplicates->setItem(i, 2, cell(d.match));
        grdDuplicates->setItem(i, 3, cell(d.why));
        auto* choice = qobject_cast<QComboBox*>(grdDuplicates->cellWidget(i, 4));
        if (!choice) {
            choice = new QComboBox(grdDuplicates);
            choice->setObjectName(QStringLiteral("cboChoice%1").arg(i));
            for (const DuplicateChoice c :
                 {DuplicateChoice::Skip, DuplicateChoice::AddAnyway, DuplicateChoice::FillEmpty})
                choice->addItem(DuplicateChoiceCaption(c), int(c));
            choice->setAccessibleName(QStringLiteral("What to do with %1").arg(d.name));
            connect(choice, &QComboBox::activated, this, [this, i, choice] {
                m_plan.duplicates[size_t(i)].choice =
                    DuplicateChoice(choice->currentData().toInt());
                lblSummary->setText(m_plan.text());
            });
            grdDuplicates->setCellWidget(i, 4, choice);
        }
        choice->setCurrentIndex(choice->findData(int(m_plan.choiceOf(d))));
    }
    grdDuplicates->resizeColumnsToContents();

    // The rows refused, and those written cut; a row whose only matter is a
    // membership type to be created is said once, in the summary.
    grdRefused->setRowCount(0);
    for (const Refusal& r : m_plan.problems) {
        QStringList why;
        for (const auto& [kind, what] : r.problems)
            if (kind != Problem::UnknownLevel || !m_plan.mapping.createLevels)
                why << what;
        if (why.isEmpty())
            continue;
        const int row = grdRefused->rowCount();
        grdRefused->insertRow(row);
        grdRefused->setItem(row, 0, lineCell(r.line));
        grdRefused->setItem(
            row, 1,
            cell((m_plan.written(r) ? QStringLiteral("cut: ") : QStringLiteral("refused: ")) +
                 why.join(QStringLiteral("; "))));
    }
    if (!m_plan.mapping.createLevels)
        for (const auto& [number, line] : m_plan.newLevelRows) {
            const int row = grdRefused->rowCount();
            grdRefused->insertRow(row);
            grdRefused->setItem(row, 0, lineCell(line));
            grdRefused->setItem(row, 1,
                                cell(QStringLiteral("refused: its membership type is new")));
        }
    grdRefused->sortItems(0); // by line
    grdRefused->resizeColumnToContents(0);
    btnSaveRefused->setEnabled(m_plan.refused() > 0);
}

void TfrmSpreadsheetImport::setRunning(bool running, const QString& what) {
    m_running = running;
    m_cancelled = false;
    lblProgress->setText(what);
    lblProgress->setVisible(running);
    prgImport->setVisible(running);
    prgImport->setValue(0);
    const bool checking = stkPages->currentIndex() == 1;
    stkPages->setEnabled(!running);
    btnBack->setVisible(checking);
    btnBack->setEnabled(!running);
    btnCheck->setVisible(!checking);
    btnCheck->setEnabled(!running && m_preview.columnCount > 0);
    btnImport->setVisible(checking);
    btnImport->setEnabled(!running);
    btnCancel->setEnabled(true);
    (checking ? btnImport : btnCheck)->setDefault(true);
}

bool TfrmSpreadsheetImport::Progress(qint64 done, qint64 total) {
    if (total > 0)
        prgImport->setValue(int(done * 1000 / total));
    emit progressed(done, total);
    // Responsive without running the event loop for every row.
    if (m_sinceEvents.elapsed() >= 30) {
        QCoreApplication::processEvents();
        m_sinceEvents.restart();
    }
    return !m_cancelled;
}

void TfrmSpreadsheetImport::btnCheckClick() {
    m_preview.mapping.name = edtMappingName->text().simplified();
    if (m_preview.mapping.name.isEmpty())
        m_preview.mapping.name = QFileInfo(m_path).completeBaseName();
    bool named = false;
    for (const Column& c : m_preview.mapping.columns)
        named = named || c.field == Field::Surname || c.field == Field::FullName;
    if (!named) {
        qv::ShowMessageBox(QStringLiteral("No column goes to the surname (or the full name): "
                                          "choose where the names are."),
                           qv::MessageKind::Warning, qv::MessageButtons::Ok,
                           qv::MessagePlacement::Centered, this);
        return;
    }
    setRunning(true, QStringLiteral("Checking the rows..."));
    m_sinceEvents.start();
    QString error;
    SpreadsheetImport::Plan plan;
    const bool checked = Check(m_connection, m_path, m_preview.mapping, plan, error,
                               [this](qint64 done, qint64 total) { return Progress(done, total); });
    setRunning(false, QString());
    if (!checked) {
        if (!error.isEmpty())
            qv::ShowMessageBox(
                QStringLiteral("The rows could not be checked:\n\r\n\r%1").arg(error),
                qv::MessageKind::Error, qv::MessageButtons::Ok, qv::MessagePlacement::Centered,
                this);
        return;
    }
    m_plan = std::move(plan);
    stkPages->setCurrentIndex(1);
    showCheck();
    setRunning(false, QString());
}

void TfrmSpreadsheetImport::btnBackClick() {
    stkPages->setCurrentIndex(0);
    setRunning(false, QString());
}

void TfrmSpreadsheetImport::btnImportClick() {
    setRunning(true, QStringLiteral("Importing..."));
    m_sinceEvents.start();
    m_result = Write(m_connection, m_plan,
                     [this](qint64 done, qint64 total) { return Progress(done, total); });
    setRunning(false, QString());
    switch (m_result.outcome) {
    case Outcome::Cancelled:
        qv::ShowMessageBox(QStringLiteral("The import was cancelled; the register is as it was."),
                           qv::MessageKind::Information, qv::MessageButtons::Ok,
                           qv::MessagePlacement::Centered, this);
        return;
    case Outcome::Failed:
        qv::ShowMessageBox(QStringLiteral("The members could not be imported:\n\r\n\r%1\n\r\n\r"
                                          "Nothing was written; the register is as it was.")
                               .arg(m_result.message),
                           qv::MessageKind::Error, qv::MessageButtons::Ok,
                           qv::MessagePlacement::Centered, this);
        return;
    case Outcome::Imported:
        break;
    }
    const QString done = QStringLiteral("The members were imported from %1.\n\r\n\r%2")
                             .arg(m_plan.fileName, m_result.text());
    if (m_result.refused > 0) {
        if (qv::ShowMessageBox(done + QStringLiteral("\n\r\n\rSave the refused rows as a CSV file, "
                                                     "to mend them and import them again?"),
                               qv::MessageKind::Confirmation, qv::MessageButtons::YesNo,
                               qv::MessagePlacement::Centered, this) == qv::MessageResult::Yes)
            saveRefusedRows();
    } else {
        qv::ShowMessageBox(done, qv::MessageKind::Information, qv::MessageButtons::Ok,
                           qv::MessagePlacement::Centered, this);
    }
    accept();
}

void TfrmSpreadsheetImport::btnSaveRefusedClick() {
    saveRefusedRows();
}

void TfrmSpreadsheetImport::saveRefusedRows() {
    qv::FileDialogOptions options;
    options.caption = QStringLiteral("Save Refused Rows");
    const QFileInfo source(m_path);
    options.fileName =
        source.dir().filePath(source.completeBaseName() + QStringLiteral(" (refused).csv"));
    options.filter = QStringLiteral("CSV files (*.csv)|*.csv|All files (*.*)|*.*");
    options.defaultSuffix = QStringLiteral("csv");
    const std::optional<QString> file = qv::GetSaveFileName(options, this);
    if (!file)
        return;
    try {
        SaveRefused(m_plan, *file);
    } catch (const std::runtime_error& e) {
        // A file that cannot be written, or a source that changed since.
        qv::ShowMessageBox(QStringLiteral("The refused rows were not saved:\n\r\n\r%1")
                               .arg(QString::fromUtf8(e.what())),
                           qv::MessageKind::Error, qv::MessageButtons::Ok,
                           qv::MessagePlacement::Centered, this);
        return;
    }
    qv::ShowFileSaved(this, QString(),
                      QStringLiteral("The refused rows were saved, each with its reason."), *file);
}

void TfrmSpreadsheetImport::btnCancelClick() {
    if (m_running) {
        m_cancelled = true;
        btnCancel->setEnabled(false);
        lblProgress->setText(QStringLiteral("Cancelling..."));
        return;
    }
    QDialog::reject();
}

void TfrmSpreadsheetImport::reject() {
    // Esc and the window's close button cancel a running check or import;
    // the window stays until it has undone its work.
    btnCancelClick();
}

bool ImportMembersFromSpreadsheet(QWidget* parent, qv::Connection& connection) {
    if (!connection.isOpen())
        return false;
    qv::FileDialogOptions options;
    options.caption = QStringLiteral("Import Members from Spreadsheet");
    options.filter = QStringLiteral(
        "Spreadsheet files (*.csv, *.tsv, *.txt)|*.csv;*.tsv;*.txt|All files (*.*)|*.*");
    const std::optional<QString> path = qv::GetOpenFileName(options, parent);
    if (!path)
        return false;
    TfrmSpreadsheetImport frm(connection, parent);
    if (!frm.LoadFile(*path))
        return false;
    return frm.exec() == QDialog::Accepted;
}
