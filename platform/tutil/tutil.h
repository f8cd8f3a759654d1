#pragma once
// The table utility library TUTIL32 (libTUTIL32.so): C entry points that
// describe, verify and rebuild Paradox tables.  Programs load it by name at
// run time and resolve the entry points below; this header gives their
// signatures and the records they fill.
//
// Table names are file names without extension ("series" for series.db),
// relative to the current directory or with a directory part.  Every entry
// point returns a result code; a non-zero code leaves its message in the
// engine's session list (paradox::SessionList::errorText).

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef uint16_t TURESULT;
typedef uint16_t TUHANDLE;

enum {
    TU_OK = 0,
    TU_ERR_HANDLE = 1,       // unknown or closed library handle
    TU_ERR_PARAM = 2,        // missing or invalid argument
    TU_ERR_NOTFOUND = 3,     // no table of that name
    TU_ERR_DAMAGED = 4,      // the table's header cannot be read
    TU_ERR_IO = 5,           // a file could not be read or written
    TU_ERR_UNSUPPORTED = 6,  // a table type or feature the library does not handle
    TU_ERR_NOMEMORY = 7,
    TU_ERR_DESCRIPTION = 8,  // the description does not match the table
    TU_ERR_ABORTED = 9,      // a progress callback asked to stop
};

// TUVerifyTable options (bits) and error levels.
enum {
    TU_VERIFY_APPEND_ERRORS = 1,
    TU_VERIFY_NO_SECONDARY = 2,
    TU_VERIFY_NO_WARNINGS = 4,
    TU_VERIFY_HEADER_ONLY = 8,
    TU_VERIFY_DIALOG_HIDE = 16,
    TU_VERIFY_NO_LOCK = 32,
};
enum {
    TU_LEVEL_HEALTHY = 0,
    TU_LEVEL_WARNINGS = 1,    // counters or the index disagree with the data; nothing lost
    TU_LEVEL_DAMAGED = 2,     // some rows or memos cannot be read; a rebuild saves the rest
    TU_LEVEL_UNREADABLE = 3,  // the header is unusable; the table cannot be rebuilt
};

#pragma pack(push, 1)

// One field of a table: 62 bytes.
typedef struct TUFieldDesc {
    uint16_t number;   // 1-based position
    char name[32];     // NUL-terminated, in the table's code page
    uint8_t typeCode;  // the field type code of the .db header
    uint8_t sizeByte;  // the size byte of the .db header
    uint16_t offset;   // byte offset in the record
    uint16_t length;   // bytes in the record
    uint8_t reserved[22];
} TUFieldDesc;

// One index: 893 bytes.  A rebuild knows only the primary index.
typedef struct TUIndexDesc {
    char name[261];
    uint16_t number;
    uint8_t primary;
    uint8_t unique;
    uint8_t descending;
    uint8_t caseInsensitive;
    uint16_t fieldCount;
    uint16_t fields[64];  // 1-based field numbers
    uint8_t reserved[496];
} TUIndexDesc;

// One password with its rights: 1064 bytes.
typedef struct TUSecurityDesc {
    uint16_t number;
    uint16_t tableRights;
    uint16_t familyRights;
    char password[32];
    uint8_t fieldRights[256];
    uint8_t reserved[770];
} TUSecurityDesc;

// One validity check: 1219 bytes.
typedef struct TUValidityDesc {
    uint16_t fieldNumber;
    uint8_t required;
    uint8_t hasMinimum;
    uint8_t hasMaximum;
    uint8_t hasDefault;
    uint8_t minimum[256];
    uint8_t maximum[256];
    uint8_t defaultValue[256];
    char picture[176];
    char lookupTable[261];
    uint8_t reserved[8];
} TUValidityDesc;

// One referential-integrity link: 373 bytes.
typedef struct TURefIntDesc {
    uint16_t number;
    char name[32];
    uint8_t isMaster;
    char otherTable[261];
    uint8_t modifyQualifier;
    uint8_t deleteQualifier;
    uint16_t fieldCount;
    uint16_t thisFields[16];
    uint16_t otherFields[16];
    uint8_t reserved[9];
} TURefIntDesc;

// The create-table description: 682 bytes.  The caller owns the arrays; the
// counts say how many elements each holds.  Optional parameters are field
// descriptions (62 bytes); optional data is 128 bytes per item.
typedef struct TUCrTblDesc {
    char tableName[261];
    char tableType[32];
    char errTableName[261];
    uint8_t pack;
    uint16_t fieldCount;
    uint16_t indexCount;
    uint16_t securityCount;
    uint16_t validityCount;
    uint16_t refIntCount;
    uint16_t optParamCount;
    uint16_t optDataCount;
    TUFieldDesc* fields;
    uint8_t* fieldOps;
    TUIndexDesc* indexes;
    uint8_t* indexOps;
    TUSecurityDesc* security;
    uint8_t* securityOps;
    TUValidityDesc* validity;
    uint8_t* validityOps;
    TURefIntDesc* refInt;
    uint8_t* refIntOps;
    TUFieldDesc* optParams;
    uint8_t* optData;
    uint8_t reserved[17];
} TUCrTblDesc;

// Cursor properties of a table: 427 bytes.
typedef struct TUCursorProps {
    char tableName[261];
    char tableType[32];  // "PARADOX"
    uint16_t fieldCount;
    uint16_t recordSize;
    uint16_t keyFieldCount;
    uint32_t recordCount;  // as the header states it
    uint16_t blockSize;
    uint8_t level;
    uint8_t isProtected;
    uint16_t codePage;
    char sortOrder[32];
    uint32_t autoIncrement;
    uint8_t reserved[82];
} TUCursorProps;

#pragma pack(pop)

TURESULT TUInit(TUHANDLE* handle);
TURESULT TUExit(TUHANDLE handle);
TURESULT TUVerifyTable(TUHANDLE handle, const char* tableName, const char* tableType,
                       const char* errTableName, const char* password, int32_t options,
                       int32_t* errorLevel);
TURESULT TURebuildTable(TUHANDLE handle, const char* tableName, const char* tableType,
                        const char* backupName, const char* keyViolName, const char* problemName,
                        TUCrTblDesc* description);
TURESULT TUGetCRTblDescCount(TUHANDLE handle, const char* tableName, uint16_t* fields,
                             uint16_t* indexes, uint16_t* security, uint16_t* validity,
                             uint16_t* refInt, uint16_t* optParams, uint16_t* optData);
TURESULT TUFillCRTblDesc(TUHANDLE handle, TUCrTblDesc* description, const char* tableName,
                         const char* password);
TURESULT TUFillCURProps(TUHANDLE handle, const char* tableName, void* cursorProps);
// Copies the text of a result code (at most 255 bytes and a NUL).
TURESULT TUGetErrorString(TURESULT code, char* buffer);

#ifdef __cplusplus
}

static_assert(sizeof(TUFieldDesc) == 62);
static_assert(sizeof(TUIndexDesc) == 893);
static_assert(sizeof(TUSecurityDesc) == 1064);
static_assert(sizeof(TUValidityDesc) == 1219);
static_assert(sizeof(TURefIntDesc) == 373);
static_assert(sizeof(TUCrTblDesc) == 682);
static_assert(sizeof(TUCursorProps) == 427);
#endif
