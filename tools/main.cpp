// pkeep-admin: creates, fills, exports and imports the collection in the
// directory of the alias PKEEP ($PKEEP_DIR, else $XDG_DATA_HOME/panel-keep).
#include <QApplication>
#include <QCoreApplication>
#include <QTextStream>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "import/commit.h"
#include "store/collection.h"
#include "tools/command.h"
#include "tools/daily_backup.h"

namespace {

void printOverview(QTextStream& out) {
    out << "Usage: pkeep-admin [--dir DIR] COMMAND [ARGUMENTS]\n\n"
        << "Looks after the Panel-Keep collection in DIR, by default the directory of\n"
        << "the alias PKEEP: $PKEEP_DIR, else $XDG_DATA_HOME/panel-keep\n"
        << "(~/.local/share/panel-keep).\n\nCommands:\n";
    constexpr int kSummaryColumn = 44;
    for (const admin::Command& command : admin::Commands()) {
        const QString line = QStringLiteral("%1 %2").arg(command.name, command.usage).trimmed();
        // A usage too long for its column puts the summary on a line of its own.
        if (line.size() < kSummaryColumn)
            out << "  " << line.leftJustified(kSummaryColumn);
        else
            out << "  " << line << "\n" << QString(kSummaryColumn + 2, QLatin1Char(' '));
        out << command.summary << "\n";
    }
    out << "\n'pkeep-admin COMMAND --help' describes one command.\n";
}

void printCommandHelp(QTextStream& out, const admin::Command& command) {
    out << "Usage: pkeep-admin " << command.name << " " << command.usage << "\n\n"
        << command.summary << "\n";
    if (command.help) out << "\n" << command.help;
}

const admin::Command* findCommand(const QString& name) {
    for (const admin::Command& command : admin::Commands())
        if (name == QLatin1String(command.name)) return &command;
    return nullptr;
}

int run(QStringList args, QTextStream& out, QTextStream& err) {
    QString directory = store::CollectionDirectory();
    if (args.size() >= 2 && args[0] == QLatin1String("--dir")) {
        directory = args[1];
        args = args.mid(2);
    }
    if (args.isEmpty() || args[0] == QLatin1String("--help") || args[0] == QLatin1String("help")) {
        printOverview(args.isEmpty() ? err : out);
        return args.isEmpty() ? 2 : 0;
    }
    const admin::Command* command = findCommand(args[0]);
    if (!command) {
        err << "pkeep-admin: unknown command '" << args[0] << "' (see pkeep-admin --help)\n";
        return 2;
    }
    QStringList rest = args.mid(1);
    if (rest.contains(QLatin1String("--help"))) {
        printCommandHelp(out, *command);
        return 0;
    }
    admin::Context context{directory, out};
    try {
        import::RecoverInterruptedImport(directory);  // an import a crash cut short is undone first
        admin::DailyBackup dailyBackup(directory);
        const int status = command->run(context, rest);
        if (status == 0) dailyBackup.afterCommand(out, err);
        return status;
    } catch (const admin::UsageError& e) {
        err << "pkeep-admin " << command->name << ": " << QString::fromStdString(e.message())
            << "\nUsage: pkeep-admin " << command->name << " " << command->usage << "\n";
        return 2;
    } catch (const std::exception& e) {
        err << "pkeep-admin " << command->name << ": " << QString::fromUtf8(e.what()) << "\n";
        return 1;
    }
}

}  // namespace

int main(int argc, char** argv) {
    // The report command records on a preview window: that needs the widget
    // application, drawn offscreen when there is no display.
    bool widgets = false;
    for (int i = 1; i < argc; ++i) widgets = widgets || std::strcmp(argv[i], "report") == 0;
    if (widgets && !std::getenv("QT_QPA_PLATFORM") && !std::getenv("DISPLAY") &&
        !std::getenv("WAYLAND_DISPLAY"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    std::unique_ptr<QCoreApplication> application;
    if (widgets)
        application = std::make_unique<QApplication>(argc, argv);
    else
        application = std::make_unique<QCoreApplication>(argc, argv);
    QCoreApplication& app = *application;
    std::setlocale(LC_ALL, "");
    QTextStream out(stdout);
    QTextStream err(stderr);
    QStringList args = app.arguments().mid(1);
    int status = run(args, out, err);
    out.flush();
    err.flush();
    return status;
}
