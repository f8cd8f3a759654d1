#include "maintenance/table_desc.h"

#include <atomic>

namespace {
std::atomic<int> liveDescs{0};

template <class T>
T* allocArray(std::uint16_t count) {
    return count > 0 ? new T[count]() : nullptr;
}
}  // namespace

void FreeTableDesc(pCRTblDesc desc) noexcept {
    if (!desc) return;
    delete[] desc->fields;
    delete[] desc->indexes;
    delete[] desc->security;
    delete[] desc->validity;
    delete[] desc->refInt;
    delete[] desc->optParams;
    delete[] desc->optData;
    delete desc;
    --liveDescs;
}

TableDescPtr AllocTableDesc(const TTableDescCounts& counts) {
    TableDescPtr desc(new CRTblDesc());
    ++liveDescs;
    desc->fieldCount = counts.Fields;
    desc->indexCount = counts.Indexes;
    desc->securityCount = counts.Security;
    desc->validityCount = counts.Validity;
    desc->refIntCount = counts.RefIntegrity;
    desc->optParamCount = counts.OptParams;
    desc->optDataCount = counts.OptData;
    // Each array is in the description as soon as it exists, so a failure
    // part-way frees the ones before it.
    desc->fields = allocArray<TUFieldDesc>(counts.Fields);
    desc->indexes = allocArray<TUIndexDesc>(counts.Indexes);
    desc->security = allocArray<TUSecurityDesc>(counts.Security);
    desc->validity = allocArray<TUValidityDesc>(counts.Validity);
    desc->refInt = allocArray<TURefIntDesc>(counts.RefIntegrity);
    desc->optParams = allocArray<TUFieldDesc>(counts.OptParams);
    desc->optData =
        counts.OptData > 0 ? new std::uint8_t[std::size_t(counts.OptData) * 128]() : nullptr;
    return desc;
}

int LiveTableDescs() { return liveDescs; }
