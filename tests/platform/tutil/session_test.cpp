// The engine services the table utility stands on: sessions, private
// directory, passwords, databases by directory and the extended table list.

#include "platform/paradox/session.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/base/exception.h"
#include "tests/platform/tutil/fixture.h"
#include "tests/support/temp_dir.h"

namespace {

TEST(Sessions, ListStartsWithTheDefaultAndOpensByName) {
    paradox::SessionList list;
    ASSERT_EQ(list.count(), 1u);
    EXPECT_EQ(list.current().name(), "Default");
    paradox::Session& second = list.openSession("TUtilSession");
    EXPECT_EQ(&list.openSession("tutilsession"), &second);  // names ignore case
    EXPECT_EQ(list.count(), 2u);
    list.setCurrent(second);
    EXPECT_EQ(&list.current(), &second);
    list.closeSession("TUtilSession");
    EXPECT_EQ(list.count(), 1u);
    EXPECT_EQ(list.current().name(), "Default");
}

TEST(Sessions, PrivateDirectoryPasswordsAndDatabases) {
    TestDir dir;
    paradox::Session session("S");
    EXPECT_EQ(session.privateDirectory(), std::filesystem::current_path().string());
    session.setPrivateDirectory(dir.str() + "/");
    EXPECT_EQ(session.privateDirectory(), dir.str());
    EXPECT_THROW(session.setPrivateDirectory(dir.file("missing")), EDatabaseError);

    session.addPassword("one");
    session.addPassword("one");
    EXPECT_TRUE(session.hasPassword("one"));
    session.removePassword("one");
    EXPECT_FALSE(session.hasPassword("one"));

    EXPECT_THROW(session.openDatabase(dir.file("missing")), EDatabaseError);
    {
        auto database = session.openDatabase(dir.str());
        EXPECT_EQ(session.openDatabaseCount(), 1);
    }
    EXPECT_EQ(session.openDatabaseCount(), 0);
}

TEST(Sessions, ExtendedTableListReadsTheHeaders) {
    TestDir dir;
    fixture::createTable(dir.file("series.db"), fixture::seriesSchema(), fixture::seriesRows(7));
    fixture::writeBytes(dir.file("notes.txt"), {1, 2, 3});
    paradox::Session session("S");
    auto database = session.openDatabase(dir.str());
    const auto all = database->tableList("", false);
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0].name, "series.db");
    const auto one = database->tableList("SERIES", true);
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0].type, "PARADOX");
    EXPECT_EQ(one[0].recordCount, 7u);
    EXPECT_EQ(one[0].fieldCount, 9);
    EXPECT_EQ(one[0].keyFieldCount, 3);
    EXPECT_EQ(one[0].recordSize, 120);
    EXPECT_FALSE(one[0].isProtected);
    EXPECT_EQ(one[0].size, std::filesystem::file_size(dir.file("series.db")));
    EXPECT_TRUE(database->tableList("books.db", true).empty());

    fixture::truncateFile(dir.file("series.db"), 20);
    EXPECT_THROW(database->tableList("series", true), EDatabaseError);
}

int answerTwice(paradox::CallbackType, void* clientData, void*) {
    return ++*static_cast<int*>(clientData) >= 2 ? paradox::kCallbackAbort
                                                 : paradox::kCallbackContinue;
}

TEST(Sessions, ProgressGoesToTheRegisteredCallbackOnly) {
    paradox::Session session("S");
    EXPECT_EQ(session.reportProgress(10), paradox::kCallbackContinue);  // none registered
    int calls = 0;
    paradox::ProgressBuffer buffer{};
    session.registerCallback(paradox::CallbackType::GeneralProgress, &calls, &buffer, sizeof buffer,
                             &answerTwice);
    EXPECT_TRUE(session.hasCallback(paradox::CallbackType::GeneralProgress));
    EXPECT_EQ(session.reportProgress(140), paradox::kCallbackContinue);
    EXPECT_EQ(buffer.percent, 100);
    EXPECT_EQ(session.reportMessage(std::string(300, 'm')), paradox::kCallbackAbort);
    EXPECT_EQ(buffer.percent, -1);
    EXPECT_EQ(std::string(buffer.message).size(), 127u);
    session.registerCallback(paradox::CallbackType::GeneralProgress, nullptr, nullptr, 0, nullptr);
    EXPECT_FALSE(session.hasCallback(paradox::CallbackType::GeneralProgress));
    EXPECT_EQ(calls, 2);
}

}  // namespace
