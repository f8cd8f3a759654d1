#include "import/recent_texts.h"

#include <functional>

namespace import {

QString RecentTexts::Text(std::string_view bytes) {
    if (bytes.empty() || bytes.size() > kLongest) return decode_(bytes);
    Slot& slot = slots_[std::hash<std::string_view>()(bytes) % slots_.size()];
    if (slot.bytes != bytes) {
        slot.bytes.assign(bytes);
        slot.text = decode_(bytes);
    }
    return slot.text;
}

}  // namespace import
