// TTUtility: its name rules, settings, errors, description ownership, the
// password prompt, the library loading and the progress it relays.

#include "maintenance/tutility.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <filesystem>

#include "platform/paradox/session.h"
#include "platform/widgets/dialogs.h"
#include "tests/maintenance/cwd_guard.h"
#include "tests/platform/tutil/fixture.h"
#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

class TUtilityTest : public ::testing::Test {
protected:
    TestDir dir;
    TCurrentDirGuard cwd{dir.path()};
    QString here = QDir::currentPath() + QLatin1Char('/');

    void makeSeries(int rows = 30) {
        fixture::createTable("series.db", fixture::seriesSchema(), fixture::seriesRows(rows));
    }

    template <class F>
    static std::string errorOf(F f) {
        try {
            f();
        } catch (const std::exception& e) {
            return e.what();
        }
        return "(no error)";
    }
};

TEST_F(TUtilityTest, BackupBaseNameKeepsTheLengthOfLongNames) {
    EXPECT_EQ(TTUtility::BackupBaseName("collection"), "collect_on");
    EXPECT_EQ(TTUtility::BackupBaseName("abcdefg_xyz"), "abcdef__xyz");
    EXPECT_EQ(TTUtility::BackupBaseName("books"), "books_");
    EXPECT_EQ(TTUtility::BackupBaseName("series_"), "series__");
    EXPECT_EQ(TTUtility::BackupBaseName("series__"), "series___");
    EXPECT_EQ(TTUtility::BackupBaseName("________tail"), "________tail");
    EXPECT_EQ(TTUtility::StripExtension("series.db"), "series");
    EXPECT_EQ(TTUtility::StripExtension("/data.v2/series.db.old"), "/data.v2/series");
    EXPECT_EQ(TTUtility::StripExtension("books"), "books");
}

TEST_F(TUtilityTest, SeriesInTheCurrentDirectoryGetsTheDefaultNames) {
    makeSeries();
    TTUtility utility;
    utility.SetTableName("series.db");
    EXPECT_EQ(utility.TableName(), "series.db");
    EXPECT_EQ(utility.tBkUpTableName(), "series_.DB");
    EXPECT_EQ(utility.BackupTableName(), "series__");
    EXPECT_EQ(utility.ErrorTableName(), here + "__TUERR.DB");
    EXPECT_EQ(utility.KeyViolationTableName(), here + "KEYVIOL");
    EXPECT_EQ(utility.ProblemTableName(), here + "PROBLEMS");
    EXPECT_EQ(utility.TableInfo().TableType, "PARADOX");
    EXPECT_EQ(utility.TableInfo().RecordCount, 30u);
    EXPECT_EQ(utility.VerifyLevel(), 0);
    EXPECT_FALSE(QFile::exists("__TMP.DB"));

    // A second setting lengthens the backup name once more.
    utility.SetTableName("series.db");
    EXPECT_EQ(utility.tBkUpTableName(), "series__.DB");
    EXPECT_EQ(utility.BackupTableName(), "series___");
}

TEST_F(TUtilityTest, SettersApplyTheirDefaultsAndExtensions) {
    TTUtility utility;
    EXPECT_FALSE(utility.CBActive);
    EXPECT_TRUE(utility.Pack);
    EXPECT_EQ(utility.tErrTableName(), "__TUERR.DB");
    EXPECT_EQ(utility.tKeyVTableName(), "KEYVIOL.DB");
    EXPECT_EQ(utility.tProbTableName(), "PROBLEMS.DB");
    EXPECT_EQ(utility.tBkUpTableName(), "");

    utility.SettErrTableName("");
    EXPECT_EQ(utility.tErrTableName(), "__TUERR.DB");
    utility.SettErrTableName("errors.tmp");
    EXPECT_EQ(utility.tErrTableName(), "errors.DB");
    utility.SettKeyVTableName("");
    EXPECT_EQ(utility.tKeyVTableName(), here + "KEYVIOL.DB");
    EXPECT_EQ(utility.KeyViolationTableName(), here + "KEYVIOL");
    utility.SettProbTableName(dir.path() + "/bad.rows");
    EXPECT_EQ(utility.tProbTableName(), dir.path() + "/bad.DB");
    EXPECT_EQ(utility.ProblemTableName(), dir.path() + "/bad");
    utility.SettBkUpTableName("");  // no table: stays empty
    EXPECT_EQ(utility.tBkUpTableName(), "");
    utility.SettBkUpTableName("old.db");
    EXPECT_EQ(utility.tBkUpTableName(), "old.DB");

    for (auto setter : {&TTUtility::SettErrTableName, &TTUtility::SettKeyVTableName,
                        &TTUtility::SettProbTableName, &TTUtility::SettBkUpTableName}) {
        EXPECT_EQ(errorOf([&] { (utility.*setter)("/no/such/dir/x.DB"); }),
                  "Invalid directory path");
    }
    EXPECT_EQ(utility.tKeyVTableName(), "");
    EXPECT_EQ(utility.tErrTableName(), "");
    EXPECT_EQ(utility.ErrorTableName(), here + "__TUERR.DB");  // the default comes back when needed
}

