#include "import/import_wizard.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <QWizardPage>

#include "import/import_error.h"
#include "import/mapping.h"
#include "import/readers.h"
#include "platform/widgets/cursor_guard.h"
#include "platform/widgets/dialogs.h"
#include "platform/widgets/frame_services.h"
#include "platform/widgets/hints.h"
#include "store/collection.h"

namespace {

const QString kCaption = QStringLiteral("Import");
const QString kNotUsed = QStringLiteral("(not used)");
constexpr int kProgressSteps = 1000;

// A page whose Next button waits for a condition the wizard decides.
class TStep : public QWizardPage {
public:
    std::function<bool()> complete;
    bool isComplete() const override { return complete ? complete() : true; }
    void Recheck() { emit completeChanged(); }
};

TStep* Step(QWizard& wizard, int id) { return static_cast<TStep*>(wizard.page(id)); }

void ShowError(const QString& text) {
    TMessageRequest request;
    request.caption = kCaption;
    request.text = text;
    request.type = TMsgDlgType::mtError;
    ShowMessageBox(request);
}

QTableWidget* NewGrid(const QStringList& headings, const char* name) {
    auto* grid = new QTableWidget(0, static_cast<int>(headings.size()));
    grid->setObjectName(QLatin1String(name));
    grid->setHorizontalHeaderLabels(headings);
    grid->verticalHeader()->hide();
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->horizontalHeader()->setStretchLastSection(true);
    return grid;
}

// The whole text is in the cell's tip: a narrow column cuts long values short.
void SetCell(QTableWidget& grid, int row, int column, const QString& text) {
    auto* item = new QTableWidgetItem(text);
    item->setToolTip(text);
    grid.setItem(row, column, item);
}

// A stored value as the collection window shows it.
QString Shown(const paradox::Value& value) {
    if (value.isText()) return QString::fromStdString(value.asText());
    if (value.isInt()) return QString::number(value.asInt());
    if (value.isDouble()) return QString::number(value.asDouble(), 'f', 2);
    if (value.isBool()) return value.asBool() ? QStringLiteral("yes") : QString();
    return {};
}

// What a row of the preview says beyond its values: why it cannot be
// stored, or which of its values are changed to fit.
QString PreviewRemark(const import::MappedBook& book) {
    if (!book.refusal.isEmpty()) return QStringLiteral("left out: ") + book.refusal;
    QStringList remarks;
    for (const import::Problem& p : book.problems)
        remarks << QStringLiteral("%1 %2: \"%3\"").arg(p.field, p.reason, p.becomes);
    return remarks.join(QStringLiteral("; "));
}

// The dry run's counts in a sentence.
QString CountsText(const import::ImportPlan& plan) {
    const import::PlanCounts c = plan.Counts();
    QString text = QStringLiteral("Read %1 books from %2").arg(c.read).arg(plan.source());
    if (c.duplicates > 0)
        text += QStringLiteral(" (%1 listed more than once: their quantities are added)")
                    .arg(c.duplicates);
    return text + QStringLiteral(
                      ".\n%1 series and %2 books to add, %3 books to merge into those stored, "
                      "%4 books stored already, %5 refused.")
                      .arg(c.seriesAdded)
                      .arg(c.booksAdded)
                      .arg(c.booksMerged)
                      .arg(c.booksUnchanged)
                      .arg(c.refused);
}

QString ResultText(const import::CommitResult& r) {
    return QStringLiteral(
               "Imported: %1 series and %2 books added, %3 books merged into those "
               "stored.")
        .arg(r.seriesAdded)
        .arg(r.booksAdded)
        .arg(r.booksMerged);
}

}  // namespace

