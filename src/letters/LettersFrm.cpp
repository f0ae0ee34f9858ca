// SPDX-License-Identifier: GPL-3.0-or-later
#include "letters/LettersFrm.h"

#include "letters/LabelsFrm.h"
#include "letters/LetterPrint.h"
#include "pictures/Pictures.h"
#include "platform/data/Transaction.h"
#include "platform/print/PrintDialogs.h"
#include "platform/ui/DialogButtons.h"
#include "platform/ui/FileDialogs.h"
#include "platform/ui/MessageBox.h"
#include "settings/AppInfo.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextEdit>
#include <QToolButton>
#include <QVBoxLayout>

#include <functional>

namespace {

// A change of the templates or the letterhead is one entry of the change
// log: in the caller's transaction when there is one, else in its own.
void writeTogether(qv::Connection& connection, const QString& label,
                   const std::function<void()>& write) {
    if (connection.inTransaction()) {
        write();
        return;
    }
    qv::TransactionGuard transaction(connection, qv::TransactionKind::Normal, label);
    write();
    transaction.commit();
}

void showError(QWidget* parent, const QString& text) {
    qv::ShowMessageBox(text, qv::MessageKind::Error, qv::MessageButtons::Ok,
                       qv::MessagePlacement::Centered, parent);
}

QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    button->setAutoDefault(false);
    return button;
}

// Logos are kept small enough for a register setting and a letter's corner.
constexpr int LogoMaxWidth = 1200;
constexpr int LogoMaxHeight = 500;

} // namespace

namespace Letters {

void ShowLabelsDialog(QWidget* parent, qv::Connection& connection,
                      const std::vector<qint64>& memberKeys) {
    TfrmLabels window(connection, memberKeys, parent);
    window.exec();
}

void ShowLettersDialog(QWidget* parent, qv::Connection& connection,
                       const std::vector<qint64>& memberKeys, const ExtraFields& extraFields) {
    TfrmLetters window(connection, memberKeys, extraFields, parent);
    window.exec();
}

} // namespace Letters

// ---- TfrmLetterTemplate -------------------------------------------------------

