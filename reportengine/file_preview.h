#pragma once
// TFilePreview: shows one recorded page at a time inside a scroll area.  The
// page is replayed from the report stream onto an off-screen page bitmap at
// the zoom factor (100 = the paper's real size in screen pixels), and the
// bitmap is put into an image inside the scroll area with a border of the
// scroll area's own colour around it.
//
// Zoom is kept within 10..200 per cent.  Scroll positions survive page and
// zoom changes.  Ending a preview always releases the bitmap and the stream,
// also after a damaged stream stopped a page half way.

#include <QImage>
#include <QLabel>
#include <QPointer>
#include <QScrollArea>
#include <memory>

#include "reportengine/file_printer.h"

class TFilePreview : public TFilePrinter {
public:
    explicit TFilePreview(QObject* owner = nullptr);
    ~TFilePreview() override;

    static constexpr double MinZoom = 10;
    static constexpr double MaxZoom = 200;

    // The display area; cleared automatically when the scroll area goes.
    QPointer<QScrollArea> ScrollBox;
    int ZoomInc = 10;
    bool Monochrome = false;
    TMarginMethod MarginMethod = mmFixed;
    double MarginPercent = 0;
    // Fired when the zoom changes and when previewing starts; the handler is
    // expected to call RedrawPage.
    TNotifyEvent OnZoomChange;
    // Fired whenever a page is shown.
    TNotifyEvent OnPageChange;

    TOutputKind OutputKind() const override { return okPreview; }
    TCanvas& Canvas() override;

    // Clamps to 10..200, then fires OnZoomChange, or redraws without one.
    void SetZoomFactor(double value) override;
    void ZoomIn() { SetZoomFactor(ZoomFactor() + ZoomInc); }
    void ZoomOut() { SetZoomFactor(ZoomFactor() - ZoomInc); }

    void StartPreview();
    void Run() override { StartPreview(); }
    void EndPreview();
    // Renders page n (the nearest recorded page); nothing while not
    // previewing.
    void ShowPage(int pageNum) override;
    void PreviousPage();
    void NextPage();
    void RedrawPage() { ShowPage(CurrentPage()); }

    // The zoom at which the page width plus borders fills the scroll area,
    // and the one at which the whole page plus borders fits it.
    double PageWidthZoom() const;
    double WholePageZoom() const;

    // The border around the page in pixels at the current zoom.
    int BorderPixels() const;
    // The page bitmap (null while not previewing) and the image control.
    const QImage& PageBitmap() const { return page_; }
    QLabel* Image() const { return image_; }

    // Scroll area geometry: what the frame takes from the control's size and
    // what each scroll bar takes from the client area.
    struct Frame {
        int BorderWidth = 0, BorderHeight = 0;
        int HorzBarHeight = 0, VertBarWidth = 0;
    };
    Frame MeasuredFrame() const { return frame_; }  // as StartPreview found it

private:
    Frame MeasureScrollBox() const;
    void CreateImage();
    QWidget* ImageHost() const;
    void RenderPage();
    void PublishPage(QPoint scroll);
    double ScreenWidthPixels() const;   // page width at 100 %
    double ScreenHeightPixels() const;  // page height at 100 %
    int ScreenResolution() const;

    QImage page_;     // the page bitmap
    TCanvas canvas_;  // draws on page_ during a rendering
    QPointer<QLabel> image_;
    Frame frame_;
    int rendering_ = 0;    // nesting depth of ShowPage
    int pendingPage_ = 0;  // page asked for while a rendering ran
};
