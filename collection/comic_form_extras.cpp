// TComicForm: the Cover & Grade page of the current book, the book grid's
// grade column and Find by Barcode.
//
// The page is not data-aware: it shows the book's extras as the store
// holds them and, once the user changes anything on it, the book goes into
// edit and the page's values are stored with the book when it is posted
// (TableBooksBeforePost), so that Save and Undo/Cancel act on the page like
// on the book's own fields.  A new cover is checked whole when it is
// dropped, pasted or chosen, and refused with a message before anything
// changes.
#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>
#include <QUrl>

#include "collection/comic_form.h"
#include "collection/valuation.h"
#include "platform/base/exception.h"
#include "platform/db/field.h"
#include "platform/paradox/table.h"
#include "platform/system/ini_file.h"
#include "platform/widgets/db_edit.h"
#include "platform/widgets/db_grid.h"
#include "platform/widgets/db_navigator.h"
#include "platform/widgets/dialogs.h"
#include "store/extras_checks.h"
#include "store/grade_scale.h"

namespace {

// The cover at a size its title and price can be read at.
constexpr QSize kCoverSize(150, 225);
constexpr const char* kDropHint =
    "No cover.\n\nDrop an image file here, paste a picture "
    "or choose a file.";
constexpr const char* kSettingsFile = "pkeep20.ini";
constexpr const char* kSettingsSection = "Collection";
constexpr const char* kGradeColumnKey = "GradeColumn";
constexpr int kUpcColumn = 8;  // of the extras table (store/book_extras.h)

template <typename Control>
Control* placed(Control* control, const char* name, const QRect& where) {
    control->setObjectName(QLatin1String(name));
    control->setGeometry(where);
    return control;
}

QLabel* caption(QWidget* page, const QString& text, int top) {
    auto* label = new QLabel(text, page);
    QFont bold = page->font();
    bold.setBold(true);
    label->setFont(bold);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setGeometry(160, top, 60, 22);
    return label;
}

// Letters typed become capitals, as in every edit box of the window.  Set
// before any other reaction to typing, which then sees the capitals.
void typeInCapitals(QLineEdit* edit) {
    QObject::connect(edit, &QLineEdit::textEdited, edit, [edit](const QString& text) {
        const QString upper = text.toUpper();
        if (upper == text) return;
        const int cursor = edit->cursorPosition();
        edit->setText(upper);
        edit->setCursorPosition(cursor);
    });
}

QString dateText(const QDate& date) {
    return date.isValid() ? date.toString(QStringLiteral("yyyy-MM-dd")) : QString();
}

// The per-cent grade's condition word ("Near Mint"), as the slider shows it.
QString percWord(int perc) { return valuation::conditionWord(valuation::sliderPosition(perc)); }

}  // namespace

// ---- building ------------------------------------------------------------------

