#pragma once
// Room left in a collection table.  A table's data file holds at most
// paradox::Table::kMaxBlocks blocks, so the block size fixes how many rows
// it can ever hold.  When 90 % of the blocks are in use the user is told,
// with the command that rebuilds the table into larger blocks; a full table
// refuses a new row with the same text.

#include <QString>
#include <cstddef>
#include <string>

#include "platform/paradox/errors.h"
#include "platform/paradox/table.h"

namespace store {

// Books the books table of a new collection has room for.
inline constexpr std::size_t kBooksRoom = 2'000'000;

// The next block size the format allows above `blockSizeKiB`, 0 when there
// is none.
int LargerBlockSizeKiB(int blockSizeKiB);

// True when `usedBlocks` reach 90 % of the blocks a table can have.
bool NearlyFull(std::size_t usedBlocks);

// How full the table at `tablePath` is and how to rebuild it into larger
// blocks.
QString TableRoomMessage(const std::string& tablePath, int blockSizeKiB, std::size_t usedBlocks);
// That message once `table` is nearly full, "" before.
QString TableRoomWarning(const paradox::Table& table);
// The same from the header of the table file at `dbPath` alone, without
// loading its rows; "" too when the file cannot be read.
QString TableRoomWarning(const QString& dbPath);
// That message for the table that refused a row.
QString TableFullMessage(const paradox::ETableFull& full);

}  // namespace store
