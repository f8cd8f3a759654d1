// The help viewer with a help file of three topics written for the test.
#include "platform/system/help_viewer.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>
#include <QWidget>

#include "platform/system/help_index.h"
#include "tests/support/temp_dir.h"

namespace {

void writePage(const QString& path, const QString& html) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(html.toUtf8());
}

// contents.hlp links three topics and one missing page.
QString makeHelp(const TestDir& dir) {
    writePage(
        dir.path() + "/contents.hlp",
        "<html><body><a href=\"start.html\">Start</a> <a href=\"rebuild.html#top\">Rebuild</a>"
        " <a href=\"keys.html\">Keys</a> <a href=\"gone.html\">Gone</a>"
        " <a href=\"http://example.com/x.html\">Web</a></body></html>");
    writePage(dir.path() + "/start.html",
              "<html><head><title>Getting started</title></head><body>Open the comic "
              "collection from the File menu.</body></html>");
    writePage(dir.path() + "/rebuild.html",
              "<html><head><title>Rebuilding the files</title></head><body>The rebuild "
              "utility packs the tables.</body></html>");
    writePage(dir.path() + "/keys.html",
              "<html><body>Keyboard: Tab moves to the next field."
              "</body></html>");
    return dir.path() + "/contents.hlp";
}

}  // namespace

TEST(HelpIndex, TopicsComeFromTheContentsLinksAndAreFoundByWordBeginnings) {
    TestDir dir;
    THelpIndex index;
    ASSERT_TRUE(index.Load(makeHelp(dir)));
    ASSERT_EQ(index.Topics().size(), 3u);  // the missing and the remote page are left out
    EXPECT_EQ(index.Topics()[0].title, "Getting started");
    EXPECT_EQ(index.Topics()[2].title, "keys");  // no <title>: the file's name
    EXPECT_EQ(index.Search("").size(), 3u);
    EXPECT_EQ(index.Search("REBU"), std::vector<int>{1});
    EXPECT_EQ(index.Search("the file"), (std::vector<int>{0, 1}));  // "File", "files"
    EXPECT_EQ(index.Search("tab field"), std::vector<int>{2});
    EXPECT_TRUE(index.Search("collection rebuild").empty());
    EXPECT_FALSE(index.Load(dir.path() + "/none.hlp"));
}

TEST(HelpViewer, ContentsSearchAndHelpOnHelpCommands) {
    TestDir dir;
    const QString helpFile = makeHelp(dir);
    QWidget frame;
    EXPECT_TRUE(WinHelp(&frame, helpFile, HELP_CONTENTS));
    THelpViewer* viewer = THelpViewer::Of(&frame);
    EXPECT_TRUE(viewer->isVisible());
    EXPECT_EQ(viewer->ShownPage(), helpFile);
    EXPECT_FALSE(viewer->SearchShown());

    EXPECT_TRUE(WinHelp(&frame, helpFile, HELP_PARTIALKEY, ""));
    EXPECT_EQ(THelpViewer::Of(&frame), viewer);  // one viewer per owner
    EXPECT_TRUE(viewer->SearchShown());
    EXPECT_EQ(viewer->SearchText(), "");
    EXPECT_EQ(viewer->SearchResults(),
              QStringList({"Getting started", "Rebuilding the files", "keys"}));
    viewer->SetSearchText("pack");
    EXPECT_EQ(viewer->SearchResults(), QStringList({"Rebuilding the files"}));
    viewer->ShowResult(0);
    EXPECT_EQ(viewer->ShownPage(), dir.path() + "/rebuild.html");
    // The prompt's access key, Alt+W, takes the user back to the search field.
    QApplication::setActiveWindow(viewer);
    viewer->findChild<QListWidget*>()->setFocus();
    QTest::keyClick(viewer, Qt::Key_W, Qt::AltModifier);
    EXPECT_TRUE(viewer->findChild<QLineEdit*>()->hasFocus());

    EXPECT_TRUE(WinHelp(&frame, helpFile, HELP_HELPONHELP));
    EXPECT_EQ(viewer->ShownPage(), "qrc:/helpviewer/helponhelp.html");
    EXPECT_FALSE(WinHelp(&frame, helpFile, 99));
}

TEST(HelpViewer, MissingHelpFileIsReportedInTheViewer) {
    QWidget frame;
    const QString missing = "C:\\Project Source\\Nowhere\\Absent.hlp";
    EXPECT_TRUE(WinHelp(&frame, missing, HELP_CONTENTS));
    THelpViewer* viewer = THelpViewer::Of(&frame);
    EXPECT_TRUE(viewer->ErrorText().contains(missing));
    EXPECT_TRUE(viewer->ShownPage().isEmpty());
    // Help on help needs no help file.
    EXPECT_TRUE(WinHelp(&frame, missing, HELP_HELPONHELP));
    EXPECT_EQ(viewer->ShownPage(), "qrc:/helpviewer/helponhelp.html");
}
