#include "import/column_map.h"

#include <QFile>
#include <QRegularExpression>
#include <QSaveFile>
#include <QTextStream>

#include "import/import_error.h"

namespace import {

namespace {

struct TargetInfo {
    Target target;
    const char* name;
    // Header names that suggest the target, lower case without spaces or
    // punctuation (but '#').
    std::vector<const char*> headers;
};

const std::vector<TargetInfo>& Targets() {
    static const std::vector<TargetInfo> targets = {
        {Target::Series, "SERIES", {"series", "seriesname", "seriestitle", "comic", "comicseries"}},
        {Target::Publisher, "PUBLISHER", {"publisher", "pub", "imprint", "publishers"}},
        {Target::Issue,
         "ISSUE",
         {"issue", "issuenumber", "issueno", "issuenum", "#", "issue#", "no", "number", "num",
          "comicno"}},
        {Target::Edition, "EDITION", {"edition", "variant", "printing"}},
        {Target::Title, "TITLE", {"title", "issuetitle", "storytitle", "story", "name"}},
        {Target::Writer, "WRITER", {"writer", "writers", "author", "authors", "script"}},
        {Target::Artist,
         "ARTIST",
         {"artist", "artists", "penciller", "penciler", "pencils", "illustrator", "art"}},
        {Target::Quantity, "QUANTITY", {"qty", "quantity", "copies", "owned", "count"}},
        {Target::Paid, "PAID", {"pricepaid", "paid", "purchaseprice", "cost", "price"}},
        {Target::Low, "LOW", {"low", "lowvalue", "lowprice"}},
        {Target::High, "HIGH", {"high", "highvalue", "mintvalue", "marketvalue", "value"}},
        {Target::Condition, "CONDITION", {"condition", "grade", "cond"}},
        {Target::Signed, "SIGNED", {"signed", "autograph", "autographed", "signature"}},
        {Target::Notes, "NOTES", {"notes", "note", "comments", "comment", "booknote"}},
        {Target::Location, "LOCATION", {"location", "storagelocation", "storage", "box"}},
        {Target::Wanted, "WANTED", {"wanted", "wishlist", "want"}},
        {Target::ForSale, "FORSALE", {"forsale", "sale", "selling"}},
    };
    return targets;
}

QString Normalised(const QString& header) {
    QString key;
    for (const QChar c : header.toLower())
        if (c.isLetterOrNumber() || c == QLatin1Char('#')) key += c;
    return key;
}

}  // namespace

const std::vector<Target>& AllTargets() {
    static const std::vector<Target> all = [] {
        std::vector<Target> list;
        for (const TargetInfo& info : Targets()) list.push_back(info.target);
        return list;
    }();
    return all;
}

QString TargetName(Target target) {
    for (const TargetInfo& info : Targets())
        if (info.target == target) return QString::fromLatin1(info.name);
    return {};
}

ColumnMap GuessColumns(const QStringList& header) {
    ColumnMap columns;
    for (const TargetInfo& info : Targets()) {
        for (const QString& name : header) {
            const QString key = Normalised(name);
            bool matches = false;
            for (const char* candidate : info.headers)
                matches = matches || key == QLatin1String(candidate);
            // Each column feeds one field: the first target that claims it keeps it.
            bool taken = false;
            for (const auto& [target, column] : columns) taken = taken || column == name;
            if (matches && !taken) {
                columns[info.target] = name;
                break;
            }
        }
    }
    return columns;
}

void SaveColumnMap(const ColumnMap& columns, const QString& path) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        throw EImportError(
            QStringLiteral("%1: cannot write it (%2)").arg(path, file.errorString()).toStdString());
    QTextStream out(&file);
    out << "# Panel-Keep column map: FIELD=CSV column header\n";
    for (const auto& [target, column] : columns) out << TargetName(target) << '=' << column << '\n';
    out.flush();
    if (!file.commit())
        throw EImportError(
            QStringLiteral("%1: cannot write it (%2)").arg(path, file.errorString()).toStdString());
}

ColumnMap LoadColumnMap(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        throw EImportError(
            QStringLiteral("%1: cannot read it (%2)").arg(path, file.errorString()).toStdString());
    ColumnMap columns;
    int line = 0;
    while (!file.atEnd()) {
        ++line;
        const QString text = QString::fromUtf8(file.readLine(4096)).trimmed();
        if (text.isEmpty() || text.startsWith(QLatin1Char('#'))) continue;
        const qsizetype equals = text.indexOf(QLatin1Char('='));
        const QString name = text.left(equals).trimmed().toUpper();
        const auto known = std::find_if(
            Targets().begin(), Targets().end(),
            [&name](const TargetInfo& info) { return name == QLatin1String(info.name); });
        if (equals < 0 || known == Targets().end())
            throw EImportError(QStringLiteral("%1 line %2: \"%3\" is not FIELD=column, with FIELD "
                                              "one of %4")
                                   .arg(path)
                                   .arg(line)
                                   .arg(text,
                                        [] {
                                            QStringList names;
                                            for (const TargetInfo& info : Targets())
                                                names << QString::fromLatin1(info.name);
                                            return names.join(QLatin1Char(' '));
                                        }())
                                   .toStdString());
        columns[known->target] = text.mid(equals + 1).trimmed();
    }
    return columns;
}

}  // namespace import
