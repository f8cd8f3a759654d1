#pragma once
// A step of work that should not hold back a window's first paint, yet must
// be done before the user can act on the window.  It runs once the window
// has been painted, or just before the program handles the user's next act
// (a key, a click, a wheel turn) should that come first.  A window that is
// hidden, or has nothing left to paint, gets its step after a few frames at
// the latest.  The step runs once; destroying it first drops it.
#include <QObject>
#include <QPointer>
#include <QWidget>
#include <functional>

class TStepAfterPaint : public QObject {
public:
    TStepAfterPaint(QWidget& window, std::function<void()> step);
    ~TStepAfterPaint() override;

    bool Pending() const { return static_cast<bool>(step_); }
    // Runs the step now if it has not run yet.
    void RunNow();

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void stopWatching();

    QPointer<QWidget> window_;
    std::function<void()> step_;
};
