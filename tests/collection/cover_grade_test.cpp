// The Cover & Grade page, the book grid's grade column and Find by Barcode,
// through the window; what was stored is read back with the engine.
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>
#include <QTest>
#include <QUrl>

#include "platform/db/field.h"
#include "platform/system/ini_file.h"
#include "store/book_extras.h"
#include "store/collection.h"
#include "tests/collection/collection_fixture.h"

namespace {

// Field positions of the extras table's rows (store/book_extras.h).
enum Extras { X_ENTRY, X_COMIC_NO, X_EDITION, GRADE, GRADER, CERT, BOUGHT, SOURCE, UPC, COVER };

constexpr const char* kUpc = "759606088393";  // check digit 3, worked out by hand
constexpr const char* kUpcWrongCheck = "759606088394";

QString textAt(const paradox::Row& row, int field) {
    return row[field].isText() ? QString::fromStdString(row[field].asText()) : QString();
}

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class CoverGradeTest : public CollectionWindowTest {
protected:
    QString collection() const { return dir.path() + "/pkeep"; }

    // A series with two books, the window open on the first book's Cover &
    // Grade page.
    int openOnCoverPage() {
        const int entry = seedSeries("CONAN", "MARVEL", 2);
        seedBook(entry, "1", 1);
        seedBook(entry, "2", 1);
        openWindow();
        showBookPage();
        form->PageControl2->setCurrentWidget(form->TabSheet5);
        form->TableBooks->First();
        return entry;
    }

    // Picks the grade as a user does: the chooser takes the keyboard.
    void chooseGrade(const QString& name) {
        form->GradeBox->setFocus();
        QTest::keyClick(form->GradeBox, Qt::Key_Home);
        while (form->GradeBox->currentText() != name &&
               form->GradeBox->currentIndex() < form->GradeBox->count() - 1)
            QTest::keyClick(form->GradeBox, Qt::Key_Down);
        ASSERT_EQ(form->GradeBox->currentText(), name);
    }

    std::vector<paradox::Row> storedExtras() const {
        std::vector<paradox::Row> rows;
        if (!paradox::Table::exists(collection().toStdString() + "/extras.db")) return rows;
        auto table = engineTable("extras.db");
        for (std::size_t i = 0; i < table->rowCount(); ++i) rows.push_back(table->row(i));
        return rows;
    }

    QStringList coverFiles() const {
        return QDir(collection() + "/covers").entryList(QDir::Files | QDir::Hidden);
    }

    QString writeImage(const QString& name, const char* format, QSize size = {60, 90}) {
        QImage image(size, QImage::Format_RGB32);
        image.fill(Qt::darkRed);
        const QString path = dir.path() + "/" + name;
        EXPECT_TRUE(image.save(path, format));
        return path;
    }

    void drop(const QString& path) {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(path)});
        QDragEnterEvent enter({10, 10}, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(form->TabSheet5, &enter);
        ASSERT_TRUE(enter.isAccepted());
        QDropEvent dropped(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(form->TabSheet5, &dropped);
    }

    bool coverShown() const { return !form->CoverView->pixmap().isNull(); }
};

}  // namespace

