// The application object: the top-level exception handler, the hint texts
// and the hint that follows the mouse, and the hourglass guard.
#include "platform/widgets/application.h"

#include <gtest/gtest.h>

#include <QEnterEvent>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <stdexcept>
#include <vector>

#include "platform/base/exception.h"
#include "platform/widgets/cursor_guard.h"
#include "platform/widgets/dialogs.h"
#include "platform/widgets/hints.h"
#include "platform/widgets/speed_button.h"

namespace {

void enter(QWidget* widget) {
    QEnterEvent event(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QApplication::sendEvent(widget, &event);
}

void leave(QWidget* widget) {
    QEvent event(QEvent::Leave);
    QApplication::sendEvent(widget, &event);
}

struct RecordedBoxes {
    std::vector<QString> texts;
    TScopedMessageAnswerer answerer{[this](const TMessageRequest& r) {
        texts.push_back(r.text);
        return static_cast<int>(mrOk);
    }};
};

}  // namespace

TEST(Hints, ShortAndLongParts) {
    EXPECT_EQ(GetShortHint("Open Comic Collection|"), "Open Comic Collection");
    EXPECT_EQ(GetLongHint("Open Comic Collection|"), "");
    EXPECT_EQ(GetShortHint("Tip|Status text"), "Tip");
    EXPECT_EQ(GetLongHint("Tip|Status text"), "Status text");
    // Without a bar the text serves as both.
    EXPECT_EQ(GetShortHint("Open an existing file"), "Open an existing file");
    EXPECT_EQ(GetLongHint("Open an existing file"), "Open an existing file");
    // Only the first bar divides.
    EXPECT_EQ(GetLongHint("a|b|c"), "b|c");
    EXPECT_EQ(GetShortHint("|only long"), "");
}

TEST(ApplicationHint, FollowsTheMouseIntoWidgets) {
    auto* app = TApplication::Instance();
    ASSERT_NE(app, nullptr);
    int notifications = 0;
    app->OnHint = [&] { ++notifications; };
    QWidget window;
    auto* button = new TSpeedButton(&window);
    SetHint(button, "Find an Entry|");
    auto* labelled = new QLabel("x", &window);
    SetHint(labelled, "Grade|Condition of the book");
    auto* inner = new QLabel("y", labelled);

    EXPECT_EQ(button->toolTip(), "Find an Entry");
    enter(labelled);
    EXPECT_EQ(app->Hint(), "Condition of the book");
    enter(inner);  // no hint of its own: the parent's applies
    EXPECT_EQ(app->Hint(), "Condition of the book");
    enter(button);  // an empty long part blanks the hint
    EXPECT_EQ(app->Hint(), "");
    EXPECT_EQ(notifications, 2);  // entering `inner` changed nothing
    leave(button);                // back onto the window, which has no hint
    EXPECT_EQ(app->Hint(), "");
    enter(labelled);
    leave(inner);  // from the inner label back onto its parent
    EXPECT_EQ(app->Hint(), "Condition of the book");
    leave(&window);
    EXPECT_EQ(app->Hint(), "");
    app->OnHint = nullptr;
}

TEST(TopLevelHandler, ExceptionFromAHandlerIsShownAndTheLoopGoesOn) {
    RecordedBoxes boxes;
    QPushButton button("Go");
    int clicks = 0;
    QObject::connect(&button, &QPushButton::clicked, [&] {
        ++clicks;
        throw EDatabaseError("Table is busy.");
    });
    button.show();
    QTest::mouseClick(&button, Qt::LeftButton);
    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_EQ(clicks, 2);
    ASSERT_EQ(boxes.texts.size(), 2u);
    EXPECT_EQ(boxes.texts[0], "Table is busy.");

    // A handler run from the event loop itself, and the loop keeps turning.
    bool later = false;
    QTimer::singleShot(0, [] { throw std::runtime_error("Disk full"); });
    QTimer::singleShot(5, [&] { later = true; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return later; }, 5000));
    ASSERT_EQ(boxes.texts.size(), 3u);
    EXPECT_EQ(boxes.texts[2], "Disk full");
}

TEST(TopLevelHandler, AbortIsSilent) {
    RecordedBoxes boxes;
    bool ran = false;
    QTimer::singleShot(0, [&] {
        ran = true;
        throw EAbort();
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return ran; }, 5000));
    QTest::qWait(5);
    EXPECT_TRUE(boxes.texts.empty());
}

TEST(CursorGuard, HourglassIsSetBackEvenWhenTheScopeThrows) {
    ASSERT_EQ(QApplication::overrideCursor(), nullptr);
    try {
        TCursorGuard hourglass;
        ASSERT_NE(QApplication::overrideCursor(), nullptr);
        EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        throw Exception("failed");
    } catch (const Exception&) {
    }
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}
