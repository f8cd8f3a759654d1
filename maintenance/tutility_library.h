#pragma once
// The table utility library as the component sees it: loaded by name with
// dlopen, its eight entry points resolved, unloaded when destroyed.  A
// library that lacks an entry point is refused, since calling it would go
// through a null pointer.

#include <QString>
#include <cstdint>

#include "platform/tutil/tutil.h"

class TTUtilityLibrary {
public:
    // Loads `name`: a path, or a bare file name looked for in the usual
    // library path and beside the program (and in ../lib from it).  Raises
    // EDLLLoadError.
    explicit TTUtilityLibrary(const QString& name);
    ~TTUtilityLibrary();
    TTUtilityLibrary(const TTUtilityLibrary&) = delete;
    TTUtilityLibrary& operator=(const TTUtilityLibrary&) = delete;

    decltype(&::TUInit) TUInit = nullptr;
    decltype(&::TUVerifyTable) TUVerifyTable = nullptr;
    decltype(&::TURebuildTable) TURebuildTable = nullptr;
    decltype(&::TUGetCRTblDescCount) TUGetCRTblDescCount = nullptr;
    decltype(&::TUFillCRTblDesc) TUFillCRTblDesc = nullptr;
    decltype(&::TUFillCURProps) TUFillCURProps = nullptr;
    decltype(&::TUExit) TUExit = nullptr;
    decltype(&::TUGetErrorString) TUGetErrorString = nullptr;

private:
    template <class F>
    void resolve(F& entry, const char* name);
    void* module_ = nullptr;
};
