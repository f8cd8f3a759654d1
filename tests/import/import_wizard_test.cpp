// File, Import... on the real frame window, with the collection window open:
// the command from the File menu, the file typed in, the pages advanced as
// a user would, and the collection's tables read back with the engine.
#include "import/import_wizard.h"

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <functional>

#include "app/main_form.h"
#include "collection/comic_form.h"
#include "platform/widgets/db_edit.h"
#include "platform/widgets/dialogs.h"
#include "tests/import/import_fixture.h"

namespace {

using import_test::BookRow;

// 81 characters: one more than TITLE holds.
const QString kLongTitle = QString(81, QLatin1Char('t'));

class ImportWizardTest : public import_test::ImportTest {
protected:
    void SetUp() override {
        ImportTest::SetUp();
        qputenv("XDG_CONFIG_HOME", (dir.path() + "/config").toUtf8());
        qputenv("PKEEP_DIR", collection().toUtf8());
        store::RegisterAlias(collection());
        installCollectionWindow(frame);
        installImport(frame);
        frame.show();
        frame.ComicCollection->trigger();
        ASSERT_TRUE(CollectionWindow());
    }

    TComicForm* CollectionWindow() const { return qobject_cast<TComicForm*>(frame.ComicForm); }

    // Chooses File, Import... and runs `drive` on the wizard once it is up.
    void RunImportCommand(const std::function<void(TImportWizard&)>& drive) {
        QAction* command = nullptr;
        for (QAction* action : frame.FileMenu->actions())
            if (action->objectName() == "ImportItem") command = action;
        ASSERT_NE(command, nullptr);
        bool shown = false;
        QTimer::singleShot(0, [&] {
            auto* wizard = qobject_cast<TImportWizard*>(QApplication::activeModalWidget());
            shown = wizard != nullptr;
            if (!wizard) return;
            drive(*wizard);
            if (wizard->isVisible()) wizard->reject();
        });
        command->trigger();
        ASSERT_TRUE(shown);
    }

    // Answers the file dialog the next button opens with `path`.
    static void AnswerFileDialog(QPushButton* button, const QString& path) {
        QTimer::singleShot(0, [path] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            dialog->selectFile(path);
            static_cast<QDialog*>(dialog)->accept();
        });
        button->click();
    }

    static QComboBox* ColumnOf(TImportWizard& wizard, const QString& field) {
        for (int row = 0; row < wizard.GridColumns->rowCount(); ++row)
            if (wizard.GridColumns->item(row, 0)->text() == field)
                return qobject_cast<QComboBox*>(wizard.GridColumns->cellWidget(row, 1));
        return nullptr;
    }

    static QString Cell(QTableWidget* grid, int row, const QString& heading) {
        for (int c = 0; c < grid->columnCount(); ++c)
            if (grid->horizontalHeaderItem(c)->text() == heading)
                return grid->item(row, c) ? grid->item(row, c)->text() : QString();
        return QStringLiteral("no column ") + heading;
    }

    static bool NextEnabled(TImportWizard& wizard) {
        return wizard.button(QWizard::NextButton)->isEnabled() ||
               wizard.button(QWizard::CommitButton)->isEnabled();
    }

    // Waits for the dry run to finish on the report page.
    static void AwaitDryRun(TImportWizard& wizard) {
        ASSERT_EQ(wizard.currentId(), TImportWizard::ReportPage);
        QTRY_VERIFY_WITH_TIMEOUT(!wizard.Busy() && NextEnabled(wizard), 20000);
    }

    std::vector<TMessageRequest> boxes;
    TScopedMessageAnswerer answerer{[this](const TMessageRequest& r) {
        boxes.push_back(r);
        return static_cast<int>(mrOk);
    }};
    TMainForm frame;
};

