// TReportFiler: the run, its pages and the differential recording of the
// drawing state.  The commands are recorded in report_filer_commands.cpp.
#include "reportengine/report_filer.h"

#include <QCoreApplication>
#include <QFile>
#include <QSaveFile>
#include <QWidget>
#include <exception>

#include "platform/base/scope_guard.h"
#include "platform/graphics/printers.h"

TReportFiler::TReportFiler(QObject* owner) : TBaseReport(owner) {
    InstallNotifications();
    RefreshPrinterSetup();
}

TReportFiler::~TReportFiler() {
    canvas_.Font().OnChange = previousFontChange_;
    canvas_.Pen().OnChange = previousPenChange_;
    canvas_.Brush().OnChange = previousBrushChange_;
}

void TReportFiler::InstallNotifications() {
    previousFontChange_ = canvas_.Font().OnChange;
    previousPenChange_ = canvas_.Pen().OnChange;
    previousBrushChange_ = canvas_.Brush().OnChange;
    canvas_.Font().OnChange = [this](TGraphicsObject* sender) {
        if (previousFontChange_) previousFontChange_(sender);
        if (Recording()) RecordFont();
    };
    canvas_.Pen().OnChange = [this](TGraphicsObject* sender) {
        if (previousPenChange_) previousPenChange_(sender);
        if (Recording()) RecordPen();
    };
    canvas_.Brush().OnChange = [this](TGraphicsObject* sender) {
        if (previousBrushChange_) previousBrushChange_(sender);
        if (Recording()) RecordBrush();
    };
}

bool TReportFiler::Recording() const {
    return out_.IsOpen() && Printing() && !recordingSuspended_ && !PageSkipped();
}

// ---- the run ------------------------------------------------------------------------------

void TReportFiler::Run() {
    CheckNotPrinting();
    SetCurrentPage(0);
    pagesWritten_ = 0;
    pageHeaderPos_ = nextFieldPos_ = previousHeaderPos_ = pageCountPos_ = 0;
    pageOpen_ = false;
    if (OnBeforePrint) OnBeforePrint(this);
    // OnAfterPrint runs exactly once, however the run ends.  While an error
    // of the run unwinds, that error is the one reported: a second one from
    // the handler is dropped rather than ending the program.
    const TOnScopeExit afterPrint([this] {
        if (OnAfterPrint) OnAfterPrint(this);
    });
    if (!OnPrint && !OnPrintPage) return;
    try {
        OpenStream();
    } catch (const EFolioscribe&) {
        ShowError("Error initializing stream \"" + FileName + "\"");
        return;
    }
    const TOnScopeExit endRun([this] {
        CloseStream();
        EndRun();
        recordingSuspended_ = true;
    });
    RunPages();
    FinishRun();
}

void TReportFiler::OpenStream() {
    QIODevice* device = nullptr;
    switch (StreamMode) {
        case smMemory: {
            // The pages go to a temporary file beside the report file as
            // they are recorded (a report of a million books does not fit in
            // memory); it replaces the report file when the run completes
            // and is removed when it does not.
            auto file = std::make_unique<QSaveFile>(FileName);
            if (FileName.isEmpty() || !file->open(QIODevice::WriteOnly)) {
                throw EFolioscribe("cannot open");
            }
            ownStream_ = std::move(file);
            device = ownStream_.get();
            break;
        }
        case smFile: {
            auto file = std::make_unique<QFile>(FileName);
            if (FileName.isEmpty() || !file->open(QIODevice::ReadWrite | QIODevice::Truncate)) {
                throw EFolioscribe("cannot open");
            }
            ownStream_ = std::move(file);
            device = ownStream_.get();
            break;
        }
        case smUser:
            if (!UserStream || !UserStream->isWritable()) throw EFolioscribe("no user stream");
            device = UserStream;
            break;
    }
    out_.Open(device);
}

void TReportFiler::CloseStream() {
    out_.Close();
    ownStream_.reset();  // an uncommitted temporary file goes with it
}

void TReportFiler::SetUpMeasuringDevice() {
    if (!Printer().HasPrinters()) {
        auto* form = qobject_cast<QWidget*>(Owner());
        if (!form || !form->isWindow()) throw EFolioscribe(ReportMessages::OwnerNotForm);
        PixelsPerInchX = form->logicalDpiX();
        PixelsPerInchY = form->logicalDpiY();
        DeviceName = "Preview Only";
        DriverName = "Preview Only";
        PortName = "Preview";
    } else {
        TDeviceCaps caps = Printer().Caps();
        PixelsPerInchX = caps.PixelsPerInchX;
        PixelsPerInchY = caps.PixelsPerInchY;
    }
    canvas_.Font().SetPixelsPerInch(PixelsPerInchY);
}

