#include "import/format.h"

#include <QFile>
#include <QFileInfo>
#include <QXmlStreamReader>

#include "import/import_error.h"
#include "import/zip_archive.h"

namespace import {

namespace {

struct FormatNames {
    Format format;
    const char* name;
    const char* title;
};

constexpr FormatNames kNames[] = {
    {Format::Tellico, "tellico", "Tellico"},
    {Format::GCstar, "gcstar", "GCstar"},
    {Format::ComicRack, "comicrack", "ComicRack"},
    {Format::ComicFiles, "cbz", "Comic files (.cbz)"},
    {Format::Csv, "csv", "CSV spreadsheet"},
};

// The name of the root element in the first bytes of an XML file, "" when
// they are no XML.
QString RootElement(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    QXmlStreamReader reader(file.read(64 * 1024));
    while (!reader.atEnd()) {
        if (reader.readNext() == QXmlStreamReader::StartElement) return reader.name().toString();
    }
    return {};
}

std::optional<Format> FormatOfZip(const QString& path) {
    const ZipArchive archive(path);
    if (archive.Find(QStringLiteral("tellico.xml"))) return Format::Tellico;
    if (archive.Find(QStringLiteral("ComicInfo.xml"))) return Format::ComicFiles;
    return std::nullopt;
}

}  // namespace

QString FormatName(Format format) {
    for (const FormatNames& names : kNames)
        if (names.format == format) return QString::fromLatin1(names.name);
    return {};
}

QString FormatTitle(Format format) {
    for (const FormatNames& names : kNames)
        if (names.format == format) return QString::fromLatin1(names.title);
    return {};
}

std::optional<Format> FormatFromName(const QString& name) {
    for (const FormatNames& names : kNames)
        if (name.compare(QLatin1String(names.name), Qt::CaseInsensitive) == 0) return names.format;
    return std::nullopt;
}

Format DetectFormat(const QString& path) {
    const QFileInfo info(path);
    if (info.isDir()) return Format::ComicFiles;
    if (!info.exists())
        throw EImportError(QStringLiteral("%1: no such file").arg(path).toStdString());
    if (LooksLikeZip(path)) {
        if (const auto format = FormatOfZip(path)) return *format;
        throw EImportError(QStringLiteral("%1: a zip archive with neither tellico.xml nor "
                                          "ComicInfo.xml in it")
                               .arg(path)
                               .toStdString());
    }
    const QString root = RootElement(path);
    if (root == QLatin1String("tellico")) return Format::Tellico;
    if (root == QLatin1String("collection")) return Format::GCstar;
    if (root == QLatin1String("ComicDatabase")) return Format::ComicRack;
    const QString suffix = info.suffix().toLower();
    if (root.isEmpty() && (suffix == QLatin1String("csv") || suffix == QLatin1String("txt") ||
                           suffix == QLatin1String("tsv")))
        return Format::Csv;
    throw EImportError(QStringLiteral("%1: not a file the import knows (Tellico, GCstar, "
                                      "ComicRack, comic files or CSV)%2")
                           .arg(path, root.isEmpty()
                                          ? QString()
                                          : QStringLiteral("; its XML root is <%1>").arg(root))
                           .toStdString());
}

}  // namespace import
