// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The print dialog and the print preview of every report, with a test mode in
// which queued answers stand in for the user (a recording canvas, a PDF file,
// the preview, or Cancel) and every request is recorded.

#include "platform/print/PrintCanvas.h"
#include "platform/print/RecordingCanvas.h"
#include "platform/ui/MessageBox.h"

#include <QList>
#include <QPageSize>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

class QPrinter;

namespace qv {

struct PrintJobOptions {
    PrintJobOptions(const QString& title = QString(),
                    QPageLayout::Orientation orientation = QPageLayout::Portrait,
                    const std::optional<QPageSize>& paper = std::nullopt, bool fullPage = false)
        : title(title)
        , orientation(orientation)
        , paper(paper)
        , fullPage(fullPage) {}

    QString title; // the document's name in the print queue
    QPageLayout::Orientation orientation = QPageLayout::Portrait; // proposed in the dialog
    std::optional<QPageSize> paper; // proposed; none: the printer's own
    // Coordinates count from the paper's corner rather than from the
    // printable area (a label sheet is measured from its edge).
    bool fullPage = false;
};

// Draws a whole document on a canvas, from beginDocument to endDocument.
using PaintDocument = std::function<void(PrintCanvas&)>;

// Shows the print dialog: the printers, printing to a PDF file, and a Preview
// button. Print runs `paint` on the chosen printer; Preview runs it on Qt's
// print preview, from which the user may print it (running it again). An
// error escaping `paint` aborts the job, so no half job or half PDF file is
// left, and is thrown on. A job printed to a PDF file (from the dialog or
// from the preview) ends in a message saying where the file is. Answers false
// when the dialog was cancelled.
bool PrintDocument(const PrintJobOptions& options, const PaintDocument& paint,
                   QWidget* parent = nullptr);

// Opens Qt's print preview of the document at once, without the print
// dialog first; the user may print from it. In test mode it takes the next
// queued answer as PrintDocument does. Answers whether it was printed from.
bool PreviewDocument(const PrintJobOptions& options, const PaintDocument& paint,
                     QWidget* parent = nullptr);

// Runs `paint` on `printer` as one job, aborting the job when it throws.
void PaintOnPrinter(QPrinter& printer, const PaintDocument& paint);

// One print dialog as it was asked for, and (in test mode) how it went.
struct PrintRequest {
    QString title;
    QPageLayout::Orientation orientation = QPageLayout::Portrait; // proposed
    std::optional<QPageSize> paper;
    bool fullPage = false;
    QPointer<QWidget> parent;
    bool cancelled = false;
    std::shared_ptr<RecordingCanvas> recording; // a recording answer's canvas
    QString pdf;                                // a PDF answer's file
    int previewPages = -1;                      // pages the preview laid out
    bool unexpected = false;                    // the queue ran dry: answered Cancel
    QString problem;
};

// Test mode. While enabled no dialog opens: each report takes the next queued
// answer and is recorded. A report that finds the queue empty is recorded as
// unexpected, answered with Cancel and warned about. The message after a PDF
// file is an ordinary message box: answer it through MessageBoxTest.
class PrintDialogTest {
public:
    static void enable();  // also clears
    static void disable(); // also clears
    static bool isEnabled();
    static void clear();

    // Print, on a recording canvas shaped by `setup`; its orientation is the
    // proposed one unless `orientation` says what the user chose instead.
    static void queueRecording(const RecordingPageSetup& setup = {},
                               std::optional<QPageLayout::Orientation> orientation = {});
    // Print to a PDF file, as "Print to File (PDF)" does.
    static void queuePdf(const QString& path,
                         std::optional<QPageLayout::Orientation> orientation = {});
    // Preview: Qt's preview lays the pages out, then the user closes it or,
    // with `printTo`, prints from it to that PDF file.
    static void queuePreview(const std::optional<QString>& printTo = {});
    static void queueCancel();
    static int pendingAnswers();

    static const QList<PrintRequest>& requests();
    static QStringList problems();
};

// Enables print dialog test mode for its lifetime and fails the running test
// on destruction when answers are left or requests went unexpected, unless the
// test has already failed.
class PrintDialogTestScope {
public:
    PrintDialogTestScope() { PrintDialogTest::enable(); }
    ~PrintDialogTestScope() {
        const QStringList trouble = problems();
        PrintDialogTest::disable();
        if (!trouble.isEmpty() && !QTest::currentTestFailed())
            QTest::qFail(qPrintable(trouble.join(QLatin1Char('\n'))), __FILE__, __LINE__);
    }
    PrintDialogTestScope(const PrintDialogTestScope&) = delete;
    PrintDialogTestScope& operator=(const PrintDialogTestScope&) = delete;

    const QList<PrintRequest>& requests() const { return PrintDialogTest::requests(); }
    // The recording canvas of the last request.
    RecordingCanvas& last() const { return *PrintDialogTest::requests().last().recording; }

    QStringList problems() const {
        QStringList all = PrintDialogTest::problems();
        if (PrintDialogTest::pendingAnswers() > 0)
            all << QStringLiteral("%1 queued print dialog answer(s) never used")
                       .arg(PrintDialogTest::pendingAnswers());
        return all;
    }
};

} // namespace qv
