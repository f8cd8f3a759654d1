#include "app/start_up.h"

#include <QDir>
#include <QStringList>
#include <QTextStream>
#include <cstdio>
#include <cstring>

#include "app/main_form.h"
#include "app/previous_instance.h"
#include "collection/comic_form.h"
#include "collection/highlighted_item.h"
#include "import/commit.h"
#include "import/import_wizard.h"
#include "insight/statistics_form.h"
#include "maintenance/backup_form.h"
#include "maintenance/rebuild_form.h"
#include "platform/db/session.h"
#include "platform/widgets/application.h"
#include "platform/widgets/dialogs.h"
#include "reports/catalogue.h"
#include "store/collection.h"
#include "tools/command.h"

namespace {

constexpr int kIconSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};

const QString kTitle = QStringLiteral("Panel-Keep v2.0b");
const QString kHelpFile = QStringLiteral("C:\\Project Source\\PanelKeep 2.0\\Panlkeep.hlp");

// The relative file names the program uses land beside the tables.
void EnterCollectionDirectory() {
    const QString folder = store::CollectionDirectory();
    QDir().mkpath(folder);
    QDir::setCurrent(folder);
}

// The pkeep-admin command of that name: first start creates the collection
// exactly as "pkeep-admin init" and "pkeep-admin demo" do.
void RunAdminCommand(const QString& directory, const char* name, QString& report) {
    for (const admin::Command& command : admin::Commands()) {
        if (std::strcmp(command.name, name) != 0) continue;
        QTextStream out(&report);
        admin::Context context{directory, out};
        command.run(context, {});
        return;
    }
    throw Exception(std::string("the command ") + name + " is missing from this program");
}

QString FirstStartQuestion(const QString& directory) {
    return QStringLiteral(
               "There is no collection yet in\n%1\n\n"
               "Create one there now?\n"
               "Yes: a collection filled with a sample of series and books to try the "
               "program on.\n"
               "No: an empty collection.\n"
               "Cancel: quit without creating anything.\n\n"
               "(Set PKEEP_DIR to keep the collection somewhere else.)")
        .arg(directory);
}

}  // namespace

QString ProgramUsage() {
    return QStringLiteral(
        "Usage: pkeep [--help | --version]\n\n"
        "Panel-Keep catalogues a comic-book collection: series, books, graded\n"
        "values and printed reports.  Only one copy runs at a time; starting a\n"
        "second one brings the running copy's window forward.\n\n"
        "Options:\n"
        "  --help     Print this help and exit\n"
        "  --version  Print the version and exit\n\n"
        "Environment:\n"
        "  PKEEP_DIR        the collection directory (default\n"
        "                   $XDG_DATA_HOME/panel-keep, ~/.local/share/panel-keep)\n"
        "  XDG_CONFIG_HOME  where the window placement pkeep20.ini is kept\n"
        "                   (default ~/.config)\n");
}

QString ProgramVersion() { return QStringLiteral("pkeep (Panel-Keep) 2.0b\n"); }

std::optional<int> AnswerCommandLine(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const bool help = std::strcmp(argv[i], "--help") == 0;
        if (!help && std::strcmp(argv[i], "--version") != 0) continue;
        const QByteArray text = (help ? ProgramUsage() : ProgramVersion()).toUtf8();
        std::fwrite(text.constData(), 1, static_cast<std::size_t>(text.size()), stdout);
        return 0;
    }
    return std::nullopt;
}

// The icon's resources live in a static library, whose registration the
// linker would leave out unless something names it.
static void LoadIconResources() { Q_INIT_RESOURCE(start_up); }

QIcon ProgramIcon() {
    LoadIconResources();
    QIcon icon;
    for (int size : kIconSizes) icon.addFile(QStringLiteral(":/panel-keep/icon-%1.png").arg(size));
    return icon;
}

bool EnsureCollection(const QString& directory) {
    if (store::CollectionExists(directory)) return true;
    const int answer =
        MessageDlg(FirstStartQuestion(directory), TMsgDlgType::mtConfirmation, mbYesNoCancel);
    if (answer != mrYes && answer != mrNo) return false;
    QString report;
    try {
        RunAdminCommand(directory, "init", report);
        if (answer == mrYes) RunAdminCommand(directory, "demo", report);
    } catch (const std::exception& error) {
        TApplication::ShowException(
            Exception(QStringLiteral("Could not create a collection in %1:\n%2")
                          .arg(directory, QString::fromUtf8(error.what()))
                          .toStdString()));
        return false;
    }
    ShowMessage(report.trimmed());
    return true;
}

// An import cut short by a crash is undone before any window opens the tables.
static void UndoImportCutShort() {
    try {
        import::RecoverInterruptedImport(store::CollectionDirectory());
    } catch (const std::exception& error) {
        TApplication::ShowException(Exception(error.what()));
    }
}

int RunProgram(TApplication& app, const QString& programPath) {
    // Set once on the application, so the frame and every child window carry it.
    TApplication::setWindowIcon(ProgramIcon());
    const TPreviousInstance previousInstance(programPath);
    app.SetTitle(kTitle);
    app.SetHelpFile(kHelpFile);
    EnterCollectionDirectory();
    store::RegisterAlias();
    UndoImportCutShort();

    // A second copy ends inside this constructor.
    TMainForm mainForm(&previousInstance);
    installCollectionWindow(mainForm);
    installReportsMenu(mainForm, HighlightedInCollectionWindow);
    installRebuild(mainForm);
    installBackups(mainForm);
    installImport(mainForm);
    InstallStatisticsCommand(
        *mainForm.Reports1, [&mainForm](QWidget* form) { mainForm.AddChild(form); },
        [] { return Session().AliasPath(QString::fromLatin1(store::kAlias)); });
    mainForm.show();
    if (!EnsureCollection(store::CollectionDirectory())) return 0;
    return app.exec();
}
