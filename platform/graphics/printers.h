#pragma once
// The platform printer: the list of installed printers (behind a small
// interface, so tests can run with no printer or with a printer whose output
// is a PDF file), the printer object with its document, pages and canvas, the
// device mode and the information contexts that report a printer's
// resolution.

#include <QPrinter>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

#include "platform/graphics/canvas.h"
#include "platform/graphics/print_spool.h"

// The installed printers.
class TInstalledPrinters {
public:
    virtual ~TInstalledPrinters() = default;
    virtual QStringList Names() const = 0;
    virtual QString DefaultName() const = 0;
    // A QPrinter set up for the printer of that name (high resolution).
    virtual std::unique_ptr<QPrinter> Create(const QString& name) const = 0;
};

// The system's printers (QPrinterInfo).
class TSystemPrinters : public TInstalledPrinters {
public:
    QStringList Names() const override;
    QString DefaultName() const override;
    std::unique_ptr<QPrinter> Create(const QString& name) const override;
};

// No printer at all.
class TNoPrinters : public TInstalledPrinters {
public:
    QStringList Names() const override { return {}; }
    QString DefaultName() const override { return {}; }
    std::unique_ptr<QPrinter> Create(const QString&) const override { return nullptr; }
};

// One printer, "PDF", whose output is the given PDF file.
class TPdfFilePrinters : public TInstalledPrinters {
public:
    explicit TPdfFilePrinters(QString outputFile) : outputFile_(std::move(outputFile)) {}
    QStringList Names() const override { return {"PDF"}; }
    QString DefaultName() const override { return "PDF"; }
    std::unique_ptr<QPrinter> Create(const QString& name) const override;

private:
    QString outputFile_;
};

// Which printers the program sees; the system's unless replaced.  Replacing
// them resets the printer object.
TInstalledPrinters& InstalledPrinters();
void SetInstalledPrinters(std::unique_ptr<TInstalledPrinters> printers);

// The part of the printer settings a report stream carries.
struct TDeviceMode {
    int Copies = 1;
    int PaperSize = 0;    // paper size code (QPageSize::PageSizeId + 1; 0 none)
    int PaperWidth = 0;   // tenths of a millimetre
    int PaperLength = 0;  // tenths of a millimetre
};

enum class TPrinterOrientation { Portrait, Landscape };

// What a device context tells about a printer: resolution and geometry in
// device pixels.
struct TDeviceCaps {
    int PixelsPerInchX = 96;
    int PixelsPerInchY = 96;
    int OffsetX = 0, OffsetY = 0;                    // unprintable left / top
    int PhysicalWidth = 816, PhysicalHeight = 1056;  // whole paper
    int PrintableWidth = 816, PrintableHeight = 1056;
};

class TPrinter {
public:
    TPrinter();
    ~TPrinter();

    bool HasPrinters() const { return !Printers().isEmpty(); }
    // The installed printers' names: asked of the system each time, except
    // while a TPrinterListHold keeps the answer (a system with CUPS answers
    // each question through the print server).
    QStringList Printers() const;
    int PrinterIndex() const { return index_; }
    void SetPrinterIndex(int index);
    // Device, driver and port of the current printer (driver and port are the
    // printer's name and "" here: Qt addresses a printer by its name only).
    void GetPrinter(QString& device, QString& driver, QString& port) const;
    // Chooses the printer named device (or, failing that, port); unknown names
    // keep the current printer.
    void SetPrinter(const QString& device, const QString& driver, const QString& port,
                    const TDeviceMode& mode);

    TDeviceMode DeviceMode() const;
    void SetDeviceMode(const TDeviceMode& mode);
    TPrinterOrientation Orientation() const;
    void SetOrientation(TPrinterOrientation orientation);
    int Copies() const;
    void SetCopies(int copies);
    QString Title() const { return title_; }
    void SetTitle(const QString& title) { title_ = title; }

    // The current printer's resolution and geometry.
    TDeviceCaps Caps() const;

    // Document: Printing is true between BeginDoc and EndDoc/Abort.  The
    // document is spooled (print_spool.h): EndDoc hands it to the printer,
    // Abort drops it, so nothing of an aborted document is printed.
    // BeginDoc and EndDoc return false, with LastError() set, when the
    // document could not be begun or handed over.
    bool BeginDoc();
    void NewPage();
    bool EndDoc();
    void Abort();
    QString LastError() const { return lastError_; }
    bool Printing() const { return printing_; }
    bool Aborted() const { return aborted_; }
    // The document's canvas; exists only while Printing.
    TCanvas* Canvas() { return canvas_.get(); }
    // The QPrinter of the current printer (nullptr without printers), e.g.
    // for a print dialog.
    QPrinter* QtPrinter();

    // Drops the current QPrinter so the next use follows InstalledPrinters().
    void Reset();

private:
    friend class TPrinterListHold;
    QPrinter* EnsurePrinter() const;

    // While one lives, the process deflates at zlib's fastest level.
    struct FastDeflate {
        FastDeflate();
        ~FastDeflate();
        FastDeflate(const FastDeflate&) = delete;
        FastDeflate& operator=(const FastDeflate&) = delete;
    };

    mutable std::unique_ptr<QPrinter> printer_;
    mutable int index_ = -1;
    std::optional<FastDeflate> fastDeflate_;  // while printing
    std::unique_ptr<TCanvas> canvas_;
    QString title_ = "Folioscribe Report";
    bool printing_ = false;
    bool aborted_ = false;
    TPrintSpool spool_;
    QString lastError_;
    int listHolds_ = 0;
    mutable std::optional<QStringList> heldPrinters_;
};

// While one lives, the program's printer object asks for the list of
// installed printers once and keeps the answer: a print job holds the list,
// so that it asks once rather than for every page or drawing command.
class TPrinterListHold {
public:
    TPrinterListHold();
    ~TPrinterListHold();
    TPrinterListHold(const TPrinterListHold&) = delete;
    TPrinterListHold& operator=(const TPrinterListHold&) = delete;
};

// The program's one printer object.
TPrinter& Printer();
