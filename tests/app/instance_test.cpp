// The single-instance guard: the window-name rule, and real second copies of
// the built program.
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>

#include "app/previous_instance.h"
#include "platform/system/instance_channel.h"
#include "tests/app/frame_fixture.h"

namespace {

QProcessEnvironment programEnvironment(const TestDir& dir) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("XDG_CONFIG_HOME", dir.path() + "/second-config");
    env.insert("PKEEP_DIR", dir.path() + "/data");
    return env;  // XDG_RUNTIME_DIR stays the test's private one
}

bool waitUntilFinished(QProcess& process, int ms) {
    return QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, ms);
}

}  // namespace

TEST(WindowNameRule, ExeInCapitalsIsCutOffAndAnythingElseGivesNoName) {
    struct Case {
        const char* path;
        const char* fileName;
        const char* windowName;
    } cases[] = {
        {"C:\\APPS\\APP.EXE", "APP.EXE", "APP"},
        {"D:APP.EXE", "APP.EXE", "APP"},
        {"app.exe", "app.exe", ""},  // lower case: not found
        {"C:\\x\\App.Exe", "App.Exe", ""},
        {"/usr/bin/pkeep", "pkeep", ""},
        {"TOOL.EXE.BAK", "TOOL.EXE.BAK", "TOOL.EXE"},  // anywhere in the name; the last four go
        {"\\\\server\\share\\", "", ""},
    };
    for (const Case& c : cases) {
        const QString fileName = TPreviousInstance::FileNameOf(c.path);
        EXPECT_EQ(fileName, c.fileName) << c.path;
        EXPECT_EQ(TPreviousInstance::WindowNameOf(fileName), c.windowName) << c.path;
    }
    EXPECT_EQ(TPreviousInstance::FileNameOf(QString(300, 'x')).size(), 255);
}

TEST_F(FrameTest, SecondCopyOfTheProgramEndsAtOnceAndRaisesTheRunningFrame) {
    form.reset();
    const TPreviousInstance first("/opt/panel-keep/pkeep");  // the running copy is this test
    ASSERT_FALSE(first.Existed());
    form = std::make_unique<TMainForm>(&first);
    ASSERT_NE(form->JustOne321, nullptr);
    form->show();
    form->showMinimized();
    ASSERT_TRUE(form->isMinimized());

    QProcess second;
    second.setProcessEnvironment(programEnvironment(dir));
    second.start(PKEEP_BINARY, {});
    ASSERT_TRUE(second.waitForStarted(5000));
    ASSERT_TRUE(waitUntilFinished(second, 15000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_FALSE(form->isMinimized());
    EXPECT_TRUE(form->isVisible());
    // The second copy neither restored nor saved a placement.
    EXPECT_FALSE(QFile::exists(dir.path() + "/second-config/pkeep20.ini"));
}

TEST_F(FrameTest, TwoRealCopiesOnlyTheFirstKeepsRunning) {
    QProcess first;
    first.setProcessEnvironment(programEnvironment(dir));
    first.start(PKEEP_BINARY, {});
    ASSERT_TRUE(first.waitForStarted(5000));
    const QString channel = InstanceChannelPath("pkeep");
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(channel); }, 15000));

    QProcess second;
    second.setProcessEnvironment(programEnvironment(dir));
    second.start(PKEEP_BINARY, {});
    ASSERT_TRUE(waitUntilFinished(second, 15000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(first.state(), QProcess::Running);

    first.terminate();
    first.waitForFinished(5000);
}
