#pragma once
// The create-table description TTUtility hands to the table utility library,
// with its seven arrays.  Descriptions are made and freed only here.

#include <cstdint>
#include <memory>

#include "platform/tutil/tutil.h"

using CRTblDesc = TUCrTblDesc;
using pCRTblDesc = CRTblDesc*;

struct TTableDescCounts {
    std::uint16_t Fields = 0;
    std::uint16_t Indexes = 0;
    std::uint16_t Security = 0;
    std::uint16_t Validity = 0;
    std::uint16_t RefIntegrity = 0;
    std::uint16_t OptParams = 0;
    std::uint16_t OptData = 0;
};

// Frees the description and all seven arrays.
void FreeTableDesc(pCRTblDesc desc) noexcept;

struct TTableDescDeleter {
    void operator()(pCRTblDesc desc) const noexcept { FreeTableDesc(desc); }
};
using TableDescPtr = std::unique_ptr<CRTblDesc, TTableDescDeleter>;

// A zeroed description with zeroed arrays of the given counts; the
// operation arrays stay empty.  Raises std::bad_alloc, freeing what was
// already allocated.
TableDescPtr AllocTableDesc(const TTableDescCounts& counts);

// Descriptions alive in the process (for leak checks).
int LiveTableDescs();
