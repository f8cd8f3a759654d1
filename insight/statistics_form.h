#pragma once
// TStatisticsForm: the Statistics window.  It computes the collection's
// figures (statistics.h) with a progress bar and Cancel, then shows them as
// five charts, one per tab, each of which can be saved as PNG or PDF and
// printed on the program's printer.  A note says why its totals differ from
// the Profit/Investment Summary report's.

#include <QString>
#include <QWidget>
#include <functional>
#include <optional>
#include <vector>

#include "insight/statistics.h"

class QLabel;
class QMenu;
class QPainter;
class QPrintDialog;
class QProgressBar;
class QPushButton;
class QRectF;
class QTabWidget;

class QChartView;

class TStatisticsForm : public QWidget {
    Q_OBJECT

public:
    // The figures of the collection in `directory`.
    explicit TStatisticsForm(QString directory, QWidget* parent = nullptr);
    ~TStatisticsForm() override;
    QSize sizeHint() const override;

    // Runs the pass with the progress bar and Cancel showing, then draws the
    // charts.  False when Cancel stopped it (the charts stay empty); a
    // missing or damaged table raises.
    bool Calculate();
    const std::optional<insight::CollectionStatistics>& Figures() const { return figures_; }

    // The chart on tab `index` as a PNG picture or a one-page PDF, by the
    // file's suffix; raises when it cannot be written.
    void SaveChart(int index, const QString& path);
    // The chart on tab `index` on one page of the program's printer, after
    // the print dialog.
    void PrintChart(int index);

    void CancelClick();
    void SaveClick();
    void PrintClick();

    // Asked for the file to save to ("" when the user gave none) and to run
    // the print dialog; tests answer in their place.
    std::function<QString(const QString& suggested)> AskSaveFile;
    std::function<bool(QPrintDialog&)> ExecPrintDialog;

    QLabel* Totals = nullptr;
    QLabel* Note = nullptr;
    QTabWidget* Charts = nullptr;
    QProgressBar* ProgressBar = nullptr;
    QPushButton* CancelButton = nullptr;
    QPushButton* RecalculateButton = nullptr;
    QPushButton* SaveButton = nullptr;
    QPushButton* PrintButton = nullptr;

    QChartView* ChartView(int index) const;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildLayout();
    bool ShowProgress(std::size_t done, std::size_t total);
    void SetBusy(bool busy);
    void ShowFigures();
    void PaintChart(int index, QPainter& painter, const QRectF& target);

    QString directory_;
    std::optional<insight::CollectionStatistics> figures_;
    std::vector<QChartView*> views_;
    bool cancelRequested_ = false;
};

// Adds "Statistics..." to the Reports menu; each use opens a new Statistics
// window on the collection in directory(), put in place by addChild.
void InstallStatisticsCommand(QMenu& reportsMenu, std::function<void(QWidget*)> addChild,
                              std::function<QString()> directory);
