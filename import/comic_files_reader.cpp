// A folder of comic files: every .cbz in it is one book, described by the
// ComicInfo.xml at the root of its archive.  A file that cannot be read (no
// zip, no ComicInfo.xml, damaged) is refused on its own; the others still
// come in.
#include <QDir>
#include <QFileInfo>

#include "import/comic_info.h"
#include "import/import_error.h"
#include "import/readers.h"
#include "import/xml_input.h"
#include "import/zip_archive.h"

namespace import {

namespace {

// <ComicInfo> (depth 1) and its fields (2).
class ComicInfoHandler : public XmlHandler {
public:
    ComicInfoHandler(XmlInput& xml, const QString& path) : fields(path), xml_(xml) {}
    ComicInfoFields fields;

    bool Start(int depth, std::string_view name, const char**) override {
        if (depth == 1 && name != "ComicInfo") xml_.Fail(QStringLiteral("no <ComicInfo> element"));
        return depth > 2 || (depth == 2 && ComicInfoFields::IsField(name));
    }
    void End(int depth, std::string_view name, std::string_view text) override {
        if (depth == 2) fields.Take(name, text);
    }

private:
    XmlInput& xml_;
};

ImportedBook ReadComicFile(const QString& path) {
    try {
        const ZipArchive archive(path);
        const std::optional<qint64> index = archive.Find(QStringLiteral("ComicInfo.xml"));
        if (!index) throw EImportError("no ComicInfo.xml in the archive");
        XmlInput xml(archive.Open(*index), path + QStringLiteral(" (ComicInfo.xml)"), 0);
        ComicInfoHandler handler(xml, path);
        xml.Parse(handler);
        return handler.fields.Finish();
    } catch (const EImportError& e) {
        ImportedBook book;
        book.origin = path;
        book.refusal = QString::fromStdString(e.message());
        return book;
    }
}

}  // namespace

void ReadComicFiles(const QString& folder, const BookSink& sink, const Progress& progress) {
    if (QFileInfo(folder).isFile()) return sink(ReadComicFile(folder));  // one comic file alone
    const QDir dir(folder);
    if (!dir.exists())
        throw EImportError(QStringLiteral("%1: no such folder").arg(folder).toStdString());
    const QStringList names =
        dir.entryList({QStringLiteral("*.cbz")}, QDir::Files, QDir::Name | QDir::IgnoreCase);
    if (names.isEmpty())
        throw EImportError(
            QStringLiteral("%1: the folder holds no .cbz files").arg(folder).toStdString());
    for (int i = 0; i < names.size(); ++i) {
        sink(ReadComicFile(dir.filePath(names[i])));
        ReportProgress(progress, i + 1, names.size());
    }
}

}  // namespace import
