// pkeep-admin rebuild: the steps of the rebuild window (File, Rebuild Files)
// for users who script their maintenance: the series table, then the books
// table, then the book extras table when the collection has one, each
// through TTUtility, then their backups deleted.  Progress and
// completion go to standard output; a failure keeps the backups and ends
// with the error message and a non-zero status.  Nothing here may open a
// window: a question the component would ask (a table's password) is
// answered from the command line or ends the command with its message.
#include <QDir>
#include <QFile>
#include <QTextStream>
#include <cstdio>

#include "maintenance/tutility.h"
#include "platform/paradox/table.h"
#include "platform/widgets/dialogs.h"
#include "store/book_extras.h"
#include "store/collection.h"
#include "store/table_room.h"
#include "tools/command.h"

namespace {

struct Step {
    const char* table;
    const char* working;
    const char* backupBase;
    const char* complete;
    // The table's structure, from which a damaged field descriptor is rebuilt.
    paradox::TableSchema (*structure)();
    bool optional = false;  // a collection may not have this table
};

const Step kSteps[] = {
    {"series.db", "Rebuilding the Series Database", "series__", "Series Rebuild Complete",
     store::SeriesSchema},
    {"books.db", "Rebuilding the Books Database", "books__", "Books Rebuild Complete",
     store::BooksSchema},
    {"extras.db", "Rebuilding the Book Extras", "extras__", "Extras Rebuild Complete",
     store::ExtrasSchema, true},
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

// The component's messages end in a "Trying ..." line after a CR LF, as a
// message box shows them; a terminal wants a plain line break.
QString terminalText(const char* message) {
    return QString::fromUtf8(message).replace(QLatin1String("\r\n"), QLatin1String("\n"));
}

QString passwordHelp(const char* table) {
    return QStringLiteral(
               "%1 is password-protected. Give its password with --password PASSWORD, or with "
               "--password - to read it from standard input.")
        .arg(QString::fromLatin1(table));
}

// Deletes the backups of a rebuild that found nothing wrong.  After one that
// reported damage they may hold what the rebuilt table could not keep.
void removeBackups(QTextStream& out, const Step& step, bool damageReported) {
    const QString base = QString::fromLatin1(step.backupBase);
    if (damageReported) {
        out << "  The original files are kept as " << base << ".DB (with its .MB and .PX)\n";
        return;
    }
    for (const char* ext : {".DB", ".MB", ".PX"}) QFile::remove(base + QLatin1String(ext));
}

void rebuild(QTextStream& out, const Step& step, const QString& password, int blockSizeKiB) {
    out << step.working << "\n";
    out.flush();
    TTUtility utility;
    utility.CBActive = true;
    utility.SetPassword(password);
    utility.SettErrTableName(QStringLiteral("__TUERR.DB"));
    utility.SettKeyVTableName(QStringLiteral("KEYVIOL.DB"));
    utility.SettProbTableName(QStringLiteral("PROBLEMS.DB"));
    utility.SetKnownStructure(step.structure());
    utility.BlockSizeKiB = blockSizeKiB;
    int lastTenth = -1;
    bool damageReported = false;
    utility.OnInfoRebuild = [&](TTUtility*, const TRebuildCBData& data) {
        damageReported = damageReported || !data.MessageText.isEmpty();
        printProgress(out, lastTenth, data);
    };
    const TScopedInputAnswerer noPasswordBox([&step](TInputRequest&) -> bool {
        throw Exception(passwordHelp(step.table).toStdString());
    });
    try {
        utility.SetTableName(QString::fromLatin1(step.table));
        utility.RebuildTable(utility.GetTableDesc());
    } catch (const std::exception& e) {
        throw Exception(terminalText(e.what()).toStdString());
    }
    removeBackups(out, step, damageReported);
    out << step.complete << "\n";
    out.flush();
}

QString passwordOption(const admin::Arguments& arguments) {
    QString password = arguments.value(QStringLiteral("--password"));
    if (password == QLatin1String("-")) {
        QTextStream in(stdin);
        password = in.readLine();
    }
    return password;
}

int blockSizeOption(const admin::Arguments& arguments) {
    if (!arguments.has(QStringLiteral("--block-size"))) return 0;
    const long long kib = arguments.number(QStringLiteral("--block-size"), 0);
    for (int allowed : paradox::kBlockSizesKiB)
        if (kib == allowed) return allowed;
    throw admin::UsageError("--block-size takes 1, 2, 4, 16 or 32 (KiB)");
}

// Tells of a rebuilt table whose blocks are nearly all in use (from its
// header: the rows need not be loaded for that).
void warnOfTablesNearlyFull(QTextStream& out) {
    for (const Step& step : kSteps) {
        if (step.optional && !paradox::Table::exists(step.table)) continue;
        const QString warning = store::TableRoomWarning(QString::fromLatin1(step.table));
        if (!warning.isEmpty()) out << "Warning: " << warning << "\n";
    }
    out.flush();
}

int run(admin::Context& context, const QStringList& args) {
    admin::Arguments arguments(args,
                               {QStringLiteral("--password"), QStringLiteral("--block-size")});
    if (!arguments.positional().isEmpty()) throw admin::UsageError("rebuild takes no arguments");
    const int blockSizeKiB = blockSizeOption(arguments);
    const QString password = passwordOption(arguments);
    // The tables' names are relative, as in the program, which runs in the
    // collection directory.
    if (!QDir::setCurrent(context.directory))
        throw Exception(QStringLiteral("the collection directory %1 does not exist")
                            .arg(context.directory)
                            .toStdString());
    for (const Step& step : kSteps)
        if (!step.optional || paradox::Table::exists(step.table))
            rebuild(context.out, step, password, blockSizeKiB);
    warnOfTablesNearlyFull(context.out);
    return 0;
}

admin::Registration registration{
    {"rebuild", "[--password PASSWORD|-] [--block-size KIB]",
     "Rebuild (pack and repair) the collection's tables, as File, Rebuild Files does", run,
     "Rebuilds series.db, then books.db, then extras.db when the collection has\n"
     "book extras: every row that can be read is kept, rows\n"
     "whose key repeats go to KEYVIOL.DB and damaged rows to PROBLEMS.DB in the\n"
     "collection directory.  The backups (series__.DB, books__.DB, ...) are deleted\n"
     "after a rebuild that found nothing wrong; they are kept after one that reported\n"
     "damage, and after a failure, which exits with status 1.\n"
     "--password gives the password of a password-protected table ('-' reads it\n"
     "from standard input).\n"
     "--block-size writes the tables in blocks of 1, 2, 4, 16 or 32 KiB (default:\n"
     "each keeps its own).  A table holds at most 65,535 blocks, so larger blocks\n"
     "give it room for more rows; the command warns when a table's blocks are 90 %\n"
     "in use.\n"}};

}  // namespace
