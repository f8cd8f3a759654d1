// The preview window on a real collection: recording with the progress
// panel, the zoom and page boxes, Cancel and close while recording, the
// print dialog's preparation and reset, several windows at once, a recording that
// fails, and the recording spilled to disk as it runs.
#include <gtest/gtest.h>

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QTest>
#include <QTimer>
#include <filesystem>

#include "app/main_form.h"
#include "platform/db/table.h"
#include "platform/graphics/printers.h"
#include "platform/widgets/dialogs.h"
#include "reportengine/file_preview.h"
#include "reportengine/report_filer.h"
#include "reports/preview_form.h"
#include "reports/preview_launch.h"
#include "tests/reports/preview/preview_fixture.h"

namespace {

class PreviewWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetInstalledPrinters(std::make_unique<TNoPrinters>());
        collection.addSeries(120, 10);  // 51 rows a page: 3 pages
        host.resize(800, 600);
        host.show();
    }
    void TearDown() override {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        SetInstalledPrinters(std::make_unique<TNoPrinters>());
    }

    TPreviewForm* newWindow() {
        auto* form = new TPreviewForm(&host);
        form->SetReportFile(collection.file("pkeep.rpt"));
        form->Run.LogoFile = collection.file("PKEEP20.BMP");
        form->show();
        return form;
    }

    // Deletes the windows that closed.
    static bool gone(const QPointer<TPreviewForm>& form) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return form.isNull();
    }

    TestCollection collection;
    QWidget host;
    QStringList messages;
    TScopedMessageAnswerer answerer{[this](const TMessageRequest& request) {
        messages << request.text;
        return int(mrOk);
    }};
};

TEST_F(PreviewWindowTest, RecordsWithTheProgressPanelThenPreviews) {
    TPreviewForm* form = newWindow();
    EXPECT_EQ(form->windowTitle(), "ReportPreview");
    EXPECT_TRUE(form->ProgressPanel->isVisible());
    EXPECT_EQ(form->ProgressBar->value(), 0);
    EXPECT_NE(QApplication::overrideCursor(), nullptr);  // the hourglass

    QStringList statusPerPage;
    QString captionWhileRecording;
    form->RPReport->OnPrintPage = [&](TBaseReport* sender, int& page) {
        statusPerPage << form->StatusLabel->text();
        captionWhileRecording = form->windowTitle();
        EXPECT_FALSE(form->close()) << "closing while recording is refused";
        return form->RPSeriesReportPrintPage(sender, page);
    };
    form->RunReport();

    EXPECT_EQ(statusPerPage, (QStringList{"Preparing Preview Page 1", "Preparing Preview Page 2",
                                          "Preparing Preview Page 3"}));
    EXPECT_EQ(captionWhileRecording, "Report Preview - Listing of All Series");
    EXPECT_EQ(messages, QStringList(3, "Please Cancel Printing Before Closing !"));
    EXPECT_EQ(form->Run.ProgressTotal, 120);
    EXPECT_EQ(form->Run.ProgressCount, 120);
    EXPECT_EQ(form->ProgressBar->value(), 100);
    EXPECT_FALSE(form->ProgressPanel->isVisible());
    EXPECT_TRUE(form->StatusLabel->text().isEmpty());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    ASSERT_TRUE(form->RPPreview->Printing());
    EXPECT_EQ(form->RPPreview->PageCount(), 3);
    EXPECT_EQ(form->EditPage->text(), "1");
    EXPECT_EQ(form->LabelTotalPages->text(), "3");
    EXPECT_EQ(form->EditZoom->text(), "69");

    QPointer<TPreviewForm> closing(form);
    EXPECT_TRUE(form->close());
    EXPECT_TRUE(gone(closing));
}

// Types into the zoom box over its whole text, as a user does.
void TypeZoom(TPreviewForm* form, const QString& text) {
    QTest::keyClick(form->EditZoom, Qt::Key_A, Qt::ControlModifier);
    if (text.isEmpty()) QTest::keyClick(form->EditZoom, Qt::Key_Delete);
    QTest::keyClicks(form->EditZoom, text);
}