// A spreadsheet with a duplicated row and a title too long for its field:
// the columns guessed from the header, a map saved and loaded back, the
// preview, the dry run's counts and problem, the shortened title taken, and
// the books in the tables and in the collection window afterwards.
TEST_F(ImportWizardTest, CsvIsMappedPreviewedDryRunAndStoredIntoTheOpenCollection) {
    const QString csv = file("list.csv");
    import_test::WriteFile(csv, ("Series;Publisher;Issue Number;Title;Price Paid;Qty\n"
                                 "Sandman;Vertigo;12;Dream Country;$3.50;1\n"
                                 "Sandman;Vertigo;12;Dream Country;;2\n"
                                 "Sandman;Vertigo;13;" +
                                 kLongTitle + ";;1\n")
                                    .toUtf8());
    frame.setGeometry(0, 0, 640, 480);  // smaller than the wizard, at the screen's corner
    RunImportCommand([&](TImportWizard& wizard) {
        // Centred over the frame it would start left of the screen.
        EXPECT_TRUE(wizard.screen()->availableGeometry().contains(wizard.frameGeometry().topLeft()))
            << wizard.frameGeometry().x() << "," << wizard.frameGeometry().y();
        // A label shows its & unless it is the mnemonic of a buddy.
        for (const QLabel* label : wizard.findChildren<QLabel*>()) {
            if (label->text().contains('&') && label->textFormat() != Qt::RichText) {
                EXPECT_NE(label->buddy(), nullptr) << label->text().toStdString();
            }
        }
        wizard.EditPath->setText(file("missing.csv"));
        EXPECT_TRUE(wizard.LabelDetected->text().contains("no file"))
            << wizard.LabelDetected->text().toStdString();
        EXPECT_FALSE(NextEnabled(wizard));

        wizard.EditPath->setText(csv);
        EXPECT_EQ(wizard.ChosenFormat(), import::Format::Csv);
        wizard.next();
        ASSERT_EQ(wizard.currentId(), TImportWizard::ColumnsPage);
        EXPECT_EQ(ColumnOf(wizard, "ISSUE")->currentText(), "Issue Number");
        EXPECT_EQ(ColumnOf(wizard, "PAID")->currentText(), "Price Paid");
        EXPECT_EQ(ColumnOf(wizard, "QUANTITY")->currentText(), "Qty");
        ASSERT_EQ(wizard.GridPreview->rowCount(), 3);
        EXPECT_EQ(Cell(wizard.GridPreview, 0, "SERIES"), "SANDMAN");
        EXPECT_EQ(Cell(wizard.GridPreview, 0, "COMIC_NO"), QString(13, ' ') + "12");
        EXPECT_EQ(Cell(wizard.GridPreview, 0, "PAID"), "3.50");
        EXPECT_TRUE(Cell(wizard.GridPreview, 2, "Remarks").contains("TITLE"));

        // Saved, changed, and loaded back: the map file brings the columns back.
        const QString map = file("list.map");
        AnswerFileDialog(wizard.BtnSaveMap, map);
        ColumnOf(wizard, "ISSUE")->setCurrentIndex(0);
        EXPECT_FALSE(NextEnabled(wizard));  // no issue number: nothing to store
        EXPECT_EQ(Cell(wizard.GridPreview, 0, "COMIC_NO"), "");
        AnswerFileDialog(wizard.BtnLoadMap, map);
        EXPECT_EQ(ColumnOf(wizard, "ISSUE")->currentText(), "Issue Number");
        EXPECT_EQ(wizard.Columns().size(), 6u);

        wizard.next();
        AwaitDryRun(wizard);
        EXPECT_TRUE(wizard.LabelCounts->text().contains("Read 3 books"));
        EXPECT_TRUE(wizard.LabelCounts->text().contains("1 series and 1 books to add"))
            << wizard.LabelCounts->text().toStdString();
        ASSERT_EQ(wizard.GridProblems->rowCount(), 1);
        EXPECT_EQ(Cell(wizard.GridProblems, 0, "Field"), "TITLE");
        EXPECT_EQ(Cell(wizard.GridProblems, 0, "Stored as"), kLongTitle.left(80));
        wizard.RadioTakeShortened->click();
        EXPECT_TRUE(wizard.LabelCounts->text().contains("1 series and 2 books to add"));

        wizard.next();
        ASSERT_EQ(wizard.currentId(), TImportWizard::ImportPage);
        QTRY_VERIFY_WITH_TIMEOUT(wizard.Result().has_value(), 20000);
        EXPECT_TRUE(wizard.LabelResult->text().contains("2 books added"))
            << wizard.LabelResult->text().toStdString();
        wizard.button(QWizard::FinishButton)->click();
    });
    const std::vector<BookRow> books = Books();
    ASSERT_EQ(books.size(), 2u);
    EXPECT_EQ(books[0].qty, 3);  // the row listed twice adds its quantities
    EXPECT_EQ(books[0].paid, 3.5);
    EXPECT_EQ(books[1].title, kLongTitle.left(80));
    EXPECT_EQ(Owned()["SANDMAN (VERTIGO)"], 4);
    // The collection window came back and shows what was imported.
    ASSERT_TRUE(CollectionWindow());
    EXPECT_EQ(CollectionWindow()->TableSeries->RecordCount(), 1);
    EXPECT_EQ(CollectionWindow()->DBTextOwned->text(), "4");
    EXPECT_TRUE(boxes.empty());
}