TfrmLetterTemplate::TfrmLetterTemplate(qv::Connection& connection, const QStringList& fields,
                                       QWidget* parent)
    : QDialog(parent)
    , m_connection(connection) {
    setObjectName(QStringLiteral("frmLetterTemplate"));
    setWindowTitle(tr("Letter Template"));
    ApplyDialogFont(this);

    edtName = new QLineEdit(this);
    edtName->setObjectName(QStringLiteral("edtName"));
    edtName->setMaxLength(LetterStore::TemplateNameLength);
    QLabel* lblName = CreateLabel(this, QStringLiteral("lblName"), tr("&Name:"));
    lblName->setBuddy(edtName);

    memBody = new QTextEdit(this);
    memBody->setObjectName(QStringLiteral("memBody"));
    memBody->setAcceptRichText(true);
    memBody->document()->setDefaultFont(Letters::LetterFont());
    memBody->setAccessibleName(tr("Letter text"));

    const auto tool = [this](const char* name, const QString& caption, const QKeySequence& key) {
        auto* button = new QToolButton(this);
        button->setObjectName(QLatin1String(name));
        button->setText(caption);
        button->setCheckable(true);
        button->setShortcut(key);
        button->setToolTip(caption + QStringLiteral(" (") + key.toString(QKeySequence::NativeText) +
                           u')');
        return button;
    };
    btnBold = tool("btnBold", tr("Bold"), QKeySequence::Bold);
    QFont boldFont = btnBold->font();
    boldFont.setBold(true);
    btnBold->setFont(boldFont);
    btnItalic = tool("btnItalic", tr("Italic"), QKeySequence::Italic);
    QFont italicFont = btnItalic->font();
    italicFont.setItalic(true);
    btnItalic->setFont(italicFont);
    connect(btnBold, &QToolButton::clicked, this, [this](bool on) {
        memBody->setFontWeight(on ? QFont::Bold : QFont::Normal);
        memBody->setFocus();
    });
    connect(btnItalic, &QToolButton::clicked, this, [this](bool on) {
        memBody->setFontItalic(on);
        memBody->setFocus();
    });
    connect(memBody, &QTextEdit::currentCharFormatChanged, this, [this](const QTextCharFormat& f) {
        btnBold->setChecked(f.fontWeight() >= QFont::Bold);
        btnItalic->setChecked(f.fontItalic());
    });

    cboField = new QComboBox(this);
    cboField->setObjectName(QStringLiteral("cboField"));
    for (const QString& field : fields)
        cboField->addItem(u'{' + field + u'}', field);
    QLabel* lblField = CreateLabel(this, QStringLiteral("lblField"), tr("&Merge field:"));
    lblField->setBuddy(cboField);
    btnInsertField = makeButton(this, "btnInsertField", tr("&Insert"));
    connect(btnInsertField, &QPushButton::clicked, this, &TfrmLetterTemplate::btnInsertFieldClick);

    btnSave = makeButton(this, "btnSave", tr("&Save"));
    btnSave->setDefault(true);
    btnCancel = makeButton(this, "btnCancel", tr("&Cancel"));
    connect(btnSave, &QPushButton::clicked, this, &TfrmLetterTemplate::btnSaveClick);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* top = new QHBoxLayout;
    top->addWidget(lblName);
    top->addWidget(edtName, 1);
    auto* tools = new QHBoxLayout;
    tools->addWidget(btnBold);
    tools->addWidget(btnItalic);
    tools->addSpacing(16);
    tools->addWidget(lblField);
    tools->addWidget(cboField);
    tools->addWidget(btnInsertField);
    tools->addStretch(1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnSave);
    buttons->addWidget(btnCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(tools);
    layout->addWidget(memBody, 1);
    layout->addLayout(buttons);
    resize(720, 560);
}

QString TfrmLetterTemplate::EditTemplate(const QString& name) {
    m_original = name;
    m_saved.clear();
    edtName->setText(name);
    const std::optional<QString> body =
        name.isEmpty() ? std::nullopt : LetterStore::TemplateBody(m_connection, name);
    memBody->setHtml(body.value_or(LetterStore::SampleTemplate()));
    exec();
    return m_saved;
}

void TfrmLetterTemplate::btnInsertFieldClick() {
    if (cboField->currentIndex() < 0)
        return;
    memBody->textCursor().insertText(cboField->currentText());
    memBody->setFocus();
}

void TfrmLetterTemplate::btnSaveClick() {
    const QString name = edtName->text().trimmed();
    if (name.isEmpty()) {
        showError(this, tr("The template needs a name."));
        edtName->setFocus();
        return;
    }
    if (name != m_original && LetterStore::TemplateBody(m_connection, name) &&
        qv::ShowMessageBox(tr("A template named \"%1\" exists already.\nReplace it?").arg(name),
                           qv::MessageKind::Confirmation, qv::MessageButtons::YesNoDefaultNo,
                           qv::MessagePlacement::Centered, this) != qv::MessageResult::Yes)
        return;
    const QString body = memBody->toHtml();
    writeTogether(m_connection, tr("Letter template"),
                  [&] { LetterStore::SaveTemplate(m_connection, name, body); });
    m_saved = name;
    accept();
}

// ---- TfrmLetterhead -----------------------------------------------------------

TfrmLetterhead::TfrmLetterhead(qv::Connection& connection, QWidget* parent)
    : QDialog(parent)
    , m_connection(connection) {
    setObjectName(QStringLiteral("frmLetterhead"));
    setWindowTitle(tr("Letterhead"));
    ApplyDialogFont(this);
    const LetterStore::Letterhead head = LetterStore::LoadLetterhead(connection);

    edtClubName = new QLineEdit(head.name, this);
    edtClubName->setObjectName(QStringLiteral("edtClubName"));
    memAddress = new QPlainTextEdit(head.address, this);
    memAddress->setObjectName(QStringLiteral("memAddress"));
    memAddress->setTabChangesFocus(true);
    memAddress->setFixedHeight(90);
    imgLogo = new QLabel(this);
    imgLogo->setObjectName(QStringLiteral("imgLogo"));
    imgLogo->setFixedSize(240, 100);
    imgLogo->setAlignment(Qt::AlignCenter);
    imgLogo->setFrameShape(QFrame::StyledPanel);
    btnChooseLogo = makeButton(this, "btnChooseLogo", tr("C&hoose Logo..."));
    btnRemoveLogo = makeButton(this, "btnRemoveLogo", tr("&Remove Logo"));
    btnSave = makeButton(this, "btnSave", tr("&Save"));
    btnSave->setDefault(true);
    btnCancel = makeButton(this, "btnCancel", tr("&Cancel"));
    connect(btnChooseLogo, &QPushButton::clicked, this, &TfrmLetterhead::btnChooseLogoClick);
    connect(btnRemoveLogo, &QPushButton::clicked, this, &TfrmLetterhead::btnRemoveLogoClick);
    connect(btnSave, &QPushButton::clicked, this, &TfrmLetterhead::btnSaveClick);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* form = new QFormLayout;
    const auto addRow = [this, form](const char* name, const QString& caption, QWidget* field) {
        QLabel* label = CreateLabel(this, QLatin1String(name), caption);
        label->setBuddy(field);
        form->addRow(label, field);
    };
    addRow("lblClubName", tr("Club &name:"), edtClubName);
    addRow("lblAddress", tr("&Address:"), memAddress);
    auto* logoButtons = new QVBoxLayout;
    logoButtons->addWidget(btnChooseLogo);
    logoButtons->addWidget(btnRemoveLogo);
    logoButtons->addStretch(1);
    auto* logoRow = new QHBoxLayout;
    logoRow->addWidget(imgLogo);
    logoRow->addLayout(logoButtons);
    form->addRow(tr("Logo:"), logoRow);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnSave);
    buttons->addWidget(btnCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);

    m_logo = head.logo;
    showLogo();
}

