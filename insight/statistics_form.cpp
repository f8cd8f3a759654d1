#include "insight/statistics_form.h"

#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "insight/statistics_charts.h"
#include "platform/base/exception.h"
#include "platform/graphics/canvas.h"
#include "platform/graphics/printers.h"
#include "platform/widgets/cursor_guard.h"
#include "platform/widgets/hints.h"

namespace {

// A chart saved as a picture is at least this large, whatever the window's size.
constexpr QSize kPictureSize(1200, 800);

QString SuggestedName(int index) {
    return insight::ChartTitle(index).toLower().replace(' ', '-') + QStringLiteral(".png");
}

}  // namespace

TStatisticsForm::TStatisticsForm(QString directory, QWidget* parent)
    : QWidget(parent), directory_(std::move(directory)) {
    setObjectName(QStringLiteral("StatisticsForm"));
    setWindowTitle(QStringLiteral("Statistics"));
    AskSaveFile = [this](const QString& suggested) {
        return QFileDialog::getSaveFileName(this, QStringLiteral("Save Chart"), suggested,
                                            QStringLiteral("PNG picture (*.png);;PDF (*.pdf)"));
    };
    ExecPrintDialog = [](QPrintDialog& dialog) { return dialog.exec() == QDialog::Accepted; };
    BuildLayout();
    SetBusy(false);
}

// As a child of the frame it fills the frame's client area at its design
// size, so that the charts are tall enough to read.
QSize TStatisticsForm::sizeHint() const { return {620, 370}; }

TStatisticsForm::~TStatisticsForm() = default;

void TStatisticsForm::BuildLayout() {
    Totals = new QLabel(this);
    Note = new QLabel(insight::DifferenceFromSummary(), this);
    Note->setWordWrap(true);
    Charts = new QTabWidget(this);
    for (int i = 0; i < insight::kChartCount; ++i) {
        auto* view = new QChartView(Charts);
        view->setRenderHint(QPainter::Antialiasing);
        views_.push_back(view);
        Charts->addTab(view, insight::ChartTitle(i));
    }
    ProgressBar = new QProgressBar(this);
    CancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    RecalculateButton = new QPushButton(QStringLiteral("&Recalculate"), this);
    SaveButton = new QPushButton(QStringLiteral("&Save Chart..."), this);
    PrintButton = new QPushButton(QStringLiteral("&Print Chart..."), this);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(ProgressBar, 1);
    buttons->addWidget(CancelButton);
    buttons->addStretch();
    for (QPushButton* button : {RecalculateButton, SaveButton, PrintButton})
        buttons->addWidget(button);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Totals);
    layout->addWidget(Charts, 1);
    layout->addWidget(Note);
    layout->addLayout(buttons);

    connect(CancelButton, &QPushButton::clicked, this, &TStatisticsForm::CancelClick);
    connect(RecalculateButton, &QPushButton::clicked, this, [this] { Calculate(); });
    connect(SaveButton, &QPushButton::clicked, this, &TStatisticsForm::SaveClick);
    connect(PrintButton, &QPushButton::clicked, this, &TStatisticsForm::PrintClick);
}

QChartView* TStatisticsForm::ChartView(int index) const {
    return views_.at(static_cast<std::size_t>(index));
}

void TStatisticsForm::SetBusy(bool busy) {
    ProgressBar->setVisible(busy);
    CancelButton->setVisible(busy);
    RecalculateButton->setEnabled(!busy);
    SaveButton->setEnabled(!busy && figures_.has_value());
    PrintButton->setEnabled(!busy && figures_.has_value());
}

bool TStatisticsForm::ShowProgress(std::size_t done, std::size_t total) {
    ProgressBar->setMaximum(static_cast<int>(std::max<std::size_t>(total, 1)));
    ProgressBar->setValue(static_cast<int>(done));
    QApplication::processEvents();  // paints the bar and lets Cancel be pressed
    return !cancelRequested_;
}

bool TStatisticsForm::Calculate() {
    figures_.reset();
    cancelRequested_ = false;
    Totals->setText(QStringLiteral("Counting the collection..."));
    SetBusy(true);
    struct NotBusyWhenDone {
        TStatisticsForm& form;
        ~NotBusyWhenDone() { form.SetBusy(false); }
    } notBusy{*this};
    TCursorGuard hourglass;
    try {
        figures_ = insight::ComputeStatistics(
            directory_,
            [this](std::size_t done, std::size_t total) { return ShowProgress(done, total); });
    } catch (const std::exception& e) {
        Totals->setText(QStringLiteral("No figures: %1").arg(QString::fromUtf8(e.what())));
        throw;  // the program's error handler shows the reason
    }
    ShowFigures();
    return figures_.has_value();
}

