// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QString>

class QPlainTextEdit;
class QPushButton;
class QWidget;

// The e-mail addresses of a member list in one text, ready for the recipient
// line of a mail program: saved to a text file, copied or sent from here.
class TfrmEmailList : public QDialog {
    Q_OBJECT
public:
    explicit TfrmEmailList(QWidget* parent = nullptr);

    // Shows `list` as the one line of the empty memo, modally.
    void ShowEmailList(const QString& list);
    // Everything ShowEmailList does but the showing.
    void SetEmailList(const QString& list);
    // The memo's lines, each followed by CR LF: what Save, Copy and Send use.
    QString MemoText() const;

    QWidget* pnlTop;
    QPushButton* btnSave;
    QPushButton* btnCopy;
    QPushButton* btnSendEmail;
    QPushButton* btnClose;
    QPlainTextEdit* mmoEmailList;

public slots:
    void btnSaveClick();
    void btnCopyClick();
    void btnSendEmailClick();
};
