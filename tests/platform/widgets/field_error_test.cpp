// Text a field refuses, met as the user leaves the edit box or saves: the
// error is shown once, by a real message box that takes the focus as it
// opens, and the focus stays in the edit box with the text left to correct.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>

#include "platform/db/table.h"
#include "platform/paradox/table.h"
#include "platform/widgets/db_edit.h"
#include "platform/widgets/db_navigator.h"
#include "platform/widgets/db_navigator_link.h"
#include "platform/widgets/speed_button.h"
#include "tests/support/temp_dir.h"

namespace {

// Closes each message box once it is up, as a user pressing Enter, and keeps
// its text.
class BoxCloser {
public:
    BoxCloser() {
        QObject::connect(&timer_, &QTimer::timeout, [this] { closeOpenBox(); });
        timer_.start(5);
    }
    QStringList texts;

private:
    void closeOpenBox() {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible() || box->property("closing").toBool()) return;
        box->setProperty("closing", true);
        texts << box->text();
        QTest::keyClick(box, Qt::Key_Return);
    }
    QTimer timer_;
};

class FieldErrorTest : public ::testing::Test {
protected:
    void SetUp() override {
        paradox::TableSchema schema;
        schema.fields = {{"NAME", paradox::FieldType::Alpha, 20},
                         {"QTY", paradox::FieldType::Short, 0}};
        schema.keyFieldCount = 1;
        paradox::Table::create(dir.file("items.db"), schema);
        paradox::Table::open(dir.file("items.db"))
            ->insert({paradox::Value::text("APPLE"), paradox::Value::integer(1)});
        table.SetDatabaseName(dir.path());
        table.SetTableName("items.db");
        source.SetDataSet(&table);
        table.Open();

        auto* column = new QVBoxLayout(&window);
        for (TDBEdit* edit : {qty, name}) {
            edit->SetDataSource(&source);
            column->addWidget(edit);
        }
        qty->SetDataField("QTY");
        name->SetDataField("NAME");
        navigator->setFixedHeight(25);
        column->addWidget(navigator);
        link.Connect(&source);
        window.show();
        QApplication::setActiveWindow(&window);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }

    // As the window manager does once the message box is gone.
    void reactivate() {
        QApplication::setActiveWindow(&window);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }
    void typeIntoQty(const QString& text) {
        qty->setFocus();
        qty->selectAll();
        QTest::keyClicks(qty, text);
    }
    long long storedQty() { return paradox::Table::open(dir.file("items.db"))->row(0)[1].asInt(); }

    TestDir dir;
    TTable table;
    TDataSource source;
    QWidget window;
    TDBEdit* qty = new TDBEdit(&window);
    TDBEdit* name = new TDBEdit(&window);
    TDBNavigator* navigator = new TDBNavigator(&window);
    TNavigatorLink link{navigator};
    BoxCloser boxes;
};

}  // namespace

TEST_F(FieldErrorTest, TabOutOfRefusedTextShowsItOnceAndKeepsTheFocus) {
    typeIntoQty("abc");
    QTest::keyClick(qty, Qt::Key_Tab);
    EXPECT_EQ(boxes.texts.size(), 1) << boxes.texts.join(" / ").toStdString();
    reactivate();
    EXPECT_TRUE(qty->hasFocus());
    EXPECT_EQ(qty->text(), "abc");
    EXPECT_EQ(table.State(), TDataSetState::dsEdit);
    // Corrected, the text is written and Tab moves on.
    typeIntoQty("7");
    QTest::keyClick(qty, Qt::Key_Tab);
    EXPECT_EQ(boxes.texts.size(), 1);
    EXPECT_TRUE(name->hasFocus());
    EXPECT_EQ(table.FieldByName("QTY")->AsInteger(), 7);
}

TEST_F(FieldErrorTest, SavingRefusedTextShowsItOnce) {
    typeIntoQty("abc");
    QTest::mouseClick(navigator->Button(TNavigateBtn::nbPost), Qt::LeftButton);
    EXPECT_EQ(boxes.texts.size(), 1) << boxes.texts.join(" / ").toStdString();
    EXPECT_EQ(qty->text(), "abc");
    EXPECT_EQ(table.State(), TDataSetState::dsEdit);
    EXPECT_EQ(storedQty(), 1);
}
