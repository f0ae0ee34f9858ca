// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "letters/LetterStore.h"
#include "letters/Recipients.h"

#include <QDialog>
#include <QImage>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTextEdit;
class QToolButton;

namespace qv {
class Connection;
}

namespace Letters {

// The labels dialog for the members of `memberKeys` (in list order).
void ShowLabelsDialog(QWidget* parent, qv::Connection& connection,
                      const std::vector<qint64>& memberKeys);

// The letters dialog for the members of `memberKeys`; `extraFields` adds
// merge fields per member key (a renewal's balance, say), offered in the
// template editor and merged like the register's own.
void ShowLettersDialog(QWidget* parent, qv::Connection& connection,
                       const std::vector<qint64>& memberKeys, const ExtraFields& extraFields = {});

} // namespace Letters

// A template's name and body in a plain rich-text editor: bold, italic,
// paragraphs, and the merge fields put in from a list. Save stores it in the
// register (replacing a template of that name when the user agrees).
class TfrmLetterTemplate : public QDialog {
    Q_OBJECT
public:
    TfrmLetterTemplate(qv::Connection& connection, const QStringList& fields,
                       QWidget* parent = nullptr);

    // Opens the template `name` (empty: a new one from the sample) modally;
    // answers the name it was saved under, or empty text when not saved.
    QString EditTemplate(const QString& name);

    QLineEdit* edtName;
    QToolButton* btnBold;
    QToolButton* btnItalic;
    QComboBox* cboField;
    QPushButton* btnInsertField;
    QTextEdit* memBody;
    QPushButton* btnSave;
    QPushButton* btnCancel;

public slots:
    void btnInsertFieldClick();
    void btnSaveClick();

private:
    qv::Connection& m_connection;
    QString m_original;
    QString m_saved;
};

// The club's name, address and logo at the head of the letters.
class TfrmLetterhead : public QDialog {
    Q_OBJECT
public:
    explicit TfrmLetterhead(qv::Connection& connection, QWidget* parent = nullptr);

    QLineEdit* edtClubName;
    QPlainTextEdit* memAddress;
    QLabel* imgLogo;
    QPushButton* btnChooseLogo;
    QPushButton* btnRemoveLogo;
    QPushButton* btnSave;
    QPushButton* btnCancel;

public slots:
    void btnChooseLogoClick();
    void btnRemoveLogoClick();
    void btnSaveClick();

private:
    void showLogo();

    qv::Connection& m_connection;
    QImage m_logo;
};

// Letters to the members of a list from a stored template, one per member or
// per household, under the letterhead; preview and print (or PDF).
class TfrmLetters : public QDialog {
    Q_OBJECT
public:
    TfrmLetters(qv::Connection& connection, const std::vector<qint64>& memberKeys,
                const Letters::ExtraFields& extraFields, QWidget* parent = nullptr);

    std::vector<Letters::Recipient> Recipients() const;

    QComboBox* cboTemplate;
    QPushButton* btnNewTemplate;
    QPushButton* btnEditTemplate;
    QPushButton* btnDeleteTemplate;
    QPushButton* btnLetterhead;
    QCheckBox* chkOnePerHousehold;
    QPushButton* btnHouseholds;
    QLabel* lblUnknownFields;
    QLabel* lblCount;
    QPushButton* btnPreview;
    QPushButton* btnPrint;
    QPushButton* btnClose;

public slots:
    void btnNewTemplateClick();
    void btnEditTemplateClick();
    void btnDeleteTemplateClick();
    void btnLetterheadClick();
    void btnHouseholdsClick();
    void btnPreviewClick();
    void btnPrintClick();

private:
    void loadTemplates(const QString& select);
    void updateState();
    QString templateBody() const;
    bool print(bool preview);

    qv::Connection& m_connection;
    std::vector<Letters::MemberPost> m_members;
    Letters::ExtraFields m_extra;
};