// Cancel while the books are being stored: the collection, the window's
// view of it included, is as it was before.
TEST_F(ImportWizardTest, CancelDuringTheImportLeavesTheCollectionAsItWas) {
    {
        auto series = Open(store::kSeriesTable);
        series->insert({paradox::Value::text("HELLBOY"), paradox::Value::text("DARK HORSE"),
                        paradox::Value(), paradox::Value(), paradox::Value::boolean(false),
                        paradox::Value::boolean(false), paradox::Value::boolean(false),
                        paradox::Value::boolean(false), paradox::Value::integer(0)});
        series->saveChanges();
    }
    const QString tc = file("comics.tc");
    import_test::WriteZip(tc, {{"tellico.xml", R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE tellico PUBLIC "-//Robby Stephenson/DTD Tellico V11.0//EN" "http://periapsis.org/tellico/dtd/v11/tellico.dtd">
<tellico xmlns="http://periapsis.org/tellico/" syntaxVersion="11">
 <collection title="My Comics" type="6">
  <entry id="1"><title>Seed of Destruction</title><series>Hellboy</series><issue>1</issue>
   <publisher>Dark Horse</publisher></entry>
  <entry id="2"><title>Wake the Devil</title><series>Hellboy</series><issue>2</issue>
   <publisher>Dark Horse</publisher></entry>
 </collection>
</tellico>)"}});
    RunImportCommand([&](TImportWizard& wizard) {
        wizard.EditPath->setText(tc);
        EXPECT_EQ(wizard.ChosenFormat(), import::Format::Tellico);
        wizard.next();  // no columns to choose: straight to the dry run
        AwaitDryRun(wizard);
        EXPECT_TRUE(wizard.LabelCounts->text().contains("0 series and 2 books to add"))
            << wizard.LabelCounts->text().toStdString();
        wizard.next();
        QTimer::singleShot(0, [&wizard] { wizard.button(QWizard::CancelButton)->click(); });
        QTRY_VERIFY_WITH_TIMEOUT(
            !wizard.Busy() && wizard.isVisible() && !wizard.LabelResult->text().isEmpty(), 20000);
        EXPECT_TRUE(wizard.LabelResult->text().contains("cancelled"))
            << wizard.LabelResult->text().toStdString();
        EXPECT_FALSE(wizard.Result().has_value());
        wizard.button(QWizard::FinishButton)->click();
    });
    EXPECT_TRUE(Books().empty());
    ASSERT_TRUE(CollectionWindow());
    // The window's own tables, which its next change is written from.
    EXPECT_EQ(CollectionWindow()->TableSeries->EngineTable()->rowCount(), 1u);
    EXPECT_EQ(CollectionWindow()->TableBooks->EngineTable()->rowCount(), 0u);
}

}  // namespace
