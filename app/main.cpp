// pkeep: the program's entry point.  Takes the single-instance mutex, sets
// the application title and help file, makes the collection folder the
// current directory, builds the frame window and runs the event loop until
// the frame closes.
#include <QDir>

#include "app/main_form.h"
#include "app/previous_instance.h"
#include "collection/comic_form.h"
#include "collection/highlighted_item.h"
#include "maintenance/backup_form.h"
#include "maintenance/rebuild_form.h"
#include "platform/widgets/application.h"
#include "reports/catalogue.h"
#include "store/collection.h"

namespace {

const QString kTitle = QStringLiteral("Panel-Keep v2.0b");
const QString kHelpFile = QStringLiteral("C:\\Project Source\\PanelKeep 2.0\\Panlkeep.hlp");

// The relative file names the program uses land beside the tables.
void enterCollectionDirectory() {
    const QString folder = store::CollectionDirectory();
    QDir().mkpath(folder);
    QDir::setCurrent(folder);
}

}  // namespace

int main(int argc, char** argv) {
    TApplication app(argc, argv);
    const TPreviousInstance previousInstance(QString::fromLocal8Bit(argc > 0 ? argv[0] : ""));
    app.SetTitle(kTitle);
    app.SetHelpFile(kHelpFile);
    enterCollectionDirectory();
    store::RegisterAlias();

    // A second copy ends inside this constructor.
    TMainForm mainForm(&previousInstance);
    installCollectionWindow(mainForm);
    installReportsMenu(mainForm, HighlightedInCollectionWindow);
    installRebuild(mainForm);
    installBackups(mainForm);
    mainForm.show();
    return app.exec();
}
