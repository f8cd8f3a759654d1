// The preview window: its controls, its tables and report components, and
// its life from creation to close.
#include "reports/preview_form.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPainter>
#include <QPrintDialog>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QScrollArea>
#include <QStyle>
#include <QVBoxLayout>

#include "platform/db/table.h"
#include "platform/system/beep.h"
#include "platform/widgets/application.h"
#include "platform/widgets/dialogs.h"
#include "platform/widgets/hints.h"
#include "platform/widgets/speed_button.h"
#include "reportengine/file_preview.h"
#include "reportengine/report_filer.h"
#include "reports/report_recorder.h"

QPointer<TPreviewForm> PreviewForm;

namespace {

constexpr int kToolBarHeight = 33;
constexpr QSize kDesignSize(604, 345);
constexpr int kZoomTypingPauseMs = 800;
constexpr int kButtonTop = 4;
const QColor kWorkspaceColour(128, 128, 128);

// A glyph drawn from a short text, for buttons without a standard icon.
QPixmap TextGlyph(const QString& text) {
    QPixmap glyph(19, 19);
    glyph.fill(Qt::transparent);
    QPainter painter(&glyph);
    QFont font("Arial");
    font.setPixelSize(15);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(glyph.rect(), Qt::AlignCenter, text);
    return glyph;
}

QPixmap StandardGlyph(QStyle::StandardPixmap which) {
    return QApplication::style()->standardIcon(which).pixmap(19, 19);
}

TSpeedButton* MakeSpeedButton(QWidget* parent, int x, const QString& hint, const QPixmap& glyph) {
    auto* button = new TSpeedButton(parent);
    button->move(x, kButtonTop);
    button->SetGlyph(glyph, TSpeedButton::DisabledImage(glyph));
    SetHint(button, hint);
    return button;
}

QLabel* MakeLabel(QWidget* parent, int x, const QString& text) {
    auto* label = new QLabel(text, parent);
    label->move(x, 10);
    label->adjustSize();
    return label;
}

// A box of up to three digits (blanks allowed, as in a "999" mask).
QLineEdit* MakeNumberBox(QWidget* parent, int x) {
    auto* box = new QLineEdit(parent);
    box->setGeometry(x, 6, 40, 21);
    box->setMaxLength(3);
    box->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9 ]{0,3}"), box));
    return box;
}

// The window's report engines show their own errors through the program's
// message boxes.
template <typename Engine>
class WindowEngine : public Engine {
public:
    using Engine::Engine;

protected:
    void ShowError(const QString& message) override {
        MessageDlg(message, TMsgDlgType::mtError, mbOK);
    }
};

QFont ArialPixels(int pixels, bool bold) {
    QFont font("Arial");
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

}  // namespace

TPreviewForm::TPreviewForm(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle("ReportPreview");
    resize(kDesignSize);
    setFont(ArialPixels(12, false));

    BuildToolBar();
    BuildPageArea();
    BuildProgressPanel();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(Panel1);
    layout->addWidget(PreviewBox, 1);

    BuildReportComponents();
    ExecPrintDialog = [](QPrintDialog& dialog) { return dialog.exec() == QDialog::Accepted; };
    Run.Report.showProgress = [this](int perCent) { ProgressBar->setValue(perCent); };
    // A failure while opening the tables is shown, and the window is still
    // created, as for any window's create handler.
    try {
        FormCreate();
    } catch (const std::exception& error) {
        TApplication::ShowException(error);
    }
}

TPreviewForm::~TPreviewForm() {
    if (RPPreview && RPPreview->Printing()) RPPreview->EndPreview();
    SetHourglass(false);
}

void TPreviewForm::SetReportFile(const QString& fileName) {
    reportFile_ = fileName;
    RPReport->FileName = fileName;
    RPPreview->FileName = fileName;
    RPPrinter->FileName = fileName;
}

// ---- controls --------------------------------------------------------------

