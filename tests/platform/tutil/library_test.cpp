// The entry points of libTUTIL32.so, loaded by name as programs load it:
// handles, descriptions, cursor properties, verification levels, result
// codes and progress through the engine's callback.

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <vector>

#include "platform/paradox/session.h"
#include "platform/tutil/tutil.h"
#include "tests/platform/tutil/fixture.h"
#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

class Library : public ::testing::Test {
protected:
    void SetUp() override {
        module = dlopen("libTUTIL32.so", RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(module, nullptr) << dlerror();
        init = reinterpret_cast<decltype(init)>(dlsym(module, "TUInit"));
        exit = reinterpret_cast<decltype(exit)>(dlsym(module, "TUExit"));
        verify = reinterpret_cast<decltype(verify)>(dlsym(module, "TUVerifyTable"));
        rebuild = reinterpret_cast<decltype(rebuild)>(dlsym(module, "TURebuildTable"));
        counts = reinterpret_cast<decltype(counts)>(dlsym(module, "TUGetCRTblDescCount"));
        fill = reinterpret_cast<decltype(fill)>(dlsym(module, "TUFillCRTblDesc"));
        props = reinterpret_cast<decltype(props)>(dlsym(module, "TUFillCURProps"));
        ASSERT_TRUE(init && exit && verify && rebuild && counts && fill && props);
        fixture::createTable(dir.file("series.db"), fixture::seriesSchema(),
                             fixture::seriesRows(120));
        ASSERT_EQ(init(&handle), TU_OK);
    }
    void TearDown() override {
        if (module) {
            exit(handle);
            dlclose(module);
        }
    }

    std::string table() const { return dir.file("series"); }

    // The table's description, read through the library as a program does:
    // the counts first, then arrays of that size filled in.
    struct Description {
        std::vector<TUFieldDesc> fields;
        std::vector<TUIndexDesc> indexes;
        TUCrTblDesc desc{};
    };
    void describeTable(Description& d) {
        std::uint16_t n[7];
        ASSERT_EQ(counts(handle, table().c_str(), &n[0], &n[1], &n[2], &n[3], &n[4], &n[5], &n[6]),
                  TU_OK);
        d.fields.resize(n[0]);
        d.indexes.resize(n[1]);
        d.desc.fieldCount = n[0];
        d.desc.indexCount = n[1];
        d.desc.fields = d.fields.data();
        d.desc.indexes = d.indexes.data();
        ASSERT_EQ(fill(handle, &d.desc, table().c_str(), ""), TU_OK);
    }

    TestDir dir;
    void* module = nullptr;
    TUHANDLE handle = 0;
    decltype(&TUInit) init = nullptr;
    decltype(&TUExit) exit = nullptr;
    decltype(&TUVerifyTable) verify = nullptr;
    decltype(&TURebuildTable) rebuild = nullptr;
    decltype(&TUGetCRTblDescCount) counts = nullptr;
    decltype(&TUFillCRTblDesc) fill = nullptr;
    decltype(&TUFillCURProps) props = nullptr;
};

TEST_F(Library, HandlesAreCheckedAndEndOnce) {
    TUHANDLE second = 0;
    ASSERT_EQ(init(&second), TU_OK);
    EXPECT_NE(second, handle);
    EXPECT_EQ(exit(second), TU_OK);
    EXPECT_EQ(exit(second), TU_ERR_HANDLE);
    TUCursorProps p;
    EXPECT_EQ(props(second, table().c_str(), &p), TU_ERR_HANDLE);
    EXPECT_EQ(init(nullptr), TU_ERR_PARAM);
}

TEST_F(Library, CursorPropertiesAndDescriptionDescribeTheTable) {
    TUCursorProps p;
    std::memset(&p, 0xAA, sizeof p);
    ASSERT_EQ(props(handle, table().c_str(), &p), TU_OK);
    EXPECT_STREQ(p.tableType, "PARADOX");
    // The records are packed: their fields are read by value.
    EXPECT_EQ(+p.fieldCount, 9);
    EXPECT_EQ(+p.keyFieldCount, 3);
    EXPECT_EQ(+p.recordCount, 120u);
    EXPECT_EQ(+p.autoIncrement, 120u);
    EXPECT_EQ(p.isProtected, 0);

    Description d;
    ASSERT_NO_FATAL_FAILURE(describeTable(d));
    ASSERT_EQ(d.fields.size(), 9u);
    ASSERT_EQ(d.indexes.size(), 1u);
    const auto& fields = d.fields;
    const auto& indexes = d.indexes;
    EXPECT_STREQ(fields[0].name, "SERIES");
    EXPECT_EQ(fields[0].typeCode, 0x01);
    EXPECT_EQ(fields[0].sizeByte, 60);
    EXPECT_STREQ(fields[2].name, "ENTRY");
    EXPECT_EQ(fields[2].typeCode, 0x16);
    EXPECT_EQ(fields[3].sizeByte, 20);  // a memo with 10 bytes in the record
    EXPECT_EQ(fields[3].offset, 94);
    EXPECT_EQ(indexes[0].primary, 1);
    EXPECT_EQ(+indexes[0].fieldCount, 3);

    d.desc.fieldCount = 3;  // arrays that do not fit the table
    EXPECT_EQ(fill(handle, &d.desc, table().c_str(), ""), TU_ERR_PARAM);
}

TEST_F(Library, MissingTableAndUnknownTypeAreResultCodes) {
    TUCursorProps p;
    EXPECT_EQ(props(handle, dir.file("nothing").c_str(), &p), TU_ERR_NOTFOUND);
    EXPECT_NE(paradox::SessionList::instance().errorText(TU_ERR_NOTFOUND).find("nothing"),
              std::string::npos);
    std::int32_t level = -1;
    EXPECT_EQ(verify(handle, table().c_str(), "dBASE", "", nullptr, 0, &level), TU_ERR_UNSUPPORTED);
    EXPECT_EQ(verify(handle, "", "Paradox", "", nullptr, 0, &level), TU_ERR_PARAM);
}

TEST_F(Library, VerificationLevelsFollowTheDamage) {
    std::int32_t level = -1;
    ASSERT_EQ(verify(handle, table().c_str(), "Paradox", "", nullptr, 0, &level), TU_OK);
    EXPECT_EQ(level, TU_LEVEL_HEALTHY);

    const auto l = fixture::layoutOf(dir.file("series.db"));
    std::vector<std::uint8_t> garbage(l.recordSize, 0xC3);
    fixture::patchBytes(dir.file("series.db"), l.recordOffset(2, 0), garbage);
    // The header alone still looks right; the records do not.
    ASSERT_EQ(
        verify(handle, table().c_str(), "Paradox", "", nullptr, TU_VERIFY_HEADER_ONLY, &level),
        TU_OK);
    EXPECT_EQ(level, TU_LEVEL_HEALTHY);
    const std::string errors = dir.file("ERRORS.DB");
    ASSERT_EQ(verify(handle, table().c_str(), "Paradox", errors.c_str(), nullptr, 0, &level),
              TU_OK);
    EXPECT_EQ(level, TU_LEVEL_DAMAGED);
    const auto findings = fixture::readTable(errors);
    ASSERT_FALSE(findings.empty());
    EXPECT_NE(findings[0][0].asText().find("block 2"), std::string::npos);

    fixture::patchBytes(dir.file("series.db"), 0x05, {7});  // no such block size
    ASSERT_EQ(
        verify(handle, table().c_str(), "Paradox", "", nullptr, TU_VERIFY_HEADER_ONLY, &level),
        TU_OK);
    EXPECT_EQ(level, TU_LEVEL_UNREADABLE);
    TUCursorProps p;
    EXPECT_EQ(props(handle, table().c_str(), &p), TU_ERR_DAMAGED);
}

struct Progress {
    std::vector<int> percents;
    std::vector<std::string> messages;
};

int recordProgress(paradox::CallbackType type, void* clientData, void* buffer) {
    EXPECT_EQ(type, paradox::CallbackType::GeneralProgress);
    auto* progress = static_cast<Progress*>(clientData);
    const auto* b = static_cast<const paradox::ProgressBuffer*>(buffer);
    if (b->percent >= 0)
        progress->percents.push_back(b->percent);
    else
        progress->messages.push_back(b->message);
    return paradox::kCallbackContinue;
}

TEST_F(Library, RebuildReportsProgressThroughTheProgramsCallback) {
    // Damage one record so that a message is sent too.
    const auto l = fixture::layoutOf(dir.file("series.db"));
    fixture::patchBytes(dir.file("series.db"), l.recordOffset(1, 3) + 2,
                        {0x07});  // a control character in a text
    Description d;
    ASSERT_NO_FATAL_FAILURE(describeTable(d));

    Progress progress;
    paradox::ProgressBuffer buffer{};
    paradox::Session& session = paradox::SessionList::instance().current();
    session.registerCallback(paradox::CallbackType::GeneralProgress, &progress, &buffer,
                             sizeof buffer, &recordProgress);
    const TURESULT result =
        rebuild(handle, table().c_str(), "Paradox", dir.file("series__").c_str(),
                dir.file("KEYVIOL").c_str(), dir.file("PROBLEMS").c_str(), &d.desc);
    session.registerCallback(paradox::CallbackType::GeneralProgress, nullptr, nullptr, 0, nullptr);
    ASSERT_EQ(result, TU_OK) << paradox::SessionList::instance().errorText(result);

    ASSERT_FALSE(progress.percents.empty());
    EXPECT_TRUE(std::is_sorted(progress.percents.begin(), progress.percents.end()));
    EXPECT_EQ(progress.percents.back(), 100);
    ASSERT_FALSE(progress.messages.empty());
    EXPECT_NE(progress.messages.back().find("PROBLEMS.DB"), std::string::npos)
        << progress.messages.back();
    EXPECT_EQ(fixture::readTable(dir.file("series.db")).size(), 119u);
    EXPECT_TRUE(fs::exists(dir.file("series__.DB")));
}

}  // namespace
