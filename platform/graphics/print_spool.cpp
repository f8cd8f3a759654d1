#include "platform/graphics/print_spool.h"

#include <cups/cups.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPrintEngine>
#include <QPrinter>
#include <QTemporaryFile>
#include <utility>
#include <vector>

namespace {

// The property under which Qt's CUPS engine keeps the job options the print
// dialog chose (name, value, name, value, ...).  Qt reads it under this
// number too; it has no public name.
constexpr auto kCupsOptionsKey = QPrintEngine::PrintEnginePropertyKey(0xfe00);

// A new, empty file made from the template; its path, or "" when it cannot
// be made.
QString NewSpoolFile(const QString& fileTemplate) {
    QTemporaryFile file(fileTemplate);
    file.setAutoRemove(false);
    if (!file.open()) return {};
    return file.fileName();
}

// The job options Qt's own CUPS engine would send with this document.
std::vector<std::pair<QByteArray, QByteArray>> JobOptions(const QPrinter& printer) {
    std::vector<std::pair<QByteArray, QByteArray>> options;
    const QPageLayout layout = printer.pageLayout();
    options.emplace_back("media", layout.pageSize().key().toLocal8Bit());
    const int copies = printer.copyCount();
    if (copies > 1) {
        options.emplace_back("copies", QByteArray::number(copies));
        if (printer.collateCopies()) options.emplace_back("Collate", "True");
    }
    const bool portrait = layout.orientation() == QPageLayout::Portrait;
    switch (printer.duplex()) {
        case QPrinter::DuplexNone:
            options.emplace_back("sides", "one-sided");
            break;
        case QPrinter::DuplexAuto:
            options.emplace_back("sides",
                                 portrait ? "two-sided-long-edge" : "two-sided-short-edge");
            break;
        case QPrinter::DuplexLongSide:
            options.emplace_back("sides", "two-sided-long-edge");
            break;
        case QPrinter::DuplexShortSide:
            options.emplace_back("sides", "two-sided-short-edge");
            break;
    }
    if (!portrait) options.emplace_back("landscape", "");
    const QStringList chosen = printer.printEngine()->property(kCupsOptionsKey).toStringList();
    for (qsizetype i = 0; i + 1 < chosen.size(); i += 2) {
        options.emplace_back(chosen[i].toLocal8Bit(), chosen[i + 1].toLocal8Bit());
    }
    return options;
}

}  // namespace

bool TPrintSpool::Begin(QPrinter& printer) {
    error_.clear();
    outputFile_ = printer.outputFileName();
    // Beside the output file, so that handing it over is a rename; a queue's
    // spool file goes where CUPS would put its own.  The suffix is no ".pdf",
    // which would make Qt switch the printer to its PDF engine.
    const QString fileTemplate = outputFile_.isEmpty()
                                     ? QDir::tempPath() + "/pkeep-print-XXXXXX.spool"
                                     : outputFile_ + ".XXXXXX.part";
    spoolFile_ = NewSpoolFile(fileTemplate);
    if (spoolFile_.isEmpty()) {
        error_ = "Unable to create a print file in \"" + QFileInfo(fileTemplate).path() + "\".";
        return false;
    }
    printer.setOutputFileName(spoolFile_);
    return true;
}

bool TPrintSpool::Deliver(QPrinter& printer) {
    RestoreOutput(printer);
    const bool delivered = outputFile_.isEmpty() ? SendToQueue(printer) : MoveToOutputFile();
    QFile::remove(spoolFile_);
    return delivered;
}

void TPrintSpool::Discard(QPrinter& printer) {
    RestoreOutput(printer);
    QFile::remove(spoolFile_);
}

void TPrintSpool::RestoreOutput(QPrinter& printer) { printer.setOutputFileName(outputFile_); }

bool TPrintSpool::MoveToOutputFile() {
    QFile::remove(outputFile_);
    if (QFile::rename(spoolFile_, outputFile_)) return true;
    error_ = "Unable to write the print file \"" + outputFile_ + "\".";
    return false;
}

bool TPrintSpool::SendToQueue(const QPrinter& printer) {
    const auto options = JobOptions(printer);
    std::vector<cups_option_t> list;
    list.reserve(options.size());
    for (const auto& [name, value] : options) {
        list.push_back({const_cast<char*>(name.constData()), const_cast<char*>(value.constData())});
    }
    // A printer instance ("name/instance") prints through its printer's queue.
    const QByteArray queue = printer.printerName().section('/', 0, 0).toLocal8Bit();
    const int job =
        cupsPrintFile(queue.constData(), QFile::encodeName(spoolFile_).constData(),
                      printer.docName().toLocal8Bit().constData(), int(list.size()), list.data());
    if (job > 0) return true;
    error_ = "Unable to send the document to printer \"" + QString::fromLocal8Bit(queue) +
             "\": " + QString::fromLocal8Bit(cupsLastErrorString());
    return false;
}
