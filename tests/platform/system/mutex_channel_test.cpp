// The named mutex and the channel through which a second copy reaches the
// running one.
#include <gtest/gtest.h>

#include <QLocalSocket>
#include <QTest>
#include <QWidget>
#include <atomic>
#include <thread>

#include "platform/system/instance_channel.h"
#include "platform/system/named_mutex.h"

TEST(NamedMutex, SecondHolderSeesThatItExistsUntilTheFirstCloses) {
    TNamedMutex first;
    TNamedMutex second;
    ASSERT_EQ(first.Create("pkeep-test-mutex"), TNamedMutex::Result::Created);
    EXPECT_TRUE(first.Held());
    EXPECT_EQ(second.Create("pkeep-test-mutex"), TNamedMutex::Result::AlreadyExists);
    EXPECT_FALSE(second.Held());
    EXPECT_EQ(second.Create("pkeep-other-mutex"), TNamedMutex::Result::Created);
    first.Close();
    TNamedMutex third;
    EXPECT_EQ(third.Create("pkeep-test-mutex"), TNamedMutex::Result::Created);
}

TEST(NamedMutex, LivesInTheRuntimeFolderWithAFileNameThatFits) {
    EXPECT_TRUE(
        TNamedMutex::LockFilePath("APP.EXE").startsWith(TNamedMutex::RuntimeDirectory() + "/"));
    const QString longName(300, QLatin1Char('n'));
    TNamedMutex mutex;
    EXPECT_EQ(mutex.Create(longName), TNamedMutex::Result::Created);
    EXPECT_EQ(mutex.Create("a/b"), TNamedMutex::Result::Created);  // no folder is named
}

TEST(InstanceChannel, CallerRestoresTheMinimisedWindowOfTheListener) {
    QWidget window;
    window.showMinimized();
    ASSERT_TRUE(window.isMinimized());
    TInstanceListener listener("pkeep-channel", &window);
    ASSERT_TRUE(listener.Listening());
    int activations = 0;
    listener.OnActivated = [&] { ++activations; };

    std::atomic<int> answered{-1};
    std::thread caller([&] { answered = ActivateRunningInstance("pkeep-channel", 5000) ? 1 : 0; });
    EXPECT_TRUE(QTest::qWaitFor([&] { return answered != -1; }, 6000));
    caller.join();
    EXPECT_EQ(answered, 1);
    EXPECT_EQ(activations, 1);
    EXPECT_FALSE(window.isMinimized());
    EXPECT_TRUE(window.isVisible());
}

TEST(InstanceChannel, AnythingButTheRequestIsRefused) {
    QWidget window;
    window.showMinimized();
    TInstanceListener listener("pkeep-refuse", &window);
    QByteArray reply;
    std::atomic<bool> done{false};
    std::thread caller([&] {
        QLocalSocket socket;
        socket.connectToServer(InstanceChannelPath("pkeep-refuse"));
        if (!socket.waitForConnected(3000)) {
            done = true;
            return;
        }
        socket.write("QUIT\n");
        socket.waitForBytesWritten(3000);
        while (!socket.canReadLine() && socket.waitForReadyRead(3000)) {
        }
        reply = socket.readLine();
        done = true;
    });
    EXPECT_TRUE(QTest::qWaitFor([&] { return done.load(); }, 5000));
    caller.join();
    EXPECT_EQ(reply, "ERROR\n");
    EXPECT_TRUE(window.isMinimized());
}

TEST(InstanceChannel, NobodyListeningGivesUpInTime) {
    EXPECT_FALSE(ActivateRunningInstance("pkeep-nobody-here", 200));
}