TImportWizard::TImportWizard(QString collection, TFrameServices* frame, QWidget* owner)
    : QWizard(owner), collection_(std::move(collection)), frame_(frame) {
    setObjectName(QStringLiteral("ImportWizard"));
    setWindowTitle(QStringLiteral("Import a Collection"));
    setWizardStyle(QWizard::ClassicStyle);
    setOption(QWizard::NoBackButtonOnLastPage);
    setPage(FilePage, buildFilePage());
    setPage(ColumnsPage, buildColumnsPage());
    setPage(ReportPage, buildReportPage());
    setPage(ImportPage, buildImportPage());
    setButtonText(QWizard::CommitButton, QStringLiteral("&Import"));
    connect(this, &QWizard::currentIdChanged, this, &TImportWizard::PageChanged);
    resize(760, 520);
}

TImportWizard::~TImportWizard() = default;

QWizardPage* TImportWizard::buildFilePage() {
    auto* page = new TStep;
    page->setTitle(QStringLiteral("The file to import"));
    page->setSubTitle(QStringLiteral(
        "A Tellico file (.tc or .xml), a GCstar file (.gcs), ComicRack's ComicDb.xml, a folder "
        "of comic files (.cbz) or a spreadsheet saved as CSV."));
    EditPath = new QLineEdit;
    EditPath->setObjectName(QStringLiteral("EditPath"));
    BtnBrowseFile = new QPushButton(QStringLiteral("&File..."));
    BtnBrowseFolder = new QPushButton(QStringLiteral("F&older..."));
    ComboFormat = new QComboBox;
    ComboFormat->setObjectName(QStringLiteral("ComboFormat"));
    for (import::Format format :
         {import::Format::Tellico, import::Format::GCstar, import::Format::ComicRack,
          import::Format::ComicFiles, import::Format::Csv})
        ComboFormat->addItem(import::FormatTitle(format), static_cast<int>(format));
    ComboFormat->setCurrentIndex(-1);
    LabelDetected = new QLabel;
    LabelDetected->setWordWrap(true);

    auto* pathRow = new QHBoxLayout;
    pathRow->addWidget(EditPath, 1);
    pathRow->addWidget(BtnBrowseFile);
    pathRow->addWidget(BtnBrowseFolder);
    auto* formatRow = new QHBoxLayout;
    auto* formatLabel = new QLabel(QStringLiteral("Fo&rmat:"));
    formatLabel->setBuddy(ComboFormat);  // Alt+R reaches the list, and the & is not shown
    formatRow->addWidget(formatLabel);
    formatRow->addWidget(ComboFormat, 1);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(new QLabel(QStringLiteral("File or folder:")));
    layout->addLayout(pathRow);
    layout->addLayout(formatRow);
    layout->addWidget(LabelDetected);
    layout->addStretch();

    page->complete = [this] {
        return !EditPath->text().trimmed().isEmpty() &&
               QFileInfo::exists(EditPath->text().trimmed()) && ChosenFormat().has_value();
    };
    connect(EditPath, &QLineEdit::textChanged, this, &TImportWizard::PathChanged);
    connect(ComboFormat, &QComboBox::currentIndexChanged, page, &TStep::Recheck);
    connect(BtnBrowseFile, &QPushButton::clicked, this, &TImportWizard::BrowseFile);
    connect(BtnBrowseFolder, &QPushButton::clicked, this, &TImportWizard::BrowseFolder);
    return page;
}

