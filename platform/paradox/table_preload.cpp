#include "platform/paradox/table_preload.h"

namespace paradox {

TablePreload::TablePreload(const std::string& dbPath)
    : path_(dbPath),
      opening_(std::async(std::launch::async, [dbPath] { return Table::open(dbPath); })) {}

TablePreload::~TablePreload() {
    if (opening_.valid()) opening_.wait();
}

std::shared_ptr<Table> TablePreload::take() { return opening_.get(); }

}  // namespace paradox