TEST_F(CoverGradeTest, PageShowsAndPostsTheBooksExtrasWithTheStoresChecks) {
    openOnCoverPage();
    EXPECT_EQ(form->PageControl2->tabText(2), "Cover && Grade");
    EXPECT_EQ(form->GradeBox->count(), 26);  // blank and the 25 steps
    EXPECT_EQ(form->GradeBox->itemText(3), "9.8 NM/M");
    EXPECT_EQ(form->GradeBox->itemText(25), "0.5 PR");

    chooseGrade("8.0 VF");
    EXPECT_EQ(form->TableBooks->State(), TDataSetState::dsEdit);
    // Very Fine's per-cent step is proposed; the book keeps 100 until taken.
    EXPECT_TRUE(form->ProposedPercButton->isEnabled());
    EXPECT_TRUE(form->ProposedPercButton->text().contains("85% (Very Fine)"));
    EXPECT_EQ(form->TableBooks->FieldByName("PERC")->AsInteger(), 100);
    QTest::mouseClick(form->ProposedPercButton, Qt::LeftButton);
    EXPECT_EQ(form->TableBooks->FieldByName("PERC")->AsInteger(), 85);
    EXPECT_EQ(form->TrackBar1->value(), 17);

    typeInto(form->GraderBox->lineEdit(), "cgc");  // letters become capitals
    typeInto(form->CertEdit, "3812345001");
    typeInto(form->BoughtEdit, "2023-02-30");
    typeInto(form->SourceEdit, "Comic Con");
    EXPECT_EQ(form->SourceEdit->text(), "COMIC CON");
    typeInto(form->UpcEdit, kUpcWrongCheck);
    EXPECT_TRUE(form->ExtrasMessage->text().contains("2023-02-30 does not exist"));
    EXPECT_TRUE(form->ExtrasMessage->text().contains("check digit should be 3"));
    // A date that does not exist refuses the post; everything typed stays.
    EXPECT_THROW(save(), EDatabaseError);
    EXPECT_EQ(form->TableBooks->State(), TDataSetState::dsEdit);
    EXPECT_TRUE(storedExtras().empty());
    EXPECT_EQ(form->CertEdit->text(), "3812345001");

    // A wrong check digit is only a warning: the user may keep it.
    typeInto(form->BoughtEdit, "2023-02-28");
    save();
    ASSERT_EQ(form->TableBooks->State(), TDataSetState::dsBrowse);
    auto extras = storedExtras();
    ASSERT_EQ(extras.size(), 1u);
    EXPECT_EQ(extras[0][X_ENTRY].asInt(), form->TableBooks->FieldByName("ENTRY")->AsInteger());
    EXPECT_EQ(textAt(extras[0], X_COMIC_NO).trimmed(), "1");
    EXPECT_EQ(textAt(extras[0], GRADE), "8.0");
    EXPECT_EQ(textAt(extras[0], GRADER), "CGC");
    EXPECT_EQ(textAt(extras[0], CERT), "3812345001");
    EXPECT_EQ(textAt(extras[0], SOURCE), "COMIC CON");
    EXPECT_EQ(textAt(extras[0], UPC), kUpcWrongCheck);
    EXPECT_EQ(storedBooks()[0][col::PERC].asInt(), 85);

    // The next book has none; the first shows its own again.
    form->TableBooks->Next();
    EXPECT_EQ(form->GradeBox->currentText(), "");
    EXPECT_EQ(form->CertEdit->text(), "");
    form->TableBooks->First();
    EXPECT_EQ(form->GradeBox->currentText(), "8.0 VF");
    EXPECT_EQ(form->BoughtEdit->text(), "2023-02-28");

    // A certificate without a grade is refused; Undo/Cancel (its shortcut
    // typed in a box of the page) puts the page back.
    chooseGrade("");
    EXPECT_THROW(save(), EDatabaseError);
    EXPECT_TRUE(form->ExtrasMessage->text().contains("certificate"));
    form->CertEdit->setFocus();
    QTest::keyClick(form->CertEdit, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(form->TableBooks->State(), TDataSetState::dsBrowse);
    EXPECT_EQ(form->GradeBox->currentText(), "8.0 VF");
    EXPECT_EQ(textAt(storedExtras()[0], GRADE), "8.0");
}

TEST_F(CoverGradeTest, DroppedPastedAndRemovedCoversReachTheCoversFolder) {
    openOnCoverPage();
    EXPECT_FALSE(coverShown());
    EXPECT_FALSE(form->RemoveCoverButton->isEnabled());

    // A dropped JPEG is kept byte for byte once the book is saved.
    const QString jpeg = writeImage("scan.jpg", "JPEG");
    drop(jpeg);
    EXPECT_TRUE(coverShown());
    EXPECT_EQ(form->TableBooks->State(), TDataSetState::dsEdit);
    EXPECT_TRUE(coverFiles().isEmpty());  // nothing stored before the save
    save();
    ASSERT_EQ(coverFiles().size(), 1);
    EXPECT_TRUE(coverFiles()[0].endsWith(".jpg"));
    EXPECT_EQ(fileBytes(collection() + "/covers/" + coverFiles()[0]), fileBytes(jpeg));
    EXPECT_EQ(textAt(storedExtras()[0], COVER), coverFiles()[0]);

    // A picture pasted on the second book, through Edit, Paste.
    form->TableBooks->Next();
    EXPECT_FALSE(coverShown());
    QImage picture(40, 60, QImage::Format_RGB32);
    picture.fill(Qt::blue);
    QApplication::clipboard()->setImage(picture);
    form->Edit1Click();
    EXPECT_TRUE(form->Paste1->isEnabled());
    form->Paste1->trigger();
    EXPECT_TRUE(coverShown());
    save();
    EXPECT_EQ(coverFiles().size(), 2);

    // Remove asks first; No keeps the cover, Yes removes it with the save.
    answers = {mrNo};
    QTest::mouseClick(form->RemoveCoverButton, Qt::LeftButton);
    EXPECT_EQ(asked.last(),
              "Remove the cover of this book?  Its image file is deleted when the "
              "book is saved.");
    EXPECT_TRUE(coverShown());
    answers = {mrYes};
    QTest::mouseClick(form->RemoveCoverButton, Qt::LeftButton);
    EXPECT_FALSE(coverShown());
    save();
    EXPECT_EQ(coverFiles().size(), 1);
    EXPECT_TRUE(coverFiles()[0].endsWith(".jpg"));
}

TEST_F(CoverGradeTest, BadImagesAreRefusedAndChangeNothing) {
    openOnCoverPage();
    QFile text(dir.path() + "/notes.jpg");
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("these are notes, not a picture\n");
    text.close();
    const QByteArray whole = fileBytes(writeImage("whole.png", "PNG", {300, 400}));
    QFile cut(dir.path() + "/cut.png");
    ASSERT_TRUE(cut.open(QIODevice::WriteOnly));
    cut.write(whole.left(whole.size() / 2));
    cut.close();

    for (const char* name : {"notes.jpg", "cut.png"}) {
        const qsizetype before = asked.size();
        drop(dir.path() + "/" + name);
        ASSERT_EQ(asked.size(), before + 1) << name;
        EXPECT_TRUE(asked.last().contains(name)) << asked.last().toStdString();
        EXPECT_EQ(requests.back().type, TMsgDlgType::mtError);
        EXPECT_EQ(form->TableBooks->State(), TDataSetState::dsBrowse) << name;
        EXPECT_FALSE(coverShown());
    }
    // The file chooser's pick goes the same way.
    form->ChooseCoverFile = [this](QWidget*) { return dir.path() + "/notes.jpg"; };
    QTest::mouseClick(form->ChooseCoverButton, Qt::LeftButton);
    EXPECT_EQ(form->TableBooks->State(), TDataSetState::dsBrowse);
    EXPECT_TRUE(coverFiles().isEmpty());
    EXPECT_TRUE(storedExtras().empty());
}

TEST_F(CoverGradeTest, FindByBarcodeJumpsToTheBookOrOffersToAddIt) {
    const int conan = seedSeries("CONAN", "MARVEL", 1);
    const int flash = seedSeries("FLASH", "DC", 2);
    seedBook(conan, "1", 1);
    seedBook(flash, "7", 1);
    seedBook(flash, "8", 1);
    store::BookExtras scanned;
    scanned.upc = QString(kUpc) + "00811";
    store::BookExtrasStore(collection()).write({flash, store::AlignComicNo("8"), {}}, scanned);
    openWindow();
    EXPECT_EQ(form->CurrentSeries, "CONAN");

    // The scanner types the digits of the code with its add-on and Return.
    inputs = {QString(kUpc) + "00811"};
    form->FindBarcode1->trigger();
    EXPECT_EQ(asked.last(),
              "Find by Barcode: Scan the barcode, or type its digits and press Enter:");
    EXPECT_EQ(form->CurrentSeries, "FLASH");
    EXPECT_TRUE(form->BookPageShown());
    EXPECT_EQ(form->PageControl2->currentWidget(), form->TabSheet5);
    EXPECT_EQ(form->TableBooks->FieldByName("COMIC_NO")->AsString().trimmed(), "8");
    EXPECT_EQ(form->UpcEdit->text(), QString(kUpc) + "00811");

    // An unknown code: Yes adds a book with it to the current series.
    inputs = {"7-61941-34182-8"};
    answers = {mrYes};
    form->FindBarcode1->trigger();
    EXPECT_EQ(asked.last(), "No book has the barcode 761941341828.  Add a book with it to FLASH?");
    ASSERT_EQ(form->TableBooks->State(), TDataSetState::dsInsert);
    typeInto(form->DBEditComicNo, "9");
    save();
    const auto extras = storedExtras();
    ASSERT_EQ(extras.size(), 2u);
    EXPECT_EQ(textAt(extras[1], X_COMIC_NO).trimmed(), "9");
    EXPECT_EQ(textAt(extras[1], UPC), "761941341828");

    // Text that is no barcode is refused without a search.
    inputs = {"12345"};
    form->FindBarcode1->trigger();
    EXPECT_TRUE(asked.last().contains("is not a barcode"));
    EXPECT_EQ(form->TableBooks->State(), TDataSetState::dsBrowse);
}

TEST_F(CoverGradeTest, GradeColumnIsAPopupChoiceKeptInTheSettings) {
    const int entry = seedSeries("CONAN", "MARVEL", 2);
    seedBook(entry, "1", 1);
    seedBook(entry, "2", 1);
    store::BookExtras extras;
    extras.grade = "9.8";
    store::BookExtrasStore(collection()).write({entry, store::AlignComicNo("2"), {}}, extras);
    openWindow();
    showBookPage();
    EXPECT_EQ(form->DBGridBooks->model()->columnCount(), 2);
    EXPECT_FALSE(form->GradeColumn2->isChecked());
    form->GradeColumn2->trigger();
    ASSERT_EQ(form->DBGridBooks->model()->columnCount(), 3);
    const QAbstractItemModel* grid = form->DBGridBooks->model();
    EXPECT_EQ(grid->headerData(2, Qt::Horizontal).toString(), "Grade");
    EXPECT_EQ(grid->index(0, 2).data().toString(), "");
    EXPECT_EQ(grid->index(1, 2).data().toString(), "9.8");
    EXPECT_EQ(TIniFile("pkeep20.ini").ReadInteger("Collection", "GradeColumn", 0), 1);

    // The next window comes up with the column.
    form->close();
    QApplication::processEvents();
    openWindow();
    showBookPage();
    EXPECT_TRUE(form->GradeColumn2->isChecked());
    EXPECT_EQ(form->DBGridBooks->model()->columnCount(), 3);
}
