#include "platform/tutil/row_packer.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <numeric>

#include "platform/paradox/errors.h"

namespace tutil {

namespace {

namespace fs = std::filesystem;

TableHeader modelOf(const std::string& dbPath) {
    TableHeader model = readHeader(dbPath);
    model.tableName = fs::path(dbPath).filename().string();
    return model;
}

}  // namespace

RowPacker::RowPacker(const std::string& modelDb, const std::string& workBase,
                     std::size_t expectedRows)
    : model_(modelOf(modelDb)),
      codec_(paradox::RecordCodec::forHeader(model_.file, modelDb)),
      packer_(workBase, model_, model_.fields, model_.keyFieldCount) {
    for (std::size_t i = 0; i < model_.fields.size(); ++i)
        if (model_.fields[i].isMemo())
            memoFields_.push_back(i);
        else if (model_.fields[i].type == kAutoInc)
            autoIncField_ = static_cast<int>(i);
    autoIncrement_ = model_.autoIncrement;
    records_.reserve(expectedRows * std::size_t(codec_->recordSize()));
    memos_.reserve(expectedRows * memoFields_.size());
    keys_.reserve(expectedRows * std::size_t(codec_->keySize()));
}

RowPacker::~RowPacker() = default;

void RowPacker::add(const paradox::Row& row) {
    const std::vector<std::uint8_t> encoded = codec_->encode(numbered(row), memoTexts_);
    const std::size_t at = records_.size();
    records_.resize(at + encoded.size());
    std::memcpy(records_.data() + at, encoded.data(), encoded.size());
    keys_.insert(keys_.end(), encoded.begin(), encoded.begin() + codec_->keySize());
    for (const std::size_t field : memoFields_) {
        const std::string& text = memoTexts_[field];
        memos_.push_back({static_cast<std::uint32_t>(memoBytes_.size()),
                          static_cast<std::uint32_t>(text.size())});
        memoBytes_.insert(memoBytes_.end(), text.begin(), text.end());
    }
    ++rows_;
}

const paradox::Row& RowPacker::numbered(const paradox::Row& row) {
    if (autoIncField_ < 0 || std::size_t(autoIncField_) >= row.size()) return row;
    const paradox::Value& given = row[std::size_t(autoIncField_)];
    if (given.isInt()) {
        autoIncrement_ =
            std::max<std::uint32_t>(autoIncrement_, static_cast<std::uint32_t>(given.asInt()));
        return row;
    }
    if (!given.isNull()) return row;  // the codec refuses it
    if (autoIncrement_ >= 2147483647u)
        throw EDatabaseError("Table " + model_.tableName +
                             ": the auto-increment counter is exhausted");
    numbered_ = row;
    numbered_[std::size_t(autoIncField_)] = paradox::Value::integer(++autoIncrement_);
    return numbered_;
}

// The rows by key, sorted on a copy of the keys side by side (a small
// array, not the records).  Where keys compare byte for byte, each key's
// first eight bytes are taken as one number, which settles most
// comparisons without reaching into that array.
std::vector<std::uint32_t> RowPacker::keyOrder() const {
    std::vector<std::uint32_t> order(rows_);
    std::iota(order.begin(), order.end(), 0U);
    const int keyFields = codec_->keyFields();
    if (keyFields == 0) return order;
    const std::size_t keySize = std::size_t(codec_->keySize());
    const auto keyOf = [&](std::uint32_t r) { return keys_.data() + r * keySize; };
    if (!codec_->keysCompareAsBytes()) {
        std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
            return codec_->compareKeys(keyOf(a), keyOf(b), keyFields) < 0;
        });
        return order;
    }
    struct Sortable {
        std::uint64_t prefix;
        std::uint32_t row;
    };
    const std::size_t prefixSize = std::min<std::size_t>(8, keySize);
    std::vector<Sortable> rows(rows_);
    for (std::uint32_t r = 0; r < rows_; ++r) {
        std::uint64_t prefix = 0;
        for (std::size_t i = 0; i < prefixSize; ++i) prefix = prefix << 8 | keyOf(r)[i];
        rows[r] = {prefix << 8 * (8 - prefixSize), r};
    }
    std::sort(rows.begin(), rows.end(), [&](const Sortable& a, const Sortable& b) {
        if (a.prefix != b.prefix) return a.prefix < b.prefix;
        return std::memcmp(keyOf(a.row) + prefixSize, keyOf(b.row) + prefixSize,
                           keySize - prefixSize) < 0;
    });
    for (std::size_t i = 0; i < rows_; ++i) order[i] = rows[i].row;
    return order;
}

bool RowPacker::finish() {
    const std::vector<std::uint32_t> order = keyOrder();
    std::vector<MemoValue> memos(memoFields_.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        const std::uint8_t* at = record(order[i]);
        if (i > 0 && codec_->keyFields() > 0 &&
            codec_->compareKeys(keys_.data() + order[i - 1] * std::size_t(codec_->keySize()),
                                keys_.data() + order[i] * std::size_t(codec_->keySize()),
                                codec_->keyFields()) == 0)
            return false;
        for (std::size_t k = 0; k < memoFields_.size(); ++k) {
            const Text text = memos_[order[i] * memoFields_.size() + k];
            memos[k] = MemoValue({memoBytes_.data() + text.offset, text.size});
        }
        packer_.add(at, memos);
    }
    packer_.finish(autoIncrement_, true);
    return true;
}

}  // namespace tutil
