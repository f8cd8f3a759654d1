// A Reports menu command on a collection whose books table does not open:
// the message is shown once, no report runs, and the program goes on.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QAction>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QMetaObject>

#include "platform/graphics/printers.h"
#include "reportengine/file_preview.h"
#include "reports/catalogue.h"
#include "reports/preview_form.h"
#include "store/collection.h"
#include "tests/app/frame_fixture.h"

namespace {

class ReportCommandTest : public FrameTest {
protected:
    void SetUp() override {
        FrameTest::SetUp();
        store::CreateCollection(collection());
        store::RegisterAlias(collection());
        fill(300);  // books.db well over 16 KB
        QImage logo(16, 16, QImage::Format_RGB32);
        logo.fill(Qt::darkBlue);
        logo.save(collection() + "/PKEEP20.BMP", "BMP");
        QDir::setCurrent(collection());  // where the report file goes
        SetInstalledPrinters(std::make_unique<TNoPrinters>());
        installReportsMenu(*form, [] { return std::nullopt; });
        form->show();
    }
    void TearDown() override { QDir::setCurrent(previousDirectory); }

    QString collection() const { return dir.path() + "/pkeep"; }
    QString books() const { return collection() + "/" + store::kBooksTable; }

    // One series of `count` books, one copy each.
    void fill(int count) {
        auto series =
            paradox::Table::open((collection() + "/" + store::kSeriesTable).toStdString());
        paradox::Row row(series->schema().fields.size());
        row[0] = paradox::Value::text("ALPHA");
        row[1] = paradox::Value::text("ACME");
        row[8] = paradox::Value::integer(count);
        const std::int64_t entry = series->row(series->insert(row))[2].asInt();
        auto table = paradox::Table::open(books().toStdString());
        table->beginBatch();
        for (int i = 1; i <= count; ++i) {
            paradox::Row book(table->schema().fields.size());
            book[0] = paradox::Value::integer(entry);
            book[1] = paradox::Value::text(store::AlignComicNo(QString::number(i)).toStdString());
            book[2] = paradox::Value::text("1ST");
            book[6] = paradox::Value::integer(1);
            book[10] = paradox::Value::integer(100);
            table->insert(book);
        }
        table->commitBatch();
        table->saveChanges();
    }

    // Chooses the menu item as a click does: inside the event loop, under
    // the program's top-level error handler.
    void choose(const char* item) {
        QAction* action = form->findChild<QAction*>(item);
        ASSERT_NE(action, nullptr);
        QMetaObject::invokeMethod(action, &QAction::trigger, Qt::QueuedConnection);
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
    }

    // The books table does not open: the open error is shown once and
    // neither a report nor its window is left.
    void expectStoppedWithOneMessage(const QString& expected) {
        choose("CollectionBySereis");
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].type, TMsgDlgType::mtError);
        EXPECT_TRUE(boxes[0].text.contains(expected)) << boxes[0].text.toStdString();
        EXPECT_EQ(form->ChildCount(), 0);
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        EXPECT_FALSE(QFile::exists(collection() + "/pkeep.rpt"));
        boxes.clear();
    }

    // The program is still running: once the table opens again the same
    // command shows its report.
    void expectTheNextReportRecords() {
        choose("CollectionBySereis");
        EXPECT_TRUE(boxes.empty()) << boxes.front().text.toStdString();
        ASSERT_EQ(form->ChildCount(), 1);
        ASSERT_TRUE(PreviewForm);
        EXPECT_GE(PreviewForm->RPPreview->PageCount(), 2);
        form->CloseWindowClick();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    const QString previousDirectory = QDir::currentPath();
};

TEST_F(ReportCommandTest, ABooksTableHeldByAnotherProgramStopsTheReport) {
    const int holder = ::open(books().toLocal8Bit().constData(), O_RDONLY);
    ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);
    expectStoppedWithOneMessage("in use by another program");
    ::close(holder);
    expectTheNextReportRecords();
}

TEST_F(ReportCommandTest, ABooksTableCutShortStopsTheReport) {
    const QByteArray whole = [&] {
        QFile file(books());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();
    ASSERT_GT(whole.size(), 16384);
    ASSERT_TRUE(QFile::resize(books(), 16384));
    expectStoppedWithOneMessage("books.db");
    QFile file(books());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(whole);
    file.close();
    expectTheNextReportRecords();
}

}  // namespace
