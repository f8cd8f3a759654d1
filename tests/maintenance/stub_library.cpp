// A table utility library that lacks TUExit: the component must refuse it
// when it loads, not call through a null pointer later.
#include "platform/tutil/tutil.h"

#define STUB extern "C" __attribute__((visibility("default")))

STUB TURESULT TUInit(TUHANDLE* handle) { return *handle = 1, TU_OK; }
STUB TURESULT TUVerifyTable(TUHANDLE, const char*, const char*, const char*, const char*, int32_t,
                            int32_t*) {
    return TU_OK;
}
STUB TURESULT TURebuildTable(TUHANDLE, const char*, const char*, const char*, const char*,
                             const char*, TUCrTblDesc*) {
    return TU_OK;
}
STUB TURESULT TUGetCRTblDescCount(TUHANDLE, const char*, uint16_t*, uint16_t*, uint16_t*, uint16_t*,
                                  uint16_t*, uint16_t*, uint16_t*) {
    return TU_OK;
}
STUB TURESULT TUFillCRTblDesc(TUHANDLE, TUCrTblDesc*, const char*, const char*) { return TU_OK; }
STUB TURESULT TUFillCURProps(TUHANDLE, const char*, void*) { return TU_OK; }
STUB TURESULT TUGetErrorString(TURESULT, char*) { return TU_OK; }
