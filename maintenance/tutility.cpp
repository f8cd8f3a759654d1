#include "maintenance/tutility.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <array>
#include <cstdio>
#include <cstring>

#include "maintenance/tutility_library.h"
#include "platform/paradox/file_io.h"
#include "platform/paradox/header.h"
#include "platform/widgets/dialogs.h"

QString TTUtility::LibraryName = QStringLiteral("libTUTIL32.so");

namespace {

const char* const kTableType = "Paradox";
const char* const kVerifyTable = "__TMP.DB";
constexpr std::int32_t kHeaderOnlyNoLock = vTU_Header_Only | vTU_No_Lock;

paradox::Session& engineSession() { return paradox::SessionList::instance().current(); }

QString directoryPart(const QString& name) {
    const int slash = name.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : name.left(slash + 1);
}

QString filePart(const QString& name) { return name.mid(name.lastIndexOf(QLatin1Char('/')) + 1); }

// A field of a known structure as the table's header describes it.
TUFieldDesc fieldDescOf(const paradox::FieldDef& f, std::size_t number) {
    using T = paradox::FieldType;
    TUFieldDesc d;
    std::memset(&d, 0, sizeof d);
    d.number = static_cast<std::uint16_t>(number);
    std::strncpy(d.name, f.name.c_str(), sizeof d.name - 1);
    d.typeCode = paradox::codeOfFieldType(f.type);
    switch (f.type) {
        case T::Alpha:
        case T::Bytes:
        case T::Bcd:
            d.sizeByte = static_cast<std::uint8_t>(f.size);
            break;
        case T::Memo:
        case T::Blob:
        case T::FmtMemo:
        case T::Ole:
        case T::Graphic:
            d.sizeByte = static_cast<std::uint8_t>(f.size + 10);
            break;
        case T::Short:
            d.sizeByte = 2;
            break;
        case T::Logical:
            d.sizeByte = 1;
            break;
        case T::Money:
        case T::Number:
        case T::Timestamp:
            d.sizeByte = 8;
            break;
        default:
            d.sizeByte = 4;
            break;
    }
    return d;
}

}  // namespace

// One library handle for the length of an operation: starting one ends any
// handle left open, and the handle always ends with the operation.
class TTUtility::Operation {
public:
    explicit Operation(TTUtility& owner) : owner_(owner) {
        end(owner_);
        std::uint16_t handle = 0;
        if (const std::uint16_t result = owner_.library_->TUInit(&handle))
            owner_.raiseEngineError(result);
        owner_.handle_ = handle;
    }
    ~Operation() { end(owner_); }
    std::uint16_t handle() const { return *owner_.handle_; }
    static void end(TTUtility& owner) {
        if (owner.handle_) owner.library_->TUExit(*owner.handle_);
        owner.handle_.reset();
    }

private:
    TTUtility& owner_;
};

TTUtility::TTUtility(QObject* owner) : QObject(owner) {
    paradox::SessionList& sessions = paradox::SessionList::instance();
    if (sessions.count() == 1 && sessions.at(0).openDatabaseCount() == 0)
        sessions.setCurrent(sessions.openSession("TUtilSession"));
    library_ = std::make_unique<TTUtilityLibrary>(LibraryName);
}

TTUtility::~TTUtility() {
    if (!password_.isEmpty()) engineSession().removePassword(password_.toStdString());
    if (library_) Operation::end(*this);
    desc_.reset();
    library_.reset();
}

void TTUtility::Loaded() {
    if (!tableName_.isEmpty()) SetTableName(tableName_);
    if (!bkUpTableName_.isEmpty()) SettBkUpTableName(bkUpTableName_);
    if (!keyVTableName_.isEmpty()) SettKeyVTableName(keyVTableName_);
    if (!probTableName_.isEmpty()) SettProbTableName(probTableName_);
    if (!errTableName_.isEmpty()) SettErrTableName(errTableName_);
}

// ---- name rules -----------------------------------------------------------

QString TTUtility::StripExtension(const QString& name) {
    const QString dir = directoryPart(name);
    QString file = filePart(name);
    const int dot = file.indexOf(QLatin1Char('.'));
    if (dot >= 0) file.truncate(dot);
    return dir + file;
}

// Names of up to eight characters get one more "_"; longer ones have the
// last non-"_" character among their first eight replaced by "_".
QString TTUtility::BackupBaseName(const QString& name) {
    if (name.size() <= 8) return name + QLatin1Char('_');
    QString result = name;
    for (int i = 7; i >= 0; --i) {
        if (result[i] != QLatin1Char('_')) {
            result[i] = QLatin1Char('_');
            break;
        }
    }
    return result;
}

