// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace qv {
class DatePicker;
}

// Links a file on disk to a member: the date added, the file's full path and
// a description. Neither copies nor examines the file; writes nothing, the
// caller reads the controls after OK.
class TfrmFileAdd : public QDialog {
    Q_OBJECT
public:
    explicit TfrmFileAdd(QWidget* parent = nullptr);

    QLabel* lblDateAdded;
    qv::DatePicker* dtpDateAdded;
    QLabel* lblFile;
    QLineEdit* edtFile;
    QPushButton* btnBrowse;
    QLabel* lblDescription;
    QLineEdit* edtDescription;
    QPushButton* btnOK;
    QPushButton* btnCancel;

    // Where the browse dialog starts: the user's documents folder.
    QString BrowseFolder() const { return m_browseFolder; }

public slots:
    // A chosen file fills the path and, with its name, the description.
    void btnBrowseClick();
    // Both texts are needed; they are handed on as typed.
    void btnOKClick();

    // Closes with OK only when every typed date and amount is one.
    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;
    // The add dialog offers today; the modify dialog keeps the stored date.
    virtual void FormShow();

private:
    QString m_browseFolder;
};