void TfrmLetterhead::showLogo() {
    if (m_logo.isNull()) {
        imgLogo->setPixmap(QPixmap());
        imgLogo->setText(tr("No logo"));
    } else {
        imgLogo->setPixmap(QPixmap::fromImage(m_logo.scaled(
            imgLogo->size() - QSize(8, 8), Qt::KeepAspectRatio, Qt::SmoothTransformation)));
    }
    btnRemoveLogo->setEnabled(!m_logo.isNull());
}

void TfrmLetterhead::btnChooseLogoClick() {
    qv::FileDialogOptions options;
    options.caption = tr("Choose Logo");
    options.initialFolder = AppInfo::GetDocumentsFolder();
    options.filter =
        QStringLiteral("Pictures (*.png;*.jpg;*.jpeg;*.bmp;*.gif)|*.png;*.jpg;*.jpeg;*.bmp;*.gif");
    const std::optional<QString> file = qv::GetOpenFileName(options, this);
    if (!file)
        return;
    QImageReader reader(*file);
    reader.setAutoTransform(true);
    QImage logo = reader.read();
    if (logo.isNull()) {
        showError(this,
                  tr("The picture could not be read:\n%1\n%2").arg(*file, reader.errorString()));
        return;
    }
    if (logo.width() > LogoMaxWidth || logo.height() > LogoMaxHeight)
        logo =
            logo.scaled(LogoMaxWidth, LogoMaxHeight, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    m_logo = logo;
    showLogo();
}

void TfrmLetterhead::btnRemoveLogoClick() {
    m_logo = QImage();
    showLogo();
}

void TfrmLetterhead::btnSaveClick() {
    const LetterStore::Letterhead head{edtClubName->text(), memAddress->toPlainText(), m_logo};
    writeTogether(m_connection, tr("Letterhead"),
                  [&] { LetterStore::SaveLetterhead(m_connection, head); });
    accept();
}

// ---- TfrmLetters ----------------------------------------------------------------

TfrmLetters::TfrmLetters(qv::Connection& connection, const std::vector<qint64>& memberKeys,
                         const Letters::ExtraFields& extraFields, QWidget* parent)
    : QDialog(parent)
    , m_connection(connection)
    , m_members(Letters::LoadMembers(connection, memberKeys))
    , m_extra(extraFields) {
    setObjectName(QStringLiteral("frmLetters"));
    setWindowTitle(tr("Letters"));
    ApplyDialogFont(this);

    cboTemplate = new QComboBox(this);
    cboTemplate->setObjectName(QStringLiteral("cboTemplate"));
    cboTemplate->setMinimumWidth(240);
    btnNewTemplate = makeButton(this, "btnNewTemplate", tr("&New..."));
    btnEditTemplate = makeButton(this, "btnEditTemplate", tr("&Edit..."));
    btnDeleteTemplate = makeButton(this, "btnDeleteTemplate", tr("&Delete"));
    btnLetterhead = makeButton(this, "btnLetterhead", tr("Letter&head..."));
    chkOnePerHousehold = new QCheckBox(tr("One letter per &household"), this);
    chkOnePerHousehold->setObjectName(QStringLiteral("chkOnePerHousehold"));
    // A household's letter merges its first member's fields; with fields of
    // the caller's own (what a member owes, say) one letter each is right.
    chkOnePerHousehold->setChecked(extraFields.isEmpty());
    if (!extraFields.isEmpty())
        chkOnePerHousehold->setToolTip(
            tr("A household's letter carries the fields of its first member only."));
    btnHouseholds = makeButton(this, "btnHouseholds", tr("&Review Households..."));
    lblUnknownFields = new QLabel(this);
    lblUnknownFields->setObjectName(QStringLiteral("lblUnknownFields"));
    lblUnknownFields->setWordWrap(true);
    lblUnknownFields->setStyleSheet(QStringLiteral("color: #b00000;"));
    lblCount = new QLabel(this);
    lblCount->setObjectName(QStringLiteral("lblCount"));
    btnPreview = makeButton(this, "btnPreview", tr("Pre&view"));
    btnPrint = makeButton(this, "btnPrint", tr("&Print..."));
    btnPrint->setIcon(qv::Pictures::icon(u"print"));
    btnPrint->setDefault(true);
    btnClose = makeButton(this, "btnClose", tr("&Close"));

    QLabel* lblTemplate = CreateLabel(this, QStringLiteral("lblTemplate"), tr("&Template:"));
    lblTemplate->setBuddy(cboTemplate);
    auto* templateRow = new QHBoxLayout;
    templateRow->addWidget(lblTemplate);
    templateRow->addWidget(cboTemplate, 1);
    templateRow->addWidget(btnNewTemplate);
    templateRow->addWidget(btnEditTemplate);
    templateRow->addWidget(btnDeleteTemplate);
    auto* householdRow = new QHBoxLayout;
    householdRow->addWidget(chkOnePerHousehold);
    householdRow->addStretch(1);
    householdRow->addWidget(btnHouseholds);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btnLetterhead);
    buttons->addStretch(1);
    buttons->addWidget(btnPreview);
    buttons->addWidget(btnPrint);
    buttons->addWidget(btnClose);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(templateRow);
    layout->addLayout(householdRow);
    layout->addWidget(lblUnknownFields);
    layout->addWidget(lblCount);
    layout->addStretch(1);
    layout->addLayout(buttons);
    resize(620, 170);

    connect(cboTemplate, &QComboBox::currentIndexChanged, this, &TfrmLetters::updateState);
    connect(chkOnePerHousehold, &QCheckBox::toggled, this, &TfrmLetters::updateState);
    connect(btnNewTemplate, &QPushButton::clicked, this, &TfrmLetters::btnNewTemplateClick);
    connect(btnEditTemplate, &QPushButton::clicked, this, &TfrmLetters::btnEditTemplateClick);
    connect(btnDeleteTemplate, &QPushButton::clicked, this, &TfrmLetters::btnDeleteTemplateClick);
    connect(btnLetterhead, &QPushButton::clicked, this, &TfrmLetters::btnLetterheadClick);
    connect(btnHouseholds, &QPushButton::clicked, this, &TfrmLetters::btnHouseholdsClick);
    connect(btnPreview, &QPushButton::clicked, this, &TfrmLetters::btnPreviewClick);
    connect(btnPrint, &QPushButton::clicked, this, &TfrmLetters::btnPrintClick);
    connect(btnClose, &QPushButton::clicked, this, &QDialog::reject);

    loadTemplates(QString());
}