QWizardPage* TImportWizard::buildColumnsPage() {
    auto* page = new TStep;
    page->setTitle(QStringLiteral("Columns"));
    page->setSubTitle(QStringLiteral(
        "Choose the column that holds each field; a book needs at least its series and issue "
        "number.  The rows below show the first books as they will be stored."));
    LabelLayout = new QLabel;
    GridColumns = NewGrid({QStringLiteral("Field"), QStringLiteral("Column")}, "GridColumns");
    GridColumns->horizontalHeader()->setStretchLastSection(true);
    BtnSaveMap = new QPushButton(QStringLiteral("&Save Map..."));
    BtnLoadMap = new QPushButton(QStringLiteral("&Load Map..."));
    SetHint(BtnSaveMap, QStringLiteral("Keep these columns in a map file for the next import"));
    SetHint(BtnLoadMap, QStringLiteral("Take the columns from a map file saved before"));
    QStringList headings{QStringLiteral("SERIES"), QStringLiteral("PUBLISHER")};
    const paradox::TableSchema books = store::BooksSchema();
    for (std::size_t f = 1; f < books.fields.size(); ++f)
        headings << QString::fromStdString(books.fields[f].name);
    headings << QStringLiteral("Remarks");
    GridPreview = NewGrid(headings, "GridPreview");

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(LabelLayout, 1);
    buttons->addWidget(BtnLoadMap);
    buttons->addWidget(BtnSaveMap);
    auto* layout = new QVBoxLayout(page);
    layout->addLayout(buttons);
    layout->addWidget(GridColumns, 1);
    layout->addWidget(new QLabel(QStringLiteral("As they will be stored:")));
    layout->addWidget(GridPreview, 1);

    page->complete = [this] {
        return !header_.isEmpty() && columns_.count(import::Target::Series) &&
               columns_.count(import::Target::Issue);
    };
    connect(BtnSaveMap, &QPushButton::clicked, this, &TImportWizard::SaveMap);
    connect(BtnLoadMap, &QPushButton::clicked, this, &TImportWizard::LoadMap);
    return page;
}

QWizardPage* TImportWizard::buildReportPage() {
    auto* page = new TStep;
    page->setTitle(QStringLiteral("Dry run"));
    page->setSubTitle(QStringLiteral("Nothing is stored yet: this is what the import would do."));
    ReadProgress = new QProgressBar;
    LabelCounts = new QLabel;
    LabelCounts->setWordWrap(true);
    LabelCounts->setTextInteractionFlags(Qt::TextSelectableByMouse);
    GridProblems = NewGrid({QStringLiteral("Where"), QStringLiteral("Field"), QStringLiteral("Why"),
                            QStringLiteral("Value"), QStringLiteral("Stored as")},
                           "GridProblems");
    RadioTakeShortened = new QRadioButton(QStringLiteral("&Store these values as shown"));
    RadioLeaveOut = new QRadioButton(QStringLiteral("&Leave their books out"));
    RadioLeaveOut->setChecked(true);

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(ReadProgress);
    layout->addWidget(LabelCounts);
    layout->addWidget(GridProblems, 1);
    layout->addWidget(RadioTakeShortened);
    layout->addWidget(RadioLeaveOut);
    page->setCommitPage(true);
    page->complete = [this] { return !busy_ && plan_ != nullptr; };
    connect(RadioTakeShortened, &QRadioButton::toggled, this, [this](bool take) {
        if (!plan_) return;
        plan_->SetTakeShortened(take);
        LabelCounts->setText(CountsText(*plan_));
    });
    return page;
}

QWizardPage* TImportWizard::buildImportPage() {
    auto* page = new TStep;
    page->setTitle(QStringLiteral("Importing"));
    ImportProgress = new QProgressBar;
    LabelResult = new QLabel;
    LabelResult->setObjectName(QStringLiteral("LabelResult"));
    LabelResult->setWordWrap(true);
    LabelResult->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(ImportProgress);
    layout->addWidget(LabelResult);
    layout->addStretch();
    page->complete = [this] { return imported_ && !busy_; };
    return page;
}

std::optional<import::Format> TImportWizard::ChosenFormat() const {
    if (ComboFormat->currentIndex() < 0) return std::nullopt;
    return static_cast<import::Format>(ComboFormat->currentData().toInt());
}

int TImportWizard::nextId() const {
    switch (currentId()) {
        case FilePage:
            return ChosenFormat() == import::Format::Csv ? ColumnsPage : ReportPage;
        case ColumnsPage:
            return ReportPage;
        case ReportPage:
            return ImportPage;
        default:
            return -1;
    }
}

