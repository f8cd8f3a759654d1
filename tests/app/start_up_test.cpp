// The program's start-up around its frame: its own icon on the frame and a
// child window, and the first start without a collection, answered here as
// the user would answer the program's question.
#include "app/start_up.h"

#include <QFile>
#include <QImage>
#include <QTimer>

#include "collection/comic_form.h"
#include "platform/paradox/table.h"
#include "store/collection.h"
#include "tests/app/frame_fixture.h"

namespace {

QImage Rendered(const QIcon& icon, int size) {
    return icon.pixmap(size, size).toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

QImage Drawn(int size) {
    return QImage(QStringLiteral(PKEEP_SOURCE_DIR "/dist/icons/hicolor/%1x%1/apps/panel-keep.png")
                      .arg(size))
        .convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

std::size_t Rows(const QString& directory, const char* table) {
    return paradox::Table::open((directory + "/" + table).toStdString())->rowCount();
}

class FirstStartTest : public FrameTest {
protected:
    // Answers the first-start question with `answer`, and OK to the rest.
    bool StartWith(int answer) {
        TScopedMessageAnswerer answering([this, answer](const TMessageRequest& r) {
            boxes.push_back(r);
            return r.type == TMsgDlgType::mtConfirmation ? answer : static_cast<int>(mrOk);
        });
        return EnsureCollection(collection);
    }
    const QString collection = dir.path() + "/new place/panel-keep";
};

TMainForm* RunningFrame() {
    for (QWidget* window : QApplication::topLevelWidgets())
        if (auto* frame = qobject_cast<TMainForm*>(window)) return frame;
    return nullptr;
}

}  // namespace

// The program as pkeep runs it, started on a folder without a collection:
// cancelled it ends and leaves nothing; answered yes it creates the sample,
// and the collection window then opens on it without a table error.  The
// frame and that child window carry the program's own icon.
TEST(ProgramStart, FirstStartOffersACollectionAndTheWindowsOpenIt) {
    TestDir dir;
    const QString collection = dir.path() + "/collection";
    setenv("PKEEP_DIR", collection.toLocal8Bit().constData(), 1);
    setenv("XDG_CONFIG_HOME", dir.str().c_str(), 1);
    std::vector<TMessageRequest> boxes;
    int answer = mrCancel;
    TScopedMessageAnswerer answerer([&](const TMessageRequest& r) {
        boxes.push_back(r);
        return r.type == TMsgDlgType::mtConfirmation ? answer : static_cast<int>(mrOk);
    });
    TApplication& app = *TApplication::Instance();
    QTimer hangGuard;  // a program that never asked would run on: end it, failed
    hangGuard.setSingleShot(true);
    QObject::connect(&hangGuard, &QTimer::timeout, [] { QApplication::exit(1); });
    hangGuard.start(20000);

    EXPECT_EQ(RunProgram(app, "pkeep"), 0);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(boxes[0].text.contains(collection));
    EXPECT_FALSE(store::CollectionExists(collection));

    boxes.clear();
    answer = mrYes;
    bool collectionWindowOpened = false;
    std::vector<QIcon> icons;
    QTimer::singleShot(0, [&] {  // runs once the program's event loop does
        TMainForm* frame = RunningFrame();
        ASSERT_NE(frame, nullptr);
        frame->ComicCollectionClick();
        collectionWindowOpened = ComicForm != nullptr && ComicForm->isVisible();
        icons = {frame->windowIcon(), ComicForm ? ComicForm->windowIcon() : QIcon()};
        frame->close();
    });
    hangGuard.start(20000);
    EXPECT_EQ(RunProgram(app, "pkeep"), 0);
    EXPECT_TRUE(collectionWindowOpened);
    for (const QIcon& icon : icons) {
        ASSERT_FALSE(icon.isNull());
        for (int size : {16, 32, 48, 256}) EXPECT_EQ(Rendered(icon, size), Drawn(size)) << size;
    }
    ASSERT_EQ(boxes.size(), 2u);  // the question and where the collection went
    EXPECT_TRUE(boxes[1].text.contains(collection)) << boxes[1].text.toStdString();
    EXPECT_EQ(Rows(collection, store::kBooksTable), 400u);
    unsetenv("PKEEP_DIR");
}

TEST_F(FirstStartTest, SampleOrEmptyCollectionIsCreatedWhereTheQuestionSaid) {
    ASSERT_TRUE(StartWith(mrYes));
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_TRUE(boxes[0].text.contains(collection)) << boxes[0].text.toStdString();
    EXPECT_EQ(boxes[0].buttons, mbYesNoCancel);
    EXPECT_TRUE(boxes[1].text.contains(collection)) << boxes[1].text.toStdString();
    EXPECT_EQ(Rows(collection, store::kSeriesTable), 40u);
    EXPECT_EQ(Rows(collection, store::kBooksTable), 400u);
    EXPECT_TRUE(QFile::exists(collection + "/PKEEP20.BMP"));

    // Once there, the collection is simply opened: no question, nothing added.
    boxes.clear();
    EXPECT_TRUE(StartWith(mrYes));
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(Rows(collection, store::kBooksTable), 400u);
}

// (Cancel, which creates nothing, is tried on the whole program above.)
TEST_F(FirstStartTest, NoGivesAnEmptyCollection) {
    ASSERT_TRUE(StartWith(mrNo));
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_TRUE(boxes[1].text.contains(collection));
    EXPECT_EQ(Rows(collection, store::kSeriesTable), 0u);
    EXPECT_EQ(Rows(collection, store::kBooksTable), 0u);
}

TEST_F(FirstStartTest, AFailureToCreateIsReportedAndTheProgramEnds) {
    QFile blocker(dir.path() + "/new place");  // a file where the folder should go
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    EXPECT_FALSE(StartWith(mrNo));
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].type, TMsgDlgType::mtError);
    EXPECT_TRUE(boxes[1].text.startsWith("Could not create a collection in " + collection))
        << boxes[1].text.toStdString();
}
