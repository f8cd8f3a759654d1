#include "maintenance/rebuild_form.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include "maintenance/tutility.h"
#include "platform/paradox/table.h"
#include "platform/widgets/frame_services.h"
#include "store/book_extras.h"
#include "store/collection.h"

namespace {

QLabel* makeLabel(QWidget* parent, const QString& text, QRect geometry, bool wrap) {
    auto* label = new QLabel(text, parent);
    label->setGeometry(geometry);
    label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    label->setWordWrap(wrap);
    return label;
}

QProgressBar* makeBar(QWidget* parent, QRect geometry) {
    auto* bar = new QProgressBar(parent);
    bar->setGeometry(geometry);
    bar->setRange(0, 100);
    bar->setValue(0);
    bar->setTextVisible(false);
    bar->hide();
    return bar;
}

}  // namespace

TRebuildForm::TRebuildForm(QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("RebuildForm"));
    setWindowTitle(QStringLiteral("File Re-Build Utility"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(385, 234);
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(13);
    font.setBold(true);
    setFont(font);
    QPalette palette = this->palette();
    palette.setColor(QPalette::WindowText, Qt::black);
    setPalette(palette);
    createControls();
    createUtilities();
}

TRebuildForm::~TRebuildForm() = default;

void TRebuildForm::createControls() {
    Label1 =
        makeLabel(this,
                  QStringLiteral("The File Rebuild Utility will compress and re-organize the data "
                                 "files by removing any previously deleted entries."),
                  QRect(8, 8, 369, 41), true);
    Label2 =
        makeLabel(this,
                  QStringLiteral("This process can take a long time on slower computers.  DO NOT "
                                 "Re-boot while the system is processing the files."),
                  QRect(8, 48, 369, 32), true);
    ProgressSeries = makeBar(this, QRect(24, 96, 337, 17));
    LabelSeries = makeLabel(this, QStringLiteral("Rebuilding the Series Database"),
                            QRect(84, 120, 217, 16), false);
    LabelSeries->hide();
    ProgressBooks = makeBar(this, QRect(24, 144, 337, 17));
    LabelBooks = makeLabel(this, QStringLiteral("Rebuilding the Books Database"),
                           QRect(84, 168, 217, 16), false);
    LabelBooks->hide();
    auto* blockSizeLabel = new QLabel(QStringLiteral("&Blocks:"), this);
    blockSizeLabel->setGeometry(8, 204, 52, 17);
    ComboBlockSize = new QComboBox(this);
    ComboBlockSize->setObjectName(QStringLiteral("ComboBlockSize"));
    ComboBlockSize->setGeometry(60, 200, 120, 25);
    ComboBlockSize->addItem(QStringLiteral("Unchanged"), 0);
    for (int kib : paradox::kBlockSizesKiB)
        ComboBlockSize->addItem(QStringLiteral("%1 KiB").arg(kib), kib);
    blockSizeLabel->setBuddy(ComboBlockSize);
    BtnProceed = new QPushButton(QStringLiteral("&Proceed"), this);
    BtnProceed->setGeometry(208, 200, 75, 25);
    BtnCancel = new QPushButton(QStringLiteral("&Cancel"), this);
    BtnCancel->setGeometry(296, 200, 75, 25);
    BtnCancel->setDefault(true);
    setTabOrder(ComboBlockSize, BtnProceed);
    setTabOrder(BtnProceed, BtnCancel);
    connect(BtnProceed, &QPushButton::clicked, this, [this] { BtnProceedClick(); });
    connect(BtnCancel, &QPushButton::clicked, this, [this] { reject(); });
}

void TRebuildForm::createUtilities() {
    TUtility = new TTUtility(this);
    TUtility1 = new TTUtility(this);
    TUtilityExtras = new TTUtility(this);
    for (TTUtility* utility : {TUtility, TUtility1, TUtilityExtras}) {
        utility->CBActive = true;
        utility->SettErrTableName(QStringLiteral("__TUERR.DB"));
        utility->SettKeyVTableName(QStringLiteral("KEYVIOL.DB"));
        utility->SettProbTableName(QStringLiteral("PROBLEMS.DB"));
        utility->Loaded();
    }
    // A table whose field descriptor is damaged is rebuilt from the
    // structure the collection's tables always have.
    TUtility->SetKnownStructure(store::SeriesSchema());
    TUtility1->SetKnownStructure(store::BooksSchema());
    TUtilityExtras->SetKnownStructure(store::ExtrasSchema());
    TUtility->OnInfoRebuild = [this](TTUtility* sender, const TRebuildCBData& data) {
        TUtilityInfoRebuild(sender, data);
    };
    for (TTUtility* books : {TUtility1, TUtilityExtras})
        books->OnInfoRebuild = [this](TTUtility* sender, const TRebuildCBData& data) {
            TUtilityBooksInfoRebuild(sender, data);
        };
}

void TRebuildForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    BtnCancel->setFocus();
}

