// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/print/PrintDialogs.h"

#include "platform/print/PrinterCanvas.h"
#include "platform/ui/SavedFileMessage.h"

#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QtDebug>
#include <deque>
#include <exception>

namespace qv {
namespace {

enum class AnswerKind { Cancel, Record, Pdf, Preview };

struct Answer {
    AnswerKind kind = AnswerKind::Cancel;
    RecordingPageSetup setup;
    std::optional<QPageLayout::Orientation> orientation;
    std::optional<QString> path; // Pdf: the file; Preview: where to print from it
};

struct TestState {
    bool enabled = false;
    std::deque<Answer> answers;
    QList<PrintRequest> requests;
    QStringList problems;
};

TestState& testState() {
    static TestState state;
    return state;
}

// Runs the report for Qt's preview, which calls back from inside its own
// frames: an error is kept and thrown on once the preview is done with.
class PreviewPainter {
public:
    explicit PreviewPainter(const PaintDocument& paint)
        : m_paint(paint) {}

    // Connected to paintRequested; `onError` closes the preview.
    void paint(QPrinter* printer, const std::function<void()>& onError) {
        if (m_error)
            return;
        try {
            PaintOnPrinter(*printer, m_paint);
        } catch (...) {
            m_error = std::current_exception();
            if (onError)
                onError();
        }
    }
    void rethrow() const {
        if (m_error)
            std::rethrow_exception(m_error);
    }

private:
    const PaintDocument& m_paint;
    std::exception_ptr m_error;
};

// A job printed to a PDF file leaves a file the user has to find: say where.
void announcePdf(const QPrinter& printer, QWidget* parent) {
    if (printer.outputFormat() == QPrinter::PdfFormat && !printer.outputFileName().isEmpty())
        ShowFileSaved(parent, QString(), QObject::tr("The report was printed to a PDF file."),
                      printer.outputFileName());
}

void setUpPrinter(QPrinter& printer, const PrintJobOptions& options) {
    printer.setDocName(options.title);
    if (options.paper)
        printer.setPageSize(*options.paper);
    printer.setPageOrientation(options.orientation);
    printer.setFullPage(options.fullPage);
}

bool runTestAnswer(PrintRequest& request, const PaintDocument& paint) {
    TestState& state = testState();
    if (state.answers.empty()) {
        request.unexpected = true;
        request.cancelled = true;
        request.problem =
            QStringLiteral("Unexpected print dialog \"%1\" (no answer queued)").arg(request.title);
        qWarning().noquote() << request.problem;
        state.problems << request.problem;
        state.requests << request;
        return false;
    }
    const Answer answer = state.answers.front();
    state.answers.pop_front();
    const QPageLayout::Orientation orientation = answer.orientation.value_or(request.orientation);

    switch (answer.kind) {
    case AnswerKind::Cancel:
        request.cancelled = true;
        state.requests << request;
        return false;
    case AnswerKind::Record: {
        RecordingPageSetup setup = answer.setup;
        setup.orientation = orientation;
        request.recording = std::make_shared<RecordingCanvas>(setup);
        state.requests << request;
        const std::shared_ptr<RecordingCanvas> canvas = request.recording;
        try {
            paint(*canvas);
        } catch (...) {
            canvas->abortDocument();
            throw;
        }
        canvas->abortDocument(); // a report that forgot to end its job
        return true;
    }
    case AnswerKind::Pdf: {
        request.pdf = *answer.path;
        state.requests << request;
        QPrinter printer(QPrinter::HighResolution);
        setUpPrinter(printer, {request.title, orientation, request.paper, request.fullPage});
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(*answer.path);
        PaintOnPrinter(printer, paint);
        announcePdf(printer, request.parent);
        return true;
    }
    case AnswerKind::Preview: {
        state.requests << request;
        const qsizetype index = state.requests.size() - 1;
        QPrinter printer(QPrinter::HighResolution);
        setUpPrinter(printer, {request.title, orientation, request.paper, request.fullPage});
        QPrintPreviewWidget preview(&printer);
        PreviewPainter painter(paint);
        QObject::connect(&preview, &QPrintPreviewWidget::paintRequested, &preview,
                         [&painter](QPrinter* p) { painter.paint(p, {}); });
        preview.updatePreview();
        painter.rethrow();
        state.requests[index].previewPages = preview.pageCount();
        if (answer.path) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(*answer.path);
            state.requests[index].pdf = *answer.path;
            preview.print();
            painter.rethrow();
            announcePdf(printer, request.parent);
        }
        return true;
    }
    }
    return false;
}

bool showPreview(QPrinter& printer, const PaintDocument& paint, QWidget* parent) {
    QPrintPreviewDialog preview(&printer, parent);
    preview.setWindowTitle(QObject::tr("Print Preview"));
    // Qt opens it too small to read a page: take most of the screen the
    // window is on, centred.
    if (const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        QRect frame(0, 0, area.width() * 9 / 10, area.height() * 9 / 10);
        frame.moveCenter(area.center());
        preview.setGeometry(frame);
    }
    PreviewPainter painter(paint);
    QObject::connect(&preview, &QPrintPreviewDialog::paintRequested, &preview,
                     [&painter, &preview](QPrinter* p) {
                         painter.paint(
                             p, [&preview] { QTimer::singleShot(0, &preview, &QDialog::reject); });
                     });
    // Printing from the preview accepts it.
    const bool printed = preview.exec() == QDialog::Accepted;
    painter.rethrow();
    if (printed)
        announcePdf(printer, parent);
    return printed;
}

} // namespace

