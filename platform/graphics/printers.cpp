#include "platform/graphics/printers.h"

#include <zlib.h>

#include <QPageLayout>
#include <QPageSize>
#include <QPrinterInfo>
#include <atomic>

// ---- compression of a print job --------------------------------------------------------

// Qt's PDF writer deflates every page at zlib's default level, about a
// quarter of a long listing's print job; the fastest level takes a fifth off
// the job's time for a file about 40 % larger.  The writer has no
// setting for it, so this process supplies zlib's deflateInit_ itself: the
// same initialisation as zlib's own, at the fastest level while a document
// is being printed and at the caller's level otherwise.
namespace {
std::atomic<int> fastDeflateDocuments{0};
}  // namespace

extern "C" int deflateInit_(z_streamp stream, int level, const char* version, int streamSize) {
    if (fastDeflateDocuments.load(std::memory_order_relaxed) > 0) level = Z_BEST_SPEED;
    constexpr int kZlibDefaultMemLevel = 8;
    return deflateInit2_(stream, level, Z_DEFLATED, MAX_WBITS, kZlibDefaultMemLevel,
                         Z_DEFAULT_STRATEGY, version, streamSize);
}

TPrinter::FastDeflate::FastDeflate() { ++fastDeflateDocuments; }

TPrinter::FastDeflate::~FastDeflate() { --fastDeflateDocuments; }

// ---- installed printers ----------------------------------------------------------

QStringList TSystemPrinters::Names() const { return QPrinterInfo::availablePrinterNames(); }

QString TSystemPrinters::DefaultName() const { return QPrinterInfo::defaultPrinterName(); }

std::unique_ptr<QPrinter> TSystemPrinters::Create(const QString& name) const {
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printer->setPrinterName(name);
    return printer;
}

std::unique_ptr<QPrinter> TPdfFilePrinters::Create(const QString&) const {
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setOutputFileName(outputFile_);
    printer->setPageSize(QPageSize(QPageSize::Letter));
    printer->setPageMargins(QMarginsF(0.25, 0.25, 0.25, 0.25), QPageLayout::Inch);
    return printer;
}

namespace {
std::unique_ptr<TInstalledPrinters>& InstalledSlot() {
    static std::unique_ptr<TInstalledPrinters> printers = std::make_unique<TSystemPrinters>();
    return printers;
}
}  // namespace

TInstalledPrinters& InstalledPrinters() { return *InstalledSlot(); }

void SetInstalledPrinters(std::unique_ptr<TInstalledPrinters> printers) {
    InstalledSlot() = std::move(printers);
    Printer().Reset();
}

TPrinter& Printer() {
    static TPrinter printer;
    return printer;
}

// ---- TPrinter ---------------------------------------------------------------------

TPrinter::TPrinter() = default;

TPrinter::~TPrinter() {
    if (printing_) Abort();
}

void TPrinter::Reset() {
    if (printing_) Abort();
    printer_.reset();
    index_ = -1;
    heldPrinters_.reset();
}

QStringList TPrinter::Printers() const {
    if (listHolds_ == 0) return InstalledPrinters().Names();
    if (!heldPrinters_) heldPrinters_ = InstalledPrinters().Names();
    return *heldPrinters_;
}

TPrinterListHold::TPrinterListHold() { ++Printer().listHolds_; }

TPrinterListHold::~TPrinterListHold() {
    if (--Printer().listHolds_ == 0) Printer().heldPrinters_.reset();
}

QPrinter* TPrinter::EnsurePrinter() const {
    if (printer_) return printer_.get();
    QStringList names = Printers();
    if (names.isEmpty()) return nullptr;
    if (index_ < 0 || index_ >= names.size()) {
        index_ = std::max(0, int(names.indexOf(InstalledPrinters().DefaultName())));
    }
    printer_ = InstalledPrinters().Create(names[index_]);
    return printer_.get();
}

QPrinter* TPrinter::QtPrinter() { return EnsurePrinter(); }

void TPrinter::SetPrinterIndex(int index) {
    QStringList names = Printers();
    if (index < 0 || index >= names.size() || index == index_) return;
    if (printing_) Abort();
    TDeviceMode mode = printer_ ? DeviceMode() : TDeviceMode{};
    printer_.reset();
    index_ = index;
    EnsurePrinter();
    SetCopies(mode.Copies);
}

void TPrinter::GetPrinter(QString& device, QString& driver, QString& port) const {
    device.clear();
    driver.clear();
    port.clear();
    QPrinter* p = EnsurePrinter();
    if (!p) return;
    device = Printers().value(index_);
    driver = device;
}