void TReportFiler::RunPages() {
    BeginRun();
    out_.Byte(scFileHeader);
    pageCountPos_ = out_.Pos();
    out_.Int(0);
    out_.Int(FirstPage);
    out_.Int(LastPage);
    out_.Float(float(PaperWidthInches()));
    out_.Float(float(PaperHeightInches()));
    for (double border : {UnprintableLeft, UnprintableRight, UnprintableTop, UnprintableBottom}) {
        out_.Float(float(border));
    }
    out_.Byte(std::uint8_t(Orientation()));
    DeviceModeInfo mode = HeldDeviceMode();
    out_.Int(mode.Copies);
    out_.Int(mode.PaperSize);
    out_.Int(mode.PaperWidth);
    out_.Int(mode.PaperLength);
    out_.String(PrinterSelection);

    recordingSuspended_ = true;
    SetUpMeasuringDevice();
    InitPage();
    StartFirstPage();
    recordingSuspended_ = false;
    BeginPage();
    if (OnNewPage) OnNewPage(this);
    if (OnPrintHeader) OnPrintHeader(this);

    if (OnPrint) {
        OnPrint(this);
    } else {
        int page = CurrentPage();
        while (OnPrintPage(this, page) && !Aborted()) {
            NewPage();
            page = CurrentPage();
        }
    }
    if (OnPrintFooter) OnPrintFooter(this);
    EndPage(false);
}

void TReportFiler::FinishRun() {
    out_.PatchInt(pageCountPos_, pagesWritten_);
    if (StreamMode != smMemory || Aborted()) return;
    out_.Close();
    auto* file = static_cast<QSaveFile*>(ownStream_.get());
    if (!file->commit()) {
        throw EFolioscribe("Cannot write report file \"" + FileName.toStdString() +
                           "\": " + file->errorString().toStdString());
    }
}

// ---- pages -----------------------------------------------------------------------------------

void TReportFiler::BeginPage() {
    if (PageSkipped()) return;
    previousHeaderPos_ = pagesWritten_ > 0 ? pageHeaderPos_ : 0;
    pageHeaderPos_ = out_.Pos();
    out_.Byte(scPageHeader);
    out_.Int(std::int32_t(previousHeaderPos_));
    nextFieldPos_ = out_.Pos();
    out_.Int(0);
    out_.Int(CurrentPage());
    out_.Byte(std::uint8_t(Orientation()));
    ++pagesWritten_;
    pageOpen_ = true;

    recordAll_ = true;
    RecordBrush();
    RecordFont();
    RecordPen();
    recordAll_ = false;
    out_.Byte(scScaleX);
    out_.Float(float(ScaleX()));
    out_.Byte(scScaleY);
    out_.Float(float(ScaleY()));
    out_.Byte(scTextBKMode);
    out_.Byte(std::uint8_t(TextBKMode()));
    out_.Byte(scBackgroundColor);
    out_.Int(canvas_.BkColor());
}

void TReportFiler::EndPage(bool pageFollows) {
    if (!PageSkipped() && pageOpen_) out_.Byte(scEndOfPage);
    pageOpen_ = false;
    if (nextFieldPos_ > 0) out_.PatchInt(nextFieldPos_, pageFollows ? std::int32_t(out_.Pos()) : 0);
}

void TReportFiler::NewPage() {
    if (!Printing()) throw EFolioscribe(ReportMessages::NotPrinting);
    if (Aborted()) throw EAbort();
    if (OnPrintFooter) OnPrintFooter(this);
    EndPage(true);
    TBaseReport::NewPage();
    BeginPage();
    if (OnNewPage) OnNewPage(this);
    if (OnPrintHeader) OnPrintHeader(this);
}

void TReportFiler::DiscardPage() {
    bool wasOpen = Printing() && !Aborted() && !PageSkipped() && pageOpen_;
    TBaseReport::DiscardPage();
    if (!wasOpen) return;
    // The page record goes; the next page is written in its place, so the
    // links of the page before it stay right and the count stays true.
    out_.Truncate(pageHeaderPos_);
    pageOpen_ = false;
    --pagesWritten_;
    pageHeaderPos_ = previousHeaderPos_;
    if (pagesWritten_ == 0) {
        nextFieldPos_ = 0;
    } else {
        nextFieldPos_ = pageHeaderPos_ + 5;  // code byte, previous-page field
    }
}

