// The frame window's placement in "pkeep20.ini", section "MainForm": written
// when the frame closes (File, Exit or the window's close button), read when
// it is built.
#include "app/placement.h"

#include <QFile>

#include "tests/app/frame_fixture.h"

namespace {

QString readText(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

void writeText(const QString& path, const QString& text) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text.toUtf8());
}

QString section(int showCmd, int l, int t, int r, int b) {
    return QString(
               "[MainForm]\nPlaceFlags=0\nPlaceShowCmd=%1\nPlaceMinPosX=0\nPlaceMinPosY=0\n"
               "PlaceMaxPosX=0\nPlaceMaxPosY=0\nPlaceNormPosL=%2\nPlaceNormPosT=%3\n"
               "PlaceNormPosR=%4\nPlaceNormPosB=%5\n")
        .arg(showCmd)
        .arg(l)
        .arg(t)
        .arg(r)
        .arg(b);
}

}  // namespace

class PlacementTest : public FrameTest {
protected:
    // Closes the frame as the window manager's close button does (saving its
    // placement), destroys it and builds a new one (restoring it).
    void reopen() {
        EXPECT_TRUE(form->close());
        form.reset();
        form = std::make_unique<TMainForm>();
    }
    void rebuildWith(const QString& iniText) {
        form.reset();
        writeText(iniPath(), iniText);
        form = std::make_unique<TMainForm>();
    }
};

TEST_F(PlacementTest, FirstRunOpensAtDesignBoundsAndExitWritesAllTenKeysInOrder) {
    EXPECT_FALSE(QFile::exists(iniPath()));
    form->show();
    // The window frame is at the corner, so the title bar is on the screen.
    EXPECT_EQ(form->frameGeometry().topLeft(), QPoint(0, 0));
    EXPECT_EQ(form->size(), QSize(640, 480));
    const QPoint client = form->geometry().topLeft();  // inside the frame
    EXPECT_NE(client, QPoint(0, 0));                   // the platform draws a frame
    form->FileExitItem->trigger();
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(readText(iniPath()),
              section(1, client.x(), client.y(), client.x() + 640, client.y() + 480));
    form.reset();  // written once: destroying the closed frame changes nothing
    EXPECT_EQ(readText(iniPath()),
              section(1, client.x(), client.y(), client.x() + 640, client.y() + 480));
}

TEST_F(PlacementTest, NormalPlacementRoundTrip) {
    form->show();
    form->setGeometry(100, 120, 500, 300);
    reopen();
    EXPECT_EQ(form->geometry(), QRect(100, 120, 500, 300));
    EXPECT_EQ(form->windowState(), Qt::WindowNoState);
    form->show();
    form->close();
    EXPECT_EQ(readText(iniPath()), section(1, 100, 120, 600, 420));
}

TEST_F(PlacementTest, MaximisedIsRestoredWithTheRememberedRectangle) {
    form->show();
    form->setGeometry(50, 60, 400, 300);
    form->showMaximized();
    form->FileExitItem->trigger();
    EXPECT_TRUE(readText(iniPath()).contains("\nPlaceShowCmd=3\n"));
    EXPECT_TRUE(readText(iniPath()).endsWith(
        "PlaceNormPosL=50\nPlaceNormPosT=60\nPlaceNormPosR=450\nPlaceNormPosB=360\n"));
    form.reset();
    form = std::make_unique<TMainForm>();
    EXPECT_TRUE(form->windowState() & Qt::WindowMaximized);
    EXPECT_EQ(form->normalGeometry(), QRect(50, 60, 400, 300));
    form->show();
    form->showNormal();
    EXPECT_EQ(form->geometry(), QRect(50, 60, 400, 300));
}

TEST_F(PlacementTest, MinimisedStateIsRestored) {
    rebuildWith(section(2, 10, 20, 310, 220));
    EXPECT_TRUE(form->windowState() & Qt::WindowMinimized);
    EXPECT_EQ(form->normalGeometry(), QRect(10, 20, 300, 200));
}

TEST_F(PlacementTest, HexValuesAreRead) {
    rebuildWith(section(1, 0, 0, 0, 0)
                    .replace("PlaceNormPosL=0", "PlaceNormPosL=0x10")
                    .replace("PlaceNormPosT=0", "PlaceNormPosT=0X20")
                    .replace("PlaceNormPosR=0", "PlaceNormPosR=0x200")
                    .replace("PlaceNormPosB=0", "PlaceNormPosB=0x190"));
    EXPECT_EQ(form->geometry(), QRect(16, 32, 512 - 16, 400 - 32));
}

TEST_F(PlacementTest, ValueThatIsNotANumberTakesItsDefault) {
    rebuildWith(section(1, 0, 10, 300, 200)
                    .replace("PlaceNormPosL=0", "PlaceNormPosL=abc")
                    .replace("PlaceShowCmd=1", "PlaceShowCmd=max"));
    EXPECT_EQ(form->geometry(), QRect(0, 10, 300, 190));
    EXPECT_EQ(form->windowState(), Qt::WindowNoState);
}

TEST_F(PlacementTest, RightEdgeNotPastLeftEdgeAppliesNothing) {
    rebuildWith(section(3, 100, 0, 100, 300));           // zero width
    EXPECT_EQ(form->geometry(), QRect(0, 0, 640, 480));  // as built, not yet shown
    EXPECT_EQ(form->windowState(), Qt::WindowNoState);
    rebuildWith(section(1, 200, 0, 100, 300));  // right left of left
    EXPECT_EQ(form->geometry(), QRect(0, 0, 640, 480));
    rebuildWith("[Other]\nPlaceNormPosR=500\n");  // no section
    EXPECT_EQ(form->geometry(), QRect(0, 0, 640, 480));
}

TEST_F(PlacementTest, EmptyFileNameSwitchesTheStoreOff) {
    form->show();
    form->Placement->IniFileName.clear();
    form->close();
    form.reset();
    EXPECT_FALSE(QFile::exists(iniPath()));
}

TEST_F(PlacementTest, WindowWithoutPlacementAbortsSilentlyAndWritesNothing) {
    // Never shown: the platform has no window whose placement it could report.
    EXPECT_THROW(TPlacement::PlacementOf(*form), EAbort);
    form.reset();
    EXPECT_FALSE(QFile::exists(iniPath()));
    EXPECT_TRUE(boxes.empty());
}
