// Every input the stream reader's fuzzer found troublesome, replayed as a
// regular test: each ends in a clear error or a drawn page, nothing worse.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "tests/reportengine/report_test_support.h"

namespace {

// A replayer over one stored stream file.  The bytes are declared first so
// that they outlive the replayer reading them.
class StoredStream {
    QByteArray bytes_;
    QBuffer buffer_;
    bool opened_ = false;

public:
    explicit StoredStream(const QString& path) {
        QFile file(path);
        opened_ = file.open(QIODevice::ReadOnly);
        bytes_ = file.readAll();
        buffer_.setBuffer(&bytes_);
        buffer_.open(QIODevice::ReadOnly);
        replayer.StreamMode = smUser;
        replayer.UserStream = &buffer_;
    }
    bool opened() const { return opened_; }

    BitmapReplayer replayer;
};

TEST(FuzzRegressions, EveryFoundInputReplaysSafely) {
    UseNoPrinters();
    QDir dir(FUZZ_CORPUS_DIR);
    const QStringList files = dir.entryList(QDir::Files);
    for (const QString& name : files) {
        StoredStream stream(dir.filePath(name));
        ASSERT_TRUE(stream.opened());
        BitmapReplayer& replayer = stream.replayer;
        try {
            if (replayer.Start()) {
                for (int page : {1, 2, 99, 1}) replayer.Render(page);
            }
        } catch (const Exception&) {
            // A clear error is the expected end of a damaged stream.
        }
    }
    SUCCEED() << files.size() << " inputs";
}

// The fuzzer's seeds are sound streams using every command the recorder
// writes: they replay without any error.
TEST(FuzzRegressions, EverySeedReplaysWithoutError) {
    UseNoPrinters();
    QDir dir(FUZZ_SEED_DIR);
    const QStringList files = dir.entryList(QDir::Files);
    ASSERT_GE(files.size(), 3);
    for (const QString& name : files) {
        StoredStream stream(dir.filePath(name));
        ASSERT_TRUE(stream.opened());
        BitmapReplayer& replayer = stream.replayer;
        ASSERT_TRUE(replayer.Start()) << name.toStdString();
        for (int page = 1; page <= replayer.PageCount(); ++page) {
            EXPECT_NO_THROW(replayer.Render(page)) << name.toStdString() << " page " << page;
            EXPECT_FALSE(replayer.printed.isEmpty() && name != "shapes.rpt");
        }
    }
}

}  // namespace
