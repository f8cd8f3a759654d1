#pragma once
// TSession: the database aliases of the process.  An alias names a
// directory of tables; a dataset's DatabaseName is either an alias or a
// directory path.  Alias names are not case sensitive.

#include <QString>
#include <map>

class TSession {
public:
    void AddStandardAlias(const QString& name, const QString& path);
    void DeleteAlias(const QString& name);
    bool IsAlias(const QString& name) const;
    // The directory an alias designates; raises EDatabaseError for an
    // unknown alias.
    QString AliasPath(const QString& name) const;
    // The directory of a DatabaseName: an alias's directory, or the name
    // itself when it is an existing directory path.
    QString DatabaseDirectory(const QString& databaseName) const;
    // The path of a table's .db file in `directory`, matching `tableName`
    // without regard to case and adding ".db" when it has no extension.  A
    // missing table keeps the name as given.
    static QString TablePath(const QString& directory, const QString& tableName);

private:
    std::map<QString, QString> aliases_;  // upper-case name -> directory
};

// The process-wide session.
TSession& Session();