QString TTUtility::PrivateDirectory() const {
    QString dir = QString::fromStdString(engineSession().privateDirectory());
    if (!dir.endsWith(QLatin1Char('/'))) dir += QLatin1Char('/');
    return dir;
}

void TTUtility::checkDirectory(QString& setting, const QString& value) {
    const QString dir = directoryPart(value);
    if (!dir.isEmpty() && !QFileInfo(dir).isDir()) {
        setting.clear();
        throw ETUtilityError("Invalid directory path");
    }
}

void TTUtility::SettErrTableName(const QString& value) {
    checkDirectory(errTableName_, value);
    errTableName_ = StripExtension(value.isEmpty() ? QStringLiteral("__TUERR.DB") : value) +
                    QStringLiteral(".DB");
}

void TTUtility::SettBkUpTableName(const QString& value) {
    checkDirectory(bkUpTableName_, value);
    if (value.isEmpty())
        bkUpTableName_ =
            tableName_.isEmpty() ? QString() : BackupTableName() + QStringLiteral(".DB");
    else
        bkUpTableName_ = StripExtension(value) + QStringLiteral(".DB");
}

void TTUtility::SettKeyVTableName(const QString& value) {
    checkDirectory(keyVTableName_, value);
    keyVTableName_ =
        StripExtension(value.isEmpty() ? PrivateDirectory() + QStringLiteral("KEYVIOL") : value) +
        QStringLiteral(".DB");
}

void TTUtility::SettProbTableName(const QString& value) {
    checkDirectory(probTableName_, value);
    probTableName_ =
        StripExtension(value.isEmpty() ? PrivateDirectory() + QStringLiteral("PROBLEMS") : value) +
        QStringLiteral(".DB");
}

QString TTUtility::ErrorTableName() {
    if (errTableName_.isEmpty()) SettErrTableName(QString());
    return directoryPart(errTableName_).isEmpty() ? PrivateDirectory() + errTableName_
                                                  : errTableName_;
}

QString TTUtility::BackupTableName() const {
    if (bkUpTableName_.isEmpty())
        return directoryPart(tableName_) + BackupBaseName(StripExtension(filePart(tableName_)));
    if (!directoryPart(bkUpTableName_).isEmpty()) return StripExtension(bkUpTableName_);
    return directoryPart(tableName_) + BackupBaseName(StripExtension(bkUpTableName_));
}

QString TTUtility::KeyViolationTableName() const {
    return directoryPart(keyVTableName_).isEmpty()
               ? StripExtension(PrivateDirectory() + keyVTableName_)
               : StripExtension(keyVTableName_);
}

QString TTUtility::ProblemTableName() const {
    return directoryPart(probTableName_).isEmpty()
               ? StripExtension(PrivateDirectory() + probTableName_)
               : StripExtension(probTableName_);
}

// ---- settings with effects --------------------------------------------------

void TTUtility::SetPassword(const QString& value) {
    if (value == password_) return;
    paradox::Session& session = engineSession();
    if (!password_.isEmpty()) session.removePassword(password_.toStdString());
    if (!value.isEmpty()) session.addPassword(value.toStdString());
    password_ = value;
}

void TTUtility::SetTableName(const QString& value) {
    tableName_ = value;
    if (value.isEmpty()) return;
    if (paradox::findCaseInsensitive(QFile::encodeName(value).toStdString()).empty()) {
        tableName_.clear();
        throw ETUtilityError("Table not found.");
    }
    ReadTableInfo(StripExtension(value));
    if (tableInfo_.TableType.compare(QStringLiteral("PARADOX"), Qt::CaseInsensitive) != 0)
        throw ETUtilityError("TUtility only currently supports the ttParadox table type.");
    SettBkUpTableName(QString());
}

// ---- library calls ----------------------------------------------------------

std::string TTUtility::native(const QString& text, int limit) const {
    const QByteArray bytes = QFile::encodeName(text);
    if (bytes.size() > limit)
        throw ETUtilityError("The name " + text.toStdString() + " is longer than " +
                             std::to_string(limit) + " bytes");
    return bytes.toStdString();
}

void TTUtility::raiseEngineError(std::uint16_t result) const {
    throw EDatabaseError(paradox::SessionList::instance().errorText(result));
}

