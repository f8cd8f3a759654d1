#pragma once
// A real frame window with the collection window plugged in, on an empty
// collection in a temporary directory.  Message and input boxes are
// answered by the test through the dialogs' seam; every question asked is
// recorded.

#include <gtest/gtest.h>

#include <QStringList>
#include <deque>
#include <memory>

#include "app/main_form.h"
#include "collection/comic_form.h"
#include "collection/dbmemo_up.h"
#include "platform/paradox/table.h"
#include "platform/widgets/db_edit.h"
#include "platform/widgets/db_grid.h"
#include "platform/widgets/db_navigator.h"
#include "platform/widgets/dialogs.h"
#include "platform/widgets/speed_button.h"
#include "tests/support/temp_dir.h"

class CollectionWindowTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Opens the window through File, Open, Comic Collection.
    TComicForm* openWindow();
    void showBookPage();
    void showSeriesPage();

    // Window actions as a user performs them.
    void addSeries(const QString& name, const QString& publisher);
    void addBook(const QString& number, int qty, const QString& edition = QString());
    void typeInto(QWidget* control, const QString& text);  // replaces the text
    void save();
    void undo();

    // The stored rows, read with the engine below the dataset layer.
    std::shared_ptr<paradox::Table> engineTable(const char* name) const;
    paradox::Row storedSeries(const QString& name) const;
    std::vector<paradox::Row> storedBooks() const;
    int storedOwned(const QString& name) const;

    // Rows written straight into the tables before the window opens.
    int seedSeries(const QString& name, const QString& publisher, int owned);
    void seedBook(int entry, const QString& number, int qty, int perc = 100, double high = 0,
                  double paid = 0);

    // Answers for the next boxes (mrOk when none is queued).
    std::deque<int> answers;
    std::deque<QString> inputs;  // an empty deque answers Cancel
    QStringList asked;
    std::vector<TMessageRequest> requests;

    TestDir dir;
    std::unique_ptr<TMainForm> frame;
    TComicForm* form = nullptr;

private:
    std::unique_ptr<TScopedMessageAnswerer> messageSeam_;
    std::unique_ptr<TScopedInputAnswerer> inputSeam_;
};

// Field positions of the stored rows (see store/collection.h).
namespace col {
enum Series { SERIES, PUBLISHER, ENTRY, SERNOTE, FAVORITE, WANTED, FORSALE, NEW, OWNED };
enum Books {
    B_ENTRY,
    COMIC_NO,
    EDITION,
    TITLE,
    ARTIST,
    WRITER,
    QTY,
    PAID,
    LOW,
    HIGH,
    PERC,
    BOOKNOTE,
    LOCATION,
    B_WANTED,
    B_FORSALE,
    AUTOGRAPH
};
}  // namespace col