void TComicForm::buildCoverPage() {
    TabSheet5 = new QWidget;
    TabSheet5->setObjectName("TabSheet5");
    PageControl2->addTab(TabSheet5, "Cover && Grade");
    QWidget* page = TabSheet5;
    page->setAcceptDrops(true);
    page->installEventFilter(this);

    CoverView =
        placed(new QLabel(page), "CoverView", {4, 4, kCoverSize.width(), kCoverSize.height()});
    CoverView->setAlignment(Qt::AlignCenter);
    CoverView->setWordWrap(true);
    CoverView->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    ChooseCoverButton =
        placed(new QPushButton("Choose...", page), "ChooseCoverButton", {4, 231, 74, 22});
    RemoveCoverButton =
        placed(new QPushButton("Remove", page), "RemoveCoverButton", {80, 231, 74, 22});

    caption(page, "Grade:", 4);
    GradeBox = placed(new QComboBox(page), "GradeBox", {224, 4, 136, 22});
    GradeBox->addItem(QString(), QString());
    for (const store::StandardGrade& grade : store::StandardGrades())
        GradeBox->addItem(grade.name(), grade.text());
    ProposedPercButton = placed(new QPushButton(page), "ProposedPercButton", {164, 30, 196, 22});
    ProposedPercButton->setEnabled(false);
    caption(page, "Grader:", 56);
    GraderBox = placed(new QComboBox(page), "GraderBox", {224, 56, 136, 22});
    GraderBox->setEditable(true);
    GraderBox->addItems({QString(), "CGC", "CBCS", "PGX"});
    GraderBox->lineEdit()->setMaxLength(20);
    caption(page, "Cert. #:", 82);
    CertEdit = placed(new QLineEdit(page), "CertEdit", {224, 82, 136, 22});
    CertEdit->setMaxLength(20);
    caption(page, "Bought:", 108);
    BoughtEdit = placed(new QLineEdit(page), "BoughtEdit", {224, 108, 136, 22});
    BoughtEdit->setPlaceholderText("yyyy-mm-dd");
    caption(page, "Source:", 134);
    SourceEdit = placed(new QLineEdit(page), "SourceEdit", {224, 134, 136, 22});
    caption(page, "Barcode:", 160);
    UpcEdit = placed(new QLineEdit(page), "UpcEdit", {224, 160, 136, 22});
    UpcEdit->setMaxLength(24);  // 17 digits and the spaces or hyphens typed between
    for (QLineEdit* edit : {GraderBox->lineEdit(), CertEdit, SourceEdit}) typeInCapitals(edit);
    ExtrasMessage = placed(new QLabel(page), "ExtrasMessage", {164, 186, 196, 67});
    ExtrasMessage->setWordWrap(true);
    ExtrasMessage->setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

void TComicForm::connectCoverPage() {
    if (!ChooseCoverFile)
        ChooseCoverFile = [](QWidget* parent) {
            return QFileDialog::getOpenFileName(parent, "Choose Cover", QString(),
                                                "Images (*.jpg *.jpeg *.png *.webp)");
        };
    connect(ChooseCoverButton, &QPushButton::clicked, this, [this] { ChooseCoverClick(); });
    connect(RemoveCoverButton, &QPushButton::clicked, this, [this] { RemoveCoverClick(); });
    connect(ProposedPercButton, &QPushButton::clicked, this, [this] { AcceptProposedPercClick(); });
    connect(GradeBox, &QComboBox::activated, this, [this] { gradeChosen(); });
    connect(GraderBox, &QComboBox::activated, this, [this] { coverPageEdited(); });
    connect(GraderBox->lineEdit(), &QLineEdit::textEdited, this, [this] { coverPageEdited(); });
    for (QLineEdit* edit : {CertEdit, BoughtEdit, SourceEdit, UpcEdit})
        connect(edit, &QLineEdit::textEdited, this, [this] { coverPageEdited(); });
    // Ctrl+S, Ctrl+Z and the others reach the menu here too (eventFilter).
    for (QLineEdit* edit : {GraderBox->lineEdit(), CertEdit, BoughtEdit, SourceEdit, UpcEdit})
        edit->installEventFilter(this);
}

// ---- showing -------------------------------------------------------------------

void TComicForm::ShowBookExtras() {
    if (!TabSheet5 || coverPageEdited_) return;  // the page holds what the user typed
    const bool stored = TableBooks->Active() && !TableBooks->IsEmpty() &&
                        TableBooks->State() != TDataSetState::dsInsert;
    const store::BookKey key = stored ? CurrentBookKey() : store::BookKey{};
    const store::BookExtras extras = stored && extras_ ? extras_->read(key) : store::BookExtras{};
    int gradeIndex = GradeBox->findData(extras.grade);
    if (gradeIndex < 0) {  // a value from elsewhere, kept to be corrected
        GradeBox->addItem(extras.grade, extras.grade);
        gradeIndex = GradeBox->count() - 1;
    }
    GradeBox->setCurrentIndex(gradeIndex);
    GraderBox->setEditText(extras.grader);
    CertEdit->setText(extras.certificate);
    BoughtEdit->setText(dateText(extras.bought));
    SourceEdit->setText(extras.source);
    UpcEdit->setText(extras.upc);
    showCover(stored && extras_ && !extras.cover.isEmpty() ? extras_->thumbnail(key, kCoverSize)
                                                           : QImage());
    ProposedPercButton->setText(QString());
    ProposedPercButton->setEnabled(false);
    showExtrasProblems();
}

void TComicForm::showCover(const QImage& picture) {
    if (picture.isNull()) {
        CoverView->setPixmap(QPixmap());
        CoverView->setText(kDropHint);
    } else {
        CoverView->setPixmap(QPixmap::fromImage(picture));
    }
    RemoveCoverButton->setEnabled(!picture.isNull());
}

// Every problem of the values typed, one a line; a wrong check digit is a
// warning the user may leave.
void TComicForm::showExtrasProblems() {
    QStringList problems;
    const QString grade = GradeBox->currentData().toString();
    problems << store::StandardGradeProblem(grade)
             << store::CertificateProblem(grade, CertEdit->text());
    QString dateProblem;
    store::ParseBoughtDate(BoughtEdit->text(), &dateProblem);
    problems << dateProblem << store::CheckUpc(UpcEdit->text()).message;
    problems.removeAll(QString());
    ExtrasMessage->setText(problems.join('\n'));
}

// ---- editing -------------------------------------------------------------------

// The page's changes belong to the current book: it goes into edit (a book
// being added stays in insert).  Without a book there is nothing to change.
bool TComicForm::startBookEdit() {
    if (!TableBooks->Active() || cascading_) return false;
    const TDataSetState state = TableBooks->State();
    if (state == TDataSetState::dsEdit || state == TDataSetState::dsInsert) {
        coverPageEdited_ = true;
        return true;
    }
    if (TableBooks->IsEmpty()) {
        MessageDlg("Add a book to the series before giving it a cover or a grade.",
                   TMsgDlgType::mtInformation, mbOK);
        ShowBookExtras();
        return false;
    }
    coverPageEdited_ = true;  // before Edit, whose data change would show the stored values
    TableBooks->Edit();
    return true;
}

void TComicForm::coverPageEdited() {
    if (!startBookEdit()) return;
    showExtrasProblems();
}

// Choosing a standard grade proposes the per-cent grade of the same
// condition word; the user takes it with the button.
void TComicForm::gradeChosen() {
    coverPageEdited();
    const std::optional<store::StandardGrade> grade =
        store::FindStandardGrade(GradeBox->currentData().toString());
    const int perc = TableBooks->Active() ? TableBooks->FieldByName("PERC")->AsInteger() : 0;
    const bool differs = grade && grade->proposedPerc != perc;
    ProposedPercButton->setText(grade ? QStringLiteral("Use %1% (%2) as the grade")
                                            .arg(grade->proposedPerc)
                                            .arg(percWord(grade->proposedPerc))
                                      : QString());
    ProposedPercButton->setEnabled(differs);
}

void TComicForm::AcceptProposedPercClick() {
    const std::optional<store::StandardGrade> grade =
        store::FindStandardGrade(GradeBox->currentData().toString());
    if (!grade || !startBookEdit()) return;
    TableBooks->FieldByName("PERC")->SetAsInteger(grade->proposedPerc);
    followGradeOfRecord();
    ProposedPercButton->setEnabled(false);
}

// Called before the books row is posted: the page's values become the
// extras stored with the book.  A value the store cannot keep refuses the
// post with its message; the book stays in edit with everything typed.
void TComicForm::collectPageExtras() {
    if (!TabSheet5 || !coverPageEdited_) return;
    store::BookExtras values;
    values.grade = GradeBox->currentData().toString();
    values.grader = GraderBox->currentText().trimmed();
    values.certificate = CertEdit->text().trimmed();
    values.source = SourceEdit->text().trimmed();
    QString problem = store::StandardGradeProblem(values.grade);
    if (problem.isEmpty()) problem = store::CertificateProblem(values.grade, values.certificate);
    if (problem.isEmpty()) {
        const std::optional<QDate> bought = store::ParseBoughtDate(BoughtEdit->text(), &problem);
        if (bought) values.bought = *bought;
    }
    const store::UpcCheck upc = store::CheckUpc(UpcEdit->text());
    if (problem.isEmpty() && upc.verdict == store::UpcCheck::Verdict::Invalid)
        problem = upc.message;
    if (!problem.isEmpty()) {
        PageControl2->setCurrentWidget(TabSheet5);
        throw EDatabaseError(problem.toStdString());
    }
    values.upc = upc.digits;
    PendingExtras.values = values;
}

// ---- covers --------------------------------------------------------------------

void TComicForm::takeCover(const store::CoverImage& image) {
    if (!startBookEdit()) return;
    PendingExtras.cover = image;
    PendingExtras.removeCover = false;
    QImage picture = QImage::fromData(image.bytes);
    if (picture.width() > kCoverSize.width() || picture.height() > kCoverSize.height())
        picture = picture.scaled(kCoverSize, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    showCover(picture);
}

void TComicForm::TakeCoverFrom(const QMimeData& data) {
    try {
        if (data.hasUrls()) {
            const QUrl url = data.urls().value(0);
            if (!url.isLocalFile())
                throw store::ECoverError("Only an image file on this computer can become a cover.");
            return takeCover(store::CoverImage::FromFile(url.toLocalFile()));
        }
        // Encoded bytes are kept as they are; a bare picture is stored as PNG.
        for (const char* format : {"image/jpeg", "image/png", "image/webp"})
            if (data.hasFormat(format))
                return takeCover(
                    store::CoverImage::FromBytes(data.data(format), "The pasted image"));
        if (data.hasImage())
            return takeCover(store::CoverImage::FromImage(qvariant_cast<QImage>(data.imageData())));
        throw store::ECoverError("What was dropped or pasted is not an image.");
    } catch (const store::ECoverError& error) {
        MessageDlg(QString::fromUtf8(error.what()), TMsgDlgType::mtError, mbOK);
    }
}

void TComicForm::ChooseCoverClick() {
    const QString path = ChooseCoverFile(this);
    if (path.isEmpty()) return;
    QMimeData file;
    file.setUrls({QUrl::fromLocalFile(path)});
    TakeCoverFrom(file);
}

// The file goes when the book is saved; Undo/Cancel keeps it.
void TComicForm::RemoveCoverClick() {
    if (MessageDlg("Remove the cover of this book?  Its image file is deleted when the book "
                   "is saved.",
                   TMsgDlgType::mtConfirmation, mbYes | mbNo) != mrYes)
        return;
    if (!startBookEdit()) return;
    PendingExtras.cover.reset();
    PendingExtras.removeCover = true;
    showCover(QImage());
}

bool TComicForm::coverDropEvent(QEvent* event) {
    if (event->type() == QEvent::DragEnter) {
        auto* enter = static_cast<QDragEnterEvent*>(event);
        if (enter->mimeData()->hasUrls() || enter->mimeData()->hasImage())
            enter->acceptProposedAction();
        return true;
    }
    if (event->type() == QEvent::Drop) {
        auto* drop = static_cast<QDropEvent*>(event);
        drop->acceptProposedAction();
        TakeCoverFrom(*drop->mimeData());
        return true;
    }
    return false;
}

// ---- commands -----------------------------------------------------------------

void TComicForm::buildExtrasCommands() {
    FindBarcode1 = Edit1->addAction("Find by &Barcode...");
    FindBarcode1->setShortcut(QKeySequence("Ctrl+B"));
    connect(FindBarcode1, &QAction::triggered, this, [this] { FindByBarcodeClick(); });
    PopupMenu->addSeparator();
    GradeColumn2 = PopupMenu->addAction("Show &Grade Column");
    GradeColumn2->setCheckable(true);
    gradeColumn_ = TIniFile(kSettingsFile).ReadInteger(kSettingsSection, kGradeColumnKey, 0) != 0;
    GradeColumn2->setChecked(gradeColumn_);
    connect(GradeColumn2, &QAction::triggered, this, [this](bool on) { SetGradeColumnShown(on); });
}

// Edit, Paste on the Cover & Grade page, with no text box focused, pastes a
// picture as the cover.
bool TComicForm::pastesCover() const {
    return TabSheet5 && BookPageShown() && PageControl2->currentWidget() == TabSheet5 &&
           !qobject_cast<QLineEdit*>(focusWidget());
}

// ---- grade column --------------------------------------------------------------

bool TComicForm::GradeColumnShown() const { return gradeColumn_; }

void TComicForm::SetGradeColumnShown(bool shown) {
    gradeColumn_ = shown;
    if (GradeColumn2) GradeColumn2->setChecked(shown);
    TIniFile settings(kSettingsFile);
    settings.WriteInteger(kSettingsSection, kGradeColumnKey, shown ? 1 : 0);
    try {
        settings.UpdateFile();
    } catch (const EIniFileException& error) {
        MessageDlg(QString::fromUtf8(error.what()), TMsgDlgType::mtWarning, mbOK);
    }
    applyBookGridColumns();
}

void TComicForm::applyBookGridColumns() {
    if (!DBGridBooks) return;
    const Qt::Alignment left = Qt::AlignLeft | Qt::AlignVCenter;
    if (!gradeColumn_) {
        DBGridBooks->SetColumns({
            {"COMIC_NO", "Comic #", 80, left, Qt::AlignCenter},
            {"EDITION", "Edition", 72, Qt::AlignCenter, Qt::AlignCenter},
        });
        return;
    }
    // The grid keeps its width: the issue and edition columns give up room.
    DBGridBooks->SetColumns({
        {"COMIC_NO", "Comic #", 64, left, Qt::AlignCenter},
        {"EDITION", "Edition", 50, Qt::AlignCenter, Qt::AlignCenter},
        {"Grade", "Grade", 38, Qt::AlignCenter, Qt::AlignCenter},
    });
}

// The standard grade of the books row being read (by the grid or as the
// current one); looked up only while the column is shown.
QString TComicForm::gradeOfRow() const {
    if (!gradeColumn_ || !extras_) return {};
    return extras_->read(CurrentBookKey()).grade;
}

// ---- Find by Barcode -----------------------------------------------------------

std::optional<store::BookKey> TComicForm::bookWithUpc(const QString& digits) const {
    if (!extras_ || !extras_->tableExists()) return std::nullopt;
    const auto table = paradox::Table::open(extras_->tablePath().toStdString());
    std::optional<store::BookKey> sameCode;  // a 12-digit scan of a code stored with its add-on
    for (std::size_t i = 0; i < table->rowCount(); ++i) {
        const paradox::Value& value = table->row(i)[kUpcColumn];
        if (!value.isText()) continue;
        const QString stored = QString::fromStdString(value.asText());
        if (stored == digits) return store::BookKey::OfRow(table->row(i));
        if (!sameCode && digits.size() == 12 && stored.startsWith(digits))
            sameCode = store::BookKey::OfRow(table->row(i));
    }
    return sameCode;
}

void TComicForm::showBook(const store::BookKey& key) {
    // The series table's key is SERIES, PUBLISHER, ENTRY: its row is found
    // by ENTRY first.
    const paradox::Table* series = TableSeries->EngineTable();
    const auto text = [](const paradox::Value& value) {
        return value.isText() ? QString::fromStdString(value.asText()) : QString();
    };
    for (std::size_t i = 0; series && i < series->rowCount(); ++i) {
        const paradox::Row& row = series->row(i);
        if (!row[2].isInt() || row[2].asInt() != key.entry) continue;
        TableSeries->FindKey({text(row[0]), text(row[1]), key.entry});
        break;
    }
    PageControl1->setCurrentWidget(TabSheet2);
    EnsureBookPage();
    TableBooks->FindKey(
        {key.entry, key.comicNo, key.edition.isEmpty() ? QVariant() : QVariant(key.edition)});
    PageControl2->setCurrentWidget(TabSheet5);
}

void TComicForm::addBookWithUpc(const QString& digits) {
    PageControl1->setCurrentWidget(TabSheet2);
    EnsureBookPage();
    if (TFrameServices* frame = LiveFrame())
        frame->NavigatorCtrl().BtnClick(TNavigateBtn::nbInsert);
    if (TableBooks->State() != TDataSetState::dsInsert) return;
    UpcEdit->setText(digits);
    coverPageEdited_ = true;
    showExtrasProblems();
}

void TComicForm::FindByBarcodeClick() {
    if (cascading_ || !TableBooks->Active()) return;
    QString typed;
    if (!InputQuery("Find by Barcode",
                    "Scan the barcode, or type its digits and press Enter:", typed))
        return;
    const store::UpcCheck check = store::CheckUpc(typed);
    if (check.verdict == store::UpcCheck::Verdict::Blank) return;
    if (check.verdict == store::UpcCheck::Verdict::Invalid) {
        MessageDlg(check.message, TMsgDlgType::mtError, mbOK);
        return;
    }
    if (const std::optional<store::BookKey> key = bookWithUpc(check.digits)) {
        showBook(*key);
        return;
    }
    if (TableSeries->IsEmpty()) {
        MessageDlg(QStringLiteral("No book has the barcode %1.").arg(check.digits),
                   TMsgDlgType::mtInformation, mbOK);
        return;
    }
    if (MessageDlg(QStringLiteral("No book has the barcode %1.  Add a book with it to %2?")
                       .arg(check.digits, CurrentSeries),
                   TMsgDlgType::mtConfirmation, mbYes | mbNo) == mrYes)
        addBookWithUpc(check.digits);
}
