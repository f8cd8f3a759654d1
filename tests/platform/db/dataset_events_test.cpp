// Notification order around insert, edit, post, cancel and delete; calculated
// fields; refused posts.
#include <QStringList>

#include "platform/base/exception.h"
#include "tests/platform/db/fixture.h"

namespace {

class EventsTest : public CollectionTest {
protected:
    void SetUp() override {
        CollectionTest::SetUp();
        addSeries("ALPHA", "ACME");
        addSeries("BETA", "ACME");
        series.SetDatabaseName("PKEEP");
        series.SetTableName("SERIES.DB");  // names are not case sensitive
        dataSeries.SetDataSet(&series);
        series.Open();
        record(series, "");
    }

    void record(TDataSet& table, const QString& prefix) {
        auto log = [this, prefix](const char* what) {
            return [this, prefix, what](TDataSet*) { events << prefix + what; };
        };
        table.BeforeInsert = log("BeforeInsert");
        table.AfterInsert = log("AfterInsert");
        table.BeforeEdit = log("BeforeEdit");
        table.AfterEdit = log("AfterEdit");
        table.BeforePost = log("BeforePost");
        table.AfterPost = log("AfterPost");
        table.BeforeCancel = log("BeforeCancel");
        table.AfterCancel = log("AfterCancel");
        table.BeforeDelete = log("BeforeDelete");
        table.AfterDelete = log("AfterDelete");
        table.OnNewRecord = log("OnNewRecord");
        dataSeries.OnDataChange = [this](TDataSource*, TField* field) {
            events << (field ? "DataChange:" + field->FieldName() : QString("DataChange"));
        };
        dataSeries.OnStateChange = [this](TDataSource* source) {
            const char* names[] = {"inactive", "browse", "edit", "insert", "calc"};
            events << QString("State:") + names[static_cast<int>(source->State())];
        };
    }

    QStringList take() {
        QStringList out = events;
        events.clear();
        return out;
    }