TEST_F(TUtilityTest, MissingTableIsNotFoundAndClearsTheName) {
    TTUtility utility;
    EXPECT_EQ(errorOf([&] { utility.SetTableName("series.db"); }), "Table not found.");
    EXPECT_EQ(utility.TableName(), "");
    EXPECT_EQ(errorOf([&] { utility.RebuildTable(nullptr); }),
              "Invalid table description pointer parameter");
    TableDescPtr desc = AllocTableDesc({});
    EXPECT_EQ(errorOf([&] { utility.RebuildTable(desc.release()); }),
              "Invalid TURebuild parameters");
}

TEST_F(TUtilityTest, LibraryThatCannotBeLoadedOrLacksAnEntryPointIsRefused) {
    const QString saved = TTUtility::LibraryName;
    TTUtility::LibraryName = "libTUTIL32-missing.so";
    EXPECT_EQ(errorOf([] { TTUtility utility; }), "Unable to Load TUTIL32.DLL");
    EXPECT_THROW(TTUtility(), EDLLLoadError);
    TTUtility::LibraryName = STUB_LIBRARY;
    const std::string error = errorOf([] { TTUtility utility; });
    EXPECT_NE(error.find("Unable to Load TUTIL32.DLL"), std::string::npos);
    EXPECT_NE(error.find("\"TUExit\""), std::string::npos) << error;
    TTUtility::LibraryName = saved;
}

TEST_F(TUtilityTest, ConstructionRunsInItsOwnSession) {
    TTUtility utility;
    paradox::SessionList& sessions = paradox::SessionList::instance();
    EXPECT_GE(sessions.count(), 2u);
    EXPECT_NE(sessions.find("TUtilSession"), nullptr);
    EXPECT_EQ(sessions.current().name(), "TUtilSession");
}

TEST_F(TUtilityTest, DescriptionIsOwnedUntilReplaced) {
    makeSeries();
    const int before = LiveTableDescs();
    {
        TTUtility utility;
        utility.SetTableName("series.db");
        pCRTblDesc desc = utility.GetTableDesc();
        EXPECT_EQ(desc, utility.HeldTableDesc());
        EXPECT_EQ(+desc->fieldCount, 9);  // packed: read by value
        EXPECT_EQ(+desc->indexCount, 1);
        EXPECT_STREQ(desc->tableName, "series");
        EXPECT_STREQ(desc->tableType, "Paradox");
        EXPECT_EQ(QString::fromLocal8Bit(desc->errTableName), here + "__TUERR.DB");
        EXPECT_EQ(desc->pack, 1);
        EXPECT_STREQ(desc->fields[0].name, "SERIES");
        EXPECT_EQ(LiveTableDescs(), before + 1);

        utility.RebuildTable(desc);  // the held one: kept
        EXPECT_EQ(utility.HeldTableDesc(), desc);
        EXPECT_EQ(LiveTableDescs(), before + 1);

        // Another description of the same table replaces and frees it.
        TableDescPtr other = AllocTableDesc({desc->fieldCount, desc->indexCount, 0, 0, 0, 0, 0});
        std::copy_n(desc->fields, desc->fieldCount, other->fields);
        std::copy_n(desc->indexes, desc->indexCount, other->indexes);
        pCRTblDesc otherRaw = other.release();
        EXPECT_EQ(LiveTableDescs(), before + 2);
        utility.RebuildTable(otherRaw);
        EXPECT_EQ(utility.HeldTableDesc(), otherRaw);
        EXPECT_EQ(LiveTableDescs(), before + 1);

        utility.GetTableDesc();  // a new one frees the held one
        EXPECT_EQ(LiveTableDescs(), before + 1);
    }
    EXPECT_EQ(LiveTableDescs(), before);
    EXPECT_EQ(fixture::readTable("series.db").size(), 30u);
}