void PaintOnPrinter(QPrinter& printer, const PaintDocument& paint) {
    PrinterCanvas canvas(printer);
    try {
        paint(canvas);
    } catch (...) {
        canvas.abortDocument();
        throw;
    }
    canvas.abortDocument(); // a report that forgot to end its job
}

bool PrintDocument(const PrintJobOptions& options, const PaintDocument& paint, QWidget* parent) {
    if (testState().enabled) {
        PrintRequest request;
        request.title = options.title;
        request.orientation = options.orientation;
        request.paper = options.paper;
        request.fullPage = options.fullPage;
        request.parent = parent;
        return runTestAnswer(request, paint);
    }

    QPrinter printer(QPrinter::HighResolution);
    setUpPrinter(printer, options);
    QPrintDialog dialog(&printer, parent);
    bool preview = false;
    // Qt's dialog has no preview of its own; a button beside Print opens one
    // with the printer as the dialog leaves it.
    if (auto* buttons = dialog.findChild<QDialogButtonBox*>()) {
        QPushButton* previewButton =
            buttons->addButton(QObject::tr("Pre&view"), QDialogButtonBox::ActionRole);
        previewButton->setObjectName(QStringLiteral("btnPreview"));
        QObject::connect(previewButton, &QPushButton::clicked, &dialog, [&dialog, &preview] {
            preview = true;
            dialog.accept();
        });
    }
    if (dialog.exec() != QDialog::Accepted)
        return false;
    if (preview) {
        showPreview(printer, paint, parent);
    } else {
        PaintOnPrinter(printer, paint);
        announcePdf(printer, parent);
    }
    return true;
}

bool PreviewDocument(const PrintJobOptions& options, const PaintDocument& paint, QWidget* parent) {
    if (testState().enabled)
        return PrintDocument(options, paint, parent);
    QPrinter printer(QPrinter::HighResolution);
    setUpPrinter(printer, options);
    return showPreview(printer, paint, parent);
}

void PrintDialogTest::enable() {
    clear();
    testState().enabled = true;
}

void PrintDialogTest::disable() {
    clear();
    testState().enabled = false;
}

bool PrintDialogTest::isEnabled() {
    return testState().enabled;
}

void PrintDialogTest::clear() {
    TestState& state = testState();
    state.answers.clear();
    state.requests.clear();
    state.problems.clear();
}

void PrintDialogTest::queueRecording(const RecordingPageSetup& setup,
                                     std::optional<QPageLayout::Orientation> orientation) {
    testState().answers.push_back({AnswerKind::Record, setup, orientation, std::nullopt});
}

void PrintDialogTest::queuePdf(const QString& path,
                               std::optional<QPageLayout::Orientation> orientation) {
    testState().answers.push_back({AnswerKind::Pdf, {}, orientation, path});
}

void PrintDialogTest::queuePreview(const std::optional<QString>& printTo) {
    testState().answers.push_back({AnswerKind::Preview, {}, std::nullopt, printTo});
}

void PrintDialogTest::queueCancel() {
    testState().answers.push_back({});
}

int PrintDialogTest::pendingAnswers() {
    return int(testState().answers.size());
}

const QList<PrintRequest>& PrintDialogTest::requests() {
    return testState().requests;
}

QStringList PrintDialogTest::problems() {
    return testState().problems;
}

} // namespace qv