    QStringList events;
};

TEST_F(EventsTest, InsertThenPostRaisesNotificationsInToolkitOrder) {
    series.Insert();
    EXPECT_EQ(take(), QStringList({"BeforeInsert", "State:insert", "OnNewRecord", "DataChange",
                                   "AfterInsert"}));
    series.FieldByName("SERIES")->SetAsString("GAMMA");
    EXPECT_EQ(take(), QStringList({"DataChange:SERIES"}));
    series.Post();
    EXPECT_EQ(take(), QStringList({"BeforePost", "State:browse", "DataChange", "AfterPost"}));
    EXPECT_EQ(series.FieldByName("SERIES")->AsString(), "GAMMA");
    EXPECT_EQ(series.FieldByName("ENTRY")->AsInteger(), 3);  // assigned by the engine on post
    EXPECT_EQ(series.RecordCount(), 3);
}

TEST_F(EventsTest, EditCancelAndDeleteRaiseNotificationsInToolkitOrder) {
    series.Edit();
    EXPECT_EQ(take(), QStringList({"BeforeEdit", "State:edit", "DataChange", "AfterEdit"}));
    series.FieldByName("SERIES")->SetAsString("CHANGED");
    series.Cancel();
    EXPECT_EQ(take(), QStringList({"DataChange:SERIES", "BeforeCancel", "State:browse",
                                   "DataChange", "AfterCancel"}));
    EXPECT_EQ(series.FieldByName("SERIES")->AsString(), "ALPHA");
    series.Delete();
    EXPECT_EQ(take(), QStringList({"BeforeDelete", "DataChange", "AfterDelete"}));
    EXPECT_EQ(series.FieldByName("SERIES")->AsString(), "BETA");  // the next row is current
    EXPECT_EQ(series.RecordCount(), 1);
}

TEST_F(EventsTest, PostAndCancelDoNothingWhileBrowsing) {
    series.Post();
    series.Cancel();
    EXPECT_TRUE(take().isEmpty());
    EXPECT_EQ(series.State(), TDataSetState::dsBrowse);
}

TEST_F(EventsTest, EditOfAnEmptyTableStartsAnInsert) {
    series.Close();
    TTable empty;
    empty.SetDatabaseName("PKEEP");
    empty.SetTableName("books");
    empty.Open();
    ASSERT_TRUE(empty.IsEmpty());
    ASSERT_TRUE(empty.Eof());
    empty.Edit();
    EXPECT_EQ(empty.State(), TDataSetState::dsInsert);
}

TEST_F(EventsTest, MovingAwayPostsAModifiedRowAndCancelsAnUnmodifiedOne) {
    series.Edit();
    series.Next();  // nothing typed: cancelled
    EXPECT_TRUE(take().contains("AfterCancel"));
    series.Edit();
    series.FieldByName("PUBLISHER")->SetAsString("NEW HOUSE");
    series.First();
    EXPECT_TRUE(take().contains("AfterPost"));
    EXPECT_EQ(series.FieldByName("PUBLISHER")->AsString(), "ACME");
    series.Last();
    EXPECT_EQ(series.FieldByName("PUBLISHER")->AsString(), "NEW HOUSE");
}

TEST_F(EventsTest, KeyViolationLeavesTheRowInInsertStateWithItsValues) {
    series.Insert();
    series.FieldByName("SERIES")->SetAsString("ALPHA");
    series.FieldByName("PUBLISHER")->SetAsString("ACME");
    series.FieldByName("ENTRY")->SetAsInteger(1);  // ALPHA, ACME, 1 exists
    series.FieldByName("OWNED")->SetAsInteger(7);
    EXPECT_THROW(series.Post(), EDatabaseError);
    EXPECT_EQ(series.State(), TDataSetState::dsInsert);
    EXPECT_EQ(series.FieldByName("OWNED")->AsInteger(), 7);
    EXPECT_EQ(series.FieldByName("SERIES")->AsString(), "ALPHA");
    series.FieldByName("PUBLISHER")->SetAsString("OTHER");  // corrected: now it posts
    series.Post();
    EXPECT_EQ(series.RecordCount(), 3);
}

TEST_F(EventsTest, TextOutsideTheCodePageIsRefusedAndKept) {
    series.Edit();
    series.FieldByName("SERIES")->SetAsString(QString::fromUtf8("\xe6\xbc\xab\xe7\x94\xbb"));
    EXPECT_THROW(series.Post(), EDatabaseError);
    EXPECT_EQ(series.State(), TDataSetState::dsEdit);
    EXPECT_EQ(series.FieldByName("SERIES")->AsString(),
              QString::fromUtf8("\xe6\xbc\xab\xe7\x94\xbb"));
    series.Cancel();
    EXPECT_EQ(column(series, "SERIES"), (std::vector<QString>{"ALPHA", "BETA"}));
}

TEST_F(EventsTest, FieldWritesNeedEditStateAndCheckTheirValues) {
    EXPECT_THROW(series.FieldByName("SERIES")->SetAsString("X"), EDatabaseError);
    series.Edit();
    EXPECT_THROW(series.FieldByName("OWNED")->SetAsInteger(40000), EDatabaseError);  // 16-bit
    EXPECT_THROW(series.FieldByName("OWNED")->SetAsString("many"), EDatabaseError);
    EXPECT_THROW(series.FieldByName("PUBLISHER")->SetAsString(QString(31, 'P')), EDatabaseError);
    EXPECT_FALSE(series.Modified());  // refused writes changed nothing
    EXPECT_THROW(series.FieldByName("NOSUCH"), EDatabaseError);
    EXPECT_EQ(series.FindField("nosuch"), nullptr);
    EXPECT_EQ(series.FieldByName("owned"), series.FieldByName("OWNED"));
}

// --- calculated fields -----------------------------------------------------------

class CalcTest : public CollectionTest {};

TEST_F(CalcTest, CalculatedFieldsFollowReadsAndEdits) {
    int entry = addSeries("ALPHA", "ACME");
    addBook({.entry = entry, .number = "1", .qty = 2, .paid = 10, .high = 40, .perc = 75});
    addBook({.entry = entry, .number = "2", .qty = 1, .paid = 5, .high = 10, .perc = 100});
    TField* graded = books.AddCalcField("GradedValue", TFieldType::ftCurrency);
    TField* profit = books.AddCalcField("Profitability", TFieldType::ftCurrency);
    int calls = 0;
    books.OnCalcFields = [&](TDataSet* ds) {
        ++calls;
        double value =
            ds->FieldByName("HIGH")->AsFloat() * ds->FieldByName("PERC")->AsInteger() * 0.01;
        ds->FieldByName("GradedValue")->SetAsFloat(value);
        ds->FieldByName("Profitability")
            ->SetAsFloat((value - ds->FieldByName("PAID")->AsFloat()) *
                         ds->FieldByName("QTY")->AsInteger());
    };
    openLinked();
    EXPECT_DOUBLE_EQ(graded->AsFloat(), 30.0);  // 40 x 75%
    EXPECT_DOUBLE_EQ(profit->AsFloat(), 40.0);  // (30 - 10) x 2
    books.Next();
    EXPECT_DOUBLE_EQ(graded->AsFloat(), 10.0);
    EXPECT_DOUBLE_EQ(profit->AsFloat(), 5.0);
    books.Edit();
    int before = calls;
    books.FieldByName("PERC")->SetAsInteger(50);
    EXPECT_GT(calls, before);  // recalculated after the change
    EXPECT_DOUBLE_EQ(graded->AsFloat(), 5.0);
    EXPECT_DOUBLE_EQ(profit->AsFloat(), 0.0);
    books.Cancel();
    EXPECT_DOUBLE_EQ(graded->AsFloat(), 10.0);
    // A grid reads another row's calculated values without moving.
    EXPECT_DOUBLE_EQ(books.ValueAt(1, graded).toDouble(), 30.0);
    EXPECT_EQ(books.RecNo(), 2);
    EXPECT_DOUBLE_EQ(graded->AsFloat(), 10.0);
    EXPECT_THROW(graded->SetAsFloat(1), EDatabaseError);  // only inside OnCalcFields
}

// A grid reads the rows around a new row while it is being inserted: each
// shows its stored values, the edit buffer belongs to the new row alone.
TEST_F(CalcTest, OtherRowsShowTheirStoredValuesWhileARowIsInserted) {
    int entry = addSeries("ALPHA", "ACME");
    addBook({.entry = entry, .number = "1", .qty = 1, .high = 10, .perc = 100});
    addBook({.entry = entry, .number = "2", .qty = 1, .high = 20, .perc = 50});
    TField* graded = books.AddCalcField("GradedValue", TFieldType::ftCurrency);
    books.OnCalcFields = [](TDataSet* ds) {
        ds->FieldByName("GradedValue")
            ->SetAsFloat(ds->FieldByName("HIGH")->AsFloat() * ds->FieldByName("PERC")->AsInteger() *
                         0.01);
    };
    openLinked();
    TField* number = books.FieldByName("COMIC_NO");
    books.Next();  // issue 2: the new row goes before it
    books.Insert();
    number->SetAsString("9");
    books.FieldByName("HIGH")->SetAsFloat(100);
    books.FieldByName("PERC")->SetAsInteger(100);
    EXPECT_EQ(books.DisplayTextAt(1, number).trimmed(), "1");
    EXPECT_EQ(books.DisplayTextAt(2, number).trimmed(), "2");
    EXPECT_DOUBLE_EQ(books.ValueAt(2, graded).toDouble(), 10.0);  // 20 x 50%
    // The new row keeps its own values after the reads.
    EXPECT_EQ(number->AsString(), "9");
    EXPECT_DOUBLE_EQ(graded->AsFloat(), 100.0);
    books.Cancel();
    // The row being edited answers from its edit buffer.
    books.Edit();
    books.FieldByName("EDITION")->SetAsString("2ND");
    EXPECT_EQ(books.DisplayTextAt(books.RecNo(), books.FieldByName("EDITION")), "2ND");
    books.Cancel();
}

TEST_F(CalcTest, CalculatedFieldsSurviveCloseAndOpen) {
    addSeries("ALPHA", "ACME");
    TField* upper = series.AddCalcField("Label", TFieldType::ftString, 40);
    series.OnCalcFields = [](TDataSet* ds) {
        ds->FieldByName("Label")->SetAsString(ds->FieldByName("SERIES")->AsString().toLower());
    };
    series.SetDatabaseName("PKEEP");
    series.SetTableName("series");
    series.Open();
    TField* name = series.FieldByName("SERIES");
    series.Close();
    series.Open();
    EXPECT_EQ(series.FieldByName("SERIES"), name);  // field objects are kept
    EXPECT_EQ(upper->AsString(), "alpha");
    EXPECT_THROW(series.AddCalcField("Other", TFieldType::ftString), EDatabaseError);
}

}  // namespace