void TTUtility::ReadTableInfo(const QString& name) {
    if (name.isEmpty()) throw ETUtilityError("Invalid TUVerify parameters");
    const std::string table = native(name);
    headerUnreadable_ = false;
    ReadCursorProps(table);
    if (headerUnreadable_) return;  // nothing else can read it either
    VerifyHeader(table);
    ReadTableList(name);
}

void TTUtility::ReadCursorProps(const std::string& name) {
    tableInfo_ = TTableInfo();
    Operation op(*this);
    TUCursorProps props;
    std::memset(&props, 0, sizeof props);
    if (const std::uint16_t result = library_->TUFillCURProps(op.handle(), name.c_str(), &props)) {
        if (result != TU_ERR_DAMAGED || !known_) raiseEngineError(result);
        DescribeKnownStructure();
        return;
    }
    tableInfo_.TableType =
        QString::fromLocal8Bit(props.tableType, int(strnlen(props.tableType, 32)));
    tableInfo_.Protected = props.isProtected != 0;
    tableInfo_.RecordCount = props.recordCount;
    tableInfo_.FieldCount = props.fieldCount;
    tableInfo_.RecordSize = props.recordSize;
    tableInfo_.KeyFieldCount = props.keyFieldCount;
}

// A new description of `counts` entries, its header filled for `table`.
void TTUtility::newTableDesc(const std::string& table, const TTableDescCounts& counts) {
    desc_.reset();
    desc_ = AllocTableDesc(counts);
    std::strncpy(desc_->tableName, table.c_str(), sizeof desc_->tableName - 1);
    std::strncpy(desc_->tableType, kTableType, sizeof desc_->tableType - 1);
    const std::string errTable = native(ErrorTableName());
    std::strncpy(desc_->errTableName, errTable.c_str(), sizeof desc_->errTableName - 1);
    desc_->pack = Pack ? 1 : 0;
}

// The table's header cannot be read: the table is what its known structure
// says, and the rebuild will check that against the file.
void TTUtility::DescribeKnownStructure() {
    headerUnreadable_ = true;
    tableInfo_.TableType = QStringLiteral("PARADOX");
    tableInfo_.FieldCount = static_cast<int>(known_->fields.size());
    tableInfo_.KeyFieldCount = known_->keyFieldCount;
}

void TTUtility::FillKnownTableDesc(const std::string& table) {
    TTableDescCounts counts;
    counts.Fields = static_cast<std::uint16_t>(known_->fields.size());
    counts.Indexes = known_->keyFieldCount > 0 ? 1 : 0;
    newTableDesc(table, counts);
    for (std::size_t i = 0; i < known_->fields.size(); ++i)
        desc_->fields[i] = fieldDescOf(known_->fields[i], i + 1);
    if (counts.Indexes) {
        TUIndexDesc& index = desc_->indexes[0];
        index.number = 1;
        index.primary = 1;
        index.unique = 1;
        index.fieldCount = static_cast<std::uint16_t>(known_->keyFieldCount);
        for (int i = 0; i < known_->keyFieldCount && i < 64; ++i)
            index.fields[i] = static_cast<std::uint16_t>(i + 1);
    }
}

void TTUtility::VerifyHeader(const std::string& name) {
    verifyLevel_ = 0;
    Operation op(*this);
    const std::uint16_t result =
        library_->TUVerifyTable(op.handle(), name.c_str(), kTableType, kVerifyTable, nullptr,
                                kHeaderOnlyNoLock, &verifyLevel_);
    QFile::remove(QString::fromLatin1(kVerifyTable));
    if (result) raiseEngineError(result);
}

void TTUtility::ReadTableList(const QString& name) {
    const QString dir = directoryPart(name);
    std::unique_ptr<paradox::Database> database =
        engineSession().openDatabase(native(dir.isEmpty() ? QDir::currentPath() : dir));
    if (tableInfo_.Protected && password_.isEmpty()) {
        TInputRequest request{QStringLiteral("Table Password"),
                              QStringLiteral("Enter Master Password"), QString()};
        const bool answered = ShowInputBox(request);
        if (!answered || request.value.isEmpty()) return;
        SetPassword(request.value);
    }
    const auto list = database->tableList(native(filePart(name), 260), true);
    if (list.empty())
        throw EDatabaseError("Table " + name.toStdString() + " is not in the table list");
    const paradox::TableListEntry& entry = list.front();
    tableInfo_.TableType = QString::fromStdString(entry.type).left(32);
    tableInfo_.Protected = entry.isProtected;
    tableInfo_.RecordCount = entry.recordCount;
    tableInfo_.FieldCount = entry.fieldCount;
    tableInfo_.RecordSize = entry.recordSize;
    tableInfo_.KeyFieldCount = entry.keyFieldCount;
    tableInfo_.FileSize = entry.size;
}

