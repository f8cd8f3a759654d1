// The step that waits for the window's paint: it runs behind a paint that
// was pending when it was made, ahead of any key or click the user gives
// first, and once only.
#include "platform/widgets/step_after_paint.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QEnterEvent>
#include <QMouseEvent>
#include <QStringList>
#include <QTest>
#include <QWidget>
#include <memory>

namespace {

// A widget that writes down when it is painted and when it gets a key or a
// click, in one list with the step's own entries.
class Recorder : public QWidget {
public:
    explicit Recorder(QStringList& log, QWidget* parent = nullptr) : QWidget(parent), log_(log) {
        setFocusPolicy(Qt::StrongFocus);
    }

protected:
    void paintEvent(QPaintEvent*) override { log_ << "paint"; }
    void keyPressEvent(QKeyEvent*) override { log_ << "key"; }
    void mousePressEvent(QMouseEvent*) override { log_ << "click"; }

private:
    QStringList& log_;
};

class StepAfterPaintTest : public ::testing::Test {
protected:
    void SetUp() override {
        window.resize(300, 200);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        QApplication::setActiveWindow(&window);
        QApplication::processEvents();
        log.clear();
    }

    // A child shown in the window already on screen: its paint is pending.
    Recorder* showChild() {
        auto* child = new Recorder(log, &window);
        child->setGeometry(10, 10, 100, 50);
        child->show();
        return child;
    }

    std::function<void()> logged(const QString& entry) {
        return [this, entry] { log << entry; };
    }

    QStringList log;
    QWidget window;
};

}  // namespace

TEST_F(StepAfterPaintTest, RunsBehindThePaintThatWasPending) {
    Recorder* child = showChild();
    TStepAfterPaint step(*child, logged("step"));
    EXPECT_TRUE(step.Pending());
    for (int pass = 0; pass < 5; ++pass) QApplication::processEvents();
    EXPECT_EQ(log, QStringList({"paint", "step"}));
    EXPECT_FALSE(step.Pending());
}

TEST_F(StepAfterPaintTest, RunsBeforeAKeyOrAClickTheUserGivesFirst) {
    Recorder* child = showChild();
    child->setFocus();
    TStepAfterPaint keyStep(*child, logged("step before key"));
    QTest::keyClick(child, Qt::Key_A);
    TStepAfterPaint clickStep(*child, logged("step before click"));
    QTest::mouseClick(child, Qt::LeftButton);
    EXPECT_EQ(log, QStringList({"step before key", "key", "step before click", "click"}));
}

TEST_F(StepAfterPaintTest, APointerPassingOverTheWindowDoesNotRunIt) {
    Recorder* child = showChild();
    TStepAfterPaint step(*child, logged("step"));
    // Sent as the window system would, without a pass of the event loop.
    QEnterEvent enter(QPointF(20, 20), QPointF(20, 20), QPointF(30, 30));
    QApplication::sendEvent(child, &enter);
    QMouseEvent move(QEvent::MouseMove, QPointF(21, 20), QPointF(31, 30), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(child, &move);
    EXPECT_TRUE(step.Pending());
}

TEST_F(StepAfterPaintTest, RunsOnceEvenWhenTheStepWaitsForEvents) {
    int runs = 0;
    TStepAfterPaint step(window, [&] {
        ++runs;
        QApplication::processEvents();  // as a message box would
    });
    QTest::keyClick(&window, Qt::Key_A);
    step.RunNow();
    QApplication::processEvents();
    EXPECT_EQ(runs, 1);
}

TEST_F(StepAfterPaintTest, AWindowWithNothingToPaintGetsItsStepAFewFramesLater) {
    TStepAfterPaint step(window, logged("step"));
    QApplication::processEvents();
    EXPECT_TRUE(step.Pending());  // no paint came
    QTest::qWait(100);
    EXPECT_EQ(log, QStringList({"step"}));
}

TEST_F(StepAfterPaintTest, AHiddenWindowGetsItsStepOnTheNextPass) {
    QWidget hidden;
    TStepAfterPaint step(hidden, logged("step"));
    QApplication::processEvents();
    EXPECT_EQ(log, QStringList({"step"}));
}

TEST_F(StepAfterPaintTest, AStepDroppedBeforeItsTimeNeverRuns) {
    int runs = 0;
    auto step = std::make_unique<TStepAfterPaint>(window, [&] { ++runs; });
    step.reset();
    QTest::qWait(100);
    QTest::keyClick(&window, Qt::Key_A);
    EXPECT_EQ(runs, 0);
}
