// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class QVBoxLayout;

// A small dialog that asks for one line of text.
class TfrmInputBox : public QDialog {
    Q_OBJECT
public:
    explicit TfrmInputBox(QWidget* parent = nullptr);

    // Sets the caption, the prompt, the text and its maximum length (0: no
    // limit) and the confirming button's caption, then shows the dialog
    // modally and answers QDialog::Accepted or QDialog::Rejected.
    int ShowInputBox(const QString& caption, const QString& prompt, const QString& buttonCaption,
                     const QString& initialText, int maxLength);

    QLabel* lblSearch;
    QLineEdit* edtSearch;
    QPushButton* btnFind;
    QPushButton* btnCancel;

protected:
    // Where a derived dialog adds its controls, between the edit box and the
    // buttons.
    QVBoxLayout* extraArea() const { return m_extra; }
    // The design's client size; the dialog is fixed at it, or at what its
    // texts need when the system's font is wider.
    void fixSize(int width, int height);
    virtual void btnFindClick();

private:
    QVBoxLayout* m_extra;
};

// Asks for a text with a TfrmInputBox that starts empty and has no length
// limit; answers the text when the dialog closed with its confirming button,
// otherwise empty text.
QString AskText(QWidget* owner, const QString& caption, const QString& prompt,
                const QString& buttonCaption);
