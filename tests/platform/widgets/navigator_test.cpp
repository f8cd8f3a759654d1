// TDBNavigator against a small dataset of numbered rows: which buttons are
// usable in which state, what each does, and the delete confirmation.
#include <gtest/gtest.h>

#include <QTest>

#include "platform/widgets/db_navigator.h"
#include "platform/widgets/dialogs.h"
#include "platform/widgets/speed_button.h"

namespace {

// Rows 0..count-1 and a cursor; deleting removes the current row.
class RowSet : public TNavigatorSource {
public:
    explicit RowSet(int count) : count_(count) {}

    bool Active() const override { return active; }
    bool Bof() const override { return row_ == 0 || count_ == 0; }
    bool Eof() const override { return row_ >= count_ - 1; }
    bool Editing() const override { return editing_; }
    bool CanModify() const override { return !readOnly; }

    void First() override { row_ = 0; }
    void Prior() override { row_ = std::max(0, row_ - 1); }
    void Next() override { row_ = std::min(count_ - 1, row_ + 1); }
    void Last() override { row_ = count_ - 1; }
    void Insert() override { editing_ = true; }
    void Delete() override { row_ = std::min(row_, --count_ - 1); }
    void Edit() override { editing_ = true; }
    void Post() override { editing_ = false; }
    void Cancel() override { editing_ = false; }
    void Refresh() override {}

    int row() const { return row_; }
    int count() const { return count_; }
    bool active = true;
    bool readOnly = false;

private:
    int count_;
    int row_ = 0;
    bool editing_ = false;
};

bool usable(const TDBNavigator& nav, TNavigateBtn b) { return nav.Button(b)->isEnabled(); }

TDBNavigator* moveNavigator(QWidget* parent) {
    auto* nav = new TDBNavigator(parent);
    nav->setGeometry(0, 0, 104, 25);
    nav->SetVisibleButtons({TNavigateBtn::nbFirst, TNavigateBtn::nbPrior, TNavigateBtn::nbNext,
                            TNavigateBtn::nbLast, TNavigateBtn::nbInsert, TNavigateBtn::nbDelete,
                            TNavigateBtn::nbPost, TNavigateBtn::nbCancel});
    return nav;
}

}  // namespace

TEST(DBNavigator, WithoutDataSourceOrWhenDisabledNothingIsUsable) {
    QWidget window;
    TDBNavigator* nav = moveNavigator(&window);
    for (int i = 0; i < kNavigateButtonCount; ++i)
        EXPECT_FALSE(usable(*nav, static_cast<TNavigateBtn>(i))) << i;
    RowSet rows(3);
    nav->SetDataSource(&rows);
    EXPECT_TRUE(usable(*nav, TNavigateBtn::nbNext));
    nav->setEnabled(false);
    EXPECT_FALSE(nav->Button(TNavigateBtn::nbNext)->isEnabled());
    nav->setEnabled(true);
    EXPECT_TRUE(usable(*nav, TNavigateBtn::nbNext));
    rows.active = false;
    nav->DataChanged();
    EXPECT_FALSE(usable(*nav, TNavigateBtn::nbNext));
}

TEST(DBNavigator, ButtonsFollowPositionAndState) {
    QWidget window;
    TDBNavigator* nav = moveNavigator(&window);
    RowSet rows(3);
    nav->SetDataSource(&rows);
    // On the first row.
    EXPECT_FALSE(usable(*nav, TNavigateBtn::nbFirst));
    EXPECT_FALSE(usable(*nav, TNavigateBtn::nbPrior));
    EXPECT_TRUE(usable(*nav, TNavigateBtn::nbLast));
    EXPECT_FALSE(usable(*nav, TNavigateBtn::nbPost));
    window.show();
    QTest::mouseClick(nav->Button(TNavigateBtn::nbLast), Qt::LeftButton);
    EXPECT_EQ(rows.row(), 2);
    EXPECT_TRUE(usable(*nav, TNavigateBtn::nbPrior));
    EXPECT_FALSE(usable(*nav, TNavigateBtn::nbNext));
    QTest::mouseClick(nav->Button(TNavigateBtn::nbInsert), Qt::LeftButton);
    EXPECT_TRUE(usable(*nav, TNavigateBtn::nbPost));
    EXPECT_TRUE(usable(*nav, TNavigateBtn::nbCancel));
    nav->BtnClick(TNavigateBtn::nbCancel);
    EXPECT_FALSE(usable(*nav, TNavigateBtn::nbCancel));
    rows.readOnly = true;
    nav->DataChanged();
    EXPECT_FALSE(usable(*nav, TNavigateBtn::nbInsert));
    EXPECT_FALSE(usable(*nav, TNavigateBtn::nbDelete));
}

TEST(DBNavigator, DeleteAsksFirstAndCancelKeepsTheRow) {
    QWidget window;
    TDBNavigator* nav = moveNavigator(&window);
    RowSet rows(2);
    nav->SetDataSource(&rows);
    QString asked;
    int answer = mrCancel;
    TScopedMessageAnswerer answerer([&](const TMessageRequest& r) {
        asked = r.text;
        EXPECT_EQ(r.buttons, mbOK | mbCancel);
        return answer;
    });
    nav->BtnClick(TNavigateBtn::nbDelete);
    EXPECT_EQ(asked, "Delete record?");
    EXPECT_EQ(rows.count(), 2);
    answer = mrOk;
    nav->BtnClick(TNavigateBtn::nbDelete);
    EXPECT_EQ(rows.count(), 1);
}

TEST(DBNavigator, VisibleButtonsShareTheWidthAndCarryTheirHints) {
    QWidget window;
    auto* nav = new TDBNavigator(&window);
    nav->setGeometry(0, 0, 104, 25);
    nav->SetVisibleButtons({TNavigateBtn::nbInsert, TNavigateBtn::nbDelete, TNavigateBtn::nbPost,
                            TNavigateBtn::nbCancel});
    nav->SetHints(
        {"Add New Entry|", "Delete Selected Entry|", "Save Changes|", "Undo/Cancel Changes|"});
    EXPECT_FALSE(nav->IsButtonVisible(TNavigateBtn::nbFirst));
    EXPECT_TRUE(nav->Button(TNavigateBtn::nbFirst)->isHidden());
    EXPECT_EQ(nav->Button(TNavigateBtn::nbInsert)->geometry(), QRect(0, 0, 26, 25));
    EXPECT_EQ(nav->Button(TNavigateBtn::nbCancel)->geometry(), QRect(78, 0, 26, 25));
    EXPECT_EQ(nav->Button(TNavigateBtn::nbDelete)->toolTip(), "Delete Selected Entry");
    EXPECT_EQ(nav->Button(TNavigateBtn::nbCancel)->toolTip(), "Undo/Cancel Changes");
}