void TImportWizard::initializePage(int id) {
    // The long steps start once their page is on screen.
    if (id == ColumnsPage) SniffColumns();
    if (id == ReportPage) QTimer::singleShot(0, this, &TImportWizard::RunDryRun);
    if (id == ImportPage) QTimer::singleShot(0, this, &TImportWizard::RunImport);
}

void TImportWizard::PageChanged(int id) {
    // Cancel stays available while the import runs, to stop it; once it has
    // run, Finish is the only way out.
    button(QWizard::CancelButton)->setVisible(id != ImportPage || !imported_);
}

void TImportWizard::reject() {
    if (busy_) {
        cancelRequested_ = true;
        return;
    }
    if (imported_) return accept();
    QWizard::reject();
}

// --- 1. the file -------------------------------------------------------------

void TImportWizard::PathChanged() {
    const QString path = EditPath->text().trimmed();
    if (!QFileInfo::exists(path)) {
        LabelDetected->setText(path.isEmpty() ? QString()
                                              : QStringLiteral("There is no file %1.").arg(path));
    } else {
        try {
            const import::Format format = import::DetectFormat(path);
            ComboFormat->setCurrentIndex(ComboFormat->findData(static_cast<int>(format)));
            LabelDetected->setText(
                QStringLiteral("This is a %1 file.").arg(import::FormatTitle(format)));
        } catch (const std::exception& error) {
            ComboFormat->setCurrentIndex(-1);
            LabelDetected->setText(QString::fromUtf8(error.what()) +
                                   QStringLiteral("\nChoose its format if you know it."));
        }
    }
    Step(*this, FilePage)->Recheck();
}

void TImportWizard::BrowseFile() {
    const QString path = QFileDialog::getOpenFileName(
        this, QStringLiteral("Import File"), EditPath->text(),
        QStringLiteral("Collections (*.tc *.xml *.gcs *.csv *.txt);;All files (*)"));
    if (!path.isEmpty()) EditPath->setText(path);
}

void TImportWizard::BrowseFolder() {
    const QString path = QFileDialog::getExistingDirectory(
        this, QStringLiteral("Folder of Comic Files"), EditPath->text());
    if (!path.isEmpty()) EditPath->setText(path);
}

// --- 2. the columns ----------------------------------------------------------

void TImportWizard::SniffColumns() {
    header_.clear();
    firstRows_.clear();
    try {
        const import::CsvLayout layout = import::SniffCsv(EditPath->text().trimmed());
        header_ = layout.header;
        firstRows_ = layout.firstRows;
        const QString delimiter = layout.delimiter == QLatin1Char('\t')
                                      ? QStringLiteral("tab")
                                      : QStringLiteral("\"%1\"").arg(layout.delimiter);
        LabelLayout->setText(QStringLiteral("%1, columns separated by %2, %3 columns.")
                                 .arg(layout.encoding, delimiter)
                                 .arg(header_.size()));
        SetColumns(import::GuessColumns(header_));
    } catch (const std::exception& error) {
        LabelLayout->setText(QString::fromUtf8(error.what()));
        SetColumns({});
    }
}

void TImportWizard::SetColumns(const import::ColumnMap& columns) {
    columns_.clear();
    const std::vector<import::Target>& targets = import::AllTargets();
    GridColumns->setRowCount(static_cast<int>(targets.size()));
    for (int row = 0; row < static_cast<int>(targets.size()); ++row) {
        const import::Target target = targets[static_cast<std::size_t>(row)];
        SetCell(*GridColumns, row, 0, import::TargetName(target));
        auto* combo = new QComboBox;
        combo->addItem(kNotUsed);
        combo->addItems(header_);
        const auto mapped = columns.find(target);
        if (mapped != columns.end() && header_.contains(mapped->second)) {
            combo->setCurrentText(mapped->second);
            columns_[target] = mapped->second;
        }
        connect(combo, &QComboBox::currentIndexChanged, this, &TImportWizard::ColumnChosen);
        GridColumns->setCellWidget(row, 1, combo);
    }
    ShowPreview();
    Step(*this, ColumnsPage)->Recheck();
}