void TPrinter::SetPrinter(const QString& device, const QString& driver, const QString& port,
                          const TDeviceMode& mode) {
    QStringList names = Printers();
    for (const QString& name : {device, driver, port}) {
        int i = names.indexOf(name);
        if (!name.isEmpty() && i >= 0) {
            SetPrinterIndex(i);
            break;
        }
    }
    SetDeviceMode(mode);
}

TDeviceMode TPrinter::DeviceMode() const {
    TDeviceMode mode;
    QPrinter* p = EnsurePrinter();
    if (!p) return mode;
    mode.Copies = p->copyCount();
    QPageSize size = p->pageLayout().pageSize();
    mode.PaperSize = size.id() == QPageSize::Custom ? 0 : int(size.id()) + 1;
    QSizeF mm = size.size(QPageSize::Millimeter);
    if (p->pageLayout().orientation() == QPageLayout::Landscape) mm.transpose();
    mode.PaperWidth = int(std::lround(mm.width() * 10));
    mode.PaperLength = int(std::lround(mm.height() * 10));
    return mode;
}

void TPrinter::SetDeviceMode(const TDeviceMode& mode) {
    QPrinter* p = EnsurePrinter();
    if (!p) return;
    if (mode.Copies > 0) p->setCopyCount(mode.Copies);
    if (mode.PaperSize > 0 && mode.PaperSize <= int(QPageSize::LastPageSize) + 1) {
        p->setPageSize(QPageSize(QPageSize::PageSizeId(mode.PaperSize - 1)));
    }
}

TPrinterOrientation TPrinter::Orientation() const {
    QPrinter* p = EnsurePrinter();
    return p && p->pageLayout().orientation() == QPageLayout::Landscape
               ? TPrinterOrientation::Landscape
               : TPrinterOrientation::Portrait;
}

void TPrinter::SetOrientation(TPrinterOrientation orientation) {
    if (QPrinter* p = EnsurePrinter()) {
        p->setPageOrientation(orientation == TPrinterOrientation::Landscape
                                  ? QPageLayout::Landscape
                                  : QPageLayout::Portrait);
    }
}

int TPrinter::Copies() const {
    QPrinter* p = EnsurePrinter();
    return p ? p->copyCount() : 1;
}

void TPrinter::SetCopies(int copies) {
    if (QPrinter* p = EnsurePrinter(); p && copies > 0) p->setCopyCount(copies);
}

TDeviceCaps TPrinter::Caps() const {
    TDeviceCaps caps;
    QPrinter* p = EnsurePrinter();
    if (!p) return caps;
    caps.PixelsPerInchX = p->logicalDpiX();
    caps.PixelsPerInchY = p->logicalDpiY();
    QRect paper = p->pageLayout().fullRectPixels(p->resolution());
    QRect printable = p->pageLayout().paintRectPixels(p->resolution());
    caps.PhysicalWidth = paper.width();
    caps.PhysicalHeight = paper.height();
    caps.PrintableWidth = printable.width();
    caps.PrintableHeight = printable.height();
    caps.OffsetX = printable.left() - paper.left();
    caps.OffsetY = printable.top() - paper.top();
    return caps;
}

// ---- document --------------------------------------------------------------------------

bool TPrinter::BeginDoc() {
    QPrinter* p = EnsurePrinter();
    if (!p || printing_) return false;
    lastError_.clear();
    p->setDocName(title_);
    aborted_ = false;
    if (!spool_.Begin(*p)) {
        lastError_ = spool_.Error();
        return false;
    }
    fastDeflate_.emplace();
    canvas_ = std::make_unique<TCanvas>(p);
    canvas_->Font().SetPixelsPerInch(p->logicalDpiY());
    printing_ = true;
    return true;
}

void TPrinter::NewPage() {
    if (printing_ && printer_) printer_->newPage();
}

bool TPrinter::EndDoc() {
    if (!printing_) return true;
    canvas_.reset();  // ends the painter, which finishes the spooled document
    fastDeflate_.reset();
    printing_ = false;
    if (spool_.Deliver(*printer_)) return true;
    lastError_ = spool_.Error();
    return false;
}

void TPrinter::Abort() {
    if (!printing_) return;
    printer_->abort();
    canvas_.reset();
    fastDeflate_.reset();
    spool_.Discard(*printer_);
    printing_ = false;
    aborted_ = true;
}