void TRebuildForm::BtnProceedClick() {
    struct Working {
        TRebuildForm& form;
        explicit Working(TRebuildForm& f) : form(f) { form.working_ = true; }
        ~Working() { form.finishWorking(); }
    } working(*this);

    BtnProceed->setEnabled(false);
    BtnCancel->setEnabled(false);
    ComboBlockSize->setEnabled(false);
    for (TTUtility* utility : {TUtility, TUtility1, TUtilityExtras})
        utility->BlockSizeKiB = ComboBlockSize->currentData().toInt();
    ProgressSeries->show();
    LabelSeries->show();
    rebuildStep(*TUtility, "series.db", "series__");
    LabelSeries->setText(QStringLiteral("Series Rebuild Complete"));
    ProgressBooks->show();
    LabelBooks->show();
    QCoreApplication::processEvents();
    rebuildStep(*TUtility1, "books.db", "books__");
    if (paradox::Table::exists(store::kExtrasTable)) {
        LabelBooks->setText(QStringLiteral("Rebuilding the Book Extras"));
        ProgressBooks->setValue(0);
        QCoreApplication::processEvents();
        rebuildStep(*TUtilityExtras, store::kExtrasTable, "extras__");
    }
    LabelBooks->setText(QStringLiteral("Books Rebuild Complete"));
    BtnCancel->setText(QStringLiteral("&Close"));
    BtnCancel->setEnabled(true);
}

// Rebuilds one table and deletes its backup files (a missing one is passed
// over).  A failure leaves the backup in place.
void TRebuildForm::rebuildStep(TTUtility& utility, const char* table, const char* backupBase) {
    utility.SetTableName(QString::fromLatin1(table));
    utility.RebuildTable(utility.GetTableDesc());
    for (const char* ext : {".DB", ".MB", ".PX"})
        QFile::remove(QString::fromLatin1(backupBase) + QLatin1String(ext));
}

void TRebuildForm::showProgress(QLabel& label, QProgressBar& bar, const TRebuildCBData& data) {
    if (!data.MessageText.isEmpty()) {
        label.setText(data.MessageText);
        label.repaint();
    } else {
        bar.setValue(data.PercentDone);
    }
    QCoreApplication::processEvents();
}

void TRebuildForm::TUtilityInfoRebuild(TTUtility*, const TRebuildCBData& RebuildCBRec) {
    showProgress(*LabelSeries, *ProgressSeries, RebuildCBRec);
}

void TRebuildForm::TUtilityBooksInfoRebuild(TTUtility*, const TRebuildCBData& RebuildCBRec) {
    showProgress(*LabelBooks, *ProgressBooks, RebuildCBRec);
}

// A close request made while the rebuild runs waits for it to finish.
void TRebuildForm::reject() {
    if (working_) {
        closePending_ = true;
        return;
    }
    QDialog::reject();
}

void TRebuildForm::closeEvent(QCloseEvent* event) {
    if (working_) {
        closePending_ = true;
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void TRebuildForm::finishWorking() {
    working_ = false;
    if (closePending_) {
        closePending_ = false;
        QTimer::singleShot(0, this, [this] { reject(); });
    }
}

void installRebuild(TFrameServices& frame) {
    frame.PlugRebuildWindow([&frame]() -> std::unique_ptr<QDialog> {
        return std::make_unique<TRebuildForm>(&frame.Window());
    });
}
