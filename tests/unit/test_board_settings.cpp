// The field catalogue of the board settings file, and the signature file.
#include <gtest/gtest.h>

#include <cctype>

#include "platform/file_error.h"
#include "settings/BoardSettings.h"
#include "temp_folder.h"

namespace {

using tarn::Field;
using tarn::kFieldCatalogue;
using namespace tarn_test;

// ---- field catalogue ----------------------------------------------------------------

TEST(FieldCatalogue, TwelveKeysInTheOrderTheBatchSetsThem) {
    const std::vector<std::string> expected = {"LIB", "BBSFOLDER", "URL",    "UPURL",  "NAME", "EMAIL",
                                               "HP",  "KEY",       "PARAM1", "PARAM2", "USER", "PASS"};
    ASSERT_EQ(kFieldCatalogue.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(kFieldCatalogue[i].key, expected[i]);
        EXPECT_EQ(static_cast<std::size_t>(kFieldCatalogue[i].field), i) << expected[i];
    }
}

TEST(FieldCatalogue, FieldsButLeavesOutExactlyTheNamedOnesInCatalogueOrder) {
    EXPECT_EQ(tarn::FieldsBut({}).size(), tarn::kFieldCount);
    EXPECT_EQ(tarn::FieldsBut({Field::PASS, Field::LIB, Field::KEY}),
              (std::vector<Field>{Field::BBSFOLDER, Field::URL, Field::UPURL, Field::NAME, Field::EMAIL, Field::HP,
                                  Field::PARAM1, Field::PARAM2, Field::USER}));
}

TEST(FieldCatalogue, EditFieldsHaveAnUnderscoredLabelKeyTheOthersNone) {
    for (const auto& info : kFieldCatalogue) {
        if (info.field == Field::LIB || info.field == Field::BBSFOLDER) {
            EXPECT_EQ(info.labelKey, nullptr) << info.key;
            EXPECT_EQ(info.defaultLabel, nullptr) << info.key;
        } else {
            ASSERT_NE(info.labelKey, nullptr) << info.key;
            EXPECT_EQ(info.labelKey, "_" + std::string(info.key));
            ASSERT_NE(info.defaultLabel, nullptr) << info.key;
        }
    }
}

TEST(FieldCatalogue, DefaultLabelsAreTheseShiftJisBytes) {
    EXPECT_STREQ(tarn::InfoOf(Field::NAME).defaultLabel, "\x96\xBC\x91\x4F:");
    EXPECT_STREQ(tarn::InfoOf(Field::URL).defaultLabel,
                 "\x8C\x66\x8E\xA6\x94\xC2\x82\xCC\x83\x41\x83\x68\x83\x8C\x83\x58(URL):");
    EXPECT_STREQ(tarn::InfoOf(Field::UPURL).defaultLabel,
                 "\x8F\x91\x82\xAB\x8D\x9E\x82\xDD\x90\xE6\x83\x41\x83\x68\x83\x8C\x83\x58(URL):");
    EXPECT_STREQ(tarn::InfoOf(Field::EMAIL).defaultLabel, "e-mail\x83\x41\x83\x68\x83\x8C\x83\x58:");
    EXPECT_STREQ(tarn::InfoOf(Field::HP).defaultLabel, "\x83\x7A\x81\x5B\x83\x80\x83\x79\x81\x5B\x83\x57:");
    EXPECT_STREQ(tarn::InfoOf(Field::KEY).defaultLabel, "\x8D\xED\x8F\x9C\x83\x4C\x81\x5B:");
    EXPECT_STREQ(tarn::InfoOf(Field::PARAM1).defaultLabel, "\x83\x70\x83\x89\x83\x81\x81\x5B\x83\x5E");
    EXPECT_STREQ(tarn::InfoOf(Field::PARAM2).defaultLabel, "\x96\xA2\x93\xC7\x83\x7C\x83\x43\x83\x93\x83\x5E");
    EXPECT_STREQ(tarn::InfoOf(Field::USER).defaultLabel, "\x83\x86\x81\x5B\x83\x55\x96\xBC");
    EXPECT_STREQ(tarn::InfoOf(Field::PASS).defaultLabel, "\x83\x70\x83\x58\x83\x8F\x81\x5B\x83\x68");
}

TEST(FieldCatalogue, DefaultBasicLinesPutUserAndPassBeforeTheParameters) {
    EXPECT_EQ(tarn::DefaultBasicLines(),
              (std::vector<std::string>{"[BASIC]", "URL=", "UPURL=", "NAME=", "EMAIL=", "HP=", "KEY=", "USER=", "PASS=",
                                        "PARAM1=", "PARAM2="}));
    EXPECT_EQ(tarn::kLabelledFieldCount, 10u);
}

TEST(FindFieldByKey, FindsEveryKeyInAnyLetterCase) {
    for (const auto& info : kFieldCatalogue) {
        std::string lower = info.key;
        for (auto& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        EXPECT_EQ(tarn::FindFieldByKey(info.key), &info);
        EXPECT_EQ(tarn::FindFieldByKey(lower), &info);
    }
    EXPECT_EQ(tarn::FindFieldByKey("Param2"), &tarn::InfoOf(Field::PARAM2));
}

TEST(FindFieldByKey, UnknownKeysFindNothing) {
    for (const char* key : {"", "PAS", "PASSWORD", "_NAME", "NAME ", "PARAM", "ＮＡＭＥ"})
        EXPECT_EQ(tarn::FindFieldByKey(key), nullptr) << key;
}

// ---- signature file ---------------------------------------------------------------------

class SignatureTest : public ::testing::Test {
protected:
    std::string ReadAs(const std::string& bytes) {
        WriteBytes(dir.Fs("sign.ini"), bytes);
        return tarn::ReadSignature(dir.Path("sign.ini"));
    }
    TempFolder dir;
};

TEST_F(SignatureTest, EveryKindOfLineBreakBecomesCrLf) {
    EXPECT_EQ(ReadAs("a\rb\nc\r\nd"), "a\r\nb\r\nc\r\nd");
    EXPECT_EQ(ReadAs("a\n\rb"), "a\r\n\r\nb");
    EXPECT_EQ(ReadAs("\r\n\r\n"), "\r\n\r\n");
}

TEST_F(SignatureTest, AddsNoBreakAndKeepsOtherBytes) {
    EXPECT_EQ(ReadAs("no break"), "no break");
    EXPECT_EQ(ReadAs(" --\t\r\n名前ソ "), " --\t\r\n\x96\xBC\x91\x4F\x83\x5C ");
    EXPECT_EQ(ReadAs(""), "");
}

TEST_F(SignatureTest, ReadingStopsAtANul) { EXPECT_EQ(ReadAs(std::string("ab\nc\0d\ne", 9)), "ab\r\nc"); }

TEST_F(SignatureTest, FolderInPlaceOfTheFileRaisesTheOpenError) {
    dir.MakeFolder("sign.ini");
    const std::string path = dir.Path("sign.ini");
    ExpectFileError([&] { tarn::ReadSignature(path); }, platform::FileError::kOpen, path);
}

TEST_F(SignatureTest, WritesTheMemoTextByteForByte) {
    const std::string memo = "line1\r\n\r\n  \x96\xBC\x91\x4F\x83\x5C  \r\nlast";
    EXPECT_EQ(tarn::WriteSignature(dir.Path("sign.ini"), memo), tarn::WriteOutcome::Written);
    EXPECT_EQ(ReadBytes(dir.Fs("sign.ini")), memo);
    EXPECT_EQ(tarn::WriteSignature(dir.Path("sign.ini"), memo), tarn::WriteOutcome::Unchanged);
    EXPECT_EQ(tarn::WriteSignature(dir.Path("sign.ini"), ""), tarn::WriteOutcome::Written);
    EXPECT_EQ(ReadBytes(dir.Fs("sign.ini")), "");
}

TEST_F(SignatureTest, WrittenSignatureReadsBackTheSame) {
    const std::string memo = "a\r\nb\r\n";
    tarn::WriteSignature(dir.Path("sign.ini"), memo);
    EXPECT_EQ(tarn::ReadSignature(dir.Path("sign.ini")), memo);
}

TEST_F(SignatureTest, DryRunLeavesTheFileAlone) {
    WriteBytes(dir.Fs("sign.ini"), "old");
    EXPECT_EQ(tarn::WriteSignature(dir.Path("sign.ini"), "new", tarn::WriteMode::DryRun),
              tarn::WriteOutcome::WouldWrite);
    EXPECT_EQ(ReadBytes(dir.Fs("sign.ini")), "old");
}

}  // namespace