pCRTblDesc TTUtility::GetTableDesc() {
    const std::string table = native(StripExtension(tableName_));
    if (headerUnreadable_ && known_) {
        FillKnownTableDesc(table);
        return desc_.get();
    }
    Operation op(*this);
    TTableDescCounts counts;
    try {
        if (const std::uint16_t result = library_->TUGetCRTblDescCount(
                op.handle(), table.c_str(), &counts.Fields, &counts.Indexes, &counts.Security,
                &counts.Validity, &counts.RefIntegrity, &counts.OptParams, &counts.OptData))
            raiseEngineError(result);
        newTableDesc(table, counts);
    } catch (const std::exception& e) {
        throw ETUtilityError(std::string(e.what()) + "\r\nTrying TUGetCrTblDescCount");
    }
    try {
        const std::string password = native(password_);
        if (const std::uint16_t result = library_->TUFillCRTblDesc(op.handle(), desc_.get(),
                                                                   table.c_str(), password.c_str()))
            raiseEngineError(result);
    } catch (const std::exception& e) {
        throw ETUtilityError(std::string(e.what()) + "\r\nTrying TUFillCRTblDesc");
    }
    return desc_.get();
}

void TTUtility::RebuildTable(pCRTblDesc description) {
    if (!description) throw ETUtilityError("Invalid table description pointer parameter");
    if (description != desc_.get()) desc_.reset(description);
    if (tableName_.isEmpty()) throw ETUtilityError("Invalid TURebuild parameters");
    const std::string table = native(StripExtension(tableName_));
    const std::string backup = native(BackupTableName());
    const std::string keyViolations = native(KeyViolationTableName());
    const std::string problems = native(ProblemTableName());

    paradox::Session& session = engineSession();
    struct CallbackGuard {
        paradox::Session& session;
        bool active;
        ~CallbackGuard() {
            if (active)
                session.registerCallback(paradox::CallbackType::GeneralProgress, nullptr, nullptr,
                                         0, nullptr);
        }
    } guard{session, CBActive};
    if (CBActive)
        session.registerCallback(paradox::CallbackType::GeneralProgress, this, &callbackBuffer_,
                                 sizeof callbackBuffer_, &TTUtility::RebuildCallback);
    callbackError_ = nullptr;
    // The block size travels as the library's optional parameter
    // "BLOCK SIZE", on a copy: the held description stays as it was filled.
    TUCrTblDesc request = *desc_;
    TUFieldDesc blockSizeOption{};
    std::array<std::uint8_t, 128> blockSizeText{};
    if (BlockSizeKiB != 0) {
        std::strcpy(blockSizeOption.name, "BLOCK SIZE");
        std::snprintf(reinterpret_cast<char*>(blockSizeText.data()), blockSizeText.size(), "%d",
                      BlockSizeKiB * 1024);
        request.optParamCount = request.optDataCount = 1;
        request.optParams = &blockSizeOption;
        request.optData = blockSizeText.data();
    }
    try {
        Operation op(*this);
        if (const std::uint16_t result =
                library_->TURebuildTable(op.handle(), table.c_str(), kTableType, backup.c_str(),
                                         keyViolations.c_str(), problems.c_str(), &request))
            raiseEngineError(result);
    } catch (const std::exception& e) {
        throw ETUtilityError(std::string(e.what()) + "\r\nTrying TURebuildTable");
    }
    if (callbackError_) std::rethrow_exception(callbackError_);
}

// Called by the library on this thread while it rebuilds.
int TTUtility::RebuildCallback(paradox::CallbackType, void* clientData, void* buffer) {
    auto* self = static_cast<TTUtility*>(clientData);
    const auto* progress = static_cast<const paradox::ProgressBuffer*>(buffer);
    if (!self || !progress || !self->CBActive || !self->OnInfoRebuild || self->callbackError_)
        return paradox::kCallbackContinue;
    TRebuildCBData data;
    data.PercentDone = progress->percent;
    if (progress->percent < 0)
        data.MessageText =
            QString::fromLocal8Bit(progress->message, int(strnlen(progress->message, 128)))
                .left(128);
    try {
        self->OnInfoRebuild(self, data);
    } catch (...) {
        // Raised again once the library has returned: no exception may
        // cross the library's frames.
        self->callbackError_ = std::current_exception();
    }
    return paradox::kCallbackContinue;
}
