// Preview replay: one recorded page at a time on a page bitmap shown inside
// a scroll area.
#include "reportengine/file_preview.h"

#include <QGuiApplication>
#include <QScrollBar>
#include <algorithm>
#include <cmath>
#include <utility>

#include "platform/base/scope_guard.h"

namespace {

// Rounds to the nearest integer, halves to even (the default rounding mode).
int Nearest(double value) { return static_cast<int>(std::nearbyint(value)); }

// The hourglass for the lifetime of the object, restored however the scope
// ends.
class WaitCursor {
public:
    WaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QGuiApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

constexpr int DefaultScreenResolution = 96;

}  // namespace

TFilePreview::TFilePreview(QObject* owner) : TFilePrinter(owner) {}

TFilePreview::~TFilePreview() {
    if (Printing()) EndPreview();
}

TCanvas& TFilePreview::Canvas() { return canvas_; }

void TFilePreview::SetZoomFactor(double value) {
    TFilePrinter::SetZoomFactor(std::clamp(value, MinZoom, MaxZoom));
    if (OnZoomChange) {
        OnZoomChange(this);
    } else if (Printing()) {
        RedrawPage();
    }
}

int TFilePreview::ScreenResolution() const {
    if (ScrollBox) return ScrollBox->logicalDpiX();
    return DefaultScreenResolution;
}

double TFilePreview::ScreenWidthPixels() const { return ScreenResolution() * StreamPageWidth(); }

double TFilePreview::ScreenHeightPixels() const { return ScreenResolution() * StreamPageHeight(); }

// ---- starting and ending ---------------------------------------------------

void TFilePreview::StartPreview() {
    if (Printing()) throw EFolioscribe(ReportMessages::AlreadyPrinting);
    if (!ScrollBox) throw EFolioscribe("ScrollBox must be assigned for FilePreview component");
    if (OnZoomChange) OnZoomChange(this);

    frame_ = MeasureScrollBox();
    page_ = QImage();
    CreateImage();
    DeviceOffsetX = DeviceOffsetY = 0;
    UnprintableLeft = UnprintableRight = UnprintableTop = UnprintableBottom = 0;
    PixelsPerInchX = PixelsPerInchY = ScreenResolution();
    canvas_.Font().SetPixelsPerInch(PixelsPerInchY);

    if (!OpenInput()) return;
    {
        const TUndoOnError closeOnError([this] { CloseInput(); });
        ReadHeader();
    }
    RewindPages();
    BeginRun();
    ShowPage(1);
}

void TFilePreview::EndPreview() {
    if (!Printing()) throw EFolioscribe(ReportMessages::NotPrinting);
    // Only the run state is checked: a preview stopped by a damaged stream
    // (Aborted set) still ends and lets go of its bitmap and stream.
    EndRun();
    canvas_.SetDevice(nullptr);
    page_ = QImage();
    CloseInput();
}

TFilePreview::Frame TFilePreview::MeasureScrollBox() const {
    Frame frame;
    frame.BorderWidth = frame.BorderHeight = 2 * ScrollBox->frameWidth();
    frame.HorzBarHeight = ScrollBox->horizontalScrollBar()->sizeHint().height();
    frame.VertBarWidth = ScrollBox->verticalScrollBar()->sizeHint().width();
    return frame;
}

QWidget* TFilePreview::ImageHost() const {
    if (!ScrollBox->widget()) {
        auto* host = new QWidget;
        ScrollBox->setWidgetResizable(false);
        ScrollBox->setWidget(host);  // the scroll area owns it
    }
    return ScrollBox->widget();
}

void TFilePreview::CreateImage() {
    delete image_.data();
    image_ = new QLabel(ImageHost());  // owned by the scroll area's content
    image_->setGeometry(0, 0, 100, 100);
    image_->setScaledContents(false);
    image_->show();
}

// ---- pages ---------------------------------------------------------------------

void TFilePreview::ShowPage(int pageNum) {
    if (!Printing()) return;
    // A page change handler that asks for a page (typically the page box
    // echoing the new number) must not start a second replay in the middle
    // of this one: the request waits until this page is done.
    if (rendering_ > 0) {
        pendingPage_ = pageNum;
        return;
    }
    const double zoomAtStart = ZoomFactor();
    {
        WaitCursor hourglass;
        ++rendering_;
        struct Depth {
            int& depth;
            ~Depth() { --depth; }
        } depth{rendering_};

        SeekPage(pageNum);
        if (OnPageChange) OnPageChange(this);
        QPoint scroll;
        if (ScrollBox) {
            scroll = {ScrollBox->horizontalScrollBar()->value(),
                      ScrollBox->verticalScrollBar()->value()};
            ScrollBox->horizontalScrollBar()->setValue(0);
            ScrollBox->verticalScrollBar()->setValue(0);
        }
        // What was drawn is shown even when a damaged stream stops the replay.
        struct Publish {
            TFilePreview& preview;
            QPoint scroll;
            ~Publish() { preview.PublishPage(scroll); }
        } publish{*this, scroll};
        RenderPage();
    }
    const int pending = std::exchange(pendingPage_, 0);
    if (pending > 0 && (pending != CurrentPage() || ZoomFactor() != zoomAtStart)) {
        ShowPage(pending);
    }
}

void TFilePreview::RenderPage() {
    const int width = Nearest(ScreenResolution() * StreamPageWidth() * ZoomFactor() / 100);
    const int height = Nearest(ScreenResolution() * StreamPageHeight() * ZoomFactor() / 100);
    if (page_.size() != QSize(width, height)) {
        canvas_.SetDevice(nullptr);
        page_ = QImage(std::max(width, 1), std::max(height, 1), QImage::Format_RGB32);
    }
    canvas_.SetDevice(&page_);
    struct EndPainting {
        TCanvas& canvas;
        ~EndPainting() { canvas.SetDevice(nullptr); }
    } endPainting{canvas_};

    canvas_.Font().SetPixelsPerInch(PixelsPerInchY);
    canvas_.Pen().SetColor(clBlack);
    canvas_.Pen().SetStyle(psSolid);
    canvas_.Pen().SetWidth(1);
    canvas_.Pen().SetMode(pmCopy);
    canvas_.Brush().SetBitmap(nullptr);
    canvas_.Brush().SetColor(clWhite);
    canvas_.Brush().SetStyle(bsSolid);
    canvas_.Rectangle(0, 0, width, height);  // a white page with a black outline
    ReplayCommands();
}

void TFilePreview::PublishPage(QPoint scroll) {
    if (!ScrollBox || !image_ || page_.isNull()) return;
    const int margin = BorderPixels();
    const QImage shown =
        Monochrome ? page_.convertToFormat(QImage::Format_Mono, Qt::ThresholdDither) : page_;
    image_->setGeometry(margin, margin, page_.width(), page_.height());
    image_->setPixmap(QPixmap::fromImage(shown));
    ImageHost()->resize(page_.width() + 2 * margin, page_.height() + 2 * margin);
    ScrollBox->horizontalScrollBar()->setValue(scroll.x());
    ScrollBox->verticalScrollBar()->setValue(scroll.y());
}

void TFilePreview::PreviousPage() {
    if (Printing() && HasPreviousPage()) ShowPage(CurrentPage() - 1);
}

void TFilePreview::NextPage() {
    if (Printing() && HasNextPage()) ShowPage(CurrentPage() + 1);
}

// ---- zoom --------------------------------------------------------------------------

int TFilePreview::BorderPixels() const {
    const double border = ScreenWidthPixels() * MarginPercent / 100;
    return MarginMethod == mmFixed ? Nearest(border) : Nearest(border * ZoomFactor() / 100);
}

double TFilePreview::PageWidthZoom() const {
    if (!ScrollBox) return ZoomFactor();
    const double w = ScrollBox->width(), h = ScrollBox->height();
    const double px = ScreenWidthPixels(), py = ScreenHeightPixels();
    const double p = MarginPercent;
    const Frame f = MeasureScrollBox();
    const bool fixed = MarginMethod == mmFixed;

    double a = fixed ? (w - (f.BorderWidth + 2 * Nearest(px * p / 100))) / px
                     : (w - f.BorderWidth) / (px * (1 + p * 0.02));
    const int c = fixed ? Nearest(px * p / 100) : Nearest(px * p / 100 * a);
    if (h - f.BorderHeight < a * py + 2 * c) {  // a vertical scroll bar will show
        a = fixed ? (w - (f.BorderWidth + 2 * c + f.VertBarWidth)) / px
                  : (w - f.BorderWidth - f.VertBarWidth) / (px * (1 + p * 0.02));
    }
    return a * 100;
}

double TFilePreview::WholePageZoom() const {
    if (!ScrollBox) return ZoomFactor();
    // A fixed allowance of 4 pixels stands for the frame here.
    const double w = ScrollBox->width(), h = ScrollBox->height();
    const double px = ScreenWidthPixels(), py = ScreenHeightPixels();
    const double p = MarginPercent;
    double fx, fy;
    if (MarginMethod == mmFixed) {
        const int m = Nearest(px * p / 100);
        fx = (w - 4 - 2 * m) / px;
        fy = (h - 4 - 2 * m) / py;
    } else {
        fx = (w - 4) / (px * (1 + p * 0.02));
        fy = (h - 4) / (py + px * p * 0.02);
    }
    return std::min(fx, fy) * 100;
}
