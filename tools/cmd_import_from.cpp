// pkeep-admin import-from FILE: brings a collection in from another
// program's file (Tellico, GCstar, ComicRack, a folder of comic files, CSV).
#include "import/import_api.h"
#include "tools/command.h"

namespace {

import::ReadOptions Options(const admin::Arguments& arguments,
                            const QString& source){import::ReadOptions options;
const QString formatName = arguments.value(QStringLiteral("--format"));
if (formatName.isEmpty()) {
    options.format = import::DetectFormat(source);
} else {
    const std::optional<import::Format> format = import::FormatFromName(formatName);
    if (!format)
        throw admin::UsageError(QStringLiteral("unknown format '%1' (tellico, gcstar, comicrack, "
                                               "cbz or csv)")
                                    .arg(formatName)
                                    .toStdString());
    options.format = *format;
}
options.takeShortened = arguments.has(QStringLiteral("--allow-shortened"));
const QString map = arguments.value(QStringLiteral("--map"));
if (options.format == import::Format::Csv)
    options.columns = map.isEmpty() ? import::GuessColumns(import::SniffCsv(source).header)
                                    : import::LoadColumnMap(map);
else if (!map.isEmpty())
    throw admin::UsageError("--map is for CSV files only");
return options;
}  // namespace

void PrintColumns(QTextStream& out, const import::ColumnMap& columns) {
    out << "Columns:";
    for (const auto& [target, column] : columns)
        out << " " << import::TargetName(target) << "=\"" << column << "\"";
    out << "\n";
}

int run(admin::Context& context, const QStringList& args) {
    const admin::Arguments arguments(
        args, {QStringLiteral("--format"), QStringLiteral("--map")},
        {QStringLiteral("--dry-run"), QStringLiteral("--allow-shortened")});
    if (arguments.positional().size() != 1)
        throw admin::UsageError("import-from needs one file or folder");
    const QString source = arguments.positional()[0];
    const import::ReadOptions options = Options(arguments, source);
    context.out << "Format: " << import::FormatTitle(options.format) << "\n";
    if (options.format == import::Format::Csv) PrintColumns(context.out, options.columns);
    const import::ImportPlan plan = import::ReadPlan(source, options, context.directory);
    context.out << plan.Report();
    if (arguments.has(QStringLiteral("--dry-run"))) {
        context.out << "Dry run: nothing was changed.\n";
        return 0;
    }
    const import::CommitResult result = import::CommitPlan(plan, context.directory);
    context.out << "Imported into " << context.directory << ": " << result.seriesAdded
                << " series and " << result.booksAdded << " books added, " << result.booksMerged
                << " books merged.\n";
    return 0;
}

admin::Registration registration{
    {"import-from",
     "FILE [--format tellico|gcstar|comicrack|cbz|csv] [--map MAPFILE] [--dry-run] "
     "[--allow-shortened]",
     "Import a collection from Tellico, GCstar, ComicRack, comic files or CSV", run,
     "FILE is a Tellico file (.tc or its bare .xml), a GCstar .gcs file, ComicRack's\n"
     "ComicDb.xml, a folder of .cbz comic files (or one of them) or a CSV file with\n"
     "a header row; the format is found from the content unless --format names it.\n"
     "A CSV file's columns are matched to the fields by their header names, or by\n"
     "MAPFILE (lines FIELD=column header, FIELD one of SERIES PUBLISHER ISSUE\n"
     "EDITION TITLE WRITER ARTIST QUANTITY PAID LOW HIGH CONDITION SIGNED NOTES\n"
     "LOCATION WANTED FORSALE).\n"
     "The report counts the series and books to add, the books to merge into those\n"
     "stored (by series, publisher, issue number and edition), and those refused.\n"
     "A value that does not fit (too long, a character the tables cannot hold, an\n"
     "issue number over 15 characters) is listed with what it would become; such\n"
     "books are left out unless --allow-shortened stores the shortened values.\n"
     "--dry-run reports and changes nothing.  The import stores everything or\n"
     "nothing, even when the program is killed; importing a file twice adds\n"
     "nothing the second time.\n"}};

}  // namespace
