#pragma once
// TRebuildForm: the modal "File Re-Build Utility" dialog.  Proceed rebuilds
// the series table and then the books table of the current directory, each
// through its own TTUtility, shows the progress of each and deletes the
// backup files the rebuild leaves.

#include <QDialog>

class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class TFrameServices;
class TTUtility;
struct TRebuildCBData;

class TRebuildForm : public QDialog {
    Q_OBJECT

public:
    // Raises EDLLLoadError when the table utility library cannot be loaded.
    explicit TRebuildForm(QWidget* owner = nullptr);
    ~TRebuildForm() override;

    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QProgressBar* ProgressSeries = nullptr;
    QLabel* LabelSeries = nullptr;
    QProgressBar* ProgressBooks = nullptr;
    QLabel* LabelBooks = nullptr;
    // The rebuilt tables' block size: "Unchanged" or a size in KiB (its
    // item data).  Larger blocks give a table room for more rows.
    QComboBox* ComboBlockSize = nullptr;
    QPushButton* BtnProceed = nullptr;
    QPushButton* BtnCancel = nullptr;
    TTUtility* TUtility = nullptr;
    TTUtility* TUtility1 = nullptr;
    // The book extras table, rebuilt after the books (on their bar and
    // label) when the collection has one.
    TTUtility* TUtilityExtras = nullptr;

    // Handlers.  BtnProceedClick lets failures reach the application's
    // top-level handler.
    void BtnProceedClick();
    void TUtilityInfoRebuild(TTUtility* Sender, const TRebuildCBData& RebuildCBRec);
    void TUtilityBooksInfoRebuild(TTUtility* Sender, const TRebuildCBData& RebuildCBRec);

    // True while Proceed's rebuild runs.
    bool Working() const { return working_; }

public slots:
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void createControls();
    void createUtilities();
    void rebuildStep(TTUtility& utility, const char* table, const char* backupBase);
    static void showProgress(QLabel& label, QProgressBar& bar, const TRebuildCBData& data);
    void finishWorking();

    bool working_ = false;
    bool closePending_ = false;
};

// Lets the frame's File, Rebuild Files open the dialog.
void installRebuild(TFrameServices& frame);
