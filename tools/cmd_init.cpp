// pkeep-admin init: an empty collection (both tables with their index and
// memo files, and the logo bitmap) in the alias directory.
#include <QDir>
#include <QFileInfo>

#include "store/collection.h"
#include "tools/command.h"
#include "tools/logo.h"

namespace {

int run(admin::Context& context, const QStringList& args) {
    admin::Arguments arguments(args, {});
    if (!arguments.positional().isEmpty()) throw admin::UsageError("init takes no arguments");
    if (store::CollectionExists(context.directory))
        throw Exception(QStringLiteral("a collection already exists in %1; init leaves it as it is")
                            .arg(context.directory)
                            .toStdString());
    store::CreateCollection(context.directory);
    const QString logo = QDir(context.directory).filePath(QString::fromLatin1(admin::kLogoFile));
    if (!QFileInfo::exists(logo)) admin::WriteLogo(logo);  // a logo of the user's own stays
    context.out << "Created an empty collection in " << context.directory << "\n";
    return 0;
}

admin::Registration registration{
    {"init", "", "Create an empty collection in the collection directory", run,
     "Creates series.db and books.db with their index (.px) and memo (.mb)\n"
     "files and the report logo PKEEP20.BMP.  Refuses to touch a directory\n"
     "that already holds a collection.\n"}};

}  // namespace