std::vector<Letters::Recipient> TfrmLetters::Recipients() const {
    return Letters::MakeRecipients(m_members, chkOnePerHousehold->isChecked());
}

void TfrmLetters::loadTemplates(const QString& select) {
    const QSignalBlocker quiet(cboTemplate);
    cboTemplate->clear();
    cboTemplate->addItems(LetterStore::TemplateNames(m_connection));
    const int index = cboTemplate->findText(select);
    cboTemplate->setCurrentIndex(index >= 0 ? index : 0);
    updateState();
}

QString TfrmLetters::templateBody() const {
    if (cboTemplate->currentIndex() < 0)
        return QString();
    return LetterStore::TemplateBody(m_connection, cboTemplate->currentText()).value_or(QString());
}

void TfrmLetters::updateState() {
    const bool chosen = cboTemplate->currentIndex() >= 0;
    btnEditTemplate->setEnabled(chosen);
    btnDeleteTemplate->setEnabled(chosen);
    btnPreview->setEnabled(chosen && !m_members.empty());
    btnPrint->setEnabled(chosen && !m_members.empty());
    const QStringList unknown =
        chosen ? Letters::UnknownFields(templateBody(), Letters::KnownFields(m_extra))
               : QStringList();
    QStringList braced;
    for (const QString& name : unknown)
        braced << u'{' + name + u'}';
    lblUnknownFields->setText(unknown.isEmpty() ? QString()
                                                : tr("Not known, left empty in the letters: %1")
                                                      .arg(braced.join(QStringLiteral(", "))));
    lblUnknownFields->setVisible(!unknown.isEmpty());
    if (!chosen)
        lblCount->setText(tr("There is no letter template yet: press New to write one."));
    else
        lblCount->setText(
            tr("%1 for %2.")
                .arg(Letters::Counted(Recipients().size(), tr("letter"), tr("letters")),
                     Letters::Counted(m_members.size(), tr("member"), tr("members"))));
}

