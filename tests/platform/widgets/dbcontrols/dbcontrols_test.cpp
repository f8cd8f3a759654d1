// The data-aware controls on a real table in a temporary directory: the grid
// model, edit boxes, check boxes and the navigator's link to its dataset.
#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QImage>
#include <QTest>

#include "platform/base/money.h"
#include "platform/db/session.h"
#include "platform/db/table.h"
#include "platform/widgets/db_edit.h"
#include "platform/widgets/db_grid.h"
#include "platform/widgets/db_memo.h"
#include "platform/widgets/db_navigator.h"
#include "platform/widgets/db_navigator_link.h"
#include "platform/widgets/dialogs.h"
#include "platform/widgets/speed_button.h"
#include "tests/support/temp_dir.h"

namespace {

class DBControlsTest : public ::testing::Test {
protected:
    void SetUp() override {
        paradox::TableSchema schema;
        schema.fields = {{"NAME", paradox::FieldType::Alpha, 20},
                         {"QTY", paradox::FieldType::Short, 0},
                         {"PRICE", paradox::FieldType::Money, 0},
                         {"FLAG", paradox::FieldType::Logical, 0}};
        schema.keyFieldCount = 1;
        paradox::Table::create(dir.file("items.db"), schema);
        auto engine = paradox::Table::open(dir.file("items.db"));
        for (const char* name : {"APPLE", "BANANA", "CHERRY"})
            engine->insert({paradox::Value::text(name), paradox::Value::integer(1),
                            paradox::Value::floating(2.5), paradox::Value::boolean(false)});
        table.SetDatabaseName(dir.path());
        table.SetTableName("items.db");
        source.SetDataSet(&table);
        table.Open();
    }

    std::shared_ptr<paradox::Table> engine() { return paradox::Table::open(dir.file("items.db")); }

    TestDir dir;
    TTable table;
    TDataSource source;
};

TEST_F(DBControlsTest, GridShowsTheRowsAndFollowsTheDataset) {
    TDBGrid grid;
    grid.SetColumns({{"NAME", "Name", 100}, {"QTY", "Qty", 40, Qt::AlignRight}});
    grid.SetDataSource(&source);
    QAbstractItemModelTester tester(grid.model(),
                                    QAbstractItemModelTester::FailureReportingMode::Fatal);
    QAbstractItemModel* model = grid.model();
    ASSERT_EQ(model->rowCount(), 3);
    EXPECT_EQ(model->headerData(0, Qt::Horizontal).toString(), "Name");
    EXPECT_EQ(model->data(model->index(1, 0)).toString(), "BANANA");
    EXPECT_EQ(model->data(model->index(1, 1), Qt::TextAlignmentRole).value<Qt::Alignment>(),
              Qt::AlignRight);
    EXPECT_FALSE(model->headerData(0, Qt::Vertical).toString().isEmpty());  // row indicator
    EXPECT_TRUE(model->headerData(1, Qt::Vertical).toString().isEmpty());

    table.Last();
    EXPECT_EQ(grid.currentIndex().row(), 2);
    grid.setCurrentIndex(model->index(1, 0));
    EXPECT_EQ(table.FieldByName("NAME")->AsString(), "BANANA");

    // A new row shows where it was inserted, with its typed values.
    table.Insert();
    ASSERT_EQ(model->rowCount(), 4);
    EXPECT_EQ(grid.currentIndex().row(), 1);
    EXPECT_EQ(model->headerData(1, Qt::Vertical).toString(), "*");
    table.FieldByName("NAME")->SetAsString("AVOCADO");
    EXPECT_EQ(model->data(model->index(1, 0)).toString(), "AVOCADO");
    table.Post();
    ASSERT_EQ(model->rowCount(), 4);
    EXPECT_EQ(model->data(model->index(1, 0)).toString(), "AVOCADO");
    EXPECT_EQ(grid.currentIndex().row(), 1);
}

// Pixels of `image` inside `area` that are close to `colour`.
int pixelsLike(const QImage& image, const QRect& area, const QColor& colour) {
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (std::abs(pixel.red() - colour.red()) + std::abs(pixel.green() - colour.green()) +
                    std::abs(pixel.blue() - colour.blue()) <
                60)
                ++count;
        }
    return count;
}