TEST_F(PreviewWindowTest, ZoomBoxKeepsTheEngineLimits) {
    TPreviewForm* form = newWindow();
    form->RunReport();
    TFilePreview& preview = *form->RPPreview;
    auto enterZoom = [form](const QString& text) {
        TypeZoom(form, text);
        QTest::keyClick(form->EditZoom, Qt::Key_Return);
    };
    enterZoom("5");
    EXPECT_EQ(preview.ZoomFactor(), 10);
    EXPECT_EQ(form->EditZoom->text(), "10");
    enterZoom("250");
    EXPECT_EQ(preview.ZoomFactor(), 200);
    EXPECT_EQ(form->EditZoom->text(), "200");
    enterZoom("87");
    EXPECT_EQ(preview.PageBitmap().width(), 710);  // 816 x 0.87
    for (const char* ignored : {"0", "", "  ", "ab"}) {
        enterZoom(ignored);
        EXPECT_EQ(preview.ZoomFactor(), 87) << ignored;
    }
    // A computed zoom settles at the whole number the box shows.
    form->SBZoomPage->click();
    EXPECT_EQ(preview.ZoomFactor(), form->EditZoom->text().toInt());
    EXPECT_LT(preview.ZoomFactor(), 69);
    form->SBZoomWidth->click();
    EXPECT_EQ(preview.ZoomFactor(), form->EditZoom->text().toInt());
    const double width = preview.ZoomFactor();
    form->SBZoomIn->click();
    EXPECT_EQ(preview.ZoomFactor(), width + 10);
    form->SBZoomOut->click();
    form->SBZoomOut->click();
    EXPECT_EQ(preview.ZoomFactor(), width - 10);
}

// A zoom applies when the user is done typing it: at Enter, on leaving the
// box, or after a pause; never digit by digit.
TEST_F(PreviewWindowTest, ZoomBoxAppliesTheValueOnceTyped) {
    TPreviewForm* form = newWindow();
    form->RunReport();
    TFilePreview& preview = *form->RPPreview;
    host.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&host));
    form->EditZoom->setFocus();

    TypeZoom(form, "999");
    EXPECT_EQ(form->EditZoom->text(), "999");
    EXPECT_EQ(preview.ZoomFactor(), 69);  // nothing yet
    QTest::keyClick(form->EditZoom, Qt::Key_Return);
    EXPECT_EQ(preview.ZoomFactor(), 200);
    EXPECT_EQ(form->EditZoom->text(), "200");

    TypeZoom(form, "50");
    EXPECT_EQ(preview.ZoomFactor(), 200);
    QTest::keyClick(form->EditZoom, Qt::Key_Tab);  // leaves the box
    ASSERT_FALSE(form->EditZoom->hasFocus());
    EXPECT_EQ(preview.ZoomFactor(), 50);
    EXPECT_EQ(form->EditZoom->text(), "50");

    form->EditZoom->setFocus();
    TypeZoom(form, "150");
    EXPECT_EQ(preview.ZoomFactor(), 50);
    EXPECT_TRUE(QTest::qWaitFor([&] { return preview.ZoomFactor() == 150; }, 3000));
    EXPECT_EQ(form->EditZoom->text(), "150");
}

TEST_F(PreviewWindowTest, TotalPageCountShowsEveryDigit) {
    TPreviewForm* form = newWindow();
    form->RPReport->OnPrintPage = [](TBaseReport* sender, int&) {
        sender->PrintTextLine("LINE");
        return sender->CurrentPage() < 12;
    };
    form->RunReport();
    QLabel* total = form->LabelTotalPages;
    EXPECT_EQ(total->text(), "12");
    EXPECT_GE(total->width(), total->sizeHint().width());
    EXPECT_LE(total->geometry().right(), total->parentWidget()->width());
}

TEST_F(PreviewWindowTest, PageBoxAndButtonsStayWithinTheReport) {
    TPreviewForm* form = newWindow();
    form->RunReport();
    TFilePreview& preview = *form->RPPreview;
    form->EditPage->setText("0");
    EXPECT_EQ(preview.CurrentPage(), 1);
    form->EditPage->setText("9");
    EXPECT_EQ(preview.CurrentPage(), 3);
    EXPECT_EQ(form->EditPage->text(), "3");
    form->EditPage->setText("2");
    EXPECT_EQ(preview.CurrentPage(), 2);
    form->SBFirst->click();
    EXPECT_EQ(form->EditPage->text(), "1");
    form->SBPrevious->click();
    EXPECT_EQ(preview.CurrentPage(), 1);
    form->SBLast->click();
    EXPECT_EQ(preview.CurrentPage(), 3);
    form->SBNext->click();
    EXPECT_EQ(preview.CurrentPage(), 3);
    form->SBPrevious->click();
    EXPECT_EQ(form->EditPage->text(), "2");
    EXPECT_EQ(form->LabelTotalPages->text(), "3");
}

