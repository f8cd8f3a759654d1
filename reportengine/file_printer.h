#pragma once
// TFilePrinter: reads a report stream back and replays its pages through
// TCanvasReport's drawing.  The device is the canvas: the printer's here;
// a preview overrides Canvas() and OutputKind() with its page bitmap.
//
// Positions from the stream are inches, so UnitsFactor stays 1.

#include <QByteArray>
#include <QIODevice>
#include <QPointer>
#include <memory>

#include "reportengine/canvas_report.h"
#include "reportengine/report_stream.h"

class TFilePrinter : public TCanvasReport {
public:
    explicit TFilePrinter(QObject* owner = nullptr);
    ~TFilePrinter() override;

    QString FileName;
    TStreamMode StreamMode = smMemory;
    // The stream of smUser; the reader never frees it.
    QPointer<QIODevice> UserStream;

    void SetUnitsFactor(double) override {}  // report units are inches

    // Opens the input; on failure shows "Error initializing input stream"
    // with the file name and returns false.
    bool OpenInput();
    // Reads the file header and stands before the first page header.
    void ReadHeader();
    // Moves to the recorded page nearest to pageNum in its direction and
    // stands after that page's header.
    virtual void SeekPage(int pageNum);
    // SeekPage, then replays the page's commands onto Canvas().
    virtual void ShowPage(int pageNum);
    void CloseInput();
    bool InputOpen() const { return in_.IsOpen(); }

    int PageCount() const { return pageCount_; }
    double StreamPageWidth() const { return streamPageWidth_; }
    double StreamPageHeight() const { return streamPageHeight_; }
    bool HasPreviousPage() const { return previous_ > 0; }
    bool HasNextPage() const { return next_ > 0; }

    // Prints pages fromPage..toPage (0: from the first / to the last) with
    // copies copies (0: as recorded) on the printer.
    void PrintRange(int fromPage, int toPage, int copies);
    void Run() override { PrintRange(0, 0, 0); }
    void NewPage() override;

protected:
    // CurrentPage := 0, no previous page, next := the first page header.
    void RewindPages();
    // AbortReport when printing, then raise "Unexpected code found...".
    [[noreturn]] void Unexpected();
    void ReplayCommands();

private:
    void ReadPageHeader();
    void ReadPageHeaderAt(qint64 pos);
    void ReplayCommand(std::uint8_t code);
    void ReplayText(std::uint8_t code);
    void ReplayStateCode(std::uint8_t code);
    void ReplayGraphicCommand(std::uint8_t code);
    void ReplayPoly(std::uint8_t code);
    QPointF ReadPoint();
    QRect ReadPixelRect();
    std::shared_ptr<const TGraphic> ReadGraphic();
    void ReadBrushBitmap();
    int ReplayFontHeight(float inches) const;
    int ReplayPenWidth(float inches) const;

    TStreamReader in_;
    std::unique_ptr<QIODevice> ownStream_;
    int pageCount_ = 0;
    double streamPageWidth_ = 8.5, streamPageHeight_ = 11;
    qint64 previous_ = 0, next_ = 0, headerPos_ = 0, firstPagePos_ = 0;
    // The picture read last, with the bytes it was read from.
    struct {
        TGraphicKind kind = gkOther;
        QByteArray bytes;
        std::shared_ptr<const TGraphic> graphic;
    } lastGraphic_;
};
