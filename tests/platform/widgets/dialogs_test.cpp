// Message and input boxes: the answerer seam, and the real boxes driven by
// keys the way a user closes them.
#include "platform/widgets/dialogs.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <vector>

#include "platform/widgets/application.h"

namespace {

// Presses a key in the modal box once it is up.
void pressInModalBox(Qt::Key key) {
    QTimer::singleShot(0, [key] {
        QWidget* box = QApplication::activeModalWidget();
        ASSERT_NE(box, nullptr);
        QTest::keyClick(box, key);
    });
}

}  // namespace

TEST(MessageBoxSeam, AnswererSeesTheRequestAndChoosesTheResult) {
    std::vector<TMessageRequest> asked;
    TScopedMessageAnswerer answerer([&](const TMessageRequest& r) {
        asked.push_back(r);
        return static_cast<int>(mrNo);
    });
    EXPECT_EQ(MessageDlgPos("Save?", TMsgDlgType::mtConfirmation, mbYesNoCancel, QPoint(150, 200)),
              mrNo);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].text, "Save?");
    EXPECT_EQ(asked[0].caption, "Confirm");
    EXPECT_EQ(asked[0].buttons, mbYes | mbNo | mbCancel);
    ASSERT_TRUE(asked[0].position.has_value());
    EXPECT_EQ(*asked[0].position, QPoint(150, 200));
}

TEST(MessageBoxSeam, NestedAnswerersRestoreTheOuterOne) {
    int outerCalls = 0;
    TScopedMessageAnswerer outer([&](const TMessageRequest&) {
        ++outerCalls;
        return static_cast<int>(mrOk);
    });
    {
        TScopedMessageAnswerer inner(
            [](const TMessageRequest&) { return static_cast<int>(mrCancel); });
        EXPECT_EQ(MessageDlg("x", TMsgDlgType::mtWarning, mbOKCancel), mrCancel);
    }
    EXPECT_EQ(MessageDlg("x", TMsgDlgType::mtWarning, mbOKCancel), mrOk);
    EXPECT_EQ(outerCalls, 1);
}

TEST(InputBoxSeam, ValueChangesOnlyWhenAccepted) {
    QString value = "old";
    {
        TScopedInputAnswerer typed([](TInputRequest& r) {
            EXPECT_EQ(r.value, "old");
            r.value = "new";
            return true;
        });
        EXPECT_TRUE(InputQuery("Find", "Series:", value));
    }
    EXPECT_EQ(value, "new");
    TScopedInputAnswerer cancelled([](TInputRequest& r) {
        r.value = "ignored";
        return false;
    });
    EXPECT_FALSE(InputQuery("Find", "Series:", value));
    EXPECT_EQ(value, "new");
    EXPECT_EQ(InputBox("Find", "Series:", "default"), "default");
}

TEST(RealMessageBox, EnterTakesTheFirstButtonAndEscapeCancels) {
    pressInModalBox(Qt::Key_Return);
    EXPECT_EQ(MessageDlg("Save?", TMsgDlgType::mtConfirmation, mbYesNoCancel), mrYes);
    pressInModalBox(Qt::Key_Escape);
    EXPECT_EQ(MessageDlg("Save?", TMsgDlgType::mtConfirmation, mbYesNoCancel), mrCancel);
    pressInModalBox(Qt::Key_Escape);
    EXPECT_EQ(MessageDlg("Delete record?", TMsgDlgType::mtConfirmation, mbOKCancel), mrCancel);
}

TEST(RealMessageBox, ShowsTextAndCaptionAtTheRequestedPlace) {
    QString seenText, seenCaption;
    QPoint seenPos;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        seenText = box->text();
        seenCaption = box->windowTitle();
        seenPos = box->pos();
        QTest::keyClick(box, Qt::Key_Return);
    });
    EXPECT_EQ(MessageDlgPos("Table not found.", TMsgDlgType::mtError, mbOK, QPoint(40, 30)), mrOk);
    EXPECT_EQ(seenText, "Table not found.");
    EXPECT_EQ(seenCaption, "Error");
    EXPECT_EQ(seenPos, QPoint(40, 30));
}

TEST(RealInputBox, TypedTextComesBack) {
    QTimer::singleShot(0, [] {
        auto* dialog = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        auto* edit = dialog->findChild<QLineEdit*>();
        ASSERT_NE(edit, nullptr);
        edit->selectAll();
        QTest::keyClicks(edit, "SPAWN");
        QTest::keyClick(edit, Qt::Key_Return);
    });
    QString value = "X-MEN";
    EXPECT_TRUE(InputQuery("Find Series", "Series name:", value));
    EXPECT_EQ(value, "SPAWN");
}

TEST(MessageBoxSeam, ShowMessageCarriesTheProgramsTitle) {
    TApplication::Instance()->SetTitle("Panel-Keep v2.0b");
    TMessageRequest seen;
    TScopedMessageAnswerer answerer([&](const TMessageRequest& r) {
        seen = r;
        return static_cast<int>(mrOk);
    });
    ShowMessage("Series Rebuild Complete");
    EXPECT_EQ(seen.caption, "Panel-Keep v2.0b");
    EXPECT_EQ(seen.buttons, static_cast<TMsgDlgButtons>(mbOK));
}
