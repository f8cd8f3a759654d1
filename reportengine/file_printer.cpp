// TFilePrinter: opening a report stream, finding pages through their links
// and printing page ranges.  The replay of a page's commands is in
// file_printer_replay.cpp.
//
// The reader distrusts every byte: a read past the end raises
// EStreamReadError; a page link must lie inside the stream and point
// strictly forward (next) or backward (previous), so no chain can loop; a
// wrong code raises "Unexpected code found in report file.".
#include "reportengine/file_printer.h"

#include <malloc.h>

#include <QApplication>
#include <QFile>

#include "platform/base/scope_guard.h"
#include "platform/graphics/printers.h"

TFilePrinter::TFilePrinter(QObject* owner) : TCanvasReport(owner) {}

TFilePrinter::~TFilePrinter() { CloseInput(); }

void TFilePrinter::Unexpected() {
    if (Printing()) AbortReport();
    throw EFolioscribe(ReportMessages::UnexpectedCode);
}

// ---- input --------------------------------------------------------------------------------

bool TFilePrinter::OpenInput() {
    CloseInput();
    QIODevice* device = nullptr;
    switch (StreamMode) {
        case smMemory:  // a recording can outgrow memory: pages are read as they are shown
        case smFile: {
            auto file = std::make_unique<QFile>(FileName);
            // The reader keeps its own window of the file's bytes.
            if (!FileName.isEmpty() && file->open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
                ownStream_ = std::move(file);
                device = ownStream_.get();
            }
            break;
        }
        case smUser:
            if (UserStream && UserStream->isReadable()) device = UserStream;
            break;
    }
    if (!device) {
        ownStream_.reset();
        ShowError("Error initializing input stream \"" + FileName + "\"");
        return false;
    }
    in_.Open(device);
    return true;
}

void TFilePrinter::CloseInput() {
    in_.Close();
    ownStream_.reset();
}

void TFilePrinter::ReadHeader() {
    in_.Seek(0);
    if (in_.Byte() != scFileHeader) Unexpected();
    pageCount_ = in_.Int();
    FirstPage = in_.Int();
    LastPage = in_.Int();
    streamPageWidth_ = in_.Float();
    streamPageHeight_ = in_.Float();
    for (int i = 0; i < 4; ++i) in_.Float();  // unprintable borders: the device's own count
    std::uint8_t orientation = in_.Byte();
    std::int32_t copies = in_.Int();
    for (int i = 0; i < 3; ++i) in_.Int();  // paper size, width, length
    QString selection = in_.String();
    if (orientation <= poDefault) SetOrientation(static_cast<TOrientation>(orientation));
    if (Printer().HasPrinters() && copies > 0) Printer().SetCopies(copies);
    if (!selection.isEmpty()) SelectPrinter(selection);
    firstPagePos_ = in_.Pos();
    RewindPages();
}

void TFilePrinter::RewindPages() {
    SetCurrentPage(0);
    previous_ = 0;
    headerPos_ = 0;
    next_ = firstPagePos_;
}

// ---- pages ------------------------------------------------------------------------------------

void TFilePrinter::ReadPageHeader() {
    headerPos_ = in_.Pos();
    if (in_.Byte() != scPageHeader) Unexpected();
    previous_ = in_.Int();
    next_ = in_.Int();
    SetCurrentPage(in_.Int());
    in_.Byte();  // orientation: the header's applies to every page
    // Links that leave the stream or do not move away from this page would
    // let a damaged stream send the reader round in circles.
    if (previous_ < 0 || previous_ >= headerPos_) previous_ = -1;
    if (next_ != 0 && (next_ <= headerPos_ || next_ >= in_.Size())) next_ = -1;
    if (previous_ < 0 || next_ < 0) Unexpected();
}

void TFilePrinter::ReadPageHeaderAt(qint64 pos) {
    in_.Seek(pos);
    ReadPageHeader();
}

void TFilePrinter::SeekPage(int pageNum) {
    if (!in_.IsOpen()) return;
    if (headerPos_ == 0) {
        // Not on a page yet: the first page header is the start, unless the
        // stream holds no page at all.
        if (firstPagePos_ >= in_.Size()) {
            if (pageCount_ > 0) throw EStreamReadError();  // the pages were cut off
            return;
        }
        ReadPageHeaderAt(firstPagePos_);
    }
    if (CurrentPage() < pageNum) {
        while (CurrentPage() < pageNum && next_ > 0) ReadPageHeaderAt(next_);
    } else if (CurrentPage() > pageNum) {
        while (CurrentPage() > pageNum && previous_ > 0) ReadPageHeaderAt(previous_);
    }
    // Stand just after the header of the page reached.
    ReadPageHeaderAt(headerPos_);
}

void TFilePrinter::ShowPage(int pageNum) {
    SeekPage(pageNum);
    if (headerPos_ == 0) return;  // a stream without pages
    ReplayCommands();
}

// ---- printing ----------------------------------------------------------------------------------

namespace {

// A printer's writer builds each page in buffers of a few hundred kilobytes
// and frees them when the page is out; by default the C library hands such
// memory back to the system after every page and faults it in again for the
// next (a seventh of a PDF job's time).  Up to 64 MB kept free in the
// process instead.
void KeepPageBuffersInTheProcess() {
    static const bool kept = [] {
        mallopt(M_MMAP_THRESHOLD, 32 << 20);
        mallopt(M_TRIM_THRESHOLD, 64 << 20);
        return true;
    }();
    (void)kept;
}

}  // namespace

void TFilePrinter::NewPage() {
    TBaseReport::NewPage();
    Printer().NewPage();
}

void TFilePrinter::PrintRange(int fromPage, int toPage, int copies) {
    TPrinterListHold oneListPerJob;
    if (!Printer().HasPrinters()) {
        ShowError("No printers are defined, aborting print job.");
        return;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    struct CursorBack {
        ~CursorBack() { QApplication::restoreOverrideCursor(); }
    } cursorBack;
    if (!OpenInput()) return;
    KeepPageBuffersInTheProcess();
    // Tells whether the document reached the printer (or was never begun).
    auto finish = [this] {
        if (Aborted() && Printer().Printing()) Printer().Abort();
        const bool delivered = !Printer().Printing() || Printer().EndDoc();
        EndRun();
        CloseInput();
        return delivered;
    };
    {
        const TUndoOnError finishOnError([&finish] { finish(); });
        ReadHeader();
        if (copies > 0) SetCopies(copies);
        RefreshPrinterSetup();
        RewindPages();
        Printer().SetTitle(Title);
        BeginRun();
        if (!Printer().BeginDoc()) throw EFolioscribe(Printer().LastError().toStdString());
        Printer().Canvas()->Font().SetPixelsPerInch(PixelsPerInchY);
        InitPage();
        if (fromPage <= 0) fromPage = 1;
        if (toPage <= 0 || toPage >= PageCount()) toPage = PageCount();
        for (int p = fromPage; p <= toPage; ++p) {
            ShowPage(p);
            if (p < toPage) NewPage();
            SetCurrentPage(p);
        }
    }
    if (!finish()) throw EFolioscribe(Printer().LastError().toStdString());
}