TEST_F(DBControlsTest, GridPaintsTheCurrentRowSelectedAndCutsTextAtTheCell) {
    engine()->update(
        0, {paradox::Value::text("ABCDEFGHIJKLMNOPQRST"), paradox::Value::integer(1),
            paradox::Value::floating(2.5), paradox::Value::null()});  // a blank flag shows no text
    table.Refresh();
    TDBGrid grid;
    grid.resize(300, 200);
    grid.SetColumns({{"NAME", "Name", 60}, {"FLAG", "Flag", 60}});
    grid.SetDataSource(&source);
    grid.show();
    table.Last();  // CHERRY, the third row
    static QStringList warnings;
    warnings.clear();
    const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType type, const QMessageLogContext&, const QString& message) {
            if (type != QtDebugMsg) warnings << message;
        });
    const QImage image = grid.grab().toImage();
    qInstallMessageHandler(previous);
    EXPECT_TRUE(warnings.isEmpty()) << warnings.join("\n").toStdString();  // e.g. a header font
    const auto cell = [&](int row, int column) {
        const QRect rect = grid.visualRect(grid.model()->index(row, column));
        return rect.translated(grid.viewport()->mapTo(&grid, QPoint())).adjusted(1, 1, -1, -1);
    };
    const QPalette palette = grid.palette();
    const QColor highlight = palette.color(QPalette::Active, QPalette::Highlight);
    const QColor text = palette.color(QPalette::Active, QPalette::Text);
    EXPECT_GT(pixelsLike(image, cell(2, 0), highlight), cell(2, 0).width() * 4);
    EXPECT_EQ(pixelsLike(image, cell(0, 0), highlight), 0);
    EXPECT_GT(pixelsLike(image, cell(0, 0), text), 0);  // the long name is drawn...
    EXPECT_GT(pixelsLike(image, cell(1, 0), text), 0);
    // ...and stops at its cell: the blank cell beside it stays empty.
    EXPECT_EQ(pixelsLike(image, cell(0, 1), text), 0);
    // The row indicator keeps its narrow fixed width, and a click on it
    // makes that row current.
    EXPECT_EQ(grid.verticalHeader()->width(), 14);
    const QRect indicator(0, grid.rowViewportPosition(0), 14, grid.rowHeight(0));
    QTest::mouseClick(grid.verticalHeader()->viewport(), Qt::LeftButton, {}, indicator.center());
    EXPECT_EQ(table.RecNo(), 1);
}

// Counts the paints a widget gets.
class PaintCounter : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints;
        return false;
    }
};

// A grid put into a window on screen while its rows arrive, as a window
// opens: its rows are painted once, in the columns' own widths.
TEST_F(DBControlsTest, GridPaintsArrivingRowsOnceInTheColumnsWidths) {
    table.Close();
    QWidget window;
    window.resize(400, 300);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    auto* grid = new TDBGrid(&window);
    grid->setGeometry(10, 10, 300, 200);
    grid->SetColumns({{"NAME", "Name", 100}, {"QTY", "Qty", 40}});
    grid->SetDataSource(&source);
    PaintCounter counter;
    grid->viewport()->installEventFilter(&counter);
    grid->show();
    table.Open();
    QTest::qWait(50);  // the layout, the paint and any timer after it
    EXPECT_EQ(counter.paints, 1);
    EXPECT_EQ(grid->columnViewportPosition(1), 100);
    EXPECT_EQ(grid->columnWidth(1), 40);
}

