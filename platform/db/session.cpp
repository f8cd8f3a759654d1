#include "platform/db/session.h"

#include <QDir>
#include <QFileInfo>

#include "platform/base/exception.h"

void TSession::AddStandardAlias(const QString& name, const QString& path) {
    aliases_[name.toUpper()] = path;
}

void TSession::DeleteAlias(const QString& name) { aliases_.erase(name.toUpper()); }

bool TSession::IsAlias(const QString& name) const { return aliases_.count(name.toUpper()) > 0; }

QString TSession::AliasPath(const QString& name) const {
    auto it = aliases_.find(name.toUpper());
    if (it == aliases_.end())
        throw EDatabaseError(QStringLiteral("Unknown database alias: %1").arg(name).toStdString());
    return it->second;
}

QString TSession::DatabaseDirectory(const QString& databaseName) const {
    if (databaseName.isEmpty()) return QDir::currentPath();
    if (IsAlias(databaseName)) return AliasPath(databaseName);
    if (QFileInfo(databaseName).isDir()) return databaseName;
    throw EDatabaseError(
        QStringLiteral("Unknown database alias: %1").arg(databaseName).toStdString());
}

QString TSession::TablePath(const QString& directory, const QString& tableName) {
    QString name = tableName;
    if (QFileInfo(name).suffix().isEmpty()) name += QStringLiteral(".db");
    QDir dir(directory);
    const QStringList entries = dir.entryList(QDir::Files);
    for (const QString& entry : entries)
        if (entry.compare(name, Qt::CaseInsensitive) == 0) return dir.filePath(entry);
    return dir.filePath(name);
}

TSession& Session() {
    static TSession session;
    return session;
}
