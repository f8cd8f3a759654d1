#include "maintenance/backup_manifest.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

namespace backup {

namespace {

[[noreturn]] void refuse(const QString& archive, const QString& why) {
    throw EBackupError(
        QStringLiteral("%1 is not a usable backup: %2").arg(archive, why).toStdString());
}

// A name that stays inside the collection directory when extracted.
bool isSafeName(const QString& name) {
    if (name.isEmpty() || name.startsWith(QLatin1Char('/')) || name.contains(QLatin1Char('\\')))
        return false;
    for (const QString& part : name.split(QLatin1Char('/')))
        if (part.isEmpty() || part == QLatin1String(".") || part == QLatin1String(".."))
            return false;
    return name != QLatin1String(kManifestName);
}

ManifestFile parseFile(const QJsonValue& value, const QString& archive) {
    const QJsonObject object = value.toObject();
    ManifestFile file;
    file.name = object.value(QLatin1String("name")).toString();
    file.size = static_cast<qint64>(object.value(QLatin1String("size")).toDouble(-1));
    file.sha256 = QByteArray::fromHex(object.value(QLatin1String("sha256")).toString().toLatin1());
    if (!isSafeName(file.name)) refuse(archive, QStringLiteral("a file has an unsafe name"));
    if (file.size < 0 || file.sha256.size() != 32)
        refuse(archive, QStringLiteral("the entry of %1 is incomplete").arg(file.name));
    return file;
}

}  // namespace

QString ProgramVersion() { return QStringLiteral(PKEEP_VERSION); }

int CompareVersions(const QString& a, const QString& b) {
    const QStringList x = a.split(QLatin1Char('.'));
    const QStringList y = b.split(QLatin1Char('.'));
    for (qsizetype i = 0; i < std::max(x.size(), y.size()); ++i) {
        const int p = i < x.size() ? x[i].toInt() : 0;
        const int q = i < y.size() ? y[i].toInt() : 0;
        if (p != q) return p < q ? -1 : 1;
    }
    return 0;
}

const ManifestFile* Manifest::file(const QString& name) const {
    for (const ManifestFile& f : files)
        if (f.name == name) return &f;
    return nullptr;
}

QByteArray Manifest::toJson() const {
    QJsonObject rowObject;
    for (auto it = rows.begin(); it != rows.end(); ++it)
        rowObject.insert(it.key(), static_cast<double>(it.value()));
    QJsonArray fileArray;
    for (const ManifestFile& f : files)
        fileArray.append(QJsonObject{{"name", f.name},
                                     {"size", static_cast<double>(f.size)},
                                     {"sha256", QString::fromLatin1(f.sha256.toHex())}});
    const QJsonObject root{
        {"format", format},   {"program", QStringLiteral("Panel-Keep")},
        {"version", version}, {"created", created.toUTC().toString(Qt::ISODateWithMs)},
        {"reason", reason},   {"rows", rowObject},
        {"files", fileArray}};
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

Manifest Manifest::fromJson(const QByteArray& json, const QString& archive) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    const QJsonObject root = document.object();
    if (error.error != QJsonParseError::NoError || !document.isObject() ||
        root.value(QLatin1String("program")).toString() != QLatin1String("Panel-Keep"))
        refuse(archive, QStringLiteral("its manifest is not a Panel-Keep manifest"));
    Manifest m;
    m.format = root.value(QLatin1String("format")).toInt(-1);
    m.version = root.value(QLatin1String("version")).toString();
    if (m.format > kManifestFormat || CompareVersions(m.version, ProgramVersion()) > 0)
        refuse(archive, QStringLiteral("it was written by Panel-Keep %1, newer than this "
                                       "program (%2); restore it with that version")
                            .arg(m.version, ProgramVersion()));
    if (m.format < 1) refuse(archive, QStringLiteral("its manifest has no valid format number"));
    m.created =
        QDateTime::fromString(root.value(QLatin1String("created")).toString(), Qt::ISODateWithMs);
    if (!m.created.isValid()) refuse(archive, QStringLiteral("its manifest has no valid time"));
    m.reason = root.value(QLatin1String("reason")).toString();
    const QJsonObject rowObject = root.value(QLatin1String("rows")).toObject();
    for (auto it = rowObject.begin(); it != rowObject.end(); ++it)
        m.rows.insert(it.key(), static_cast<qint64>(it.value().toDouble()));
    QSet<QString> seen;
    for (const QJsonValue& value : root.value(QLatin1String("files")).toArray()) {
        m.files.push_back(parseFile(value, archive));
        if (seen.contains(m.files.back().name))
            refuse(archive, QStringLiteral("%1 is listed twice").arg(m.files.back().name));
        seen.insert(m.files.back().name);
    }
    if (m.files.isEmpty()) refuse(archive, QStringLiteral("its manifest lists no files"));
    return m;
}

}  // namespace backup