void TImportWizard::ColumnChosen() {
    columns_.clear();
    const std::vector<import::Target>& targets = import::AllTargets();
    for (int row = 0; row < GridColumns->rowCount(); ++row) {
        const auto* combo = static_cast<QComboBox*>(GridColumns->cellWidget(row, 1));
        if (combo->currentIndex() > 0)
            columns_[targets[static_cast<std::size_t>(row)]] = combo->currentText();
    }
    ShowPreview();
    Step(*this, ColumnsPage)->Recheck();
}

void TImportWizard::ShowPreview() {
    GridPreview->setRowCount(0);  // a refused row sets no values: none may stay from before
    GridPreview->setRowCount(static_cast<int>(firstRows_.size()));
    const int remarks = GridPreview->columnCount() - 1;
    for (int r = 0; r < static_cast<int>(firstRows_.size()); ++r) {
        const QStringList& fields = firstRows_[static_cast<std::size_t>(r)];
        import::ImportedBook read;
        read.origin = QStringLiteral("line %1").arg(r + 2);
        for (const auto& [target, name] : columns_)
            import::AssignColumn(read, target, fields.value(header_.indexOf(name)).trimmed());
        const import::MappedBook book = import::MapBook(read);
        SetCell(*GridPreview, r, 0, book.series);
        SetCell(*GridPreview, r, 1, book.publisher);
        for (int f = 1; f < static_cast<int>(book.row.size()) && f + 1 < remarks; ++f)
            SetCell(*GridPreview, r, f + 1, Shown(book.row.At(static_cast<std::size_t>(f))));
        SetCell(*GridPreview, r, remarks, PreviewRemark(book));
    }
}

void TImportWizard::SaveMap() {
    const QString path =
        QFileDialog::getSaveFileName(this, QStringLiteral("Save Column Map"), QString(),
                                     QStringLiteral("Column maps (*.map);;All files (*)"));
    if (path.isEmpty()) return;
    try {
        import::SaveColumnMap(columns_, path);
    } catch (const std::exception& error) {
        ShowError(QString::fromUtf8(error.what()));
    }
}

void TImportWizard::LoadMap() {
    const QString path =
        QFileDialog::getOpenFileName(this, QStringLiteral("Load Column Map"), QString(),
                                     QStringLiteral("Column maps (*.map);;All files (*)"));
    if (path.isEmpty()) return;
    try {
        const import::ColumnMap loaded = import::LoadColumnMap(path);
        QStringList missing;
        for (const auto& [target, name] : loaded)
            if (!header_.contains(name))
                missing << QStringLiteral("%1 (\"%2\")").arg(import::TargetName(target), name);
        SetColumns(loaded);
        if (!missing.isEmpty())
            ShowError(QStringLiteral("This file has no column for %1 of the map %2; those fields "
                                     "are left unused.")
                          .arg(missing.join(QStringLiteral(", ")), path));
    } catch (const std::exception& error) {
        ShowError(QString::fromUtf8(error.what()));
    }
}

// --- 3. the dry run ----------------------------------------------------------

bool TImportWizard::Advance(QProgressBar& bar, qint64 done, qint64 total) {
    bar.setRange(0, kProgressSteps);
    bar.setValue(total > 0 ? static_cast<int>(done * kProgressSteps / total) : 0);
    QApplication::processEvents();
    return !cancelRequested_;
}

void TImportWizard::SetBusy(bool busy) {
    busy_ = busy;
    cancelRequested_ = false;
    // The wizard's buttons follow the pages' completeness, which asks busy_;
    // Back is held here, as the wizard would offer it on any page.
    button(QWizard::BackButton)->setEnabled(!busy);
    Step(*this, currentId())->Recheck();
}