void TStatisticsForm::CancelClick() { cancelRequested_ = true; }

void TStatisticsForm::closeEvent(QCloseEvent* event) {
    cancelRequested_ = true;  // a pass still running stops at its next step
    QWidget::closeEvent(event);
}

void TStatisticsForm::ShowFigures() {
    if (!figures_) {
        Totals->setText(QStringLiteral("Cancelled: no figures were computed."));
        for (QChartView* view : views_) view->setChart(new QChart);
        return;
    }
    Totals->setText(
        QStringLiteral("%1 books owned (%2 book records), graded value %3, paid %4")
            .arg(figures_->books)
            .arg(figures_->bookRecords)
            .arg(insight::MoneyText(figures_->value), insight::MoneyText(figures_->paid)));
    for (int i = 0; i < insight::kChartCount; ++i) {
        QChart* old = views_[i]->chart();
        views_[i]->setChart(insight::BuildChart(i, *figures_));
        delete old;  // the view gives up its chart without deleting it
    }
}

// The chart laid out anew at the target's size in screen pixels, then drawn
// scaled to the device's resolution: a page or a picture gets its own layout
// rather than a stretched copy of the window's, with text of a readable size.
void TStatisticsForm::PaintChart(int index, QPainter& painter, const QRectF& target) {
    constexpr double kScreenDpi = 96.0;
    QChart* chart = ChartView(index)->chart();
    const QSizeF shown = chart->size();
    const QSizeF layout = target.size() * (kScreenDpi / painter.device()->logicalDpiX());
    chart->resize(layout);
    QApplication::sendPostedEvents(chart);  // lets the chart's layout follow
    chart->scene()->render(&painter, target, QRectF(chart->pos(), layout));
    chart->resize(shown);
}

void TStatisticsForm::SaveChart(int index, const QString& path) {
    const bool pdf =
        QFileInfo(path).suffix().compare(QStringLiteral("pdf"), Qt::CaseInsensitive) == 0;
    bool written = false;
    if (pdf) {
        QPdfWriter writer(path);
        writer.setTitle(insight::ChartTitle(index));
        writer.setPageOrientation(QPageLayout::Landscape);
        QPainter painter;
        if (painter.begin(&writer)) {
            PaintChart(index, painter,
                       QRectF(QPointF(0, 0), QSizeF(writer.width(), writer.height())));
            written = painter.end();
        }
    } else {
        const QSize size = ChartView(index)->size().expandedTo(kPictureSize);
        QImage picture(size, QImage::Format_ARGB32);
        picture.fill(Qt::white);
        {
            QPainter painter(&picture);
            painter.setRenderHint(QPainter::Antialiasing);
            PaintChart(index, painter, QRectF(QPointF(0, 0), QSizeF(size)));
        }
        written = picture.save(path, "PNG");
    }
    if (!written)
        throw Exception(
            QStringLiteral("Unable to write the chart to \"%1\".").arg(path).toStdString());
}

void TStatisticsForm::PrintChart(int index) {
    TPrinterListHold oneListPerJob;
    QPrinter* printer = Printer().QtPrinter();
    if (!printer) throw Exception("No printer is installed; save the chart as PDF instead.");
    QPrintDialog dialog(printer, this);
    if (!ExecPrintDialog(dialog)) return;
    TCursorGuard hourglass;
    Printer().SetTitle(insight::ChartTitle(index));
    if (!Printer().BeginDoc()) throw Exception(Printer().LastError().toStdString());
    const QRectF page = printer->pageLayout().paintRectPixels(printer->resolution());
    PaintChart(index, *Printer().Canvas()->Painter(), QRectF(QPointF(0, 0), page.size()));
    if (!Printer().EndDoc()) throw Exception(Printer().LastError().toStdString());
}

void TStatisticsForm::SaveClick() {
    const int index = Charts->currentIndex();
    const QString path = AskSaveFile(SuggestedName(index));
    if (!path.isEmpty()) SaveChart(index, path);
}

void TStatisticsForm::PrintClick() { PrintChart(Charts->currentIndex()); }

void InstallStatisticsCommand(QMenu& reportsMenu, std::function<void(QWidget*)> addChild,
                              std::function<QString()> directory) {
    reportsMenu.addSeparator();
    QAction* action = reportsMenu.addAction(QStringLiteral("S&tatistics..."));
    action->setObjectName(QStringLiteral("StatisticsItem"));
    SetHint(action, QStringLiteral("Charts of what the collection is worth"));
    QObject::connect(action, &QAction::triggered, &reportsMenu,
                     [addChild = std::move(addChild), directory = std::move(directory)] {
                         auto* form = new TStatisticsForm(directory());
                         addChild(form);  // the frame's child window owns it from here
                         form->Calculate();
                     });
}