void TfrmLetters::btnNewTemplateClick() {
    TfrmLetterTemplate editor(m_connection, Letters::KnownFields(m_extra), this);
    const QString saved = editor.EditTemplate(QString());
    if (!saved.isEmpty())
        loadTemplates(saved);
}

void TfrmLetters::btnEditTemplateClick() {
    if (cboTemplate->currentIndex() < 0)
        return;
    TfrmLetterTemplate editor(m_connection, Letters::KnownFields(m_extra), this);
    const QString saved = editor.EditTemplate(cboTemplate->currentText());
    if (!saved.isEmpty())
        loadTemplates(saved);
}

void TfrmLetters::btnDeleteTemplateClick() {
    if (cboTemplate->currentIndex() < 0)
        return;
    const QString name = cboTemplate->currentText();
    if (qv::ShowMessageBox(tr("Delete the letter template \"%1\"?").arg(name),
                           qv::MessageKind::Confirmation, qv::MessageButtons::YesNoDefaultNo,
                           qv::MessagePlacement::Centered, this) != qv::MessageResult::Yes)
        return;
    writeTogether(m_connection, tr("Letter template"),
                  [&] { LetterStore::DeleteTemplate(m_connection, name); });
    loadTemplates(QString());
}

void TfrmLetters::btnLetterheadClick() {
    TfrmLetterhead window(m_connection, this);
    window.exec();
}

void TfrmLetters::btnHouseholdsClick() {
    TfrmHouseholds window(Letters::MakeRecipients(m_members, true), m_members, this);
    window.exec();
}

void TfrmLetters::btnPreviewClick() {
    print(true);
}

void TfrmLetters::btnPrintClick() {
    print(false);
}

bool TfrmLetters::print(bool preview) {
    if (cboTemplate->currentIndex() < 0 || m_members.empty())
        return false;
    Letters::LetterJob job;
    job.templateHtml = templateBody();
    const QStringList unknown =
        Letters::UnknownFields(job.templateHtml, Letters::KnownFields(m_extra));
    if (!unknown.isEmpty()) {
        QStringList braced;
        for (const QString& name : unknown)
            braced << u'{' + name + u'}';
        if (qv::ShowMessageBox(tr("The template has fields that are not known: %1.\nThey are "
                                  "left empty in the letters. Print anyway?")
                                   .arg(braced.join(QStringLiteral(", "))),
                               qv::MessageKind::Warning, qv::MessageButtons::YesNoDefaultNo,
                               qv::MessagePlacement::Centered, this) != qv::MessageResult::Yes)
            return false;
    }
    const std::vector<Letters::Recipient> recipients = Recipients();
    job.letterhead = LetterStore::LoadLetterhead(m_connection);
    job.count = int(recipients.size());
    job.fieldsOf = [&](int i) {
        return Letters::FieldsOf(recipients[size_t(i)], m_members, m_extra);
    };
    const QString title = QStringLiteral("Quorvane - ") + cboTemplate->currentText();
    const qv::PaintDocument paint = [&](qv::PrintCanvas& canvas) {
        canvas.beginDocument(title);
        Letters::PaintLetters(canvas, job);
        canvas.endDocument();
    };
    const qv::PrintJobOptions options{title, QPageLayout::Portrait, std::nullopt, false};
    return preview ? qv::PreviewDocument(options, paint, this)
                   : qv::PrintDocument(options, paint, this);
}