TEST_F(PreviewWindowTest, CancelWhileRecordingClosesWithoutAWord) {
    TPreviewForm* form = newWindow();
    QPointer<TPreviewForm> window(form);
    QTimer::singleShot(0, form->BtnCancel, &QPushButton::click);
    form->RunReport();
    EXPECT_FALSE(form->RPPreview->Printing());
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_FALSE(QFile::exists(collection.file("pkeep.rpt")));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(gone(window));
}

TEST_F(PreviewWindowTest, FailedRecordingClosesRatherThanShowAnOlderReport) {
    TPreviewForm* first = newWindow();
    first->RunReport();  // leaves a complete pkeep.rpt behind
    ASSERT_TRUE(QFile::exists(collection.file("pkeep.rpt")));

    TPreviewForm* form = newWindow();
    QPointer<TPreviewForm> window(form);
    form->Run.LogoFile = collection.file("MISSING.BMP");
    try {
        form->RunReport();
        FAIL() << "the unreadable logo must end the recording with an error";
    } catch (const Exception& e) {
        EXPECT_TRUE(QString(e.what()).contains("MISSING.BMP")) << e.what();
    }
    EXPECT_FALSE(form->RPPreview->Printing());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(gone(window));
    EXPECT_TRUE(first->RPPreview->Printing());  // the other window is untouched
}

TEST_F(PreviewWindowTest, PrintDialogOpensWithAllPagesAndOneCopyEveryTime) {
    const QString pdf = collection.file("print.pdf");
    SetInstalledPrinters(std::make_unique<TPdfFilePrinters>(pdf));
    TPreviewForm* form = newWindow();
    form->RunReport();

    struct Seen {
        QAbstractPrintDialog::PrintRange range;
        int from, to, min, max, copies;
    };
    std::vector<Seen> seen;
    bool panelShownWhilePrinting = false, barHidden = false;
    QString status;
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        if (!form->RPPrinter->Printing()) return;
        panelShownWhilePrinting = form->ProgressPanel->isVisible();
        barHidden = !form->ProgressBar->isVisible();
        status = form->StatusLabel->text();
        EXPECT_FALSE(form->close()) << "closing while printing is refused";
    });
    watcher.start(0);
    form->ExecPrintDialog = [&](QPrintDialog& dialog) {
        seen.push_back({dialog.printRange(), dialog.fromPage(), dialog.toPage(), dialog.minPage(),
                        dialog.maxPage(), dialog.printer()->copyCount()});
        dialog.setPrintRange(QAbstractPrintDialog::PageRange);
        dialog.setFromTo(2, 3);
        dialog.printer()->setCopyCount(2);
        return true;
    };
    form->SBPrintClick();
    watcher.stop();

    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].range, QAbstractPrintDialog::AllPages);
    EXPECT_EQ(seen[0].from, 1);
    EXPECT_EQ(seen[0].to, 3);
    EXPECT_EQ(seen[0].min, 1);
    EXPECT_EQ(seen[0].max, 3);
    EXPECT_EQ(seen[0].copies, 1);
    EXPECT_TRUE(panelShownWhilePrinting);
    EXPECT_TRUE(barHidden);
    EXPECT_TRUE(status.startsWith("Printing Page ")) << status.toStdString();
    EXPECT_TRUE(messages.contains("Please Cancel Printing Before Closing !"));
    EXPECT_FALSE(form->ProgressPanel->isVisible());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    const QStringList pages = PdfPageTexts(pdf);
    ASSERT_GE(pages.size(), 2);
    EXPECT_TRUE(pages[0].contains("SERIES 052"));  // the first series of page 2
    EXPECT_FALSE(pages.join("").contains("SERIES 051"));
    EXPECT_TRUE(pages[1].contains("SERIES 120"));
    EXPECT_EQ(form->PrintDialog.PageRange, false);
    EXPECT_EQ(form->PrintDialog.Copies, 1);

    // Next time the dialog starts over, and a cancelled dialog prints nothing.
    QFile::remove(pdf);
    form->ExecPrintDialog = [&](QPrintDialog& dialog) {
        seen.push_back({dialog.printRange(), dialog.fromPage(), dialog.toPage(), dialog.minPage(),
                        dialog.maxPage(), dialog.printer()->copyCount()});
        return false;
    };
    form->SBPrintClick();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[1].range, QAbstractPrintDialog::AllPages);
    EXPECT_EQ(seen[1].from, 1);
    EXPECT_EQ(seen[1].to, 3);
    EXPECT_EQ(seen[1].copies, 1);
    EXPECT_FALSE(QFile::exists(pdf));
}

