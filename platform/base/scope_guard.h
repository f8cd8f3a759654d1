#pragma once
// Undo steps bound to a scope.  Code that changes state and then calls
// something that may throw puts the undo in a guard right after the change,
// instead of a catch block that undoes and rethrows:
//
//     const TUndoOnError restore([&] { indexFieldNames_ = saved; });
//     checkedIndexFieldCount();
//
// TUndoOnError runs its action only when an exception leaves the scope;
// TOnScopeExit runs it however the scope ends, and an error of its action on
// a normal exit reaches the caller.  While an exception unwinds, an error of
// the action is dropped: the error that began the unwinding is the one the
// caller reports (a second one leaving a destructor would end the program).

#include <exception>
#include <utility>

namespace scope_guard_detail {

template <class Action>
void RunDroppingErrors(Action& action) noexcept {
    try {
        action();
    } catch (...) {
    }
}

}  // namespace scope_guard_detail

template <class Action>
class TUndoOnError {
public:
    explicit TUndoOnError(Action action) : action_(std::move(action)) {}
    TUndoOnError(const TUndoOnError&) = delete;
    TUndoOnError& operator=(const TUndoOnError&) = delete;
    ~TUndoOnError() {
        if (std::uncaught_exceptions() > unwinding_) scope_guard_detail::RunDroppingErrors(action_);
    }

private:
    Action action_;
    int unwinding_ = std::uncaught_exceptions();  // exceptions in flight when made
};

template <class Action>
class TOnScopeExit {
public:
    explicit TOnScopeExit(Action action) : action_(std::move(action)) {}
    TOnScopeExit(const TOnScopeExit&) = delete;
    TOnScopeExit& operator=(const TOnScopeExit&) = delete;
    ~TOnScopeExit() noexcept(false) {
        if (std::uncaught_exceptions() > unwinding_)
            scope_guard_detail::RunDroppingErrors(action_);
        else
            action_();
    }

private:
    Action action_;
    int unwinding_ = std::uncaught_exceptions();
};
