#pragma once
// Opens a table on a worker thread, so that reading a large table overlaps
// other work, such as building the window that shows it.  The opened handle
// (or the open's error) is collected once with take(); until then, and
// while the worker runs, the preload keeps the table open.

#include <future>
#include <memory>
#include <string>

#include "platform/paradox/table.h"

namespace paradox {

class TablePreload {
public:
    explicit TablePreload(const std::string& dbPath);
    // Waits for the worker; a handle not taken is closed.
    ~TablePreload();
    TablePreload(const TablePreload&) = delete;
    TablePreload& operator=(const TablePreload&) = delete;

    const std::string& path() const { return path_; }
    // The open table, waiting for the worker; rethrows the open's error.
    std::shared_ptr<Table> take();

private:
    std::string path_;
    std::future<std::shared_ptr<Table>> opening_;
};

}  // namespace paradox