void TImportWizard::RunDryRun() {
    plan_.reset();
    GridProblems->setRowCount(0);
    LabelCounts->setText(QStringLiteral("Reading %1...").arg(EditPath->text().trimmed()));
    import::ReadOptions options;
    options.format = *ChosenFormat();
    options.columns = columns_;
    options.takeShortened = RadioTakeShortened->isChecked();
    SetBusy(true);
    const TCursorGuard busy;
    try {
        plan_ = std::make_unique<import::ImportPlan>(import::ReadPlan(
            EditPath->text().trimmed(), options, collection_,
            [this](qint64 done, qint64 total) { return Advance(*ReadProgress, done, total); }));
        ReadProgress->setValue(ReadProgress->maximum());
    } catch (const import::EImportCancelled&) {
        busy_ = false;
        return QWizard::reject();
    } catch (const std::exception& error) {
        LabelCounts->setText(QString::fromUtf8(error.what()));
    }
    ShowPlan();
    SetBusy(false);
}

void TImportWizard::ShowPlan() {
    if (!plan_) return;
    LabelCounts->setText(CountsText(*plan_));
    const std::vector<import::Problem>& problems = plan_->Problems();
    const std::vector<import::Problem>& refusals = plan_->Refusals();
    GridProblems->setRowCount(static_cast<int>(problems.size() + refusals.size()));
    int row = 0;
    for (const import::Problem& p : problems) {
        const QStringList cells{p.origin, p.field, p.reason, p.value, p.becomes};
        for (int c = 0; c < cells.size(); ++c) SetCell(*GridProblems, row, c, cells[c]);
        ++row;
    }
    for (const import::Problem& p : refusals) {
        const QStringList cells{p.origin, p.field, p.reason, p.value, QStringLiteral("(left out)")};
        for (int c = 0; c < cells.size(); ++c) SetCell(*GridProblems, row, c, cells[c]);
        ++row;
    }
    RadioTakeShortened->setEnabled(!problems.empty());
    RadioLeaveOut->setEnabled(!problems.empty());
}

// --- 4. the import -----------------------------------------------------------

void TImportWizard::RunImport() {
    SetBusy(true);
    bool ran = true;
    try {
        const auto store = [this] { StoreThePlan(); };
        ran = frame_ ? frame_->WithCollectionWindowClosed(store) : (store(), true);
        if (!ran)
            LabelResult->setText(QStringLiteral(
                "Nothing was imported: the collection window has changes not saved.  Save or "
                "cancel them, then import again."));
    } catch (const std::exception& error) {
        LabelResult->setText(QString::fromUtf8(error.what()));
    }
    imported_ = true;
    SetBusy(false);
    PageChanged(currentId());
}

void TImportWizard::StoreThePlan() {
    const TCursorGuard busy;
    try {
        result_ = import::CommitPlan(*plan_, collection_, [this](qint64 done, qint64 total) {
            return Advance(*ImportProgress, done, total);
        });
        ImportProgress->setValue(ImportProgress->maximum());
        LabelResult->setText(ResultText(*result_));
    } catch (const import::EImportCancelled& cancelled) {
        LabelResult->setText(QString::fromUtf8(cancelled.what()) + QLatin1Char('.'));
    } catch (const std::exception& error) {
        LabelResult->setText(QStringLiteral("The import failed; the collection is unchanged.\n") +
                             QString::fromUtf8(error.what()));
    }
}

void installImport(TFrameServices& frame) {
    QWidget& window = frame.Window();
    auto* command = new QAction(QStringLiteral("&Import..."), &window);
    command->setObjectName(QStringLiteral("ImportItem"));
    SetHint(command, QStringLiteral("Bring in a collection from another program's file"));
    frame.AddFileCommands({command});
    QObject::connect(command, &QAction::triggered, &window, [&frame] {
        TImportWizard wizard(store::CollectionDirectory(), &frame, &frame.Window());
        frame.ShowCentred(wizard);
    });
}
