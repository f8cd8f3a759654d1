// A program that edits one book in the real collection window and posts it
// with a changed key, a new quantity, new extras and a new cover: a post
// that touches the books, series and extras tables and the covers folder.
// The kill test runs it with a library preloaded that kills it part-way.
//   extras_post_child COLLECTION_DIR COVER_FILE
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QTabWidget>
#include <QTest>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "app/main_form.h"
#include "collection/comic_form.h"
#include "platform/widgets/db_edit.h"
#include "platform/widgets/db_navigator.h"
#include "platform/widgets/dialogs.h"
#include "store/collection.h"

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const QString directory = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(directory + "/run");
    QFile::setPermissions(directory + "/run",
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    setenv("XDG_RUNTIME_DIR", QFile::encodeName(directory + "/run").constData(), 1);
    setenv("XDG_CONFIG_HOME", QFile::encodeName(directory + "/config").constData(), 1);
    QApplication app(argc, argv);
    const TScopedMessageAnswerer ok([](const TMessageRequest& request) {
        std::fprintf(stderr, "asked: %s\n", request.text.toLocal8Bit().constData());
        return static_cast<int>(mrOk);
    });
    store::RegisterAlias(directory + "/pkeep");
    TMainForm frame;
    installCollectionWindow(frame);
    frame.show();
    frame.ComicCollectionClick();
    TComicForm* form = ComicForm;
    if (!form) return 3;
    form->PageControl1->setCurrentWidget(form->TabSheet2);
    QApplication::processEvents();
    form->TableBooks->First();
    for (auto [edit, text] :
         {std::pair{form->DBEditComicNo, "1A"}, std::pair{form->DBEditQty, "2"}}) {
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, text);
    }
    store::BookExtras extras;
    extras.grade = "9.8";
    extras.grader = "CGC";
    form->PendingExtras.values = extras;
    form->PendingExtras.cover = store::CoverImage::FromFile(QString::fromLocal8Bit(argv[2]));
    setenv("PK_KILL_ARMED", "1", 1);
    frame.DBNavigatorCtrl->BtnClick(TNavigateBtn::nbPost);
    unsetenv("PK_KILL_ARMED");
    std::printf("posted %s\n",
                form->TableBooks->FieldByName("COMIC_NO")->AsString().toUtf8().constData());
    return form->TableBooks->State() == TDataSetState::dsBrowse ? 0 : 4;
}
