#pragma once
// TTUtility: rebuilds one Paradox table in place through the table utility
// library TUTIL32, loaded by name when the component is made.  Set
// TableName, take the description with GetTableDesc and hand it to
// RebuildTable; progress arrives through OnInfoRebuild while CBActive.
//
// The component owns the table description it returns.  Every library call
// runs inside one library handle (TUInit ... TUExit).

#include <QObject>
#include <QString>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "maintenance/table_desc.h"
#include "platform/base/exception.h"
#include "platform/paradox/session.h"
#include "platform/paradox/table.h"
#include "platform/tutil/tutil.h"

// The component's own failures.
class ETUtilityError : public Exception {
public:
    using Exception::Exception;
};

// The table utility library cannot be loaded or lacks an entry point.
class EDLLLoadError : public Exception {
public:
    using Exception::Exception;
};

// Options of the verification (bits of its option word), as the library
// takes them.
enum TVerifyOption : std::int32_t {
    vTU_Append_Errors = TU_VERIFY_APPEND_ERRORS,
    vTU_No_Secondary = TU_VERIFY_NO_SECONDARY,
    vTU_No_Warnings = TU_VERIFY_NO_WARNINGS,
    vTU_Header_Only = TU_VERIFY_HEADER_ONLY,
    vTU_Dialog_Hide = TU_VERIFY_DIALOG_HIDE,
    vTU_No_Lock = TU_VERIFY_NO_LOCK,
};
using TVerifyOptions = std::int32_t;

// A progress report: a percent, or a message (PercentDone then means nothing).
struct TRebuildCBData {
    std::int32_t PercentDone = 0;
    QString MessageText;  // at most 128 characters
};

class TTUtility;
using TInfoRebuildEvent =
    std::function<void(TTUtility* Sender, const TRebuildCBData& RebuildCBRec)>;

// What the table list says of the current table.
struct TTableInfo {
    QString TableType;  // at most 32 characters
    bool Protected = false;
    std::uint32_t RecordCount = 0;
    int FieldCount = 0;
    int RecordSize = 0;
    int KeyFieldCount = 0;
    std::uint64_t FileSize = 0;
};

class TTUtilityLibrary;

class TTUtility : public QObject {
    Q_OBJECT

public:
    // The file the component loads; tests point it elsewhere.
    static QString LibraryName;

    explicit TTUtility(QObject* owner = nullptr);
    ~TTUtility() override;

    // Settings, in the order the component declares them.
    bool CBActive = false;
    bool Pack = true;
    QString Password() const { return password_; }
    void SetPassword(const QString& value);
    QString TableName() const { return tableName_; }
    void SetTableName(const QString& value);
    QString tErrTableName() const { return errTableName_; }
    void SettErrTableName(const QString& value);
    QString tBkUpTableName() const { return bkUpTableName_; }
    void SettBkUpTableName(const QString& value);
    QString tKeyVTableName() const { return keyVTableName_; }
    void SettKeyVTableName(const QString& value);
    QString tProbTableName() const { return probTableName_; }
    void SettProbTableName(const QString& value);
    TInfoRebuildEvent OnInfoRebuild;
    // Block size of the rebuilt table in KiB (1, 2, 4, 16 or 32); 0 keeps
    // the table's own.  Larger blocks give a table room for more rows.
    int BlockSizeKiB = 0;

    // The structure the table is known to have (the program's own tables).
    // A table whose field descriptor is damaged is then described by it, and
    // the library rebuilds the descriptor when the table's field names or
    // record size agree with it.  Set before TableName.
    void SetKnownStructure(const paradox::TableSchema& schema) { known_ = schema; }

    // After the owning window set the stored settings: re-applies each
    // non-empty one through its setter.
    void Loaded();

    pCRTblDesc GetTableDesc();
    void RebuildTable(pCRTblDesc description);

    // What the last setting of TableName found.
    const TTableInfo& TableInfo() const { return tableInfo_; }
    std::int32_t VerifyLevel() const { return verifyLevel_; }
    pCRTblDesc HeldTableDesc() const { return desc_.get(); }

    // The name rules.
    static QString StripExtension(const QString& name);
    static QString BackupBaseName(const QString& name);
    QString PrivateDirectory() const;
    // The names handed to the library.
    QString ErrorTableName();
    QString BackupTableName() const;
    QString KeyViolationTableName() const;
    QString ProblemTableName() const;

private:
    class Operation;
    void ReadTableInfo(const QString& name);
    void ReadCursorProps(const std::string& name);
    void DescribeKnownStructure();
    void FillKnownTableDesc(const std::string& table);
    void newTableDesc(const std::string& table, const TTableDescCounts& counts);
    void VerifyHeader(const std::string& name);
    void ReadTableList(const QString& name);
    void checkDirectory(QString& setting, const QString& value);
    std::string native(const QString& text, int limit = 255) const;
    void raiseEngineError(std::uint16_t result) const;
    static int RebuildCallback(paradox::CallbackType type, void* clientData, void* buffer);

    std::unique_ptr<TTUtilityLibrary> library_;
    std::optional<std::uint16_t> handle_;
    TTableInfo tableInfo_;
    std::int32_t verifyLevel_ = 0;
    TableDescPtr desc_;
    std::optional<paradox::TableSchema> known_;
    bool headerUnreadable_ = false;  // and described by known_
    paradox::ProgressBuffer callbackBuffer_{};
    std::exception_ptr callbackError_;

    QString password_;
    QString tableName_;
    QString errTableName_ = QStringLiteral("__TUERR.DB");
    QString bkUpTableName_;
    QString keyVTableName_ = QStringLiteral("KEYVIOL.DB");
    QString probTableName_ = QStringLiteral("PROBLEMS.DB");
};
