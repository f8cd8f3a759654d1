#pragma once
// The formats the import reads, and telling them apart by a file's content.

#include <QString>
#include <optional>

namespace import {

enum class Format {
    Tellico,     // .tc (a zip holding tellico.xml) or a bare tellico .xml
    GCstar,      // .gcs, <collection type="GCcomics">
    ComicRack,   // ComicDb.xml
    ComicFiles,  // a folder of .cbz files, each with ComicInfo.xml
    Csv,         // a spreadsheet's CSV with a header row
};

// The name used on the command line ("tellico", "gcstar", "comicrack",
// "cbz", "csv") and the one shown to the user ("Tellico", ...).
QString FormatName(Format format);
QString FormatTitle(Format format);
std::optional<Format> FormatFromName(const QString& name);

// The format of the file or folder at `path`, from what it holds (the zip
// signature, the XML root element), the file name only for CSV.  Raises
// EImportError naming the file when it is none of them.
Format DetectFormat(const QString& path);

}  // namespace import
