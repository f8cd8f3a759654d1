// The About box and the help commands of the frame window.
#include <QCoreApplication>
#include <QDir>
#include <QFontInfo>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include "app/about_form.h"
#include "app/centring.h"
#include "platform/system/help_viewer.h"
#include "platform/widgets/speed_button.h"
#include "tests/app/frame_fixture.h"

TEST(Centring, HalvesAreTruncatedTowardZero) {
    // (640 - 289) / 2 = 175.5 -> 175; (480 - 200) / 2 = 140.
    EXPECT_EQ(CentredTopLeft(QRect(100, 50, 640, 480), QSize(289, 200)), QPoint(275, 190));
    // A dialog bigger than the frame: (200 - 301) / 2 = -50.5 -> -50, not -51.
    EXPECT_EQ(CentredTopLeft(QRect(0, 0, 200, 100), QSize(301, 151)), QPoint(-50, -25));
    EXPECT_EQ(CentredTopLeft(QRect(-10, -10, 11, 11), QSize(0, 0)), QPoint(-5, -5));
    // On the screen, a place off its edge is moved back onto it; one that
    // fits stays; a dialog larger than the screen keeps its top left on it.
    const QRect screen(0, 0, 800, 600);
    EXPECT_EQ(KeptOnScreen(QPoint(-50, -25), QSize(301, 151), screen), QPoint(0, 0));
    EXPECT_EQ(KeptOnScreen(QPoint(275, 190), QSize(289, 200), screen), QPoint(275, 190));
    EXPECT_EQ(KeptOnScreen(QPoint(700, 500), QSize(289, 200), screen), QPoint(511, 400));
    EXPECT_EQ(KeptOnScreen(QPoint(-10, 40), QSize(900, 700), screen), QPoint(0, 0));
}

TEST_F(FrameTest, AboutBoxShowsCentredOverTheFrameAndEscapeClosesIt) {
    form->show();
    form->setGeometry(100, 50, 640, 480);
    QPoint shownAt;
    QString caption;
    QTimer::singleShot(0, [&] {
        auto* about = qobject_cast<TAboutForm*>(QApplication::activeModalWidget());
        ASSERT_NE(about, nullptr);
        shownAt = about->pos();
        caption = about->windowTitle();
        QTest::keyClick(about, Qt::Key_Escape);
    });
    form->HelpAboutItem->trigger();  // returns once the box is closed
    EXPECT_EQ(caption, "About Panel-Keep v2.0");
    EXPECT_EQ(shownAt, QPoint(275, 190));
    EXPECT_EQ(form->findChild<TAboutForm*>(), nullptr);  // destroyed when it returned
}

TEST(AboutBox, EnterAndEscapeCloseItLikeTheOkButton) {
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
        QWidget owner;
        TAboutForm about(&owner);
        about.show();
        ASSERT_TRUE(about.isVisible());
        QTest::keyClick(&about, key);
        EXPECT_FALSE(about.isVisible()) << key;
    }
    QWidget owner;
    TAboutForm about(&owner);
    EXPECT_EQ(about.size(), QSize(289, 200));
    EXPECT_EQ(about.Label1->text(), "Panel-Keep");
    EXPECT_EQ(about.Label2->text(), "v2.0b");
    EXPECT_EQ(about.Label3->text(), "32-Bit for Windows 95");
    EXPECT_EQ(about.Label1->font().pixelSize(), 32);
    EXPECT_EQ(about.Button1->text(), "&Ok");
    EXPECT_EQ(about.Button1->toolTip(), "Return to Program");
    EXPECT_EQ(about.Button1->geometry(), QRect(107, 160, 75, 25));
    EXPECT_EQ(about.Image1->geometry(), QRect(16, 24, 81, 81));
    // Every text stands inside the bevelled frame.
    for (QLabel* label : {about.Label1, about.Label2, about.Label3, about.Label4})
        EXPECT_TRUE(about.Bevel->geometry().contains(label->geometry()))
            << label->text().toStdString() << " " << QFontInfo(label->font()).family().toStdString()
            << " " << label->geometry().x() << "," << label->geometry().y() << " " << label->width()
            << "x" << label->height();
    about.show();
    QTest::mouseClick(about.Button1, Qt::LeftButton);
    EXPECT_FALSE(about.isVisible());
    EXPECT_EQ(about.result(), QDialog::Accepted);
}

TEST_F(FrameTest, HelpCommandsReachTheViewerWithTheProgramsHelp) {
    form->show();
    // The help file's own path does not exist here: the viewer finds the
    // file of that name among the topics installed beside the program.
    const QString installed =
        QDir::cleanPath(QCoreApplication::applicationDirPath() + "/help/Panlkeep.hlp");
    form->HelpContentsItem->trigger();
    THelpViewer* viewer = form->findChild<THelpViewer*>();
    ASSERT_NE(viewer, nullptr);
    EXPECT_TRUE(viewer->isVisible());
    EXPECT_EQ(viewer->ErrorText(), "");
    EXPECT_EQ(viewer->ShownPage(), installed);
    EXPECT_FALSE(viewer->SearchShown());

    form->HelpSearchItem->trigger();
    EXPECT_TRUE(viewer->SearchShown());
    EXPECT_EQ(viewer->SearchText(), "");
    EXPECT_GE(viewer->SearchResults().size(), 6);  // every topic, for an empty search
    viewer->SetSearchText("rebuild");
    ASSERT_FALSE(viewer->SearchResults().isEmpty());
    EXPECT_TRUE(viewer->SearchResults().contains("Rebuilding the data files"));

    form->HelpHowToUseItem->trigger();
    EXPECT_EQ(viewer->ShownPage(), "qrc:/helpviewer/helponhelp.html");

    QTest::mouseClick(form->SBHelp, Qt::LeftButton);
    EXPECT_EQ(viewer->ShownPage(), installed);
    EXPECT_EQ(form->findChildren<THelpViewer*>().size(), 1);
}

TEST_F(FrameTest, MissingHelpFileIsReportedByTheViewerAndTheProgramGoesOn) {
    form->show();
    TApplication::Instance()->SetHelpFile(dir.path() + "/Missing.hlp");
    form->HelpContentsItem->trigger();
    THelpViewer* viewer = form->findChild<THelpViewer*>();
    ASSERT_NE(viewer, nullptr);
    EXPECT_TRUE(viewer->ErrorText().contains("Missing.hlp"));
    EXPECT_TRUE(boxes.empty());
    form->HelpSearchItem->trigger();  // nothing to search, nothing breaks
    EXPECT_FALSE(viewer->SearchShown());
    EXPECT_TRUE(form->isVisible());
}
