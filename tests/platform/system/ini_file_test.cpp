// INI profile files on real files in a temporary directory.
#include "platform/system/ini_file.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTextStream>

#include "tests/support/temp_dir.h"

namespace {

void writeText(const QString& path, const QString& text) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text.toUtf8());
}

QString readText(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(file.readAll());
}

}  // namespace

TEST(IniInteger, DecimalHexAndGarbage) {
    struct Case {
        const char* text;
        bool ok;
        int value;
    } cases[] = {
        {"12", true, 12},   {"-5", true, -5},          {" 7 ", true, 7},
        {"0x10", true, 16}, {"0X1f", true, 31},        {"0xFFFFFFFF", true, -1},
        {"abc", false, 0},  {"12abc", false, 0},       {"", false, 0},
        {"0x", false, 0},   {"0x1FFFFFFFF", false, 0}, {"99999999999", false, 0},
    };
    for (const Case& c : cases) {
        int value = 0;
        EXPECT_EQ(TIniFile::ParseInteger(c.text, value), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(value, c.value) << c.text;
        }
    }
}

TEST(IniFile, NewSectionIsWrittenInTheOrderOfTheWrites) {
    TestDir dir;
    const QString path = dir.path() + "/a.ini";
    TIniFile ini(path);
    ini.WriteInteger("MainForm", "PlaceFlags", 0);
    ini.WriteInteger("MainForm", "PlaceShowCmd", 3);
    ini.WriteString("MainForm", "Name", "x=y");
    ini.UpdateFile();
    EXPECT_EQ(readText(path), "[MainForm]\nPlaceFlags=0\nPlaceShowCmd=3\nName=x=y\n");
    const TIniFile back(path);
    EXPECT_EQ(back.ReadInteger("mainform", "placeshowcmd", 1), 3);  // names ignore case
    EXPECT_EQ(back.ReadString("MainForm", "Name", ""), "x=y");
    EXPECT_EQ(back.ReadInteger("MainForm", "Missing", 42), 42);
    EXPECT_EQ(back.ReadInteger("MainForm", "Name", 42), 42);  // not a number
}

TEST(IniFile, UpdatingKeepsEveryOtherLine) {
    TestDir dir;
    const QString path = dir.path() + "/b.ini";
    writeText(path,
              "; settings\n[Other]\nKey=1\n\n[MainForm]\nPlaceFlags=0x2\nPlaceShowCmd=1\n\n"
              "[Last]\nA=b\n");
    TIniFile ini(path);
    EXPECT_EQ(ini.ReadInteger("MainForm", "PlaceFlags", 0), 2);
    ini.WriteInteger("MainForm", "PlaceShowCmd", 2);
    ini.WriteInteger("MainForm", "PlaceMinPosX", -4);
    ini.UpdateFile();
    EXPECT_EQ(readText(path),
              "; settings\n[Other]\nKey=1\n\n[MainForm]\nPlaceFlags=0x2\nPlaceShowCmd=2\n"
              "PlaceMinPosX=-4\n\n[Last]\nA=b\n");
}

TEST(IniFile, MissingFileReadsAsEmptyAndNameWithoutFolderGoesToTheConfigFolder) {
    TestDir dir;
    setenv("XDG_CONFIG_HOME", dir.str().c_str(), 1);
    EXPECT_EQ(TIniFile::ResolvePath("pkeep20.ini"), dir.path() + "/pkeep20.ini");
    TIniFile ini("pkeep20.ini");
    EXPECT_FALSE(ini.SectionExists("MainForm"));
    EXPECT_EQ(ini.ReadInteger("MainForm", "PlaceShowCmd", 1), 1);
    ini.WriteInteger("MainForm", "PlaceShowCmd", 1);
    ini.UpdateFile();
    EXPECT_TRUE(QFile::exists(dir.path() + "/pkeep20.ini"));
}

TEST(IniFile, FailedWriteRaises) {
    TestDir dir;
    // A folder that cannot exist: its parent is a plain file.
    writeText(dir.path() + "/plain", "x");
    TIniFile ini(dir.path() + "/plain/c.ini");
    ini.WriteInteger("S", "K", 2);
    EXPECT_THROW(ini.UpdateFile(), EIniFileException);
    EXPECT_EQ(readText(dir.path() + "/plain"), "x");
}