// ---- state recording ---------------------------------------------------------------------------

void TReportFiler::RecordBrush() {
    const TBrush& brush = canvas_.Brush();
    if (recordAll_ || brush.Color() != lastBrushColor_) {
        out_.Byte(scBrushColor);
        out_.Int(brush.Color());
        lastBrushColor_ = brush.Color();
    }
    if (recordAll_ || brush.Style() != lastBrushStyle_) {
        out_.Byte(scBrushStyle);
        out_.Byte(brush.Style());
        lastBrushStyle_ = brush.Style();
    }
    const TBitmap* bitmap =
        brush.Bitmap() && !brush.Bitmap()->Empty() ? brush.Bitmap().get() : nullptr;
    if (bitmap) {
        if (recordAll_ || bitmap != lastBrushBitmap_) {
            out_.Byte(scBrushBitmap);
            out_.Byte(1);
            out_.Graphic(gkBitmap, bitmap->SaveToBytes());
            brushBitmapRecorded_ = true;
        }
    } else if (brushBitmapRecorded_ || recordAll_) {
        out_.Byte(scBrushBitmap);
        out_.Byte(0);
        brushBitmapRecorded_ = false;
    }
    lastBrushBitmap_ = bitmap;
}

void TReportFiler::RecordFont() {
    const TFont& font = canvas_.Font();
    if (recordAll_ || font.Name() != lastFontName_) {
        out_.Byte(scFontName);
        out_.String(font.Name());
        lastFontName_ = font.Name();
    }
    if (recordAll_ || font.Color() != lastFontColor_) {
        out_.Byte(scFontColor);
        out_.Int(font.Color());
        lastFontColor_ = font.Color();
    }
    if (recordAll_ || font.Pitch() != lastFontPitch_) {
        out_.Byte(scFontPitch);
        out_.Byte(font.Pitch());
        lastFontPitch_ = font.Pitch();
    }
    float height = float(std::abs(font.Height())) / float(PixelsPerInchY);
    if (recordAll_ || height != lastFontHeight_) {
        out_.Byte(scFontHeight);
        out_.Float(height);
        lastFontHeight_ = height;
    }
    // Bold, italic, underline, strike-out, each with its own code.
    static constexpr std::pair<TFontStyle, TStreamCode> kStyles[] = {
        {fsBold, scFontBold},
        {fsItalic, scFontItalic},
        {fsUnderline, scFontUnderline},
        {fsStrikeOut, scFontStrikeOut}};
    for (auto [bit, code] : kStyles) {
        bool on = font.HasStyle(bit);
        if (recordAll_ || on != ((lastFontStyle_ & bit) != 0)) {
            out_.Byte(code);
            out_.Bool(on);
        }
    }
    lastFontStyle_ = font.Style();
}

void TReportFiler::RecordPen() {
    const TPen& pen = canvas_.Pen();
    if (recordAll_ || pen.Color() != lastPenColor_) {
        out_.Byte(scPenColor);
        out_.Int(pen.Color());
        lastPenColor_ = pen.Color();
    }
    if (recordAll_ || pen.Mode() != lastPenMode_) {
        out_.Byte(scPenMode);
        out_.Byte(pen.Mode());
        lastPenMode_ = pen.Mode();
    }
    if (recordAll_ || pen.Style() != lastPenStyle_) {
        out_.Byte(scPenStyle);
        out_.Byte(pen.Style());
        lastPenStyle_ = pen.Style();
    }
    float width = float(pen.Width()) / float(PixelsPerInchX);
    if (recordAll_ || width != lastPenWidth_) {
        out_.Byte(scPenWidth);
        out_.Float(width);
        lastPenWidth_ = width;
    }
}

// ---- recorded properties ----------------------------------------------------------------------

void TReportFiler::SetScaleX(double value) {
    TBaseReport::SetScaleX(value);
    if (!Recording()) return;
    out_.Byte(scScaleX);
    out_.Float(float(value));
}

void TReportFiler::SetScaleY(double value) {
    TBaseReport::SetScaleY(value);
    if (!Recording()) return;
    out_.Byte(scScaleY);
    out_.Float(float(value));
}

void TReportFiler::SetTextBKMode(TBKMode mode) {
    TBaseReport::SetTextBKMode(mode);
    if (!Recording()) return;
    out_.Byte(scTextBKMode);
    out_.Byte(mode);
}

void TReportFiler::SetBackgroundColor(TColor color) {
    TBaseReport::SetBackgroundColor(color);
    if (!Recording()) return;
    out_.Byte(scBackgroundColor);
    out_.Int(color);
}