void TPreviewForm::BuildToolBar() {
    Panel1 = new QFrame(this);
    Panel1->setFixedHeight(kToolBarHeight);
    Panel1->setFrameShape(QFrame::Panel);
    Panel1->setFrameShadow(QFrame::Raised);
    auto* left = new QWidget(Panel1);
    left->setMinimumWidth(520);  // room for a page count of five digits

    SBClose = MakeSpeedButton(left, 8, "Close Report Preview|",
                              StandardGlyph(QStyle::SP_DialogCloseButton));
    SBFirst = MakeSpeedButton(left, 48, "First Page|", StandardGlyph(QStyle::SP_MediaSkipBackward));
    SBPrevious =
        MakeSpeedButton(left, 73, "Previous Page|", StandardGlyph(QStyle::SP_MediaSeekBackward));
    SBNext = MakeSpeedButton(left, 98, "Next Page|", StandardGlyph(QStyle::SP_MediaSeekForward));
    SBLast = MakeSpeedButton(left, 123, "Last Page|", StandardGlyph(QStyle::SP_MediaSkipForward));
    SBZoomIn = MakeSpeedButton(left, 160, "Zoom In|", TextGlyph("+"));
    SBZoomOut = MakeSpeedButton(left, 185, "Zoom Out|", TextGlyph("-"));
    SBZoomWidth = MakeSpeedButton(left, 224, "View Page Width|", TextGlyph("W"));
    SBZoomPage = MakeSpeedButton(left, 249, "View Entire Page|", TextGlyph("P"));

    Label1 = MakeLabel(left, 280, "Zoom %");
    EditZoom = MakeNumberBox(left, 328);
    Label2 = MakeLabel(left, 374, "Page #");
    EditPage = MakeNumberBox(left, 416);
    Label3 = MakeLabel(left, 464, "of");
    LabelTotalPages = MakeLabel(left, 480, "1");

    Panel2 = new QFrame(Panel1);
    Panel2->setFixedWidth(56);
    SBPrint = MakeSpeedButton(Panel2, 16, "Print Report|", PrinterGlyph());

    auto* row = new QHBoxLayout(Panel1);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    row->addWidget(left);
    row->addStretch(1);
    row->addWidget(Panel2);

    connect(SBClose, &QAbstractButton::clicked, this, [this] { SBCloseClick(); });
    connect(SBFirst, &QAbstractButton::clicked, this, [this] { SBFirstClick(); });
    connect(SBPrevious, &QAbstractButton::clicked, this, [this] { SBPreviousClick(); });
    connect(SBNext, &QAbstractButton::clicked, this, [this] { SBNextClick(); });
    connect(SBLast, &QAbstractButton::clicked, this, [this] { SBLastClick(); });
    connect(SBZoomIn, &QAbstractButton::clicked, this, [this] { SBZoomInClick(); });
    connect(SBZoomOut, &QAbstractButton::clicked, this, [this] { SBZoomOutClick(); });
    connect(SBZoomWidth, &QAbstractButton::clicked, this, [this] { SBZoomWidthClick(); });
    connect(SBZoomPage, &QAbstractButton::clicked, this, [this] { SBZoomPageClick(); });
    connect(SBPrint, &QAbstractButton::clicked, this, [this] { SBPrintClick(); });
    zoomTypingPause_.setSingleShot(true);
    zoomTypingPause_.setInterval(kZoomTypingPauseMs);
    connect(&zoomTypingPause_, &QTimer::timeout, this, [this] { EditZoomChange(); });
    connect(EditZoom, &QLineEdit::textEdited, &zoomTypingPause_, qOverload<>(&QTimer::start));
    connect(EditZoom, &QLineEdit::editingFinished, this, [this] {
        if (zoomTypingPause_.isActive()) EditZoomChange();
    });
    connect(EditPage, &QLineEdit::textChanged, this, [this] { EditPageChange(); });
}

void TPreviewForm::BuildPageArea() {
    PreviewBox = new QScrollArea(this);
    PreviewBox->setWidgetResizable(false);
    PreviewBox->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QPalette palette = PreviewBox->palette();
    palette.setColor(QPalette::Window, kWorkspaceColour);
    PreviewBox->setPalette(palette);
    PreviewBox->setBackgroundRole(QPalette::Window);
    PreviewBox->viewport()->setBackgroundRole(QPalette::Window);
    PreviewBox->viewport()->setAutoFillBackground(true);
}

void TPreviewForm::BuildProgressPanel() {
    // Over the page area, not scrolled with the page.
    ProgressPanel = new QFrame(PreviewBox->viewport());
    ProgressPanel->setGeometry(147, 72, 273, 113);
    ProgressPanel->setFrameShape(QFrame::Panel);
    ProgressPanel->setFrameShadow(QFrame::Raised);
    ProgressPanel->setAutoFillBackground(true);
    QPalette panelPalette = ProgressPanel->palette();
    panelPalette.setColor(QPalette::Window, QColor(192, 192, 192));
    ProgressPanel->setPalette(panelPalette);

    Shape1 = new QFrame(ProgressPanel);
    Shape1->setGeometry(3, 3, 267, 20);
    Shape1->setStyleSheet("background-color: navy;");
    Label4 = new QLabel("Report Progress", ProgressPanel);
    Label4->setGeometry(3, 3, 267, 20);
    Label4->setAlignment(Qt::AlignCenter);
    Label4->setFont(ArialPixels(13, true));
    Label4->setStyleSheet("color: white; background: transparent;");

    StatusLabel = new QLabel(ProgressPanel);
    StatusLabel->setGeometry(8, 32, 257, 18);
    StatusLabel->setAlignment(Qt::AlignCenter);
    StatusLabel->setFont(ArialPixels(13, true));

    ProgressBar = new QProgressBar(ProgressPanel);
    ProgressBar->setGeometry(10, 56, 252, 17);
    ProgressBar->setRange(0, 100);
    ProgressBar->setValue(0);
    ProgressBar->setTextVisible(false);

    BtnCancel = new QPushButton("&Cancel", ProgressPanel);
    BtnCancel->setGeometry(99, 80, 75, 25);
    SetHint(BtnCancel, "Cancel Report|");
    connect(BtnCancel, &QPushButton::clicked, this, [this] { BtnCancelClick(); });
    ProgressPanel->raise();
    ProgressPanel->show();
}

