#pragma once
// TPreviewForm: the report preview window.  A report command creates one,
// sets the recorder's title, the tables' filters and the page layout, and
// runs the recorder; the window shows a progress panel while the report is
// recorded, then the recorded pages one at a time with zoom and page
// navigation, and prints them on request.
//
// The report itself (the window's own instances of the two collection
// tables, the layouts' report context, the progress count and the page
// frame) is the window's TReportRun; the window adds the progress panel, the
// preview and printing.  The recorder's handlers forward to the run.
//
// The recorder writes the report file (ReportFile, "pkeep.rpt" in the
// current directory unless changed); right after recording, the window opens
// the recorded file and previews and prints from it, as it was then, so a
// newer report written by another window never replaces what this one shows.

#include <QFile>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>

#include "platform/widgets/frame_services.h"
#include "reports/report_run.h"

class QAbstractButton;
class QCloseEvent;
class QFrame;
class QLabel;
class QLineEdit;
class QPrintDialog;
class QProgressBar;
class QPushButton;
class QScrollArea;
class TBaseReport;
class TFilePreview;
class TFilePrinter;
class TReportFiler;

// What the print dialog offers when it opens; kept between prints.
struct TPrintDialogState {
    int Copies = 1;
    int FromPage = 1;
    int ToPage = 20;
    int MinPage = 1;
    int MaxPage = 20;
    bool PageRange = false;  // false: all pages
};

class TPreviewForm : public QWidget, public TCloseQuery {
    Q_OBJECT

public:
    // parent: the frame's workspace, or any widget (tests).
    explicit TPreviewForm(QWidget* parent = nullptr);
    ~TPreviewForm() override;

    // ---- Report file ------------------------------------------------------
    // The file the recorder writes; relative names resolve against the
    // current directory.  Setting it before the run changes all three engine
    // objects.
    QString ReportFile() const { return reportFile_; }
    void SetReportFile(const QString& fileName);

    // ---- The report: tables, report context, progress, page frame ---------
    // Its progress shows on the window's progress bar; the collection
    // window's current series is set by the highlighted-item report commands.
    TReportRun Run;

    // ---- Report components ------------------------------------------------
    std::unique_ptr<TReportFiler> RPReport;
    std::unique_ptr<TFilePreview> RPPreview;
    std::unique_ptr<TFilePrinter> RPPrinter;

    // ---- Controls (owned by the window) -----------------------------------
    QFrame* Panel1 = nullptr;  // tool bar
    QAbstractButton* SBClose = nullptr;
    QAbstractButton* SBFirst = nullptr;
    QAbstractButton* SBPrevious = nullptr;
    QAbstractButton* SBNext = nullptr;
    QAbstractButton* SBLast = nullptr;
    QAbstractButton* SBZoomIn = nullptr;
    QAbstractButton* SBZoomOut = nullptr;
    QAbstractButton* SBZoomWidth = nullptr;
    QAbstractButton* SBZoomPage = nullptr;
    QLabel* Label1 = nullptr;  // "Zoom %"
    QLineEdit* EditZoom = nullptr;
    QLabel* Label2 = nullptr;  // "Page #"
    QLineEdit* EditPage = nullptr;
    QLabel* Label3 = nullptr;  // "of"
    QLabel* LabelTotalPages = nullptr;
    QFrame* Panel2 = nullptr;
    QAbstractButton* SBPrint = nullptr;

    QScrollArea* PreviewBox = nullptr;  // page area

    QFrame* ProgressPanel = nullptr;
    QFrame* Shape1 = nullptr;  // title bar
    QLabel* Label4 = nullptr;  // "Report Progress"
    QLabel* StatusLabel = nullptr;
    QProgressBar* ProgressBar = nullptr;
    QPushButton* BtnCancel = nullptr;

    TPrintDialogState PrintDialog;
    // Runs the print dialog and tells whether the user accepted it; exec()
    // unless replaced (tests answer the dialog here).
    std::function<bool(QPrintDialog&)> ExecPrintDialog;

    // Runs the recorder (RPReport->Run) and shows the result: the preview,
    // or, after an abort or an error, a closed window.  Errors propagate to
    // the caller after the window has closed; an abort ends silently, and so
    // does a window whose tables did not open.
    // Report commands call this rather than RPReport->Run().
    void RunReport();

    // True while the recorder or the printer runs (close is refused).
    bool Busy() const;

    // True when the create step opened both tables.  When it could not, it
    // has shown why, and the window has nothing to report from: the report
    // commands close it and end there.
    bool TablesOpen() const;

    // The window's design size (604 x 345), which a frame's child window
    // takes for its client area.
    QSize sizeHint() const override;

    // ---- Event handlers ----------------------------------------------------
    void FormCreate();
    bool FormCloseQuery() override;
    void FormClose();
    void SBCloseClick();
    void SBFirstClick();
    void SBPreviousClick();
    void SBNextClick();
    void SBLastClick();
    void SBZoomInClick();
    void SBZoomOutClick();
    void SBZoomWidthClick();
    void SBZoomPageClick();
    void EditZoomChange();
    void EditPageChange();
    void RPPreviewZoomChange(TBaseReport* Sender);
    void RPPreviewPageChange(TBaseReport* Sender);
    void SBPrintClick();
    void BtnCancelClick();

    // ---- Standard page frame (page_frame.cpp): the run's, and the window's
    // caption before the first page and the hand-over to the preview after
    // the last.
    void RPStandardReportBeforePrint(TBaseReport* Sender);
    void RPStandardReportPrintHeader(TBaseReport* Sender);
    void RPStandardReportPrintFooter(TBaseReport* Sender);
    void RPStandardReportAfterPrint(TBaseReport* Sender);

    // The listing of series, the page layout the recorder starts with.
    bool RPSeriesReportPrintPage(TBaseReport* Sender, int& PageNum);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildToolBar();
    void BuildPageArea();
    void BuildProgressPanel();
    void BuildReportComponents();
    void KeepRecordedReport();
    void ClosePreviewWindow();
    void SetHourglass(bool on);

    QString reportFile_ = "pkeep.rpt";
    QFile recorded_;  // this window's own recording, open while the window lives
    bool hourglass_ = false;
    // A zoom typed in the box applies after this pause in the typing (or at
    // Enter, or when the box loses the focus), not at each keystroke.
    QTimer zoomTypingPause_;
};

// The newest preview window (null once it is gone).
extern QPointer<TPreviewForm> PreviewForm;
