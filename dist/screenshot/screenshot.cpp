// Takes the AppStream screenshot: the program's frame window, built as pkeep
// builds it, with the collection window open on the collection in $PKEEP_DIR,
// drawn offscreen and saved as the PNG named on the command line.
#include <QImage>
#include <QTest>
#include <cstdio>

#include "app/main_form.h"
#include "app/start_up.h"
#include "collection/comic_form.h"
#include "collection/highlighted_item.h"
#include "maintenance/rebuild_form.h"
#include "platform/widgets/application.h"
#include "reports/catalogue.h"
#include "store/collection.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: pkeep-screenshot OUTPUT.png\n");
        return 2;
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    TApplication app(argc, argv);
    TApplication::setWindowIcon(ProgramIcon());
    app.SetTitle(QStringLiteral("Panel-Keep v2.0b"));
    store::RegisterAlias();

    TMainForm frame;
    installCollectionWindow(frame);
    installReportsMenu(frame, HighlightedInCollectionWindow);
    installRebuild(frame);
    frame.setGeometry(0, 0, 800, 500);
    frame.show();
    frame.ComicCollectionClick();
    QTest::qWait(500);  // lets the windows lay out and paint
    if (!frame.grab().toImage().save(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "pkeep-screenshot: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