// The recording goes to disk as it runs, into a temporary file beside the
// report file that becomes the report file when the run completes.  The
// system may give that file no name until then: it is found through this
// process's open files.  Returns the sizes of those open now.
std::vector<qint64> OpenSpillSizes(const TestCollection& collection) {
    std::vector<qint64> sizes;
    for (const auto& fd : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        const QString target =
            QString::fromStdString(std::filesystem::read_symlink(fd.path(), error).string());
        const QString name = target.mid(collection.path().size() + 1);
        if (!error && target.startsWith(collection.path() + "/") &&
            (name.startsWith("pkeep.rpt.") || name.startsWith("#")))
            sizes.push_back(QFileInfo(QString::fromStdString(fd.path().string())).size());
    }
    return sizes;
}

bool NoSpillLeft(const TestCollection& collection) {
    return OpenSpillSizes(collection).empty() &&
           QDir(collection.path()).entryList({"pkeep.rpt.*"}, QDir::Files | QDir::Hidden).isEmpty();
}

// A logo of 120,054 bytes: every page's header carries that much.
QString WriteBigLogo(const TestCollection& collection) {
    QImage logo(200, 200, QImage::Format_RGB888);
    logo.fill(QColor(0, 0, 255));
    EXPECT_TRUE(logo.save(collection.file("BIG.BMP"), "BMP"));
    return collection.file("BIG.BMP");
}

