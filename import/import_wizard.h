#pragma once
// TImportWizard: the File, Import... window.  It leads through the import of
// another program's file in four steps:
//   1. the file (or folder of comic files) and its format, detected from
//      its content and changeable;
//   2. for a CSV file only, the column of each of our fields, guessed from
//      the header row, changeable, saved to and loaded from a map file, with
//      the first rows shown as they will be stored;
//   3. the dry run: what would be added, merged and refused, the values that
//      cannot be stored as they are, and the choice to store them shortened
//      or to leave their rows out;
//   4. the import itself, with a progress bar whose Cancel leaves the
//      collection as it was, and the result.
// installImport adds the command to the frame's File menu.

#include <QWizard>
#include <memory>
#include <optional>

#include "import/column_map.h"
#include "import/commit.h"
#include "import/format.h"
#include "import/plan.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTableWidget;
class QWizardPage;
class TFrameServices;

class TImportWizard : public QWizard {
    Q_OBJECT

public:
    enum PageId { FilePage, ColumnsPage, ReportPage, ImportPage };

    // Imports into the collection in `collection`; `frame`, when given,
    // closes the collection window while the tables change.
    TImportWizard(QString collection, TFrameServices* frame, QWidget* owner = nullptr);
    ~TImportWizard() override;

    // 1. the file
    QLineEdit* EditPath = nullptr;
    QPushButton* BtnBrowseFile = nullptr;
    QPushButton* BtnBrowseFolder = nullptr;
    QComboBox* ComboFormat = nullptr;
    QLabel* LabelDetected = nullptr;
    // 2. the columns (CSV)
    QLabel* LabelLayout = nullptr;
    QTableWidget* GridColumns = nullptr;  // our field | a combo box of the file's columns
    QPushButton* BtnSaveMap = nullptr;
    QPushButton* BtnLoadMap = nullptr;
    QTableWidget* GridPreview = nullptr;  // the first rows as they will be stored
    // 3. the dry run
    QProgressBar* ReadProgress = nullptr;
    QLabel* LabelCounts = nullptr;
    QTableWidget* GridProblems = nullptr;
    QRadioButton* RadioTakeShortened = nullptr;
    QRadioButton* RadioLeaveOut = nullptr;
    // 4. the import
    QProgressBar* ImportProgress = nullptr;
    QLabel* LabelResult = nullptr;

    // The format chosen on the first page.
    std::optional<import::Format> ChosenFormat() const;
    // The CSV column map as the second page shows it.
    const import::ColumnMap& Columns() const { return columns_; }
    // Shows `columns` on the second page (what Load Map does after reading).
    void SetColumns(const import::ColumnMap& columns);
    // True while a dry run or the import runs.
    bool Busy() const { return busy_; }
    // The import's outcome, once it was stored.
    const std::optional<import::CommitResult>& Result() const { return result_; }

    int nextId() const override;
    // While a step runs, Cancel (and Esc, and the close box) stops the step
    // instead of closing the window.
    void reject() override;

protected:
    void initializePage(int id) override;

private:
    QWizardPage* buildFilePage();
    QWizardPage* buildColumnsPage();
    QWizardPage* buildReportPage();
    QWizardPage* buildImportPage();

    void PathChanged();
    void BrowseFile();
    void BrowseFolder();
    void SniffColumns();
    void ColumnChosen();
    void ShowPreview();
    void SaveMap();
    void LoadMap();
    void RunDryRun();
    void ShowPlan();
    void RunImport();
    void StoreThePlan();
    // A step's progress: shown on `bar`, with the events handled so that
    // Cancel is heard; false once Cancel was pressed.
    bool Advance(QProgressBar& bar, qint64 done, qint64 total);
    void SetBusy(bool busy);
    void PageChanged(int id);

    QString collection_;
    TFrameServices* frame_;
    QStringList header_;                  // the CSV header row
    std::vector<QStringList> firstRows_;  // and the rows after it
    import::ColumnMap columns_;
    std::unique_ptr<import::ImportPlan> plan_;
    std::optional<import::CommitResult> result_;
    bool busy_ = false;
    bool cancelRequested_ = false;
    bool imported_ = false;  // the import step ran (stored, cancelled or failed)
};

void installImport(TFrameServices& frame);
