// pkeep-admin rebuild: the steps of the rebuild window (File, Rebuild Files)
// for users who script their maintenance: the series table, then the books
// table, each through TTUtility, then their backups deleted.  Progress and
// completion go to standard output; a failure keeps the backups and ends
// with the error message and a non-zero status.
#include <QDir>
#include <QFile>

#include "maintenance/tutility.h"
#include "tools/command.h"

namespace {

struct Step {
    const char* table;
    const char* working;
    const char* backupBase;
    const char* complete;
};

constexpr Step kSteps[] = {
    {"series.db", "Rebuilding the Series Database", "series__", "Series Rebuild Complete"},
    {"books.db", "Rebuilding the Books Database", "books__", "Books Rebuild Complete"},
};

// Progress lines: each message, and the percent in steps of ten.
void printProgress(QTextStream& out, int& lastTenth, const TRebuildCBData& data) {
    if (!data.MessageText.isEmpty()) {
        out << "  " << data.MessageText << "\n";
    } else if (data.PercentDone / 10 > lastTenth) {
        lastTenth = data.PercentDone / 10;
        out << "  " << data.PercentDone << "%\n";
    }
    out.flush();
}

void rebuild(QTextStream& out, const Step& step) {
    out << step.working << "\n";
    out.flush();
    TTUtility utility;
    utility.CBActive = true;
    utility.SettErrTableName(QStringLiteral("__TUERR.DB"));
    utility.SettKeyVTableName(QStringLiteral("KEYVIOL.DB"));
    utility.SettProbTableName(QStringLiteral("PROBLEMS.DB"));
    int lastTenth = -1;
    utility.OnInfoRebuild = [&out, &lastTenth](TTUtility*, const TRebuildCBData& data) {
        printProgress(out, lastTenth, data);
    };
    utility.SetTableName(QString::fromLatin1(step.table));
    utility.RebuildTable(utility.GetTableDesc());
    for (const char* ext : {".DB", ".MB", ".PX"})
        QFile::remove(QString::fromLatin1(step.backupBase) + QLatin1String(ext));
    out << step.complete << "\n";
    out.flush();
}

int run(admin::Context& context, const QStringList& args) {
    admin::Arguments arguments(args, {});
    if (!arguments.positional().isEmpty()) throw admin::UsageError("rebuild takes no arguments");
    // The tables' names are relative, as in the program, which runs in the
    // collection directory.
    if (!QDir::setCurrent(context.directory))
        throw Exception(QStringLiteral("the collection directory %1 does not exist")
                            .arg(context.directory)
                            .toStdString());
    for (const Step& step : kSteps) rebuild(context.out, step);
    return 0;
}

admin::Registration registration{
    {"rebuild", "", "Rebuild (pack and repair) both tables, as File, Rebuild Files does", run,
     "Rebuilds series.db, then books.db: every row that can be read is kept, rows\n"
     "whose key repeats go to KEYVIOL.DB and damaged rows to PROBLEMS.DB in the\n"
     "collection directory.  The backups (series__.DB, books__.DB, ...) are deleted\n"
     "after success and kept after a failure, which exits with status 1.\n"}};

}  // namespace