// ---- tables and report components ----------------------------------------------

void TPreviewForm::BuildReportComponents() {
    RPReport = std::make_unique<WindowEngine<TReportRecorder>>();
    Run.Attach(*RPReport);
    RPReport->StatusLabel = StatusLabel;
    RPReport->StatusFormat = "Preparing Preview Page %p";
    // The run has hooked in its page frame and listing; the window adds its
    // caption before the first page and the preview after the last.
    RPReport->OnBeforePrint = [this](TBaseReport* s) { RPStandardReportBeforePrint(s); };
    RPReport->OnAfterPrint = [this](TBaseReport* s) { RPStandardReportAfterPrint(s); };

    RPPreview = std::make_unique<WindowEngine<TFilePreview>>(this);
    RPPreview->ScrollBox = PreviewBox;
    RPPreview->SetZoomFactor(69.0);
    RPPreview->MarginPercent = 1.0;
    RPPreview->OnZoomChange = [this](TBaseReport* s) { RPPreviewZoomChange(s); };
    RPPreview->OnPageChange = [this](TBaseReport* s) { RPPreviewPageChange(s); };

    RPPrinter = std::make_unique<WindowEngine<TFilePrinter>>(this);
    SetReportFile(reportFile_);
}

// ---- life cycle ------------------------------------------------------------------

void TPreviewForm::FormCreate() {
    Run.ProgressCount = 0;
    Run.Report.seriesContinued = false;
    Run.Report.seriesListed = false;
    Run.BooksDriven = false;
    SetHourglass(true);
    Run.OpenTables();
}

void TPreviewForm::SetHourglass(bool on) {
    if (on == hourglass_) return;
    hourglass_ = on;
    if (on) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QApplication::restoreOverrideCursor();
    }
}

QSize TPreviewForm::sizeHint() const { return kDesignSize; }

bool TPreviewForm::Busy() const { return RPReport->Printing() || RPPrinter->Printing(); }

bool TPreviewForm::TablesOpen() const { return Run.TablesOpen(); }

bool TPreviewForm::FormCloseQuery() {
    if (Busy()) {
        MessageBeep(TBeepType::Default);
        MessageDlg("Please Cancel Printing Before Closing !", TMsgDlgType::mtInformation, mbOK);
        return false;
    }
    if (RPPreview->Printing()) RPPreview->EndPreview();
    return true;
}

void TPreviewForm::FormClose() {
    Run.TableSeries->Close();
    // Freed by Qt: the window is deleted on close.
}

void TPreviewForm::closeEvent(QCloseEvent* event) {
    if (!FormCloseQuery()) {
        event->ignore();
        return;
    }
    FormClose();
    event->accept();
}

void TPreviewForm::ClosePreviewWindow() {
    if (auto* child = qobject_cast<QMdiSubWindow*>(parentWidget())) {
        child->close();
    } else {
        close();
    }
}

// The recording just written becomes this window's own: the preview and the
// printer read the copy, whatever other windows write to the report file
// afterwards.
// The window holds the file open rather than its bytes in memory: a newer
// recording replaces the report file by renaming a new file over it, so
// what this window opened stays as it was recorded until the window closes
// (and the system frees it then, when no other name is left on it).
void TPreviewForm::KeepRecordedReport() {
    recorded_.close();
    recorded_.setFileName(reportFile_);
    // Unbuffered: the readers keep their own window of the bytes.
    if (!recorded_.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return;  // the preview reports the missing file
    // Both readers seek before every read, so they can share the one file.
    RPPreview->StreamMode = smUser;
    RPPreview->UserStream = &recorded_;
    RPPrinter->StreamMode = smUser;
    RPPrinter->UserStream = &recorded_;
}
