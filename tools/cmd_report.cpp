// pkeep-admin report: records one command of the Reports menu exactly as the
// menu does (same catalogue entry, same page handler, on a preview window
// that is never shown) and keeps the recorded report stream and/or prints it
// to a PDF file through the printer replay.  No one answers a message box
// here: what the program would show in one ends the command with its text.
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QTemporaryDir>
#include <memory>
#include <optional>

#include "platform/graphics/printers.h"
#include "platform/paradox/table.h"
#include "platform/widgets/dialogs.h"
#include "reportengine/file_preview.h"
#include "reportengine/file_printer.h"
#include "reports/catalogue.h"
#include "reports/preview_form.h"
#include "store/collection.h"
#include "tools/command.h"

namespace {

void listCommands(QTextStream& out) {
    for (const TReportCommand& command : ReportCommands()) {
        out << QString::fromLatin1(command.Title).leftJustified(44) << command.Name;
        if (command.AtCurrentSeries) out << "  (--series, --publisher)";
        out << "\n";
    }
}

// The key of the named series, read from the series table.
TCurrentSeriesKey seriesKey(const QString& directory, const QString& series,
                            const QString& publisher) {
    const QString path = QDir(directory).filePath(QString::fromLatin1(store::kSeriesTable));
    auto table = paradox::Table::open(path.toStdString());
    const auto& schema = table->schema();
    const std::size_t name = static_cast<std::size_t>(schema.fieldIndex("SERIES"));
    const std::size_t pub = static_cast<std::size_t>(schema.fieldIndex("PUBLISHER"));
    const std::size_t entry = static_cast<std::size_t>(schema.fieldIndex("ENTRY"));
    const std::size_t at = table->lowerBound({paradox::Value::text(series.toStdString()),
                                              paradox::Value::text(publisher.toStdString())});
    if (at < table->rowCount()) {
        const paradox::Row& row = table->row(at);
        if (row[name].isText() && row[name].asText() == series.toStdString() && row[pub].isText() &&
            row[pub].asText() == publisher.toStdString())
            return {series, publisher, static_cast<int>(row[entry].asInt())};
    }
    throw Exception(QStringLiteral("no series \"%1\" of \"%2\" in the collection")
                        .arg(series, publisher)
                        .toStdString());
}

std::optional<TCurrentSeriesKey> highlightedSeries(const admin::Context& context,
                                                   const admin::Arguments& arguments,
                                                   const TReportCommand& command) {
    if (!command.AtCurrentSeries) return std::nullopt;
    if (!arguments.has("--series") || !arguments.has("--publisher"))
        throw admin::UsageError(std::string(command.Title) +
                                " reports on one series: give --series NAME and --publisher NAME");
    return seriesKey(context.directory, arguments.value("--series"),
                     arguments.value("--publisher"));
}

// Takes the place of the message boxes while it lives: each box is answered
// as its Escape key would answer it and its text kept, for the command to
// fail with.
class HeadlessMessages {
public:
    // Raises with the texts of the boxes shown so far, if any.
    void raiseShown() const {
        if (!texts_.isEmpty()) throw Exception(texts_.join('\n').toStdString());
    }

private:
    QStringList texts_;
    TScopedMessageAnswerer answerer_{[this](const TMessageRequest& request) {
        texts_ << request.text;
        if (request.buttons & mbCancel) return static_cast<int>(mrCancel);
        if (request.buttons & mbNo) return static_cast<int>(mrNo);
        return static_cast<int>(mrOk);
    }};
};

// The printer replay shows its own errors in the program's message boxes.
class TAnsweredPrinter : public TFilePrinter {
protected:
    void ShowError(const QString& message) override {
        MessageDlg(message, TMsgDlgType::mtError, mbOK);
    }
};

// Records the report into `reportFile`; returns the number of pages.
int record(const TReportCommand& command, const std::optional<TCurrentSeriesKey>& current,
           const QString& reportFile) {
    QPointer<TPreviewForm> form = new TPreviewForm;  // deletes itself on close
    struct CloseAtEnd {
        QPointer<TPreviewForm>& form;
        ~CloseAtEnd() {
            if (form) form->close();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
    } closeAtEnd{form};
    form->SetReportFile(reportFile);
    PrepareReport(*form, command, current);
    form->RunReport();
    if (!form) throw Exception("the recording was cancelled");
    return form->RPPreview->PageCount();
}

void printToPdf(const QString& reportFile) {
    TAnsweredPrinter printer;
    printer.FileName = reportFile;
    printer.RefreshPrinterSetup();
    printer.Run();
}

void printSummary(QTextStream& out, const TReportCommand& command, int pages,
                  const QString& keptStream, const QString& pdf) {
    out << "Recorded \"" << command.Title << "\": " << pages << (pages == 1 ? " page" : " pages");
    if (!keptStream.isEmpty()) out << ", stream in " << keptStream;
    if (!pdf.isEmpty()) out << ", printed to " << pdf;
    out << "\n";
}

int run(admin::Context& context, const QStringList& args) {
    if (args == QStringList{"--list"}) {
        listCommands(context.out);
        return 0;
    }
    admin::Arguments arguments(args, {"--series", "--publisher", "--rpt", "--pdf"});
    if (arguments.positional().size() != 1)
        throw admin::UsageError("name one report command (pkeep-admin report --list shows them)");
    const TReportCommand* command = FindReportCommand(arguments.positional().front());
    if (!command)
        throw admin::UsageError("no report command \"" +
                                arguments.positional().front().toStdString() +
                                "\" (pkeep-admin report --list shows them)");
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        throw Exception("reports need the widget application");
    if (!store::CollectionExists(context.directory))
        throw Exception(QStringLiteral("no collection in %1").arg(context.directory).toStdString());

    // Paths are taken from where the command was typed; the report then runs
    // in the collection directory, where the program keeps its logo.
    QTemporaryDir scratch;
    const QString reportFile =
        QFileInfo(arguments.value("--rpt", scratch.filePath("pkeep.rpt"))).absoluteFilePath();
    const QString pdf =
        arguments.has("--pdf") ? QFileInfo(arguments.value("--pdf")).absoluteFilePath() : QString();
    const std::optional<TCurrentSeriesKey> current =
        highlightedSeries(context, arguments, *command);

    // The alias names the directory absolutely: relative, it would be taken
    // from the directory the report runs in.
    store::RegisterAlias(QFileInfo(context.directory).absoluteFilePath());
    const QString previous = QDir::currentPath();
    QDir::setCurrent(context.directory);
    struct Restore {
        QString dir;
        ~Restore() { QDir::setCurrent(dir); }
    } restore{previous};
    if (pdf.isEmpty())
        SetInstalledPrinters(std::make_unique<TNoPrinters>());
    else
        SetInstalledPrinters(std::make_unique<TPdfFilePrinters>(pdf));

    // A box shown on the way (a table that does not open, a report file that
    // cannot be written) is what went wrong, whatever followed from it.
    const HeadlessMessages messages;
    try {
        const int pages = record(*command, current, reportFile);
        messages.raiseShown();
        if (!pdf.isEmpty()) {
            printToPdf(reportFile);
            messages.raiseShown();
            if (!QFileInfo::exists(pdf))
                throw Exception("the printer wrote no PDF file " + pdf.toStdString());
        }
        printSummary(context.out, *command, pages, arguments.has("--rpt") ? reportFile : QString(),
                     pdf);
    } catch (const std::exception&) {
        messages.raiseShown();
        throw;
    }
    return 0;
}

admin::Registration registration{
    {"report", "COMMAND [--series NAME --publisher NAME] [--rpt FILE] [--pdf FILE] | --list",
     "Record a report of the Reports menu; keep its stream or print it to PDF", run,
     "COMMAND is a report title or a menu item name (pkeep-admin report --list).\n"
     "The highlighted-item reports need the series: --series NAME --publisher NAME.\n"
     "--rpt FILE keeps the recorded report stream; --pdf FILE prints it to a PDF file\n"
     "through the printer replay.\n"}};

}  // namespace
