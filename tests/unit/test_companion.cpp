// The console companion's portable part: its default [DIALOG] section, how it
// picks the first argument out of a raw Windows command line, and where it
// looks for the utility relative to its current folder.
#include <gtest/gtest.h>

#include <cstddef>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "companion/qvCreateDialog.h"
#include "settings/qvComFunctions.h"
#include "temp_folder.h"

namespace {

using namespace tarn_test;
using tarn::SectionList;

// ---- the default [DIALOG] section ------------------------------------------------

// The section as the host's settings dialog expects it, every non-ASCII byte
// spelled out, so that the check does not depend on the compiler's conversion
// of the product's Japanese literals.
const std::vector<std::string> kDialogBytes = {
    "[DIALOG]",
    "URL=1",
    "UPURL=1",
    "NAME=1",
    "EMAIL=1",
    "HP=1",
    "KEY=1",
    "USER=1",
    "PASS=1",
    "PARAM1=1",
    "PARAM2=1",
    // 掲示板のアドレス
    "_URL=\x8C" "f\x8E\xA6\x94\xC2\x82\xCC\x83" "A\x83h\x83\x8C\x83X(URL):",
    // 書き込み先アドレス
    "_UPURL=\x8F\x91\x82\xAB\x8D\x9E\x82\xDD\x90\xE6\x83" "A\x83h\x83\x8C\x83X(URL):",
    // 名前
    "_NAME=\x96\xBC\x91O:",
    // アドレス
    "_EMAIL=e-mail\x83" "A\x83h\x83\x8C\x83X:",
    // ホームページ (the long vowel mark is 81 5B)
    "_HP=\x83z\x81[\x83\x80\x83y\x81[\x83W:",
    // 削除キー
    "_KEY=\x8D\xED\x8F\x9C\x83L\x81[:",
    // ユーザ名
    "_USER=\x83\x86\x81[\x83U\x96\xBC",
    // パスワード
    "_PASS=\x83p\x83X\x83\x8F\x81[\x83h",
    // パラメータ
    "_PARAM1=\x83p\x83\x89\x83\x81\x81[\x83^",
    // 未読ポインタ
    "_PARAM2=\x96\xA2\x93\xC7\x83|\x83" "C\x83\x93\x83^ (No. or yyyy/mm/dd,tt:mm)",
};

TEST(DefaultDialogSection, HoldsTheTwentyOneLinesByteForByteWithTheirShiftJisLengths) {
    const std::vector<std::size_t> lengths = {8, 5, 7, 6, 7, 4, 5, 6, 6, 8, 8,
                                              27, 31, 11, 22, 17, 14, 14, 16, 18, 46};
    const SectionList section = tarn::DefaultDialogSection();
    ASSERT_EQ(section.size(), 21u);
    for (std::size_t i = 0; i < section.size(); ++i) {
        EXPECT_EQ(section[i], kDialogBytes[i]) << "line " << i + 1;
        EXPECT_EQ(section[i].size(), lengths[i]) << "line " << i + 1;
    }
}

TEST(DefaultDialogSection, LiteralsCompileToTheSameBytes) {
    // The source's Japanese text must come out as Shift-JIS in this build too.
    const SectionList section = tarn::DefaultDialogSection();
    ASSERT_EQ(section.size(), 21u);
    EXPECT_EQ(section[13], "_NAME=名前:");
    EXPECT_EQ(section[20], "_PARAM2=未読ポインタ (No. or yyyy/mm/dd,tt:mm)");
    EXPECT_EQ(section[13], "_NAME=\x96\xBC\x91\x4F\x3A");
}

TEST(DefaultDialogSection, FlagAndLabelLinesShareTheKeyOrder) {
    const std::vector<std::string> keys = {"URL", "UPURL", "NAME", "EMAIL", "HP",
                                           "KEY", "USER", "PASS", "PARAM1", "PARAM2"};
    const SectionList section = tarn::DefaultDialogSection();
    ASSERT_EQ(section.size(), 21u);
    EXPECT_EQ(section[0], "[DIALOG]");
    for (std::size_t i = 0; i < keys.size(); ++i) {
        EXPECT_EQ(section[1 + i], keys[i] + "=1");
        EXPECT_EQ(section[11 + i].rfind("_" + keys[i] + "=", 0), 0u) << section[11 + i];
    }
    // LIB and BBSFOLDER are no dialog fields.
    EXPECT_EQ(tarn::GetValue(section, "LIB"), "");
    EXPECT_EQ(tarn::GetValue(section, "BBSFOLDER"), "");
}

TEST(DefaultDialogSection, TextFormIs328Bytes) {
    std::string expected;
    for (const std::string& line : kDialogBytes) expected += line + "\r\n";
    ASSERT_EQ(expected.size(), 328u);
    EXPECT_EQ(tarn::TextForm(tarn::DefaultDialogSection()), expected);
}

TEST(DefaultDialogSection, EachCallGivesAFreshList) {
    SectionList first = tarn::DefaultDialogSection();
    first.clear();
    EXPECT_EQ(tarn::DefaultDialogSection().size(), 21u);
}

// ---- installing it into the current folder's settings file --------------------------

// Runs with a fresh temporary folder as the current working folder.
class InstallInCurrentFolder : public ::testing::Test {
protected:
    TempFolder folder_;
    InCurrentFolder inside_{folder_.fs()};
};

TEST_F(InstallInCurrentFolder, CreatesTheFileWhereNoneIs) {
    tarn::InstallDialogSection();
    EXPECT_EQ(ReadBytes(folder_.Fs("tarn_BBS.ini")), tarn::TextForm(kDialogBytes));
}

TEST_F(InstallInCurrentFolder, ReplacesAnExistingFileByItsBareName) {
    // The companion names the file relative to the current folder only.
    WriteBytes(folder_.Fs("tarn_BBS.ini"), "[DIALOG]\r\n_NAME=x\r\n[BASIC]\r\nNAME=\x83\x5C\r\n \r\n");
    tarn::InstallDialogSection();
    EXPECT_EQ(ReadBytes(folder_.Fs("tarn_BBS.ini")), tarn::TextForm(kDialogBytes) + "[BASIC]\r\nNAME=\x83\x5C\r\n");
    EXPECT_EQ(EntryNames(folder_.fs()), std::vector<std::string>{"tarn_BBS.ini"});
}

TEST_F(InstallInCurrentFolder, AFileTheHostKeepsWritingIsLeftAloneAndReportedUnopenable) {
    // The host may be rewriting the board's file: its write is never undone
    // by a [BASIC] read before it; after a few seconds the companion gives up.
    const std::string old = "[BASIC]\r\nNAME=host\r\n";
    WriteBytes(folder_.Fs("tarn_BBS.ini"), old);
    {
        std::ofstream host(folder_.Fs("tarn_BBS.ini"), std::ios::binary | std::ios::app);
        ASSERT_TRUE(host.is_open());
        ExpectFileError([] { tarn::InstallDialogSection(); }, platform::FileError::kOpen, "tarn_BBS.ini");
    }
    EXPECT_EQ(ReadBytes(folder_.Fs("tarn_BBS.ini")), old);
    EXPECT_EQ(EntryNames(folder_.fs()), std::vector<std::string>{"tarn_BBS.ini"});
}

// ---- the first argument of a raw command line ------------------------------------

TEST(FirstArgument, WorkedCommandLines) {
    const std::vector<std::pair<std::string, std::optional<std::string>>> cases = {
        // No argument after the program name.
        {"", std::nullopt},
        {"qv_TarnUtil.exe", std::nullopt},
        {"qv_TarnUtil.exe   ", std::nullopt},
        {"\"C:\\host\\plugins\\qv_TarnUtil.exe\"", std::nullopt},
        {"\"C:\\Program Files\\host\\plugins\\qv_TarnUtil.exe\" \t ", std::nullopt},
        // The program name quoted or not.
        {"qv_TarnUtil.exe i", "i"},
        {"C:\\host\\plugins\\qv_TarnUtil.exe i", "i"},
        // A quoted name with spaces is one word; what follows the closing quote
        // directly still belongs to it.
        {"\"C:\\Program Files\\host\\qv_TarnUtil.exe\" i", "i"},
        {"\"C:\\Program Files\\host\\qv_TarnUtil.exe\"i x", "x"},
        // Unquoted, a space ends the program name wherever it stands.
        {"C:\\Program Files\\qv_TarnUtil.exe", "Files\\qv_TarnUtil.exe"},
        // The argument is taken as written.
        {"qv i", "i"},
        {"qv I", "I"},
        {"qv -i", "-i"},
        {"qv /i", "/i"},
        {"qv ii", "ii"},
        {"qv \x95\x5C", "\x95\x5C"},  // 表, no byte of it a separator or quote
        // Only the first counts.
        {"qv i x", "i"},
        {"qv x i", "x"},
        {"qv    i    I   ", "i"},
        // Quotes group and are dropped.
        {"qv \"i\"", "i"},
        {"qv \"i\" x", "i"},
        {"qv \"i x\"", "i x"},
        {"qv \"i \"", "i "},  // not "i": the space is kept
        {"qv \"i", "i"},       // an unclosed quote runs to the end
        {"qv \"i x", "i x"},
        // Quotes in the middle of an argument.
        {"qv a\"b c\"d e", "ab cd"},
        {"qv i\"\"", "i"},
        {"qv \"\"i", "i"},
        {"qv \"i\"\"\"", "i"},
        {"qv \"i\"i", "ii"},
        // Empty quotes are no argument, after the program name as well.
        {"qv \"\"", std::nullopt},
        {"qv \"\" \"\"  \"\"", std::nullopt},
        {"qv \"\"\"\"", std::nullopt},
        {"qv \"\" i", "i"},
        {"qv \"\"\t\"\" I", "I"},
        {"\"qv.exe\" \"\" x", "x"},
        // Control characters separate.
        {"qv\ti", "i"},
        {"qv\t\ti\tx", "i"},
        {"qv\x01i\x1F", "i"},
        {"qv\ri\n", "i"},
        {"qv i\x01x", "i"},
        {"qv\x1F\x01", std::nullopt},
        // DEL (127) and bytes above it are ordinary characters.
        {"qv i\x7F", "i\x7F"},
        {"qv \xA0i", "\xA0i"},
        // Separators inside quotes stay.
        {"qv \"i\t\"", "i\t"},
        {"qv \"\ti\"", "\ti"},
    };
    for (const auto& [line, first] : cases) EXPECT_EQ(tarn::FirstArgument(line), first) << line;
}

// ---- where the utility stands --------------------------------------------------------

TEST(UtilityPathFor, WorkedFolders) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"C:\\host\\data\\board1", "C:\\host\\TarnUtil.exe"},
        {"C:\\host\\data", "C:\\TarnUtil.exe"},
        {"C:\\host", "C:TarnUtil.exe"},
        {"C:\\", "C:TarnUtil.exe"},
        // Deeper folders go two levels up.
        {"D:\\a\\b\\c\\d\\e", "D:\\a\\b\\c\\TarnUtil.exe"},
        {"C:\\host\\data\\board one", "C:\\host\\TarnUtil.exe"},
        // A parent ending in a double-byte character: 表 is 95 5C and ソ is 83 5C,
        // their second bytes are no separators.
        {"C:\\host\\\x95\x5C\x83\x5C\\board", "C:\\host\\TarnUtil.exe"},
        {"C:\\host\\表ソ\\board", "C:\\host\\TarnUtil.exe"},
        {"C:\\host\\ソ\\board", "C:\\host\\TarnUtil.exe"},
        // The grandparent's name ending in one is kept whole.
        {"C:\\表ソ\\data\\board", "C:\\\x95\x5C\x83\x5C\\TarnUtil.exe"},
        // The current folder ending in one.
        {"C:\\host\\data\\\x83\x5C", "C:\\host\\TarnUtil.exe"},
        {"C:\\host\\data\\\x95\x5C\x95\x5C", "C:\\host\\TarnUtil.exe"},
        {"C:\\data\\\x83\x5C", "C:\\TarnUtil.exe"},
        // 名前 holds no 5C byte; names around it are cut as usual.
        {"C:\\\x96\xBC\x91\x4F\\data\\board", "C:\\\x96\xBC\x91\x4F\\TarnUtil.exe"},
        // A colon separates like a backslash, and a trailing colon is kept.
        {"C:", "C:TarnUtil.exe"},
        {"C:data\\board", "C:TarnUtil.exe"},
        // UNC shares; nearer the top of a share the cuts eat into the server's name.
        {"\\\\server\\share\\host\\data\\board1", "\\\\server\\share\\host\\TarnUtil.exe"},
        {"\\\\server\\share\\data\\board1", "\\\\server\\share\\TarnUtil.exe"},
        {"\\\\server\\share\\board1", "\\\\server\\TarnUtil.exe"},
        {"\\\\server\\share", "\\\\TarnUtil.exe"},
        // Names without separators.
        {"", "TarnUtil.exe"},
        {"board", "TarnUtil.exe"},
        {"data\\board", "TarnUtil.exe"},
        {"host\\data\\board", "host\\TarnUtil.exe"},
        // A lone lead byte at the end reads nothing past the text.
        {"C:\\host\\data\\\x83", "C:\\host\\TarnUtil.exe"},
    };
    for (const auto& [folder, utility] : cases) EXPECT_EQ(tarn::UtilityPathFor(folder), utility) << folder;
}

}  // namespace
