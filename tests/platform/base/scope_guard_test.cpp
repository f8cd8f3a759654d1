// The undo guards: when each runs its action, and which error the caller
// sees when the action fails too.
#include "platform/base/scope_guard.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace {

std::string ErrorOf(auto&& run) {
    try {
        run();
    } catch (const std::exception& error) {
        return error.what();
    }
    return "none";
}

}  // namespace

TEST(ScopeGuard, UndoOnErrorRunsOnlyWhenAnExceptionLeavesTheScope) {
    int undone = 0;
    {
        const TUndoOnError undo([&] { ++undone; });
    }
    EXPECT_EQ(undone, 0);

    EXPECT_EQ(ErrorOf([&] {
                  const TUndoOnError undo([&] { ++undone; });
                  throw std::runtime_error("step failed");
              }),
              "step failed");
    EXPECT_EQ(undone, 1);

    // An exception caught inside the scope is no failure of the scope, and a
    // guard made while another error unwinds counts only its own scope's.
    try {
        const TUndoOnError undo([&] { ++undone; });
        try {
            throw std::runtime_error("handled");
        } catch (const std::runtime_error&) {
        }
    } catch (...) {
    }
    EXPECT_EQ(undone, 1);
    struct MadeWhileUnwinding {
        int& count;
        ~MadeWhileUnwinding() {
            const TUndoOnError undo([this] { ++count; });
        }
    };
    EXPECT_EQ(ErrorOf([&] {
                  MadeWhileUnwinding inDestructor{undone};
                  throw std::runtime_error("outer");
              }),
              "outer");
    EXPECT_EQ(undone, 1);
}

TEST(ScopeGuard, OnScopeExitRunsEitherWayAndReportsTheFirstError) {
    int ended = 0;
    {
        const TOnScopeExit end([&] { ++ended; });
    }
    EXPECT_EQ(ended, 1);

    // On a normal exit the action's own error reaches the caller.
    EXPECT_EQ(ErrorOf([&] {
                  const TOnScopeExit end([&] {
                      ++ended;
                      throw std::runtime_error("close failed");
                  });
              }),
              "close failed");
    EXPECT_EQ(ended, 2);

    // While an error unwinds, the action's error is dropped for the first,
    // for both kinds of guard.
    EXPECT_EQ(ErrorOf([&] {
                  const TOnScopeExit end([&] {
                      ++ended;
                      throw std::runtime_error("close failed");
                  });
                  const TUndoOnError undo([&] {
                      ++ended;
                      throw std::runtime_error("undo failed");
                  });
                  throw std::runtime_error("run failed");
              }),
              "run failed");
    EXPECT_EQ(ended, 4);
}