TEST_F(PreviewWindowTest, RecordingSpillsToDiskAndThePreviewPagesThroughTheFile) {
    TPreviewForm* form = newWindow();
    form->Run.LogoFile = WriteBigLogo(collection);
    std::vector<qint64> onDisk;  // the spill file's size as each page's body starts
    form->RPReport->OnPrintPage = [&](TBaseReport* sender, int& page) {
        const std::vector<qint64> spill = OpenSpillSizes(collection);
        onDisk.push_back(spill.size() == 1 ? spill[0] : -1);
        return form->RPSeriesReportPrintPage(sender, page);
    };
    form->RunReport();
    ASSERT_EQ(onDisk.size(), 3u);
    for (std::size_t page = 0; page < 3; ++page)
        EXPECT_GT(onDisk[page], qint64(page + 1) * 120000) << "page " << page + 1;
    EXPECT_TRUE(NoSpillLeft(collection));

    // Each page, also paging backwards, shows as a replay of the same bytes
    // held in memory shows it.
    QFile file(collection.file("pkeep.rpt"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QByteArray bytes = file.readAll();
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QScrollArea area;
    area.resize(form->PreviewBox->size());
    TFilePreview reference;
    reference.ScrollBox = &area;
    reference.StreamMode = smUser;
    reference.UserStream = &buffer;
    reference.SetZoomFactor(form->RPPreview->ZoomFactor());
    reference.StartPreview();
    for (int page : {3, 1, 2, 3, 1}) {
        form->RPPreview->ShowPage(page);
        reference.ShowPage(page);
        EXPECT_EQ(form->RPPreview->PageBitmap(), reference.PageBitmap()) << "page " << page;
    }
    reference.EndPreview();
}

TEST_F(PreviewWindowTest, AFailedRecordingRemovesItsSpillAndKeepsTheReportFile) {
    newWindow()->RunReport();
    QFile file(collection.file("pkeep.rpt"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray before = file.readAll();
    file.close();

    TPreviewForm* form = newWindow();
    std::size_t spillWhileRecording = 0;
    form->RPReport->OnPrintPage = [&](TBaseReport* sender, int& page) {
        spillWhileRecording = OpenSpillSizes(collection).size();
        if (sender->CurrentPage() == 2) throw Exception("the page failed");
        return form->RPSeriesReportPrintPage(sender, page);
    };
    EXPECT_THROW(form->RunReport(), Exception);
    EXPECT_EQ(spillWhileRecording, 1u);
    EXPECT_TRUE(NoSpillLeft(collection));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), before);
}

// The logo every page repeats is one picture in the PDF, drawn on each page.
TEST_F(PreviewWindowTest, TheLogoOfEveryPageIsOnePictureInThePdf) {
    const QString pdf = collection.file("print.pdf");
    SetInstalledPrinters(std::make_unique<TPdfFilePrinters>(pdf));
    TPreviewForm* form = newWindow();
    form->RunReport();
    form->ExecPrintDialog = [](QPrintDialog&) { return true; };
    form->SBPrintClick();
    const auto images = PdfImages(pdf);
    ASSERT_EQ(images.size(), 3u);
    for (int page = 1; page <= 3; ++page) {
        EXPECT_EQ(images[std::size_t(page - 1)].first, page);
        EXPECT_EQ(images[std::size_t(page - 1)].second, images[0].second) << "page " << page;
    }
    const QStringList pages = PdfPageTexts(pdf);
    ASSERT_EQ(pages.size(), 3);
    EXPECT_TRUE(pages[1].contains("Listing of All Series"));
    EXPECT_TRUE(pages[1].contains("SERIES 052"));
}

TEST_F(PreviewWindowTest, EachWindowPrintsItsOwnRecording) {
    const QString pdf = collection.file("print.pdf");
    SetInstalledPrinters(std::make_unique<TPdfFilePrinters>(pdf));
    TPreviewForm* all = newWindow();
    all->RunReport();
    TPreviewForm* favorites = newWindow();
    favorites->RPReport->Title = "Listing of Favorite Series";
    favorites->Run.TableSeries->SetFilter("Favorite");
    favorites->RunReport();  // overwrites pkeep.rpt
    EXPECT_EQ(favorites->RPPreview->PageCount(), 1);

    auto printAll = [](TPreviewForm* form) {
        form->ExecPrintDialog = [](QPrintDialog&) { return true; };
        form->SBPrintClick();
    };
    printAll(all);
    QStringList pages = PdfPageTexts(pdf);
    ASSERT_EQ(pages.size(), 3);
    EXPECT_TRUE(pages[0].contains("Listing of All Series"));
    EXPECT_TRUE(pages[0].contains("SERIES 001"));
    EXPECT_TRUE(pages[2].contains("SERIES 120"));
    // The older window still pages through its own report too.
    all->SBLastClick();
    EXPECT_EQ(all->RPPreview->CurrentPage(), 3);

    printAll(favorites);
    pages = PdfPageTexts(pdf);
    ASSERT_EQ(pages.size(), 1);
    EXPECT_TRUE(pages[0].contains("Listing of Favorite Series"));
    EXPECT_TRUE(pages[0].contains("SERIES 010"));
    EXPECT_FALSE(pages[0].contains("SERIES 001"));
}

}  // namespace

namespace {

// The All Series command on the real frame window: its preview windows are
// children of the frame's client area, each a window of its own.
TEST_F(PreviewWindowTest, AllSeriesOpensPreviewsInTheFrame) {
    TestDir config;  // the frame keeps its placement there, never in $HOME
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    const QString previous = QDir::currentPath();
    QDir::setCurrent(collection.path());  // "pkeep.rpt" and "PKEEP20.BMP" live here
    {
        TMainForm frame;
        frame.show();
        TPreviewForm* first = OpenAllSeriesPreview(frame);
        EXPECT_EQ(PreviewForm.data(), first);
        EXPECT_EQ(frame.ChildCount(), 1);
        EXPECT_EQ(first->parentWidget()->windowTitle(), "Report Preview - Listing of All Series");
        EXPECT_EQ(first->size(), QSize(604, 345));  // the whole progress panel shows
        EXPECT_EQ(first->RPPreview->PageCount(), 3);
        EXPECT_TRUE(QFile::exists(collection.file("pkeep.rpt")));

        TPreviewForm* second = OpenAllSeriesPreview(frame);
        EXPECT_EQ(PreviewForm.data(), second);
        EXPECT_EQ(frame.ChildCount(), 2);
        second->SBLastClick();
        EXPECT_EQ(first->RPPreview->CurrentPage(), 1);  // windows page on their own

        // The close button closes the child window, not just its content.
        second->SBCloseClick();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(frame.ChildCount(), 1);
        EXPECT_EQ(PreviewForm.data(), nullptr);
    }
    QDir::setCurrent(previous);
}

}  // namespace