TEST_F(TUtilityTest, LibraryErrorsCarryTheTryingLine) {
    makeSeries();
    TTUtility utility;
    utility.SetTableName("series.db");
    pCRTblDesc desc = utility.GetTableDesc();
    {
        auto open = paradox::Table::open("series.db");  // the table is in use
        const std::string error = errorOf([&] { utility.RebuildTable(desc); });
        EXPECT_NE(error.find("in use"), std::string::npos) << error;
        EXPECT_TRUE(error.ends_with("\r\nTrying TURebuildTable")) << error;
    }
    EXPECT_FALSE(QFile::exists("series__.DB"));
    QFile::remove("series.db");
    const std::string error = errorOf([&] { utility.GetTableDesc(); });
    EXPECT_TRUE(error.ends_with("\r\nTrying TUGetCrTblDescCount")) << error;
    EXPECT_NE(error.find("series"), std::string::npos) << error;
}

TEST_F(TUtilityTest, ProtectedTableAsksForThePassword) {
    makeSeries();
    fixture::patchBytes("series.db", 0x5C, {0x12, 0x34, 0x56, 0x78});  // encryption key
    QStringList asked;
    QString answer;
    TScopedInputAnswerer answerer([&](TInputRequest& request) {
        asked << request.caption + "|" + request.prompt + "|" + request.value;
        request.value = answer;
        return true;
    });
    {
        TTUtility utility;
        utility.SetTableName("series.db");  // an empty answer still completes
        EXPECT_EQ(asked, QStringList{"Table Password|Enter Master Password|"});
        EXPECT_EQ(utility.Password(), "");
        EXPECT_EQ(utility.TableName(), "series.db");
        EXPECT_EQ(utility.tBkUpTableName(), "series_.DB");

        answer = "secret";
        utility.SetTableName("series.db");
        EXPECT_EQ(utility.Password(), "secret");
        EXPECT_TRUE(paradox::SessionList::instance().current().hasPassword("secret"));
        utility.SetTableName("series.db");  // known now: no question
        EXPECT_EQ(asked.size(), 2);
    }
    EXPECT_FALSE(paradox::SessionList::instance().current().hasPassword("secret"));
}

TEST_F(TUtilityTest, ProgressReachesOnInfoRebuildOnlyWhileActive) {
    makeSeries(200);
    // A damaged record makes the library send a message as well.
    const auto l = fixture::layoutOf("series.db");
    fixture::patchBytes("series.db", l.recordOffset(1, 2) + 3, {0x07});
    std::vector<TRebuildCBData> reports;
    TTUtility utility;
    utility.OnInfoRebuild = [&](TTUtility* sender, const TRebuildCBData& data) {
        EXPECT_EQ(sender, &utility);
        reports.push_back(data);
    };
    utility.SetTableName("series.db");
    utility.RebuildTable(utility.GetTableDesc());
    EXPECT_TRUE(reports.empty());  // CBActive is off

    utility.CBActive = true;
    utility.SetTableName("series.db");
    fixture::patchBytes("series.db", l.recordOffset(1, 2) + 3, {0x07});
    utility.RebuildTable(utility.GetTableDesc());
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports.back().PercentDone, 100);
    EXPECT_TRUE(reports.back().MessageText.isEmpty());
    const auto message =
        std::find_if(reports.rbegin(), reports.rend(),
                     [](const TRebuildCBData& d) { return !d.MessageText.isEmpty(); });
    ASSERT_NE(message, reports.rend());
    EXPECT_LT(message->PercentDone, 0);
    EXPECT_LE(message->MessageText.size(), 128);
    EXPECT_FALSE(paradox::SessionList::instance().current().hasCallback(
        paradox::CallbackType::GeneralProgress));
    EXPECT_EQ(fixture::readTable("series.db").size(), 198u);
    // The first rebuild's problem table is kept; the second one has its own.
    EXPECT_EQ(fixture::readTable("PROBLEMS.DB").size(), 1u);
    EXPECT_EQ(fixture::readTable("PROBLEMS1.DB").size(), 1u);
    EXPECT_NE(message->MessageText.indexOf("PROBLEMS1.DB"), -1)
        << message->MessageText.toStdString();
}

}  // namespace