TEST_F(DBControlsTest, GridCtrlDeleteAsksFirst) {
    TDBGrid grid;
    grid.SetColumns({{"NAME", "", 100}});
    grid.SetDataSource(&source);
    QStringList asked;
    int answer = mrCancel;
    TScopedMessageAnswerer seam([&](const TMessageRequest& request) {
        asked << request.text;
        return answer;
    });
    QTest::keyClick(&grid, Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(asked, QStringList{"Delete record?"});
    EXPECT_EQ(engine()->rowCount(), 3u);
    answer = mrOk;
    QTest::keyClick(&grid, Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(engine()->rowCount(), 2u);
    EXPECT_EQ(grid.model()->rowCount(), 2);
}

TEST_F(DBControlsTest, TypingStartsAnEditAndPostWritesTheText) {
    TDBEdit edit;
    edit.SetDataField("NAME");
    edit.SetDataSource(&source);
    edit.SetCharCase(TEditCharCase::ecUpperCase);
    EXPECT_EQ(edit.text(), "APPLE");
    EXPECT_EQ(edit.maxLength(), 20);
    edit.selectAll();
    QTest::keyClicks(&edit, "apricot");
    EXPECT_EQ(table.State(), TDataSetState::dsEdit);
    EXPECT_EQ(edit.text(), "APRICOT");
    QTest::keyClick(&edit, Qt::Key_Escape);  // back to the stored text
    EXPECT_EQ(edit.text(), "APPLE");
    QTest::keyClick(&edit, Qt::Key_End);
    QTest::keyClicks(&edit, "S");
    table.Post();
    EXPECT_EQ(engine()->row(0)[0].asText(), "APPLES");
    // Moving keys do not start an edit.
    QTest::keyClick(&edit, Qt::Key_Home);
    EXPECT_EQ(table.State(), TDataSetState::dsBrowse);
}

TEST_F(DBControlsTest, MoneyShowsAsCurrencyAndCheckBoxStoresAtOnce) {
    TDBEdit price;
    price.SetDataField("PRICE");
    price.SetDataSource(&source);
    EXPECT_EQ(price.text(), QString::fromStdString(FormatMoney(2.5)));
    TDBCheckBox flag("Flag");
    flag.SetDataField("FLAG");
    flag.SetDataSource(&source);
    EXPECT_FALSE(flag.isChecked());
    QTest::mouseClick(&flag, Qt::LeftButton, {}, QPoint(5, flag.height() / 2));
    EXPECT_EQ(table.State(), TDataSetState::dsEdit);
    EXPECT_TRUE(table.FieldByName("FLAG")->AsBoolean());
    EXPECT_TRUE(flag.isChecked());
    table.Cancel();
    EXPECT_FALSE(flag.isChecked());
}

TEST_F(DBControlsTest, MemoConvertsCaseOnlyWhenAsked) {
    struct UpperMemo : TDBMemo {
        UpperMemo() { setCharCase(TEditCharCase::ecUpperCase); }
    } memo;
    memo.SetDataField("NAME");
    memo.SetDataSource(&source);
    memo.selectAll();
    QTest::keyClicks(&memo, "kiwi");
    EXPECT_EQ(memo.toPlainText(), "KIWI");
    table.Post();
    EXPECT_EQ(engine()->rowCount(), 3u);
    EXPECT_EQ(table.FieldByName("NAME")->AsString(), "KIWI");
}

TEST_F(DBControlsTest, NavigatorButtonsFollowPositionAndState) {
    TDBNavigator navigator;
    TNavigatorLink link(&navigator);
    const auto enabled = [&](TNavigateBtn button) { return navigator.Button(button)->isEnabled(); };
    EXPECT_FALSE(enabled(TNavigateBtn::nbNext));  // no data source yet
    link.Connect(&source);
    EXPECT_FALSE(enabled(TNavigateBtn::nbFirst));
    EXPECT_FALSE(enabled(TNavigateBtn::nbPrior));
    EXPECT_TRUE(enabled(TNavigateBtn::nbNext));
    EXPECT_TRUE(enabled(TNavigateBtn::nbDelete));
    EXPECT_FALSE(enabled(TNavigateBtn::nbPost));
    navigator.BtnClick(TNavigateBtn::nbLast);
    EXPECT_EQ(table.RecNo(), 3);
    EXPECT_FALSE(enabled(TNavigateBtn::nbNext));
    EXPECT_TRUE(enabled(TNavigateBtn::nbPrior));
    table.Edit();
    EXPECT_TRUE(enabled(TNavigateBtn::nbPost));
    EXPECT_TRUE(enabled(TNavigateBtn::nbCancel));
    navigator.BtnClick(TNavigateBtn::nbCancel);
    EXPECT_FALSE(enabled(TNavigateBtn::nbCancel));
    link.Connect(nullptr);
    EXPECT_EQ(navigator.DataSource(), nullptr);
    EXPECT_FALSE(enabled(TNavigateBtn::nbPrior));
}

}  // namespace
