// The batch driver's command line turned into the engine's input.
#include <gtest/gtest.h>

#include "batch/BatchCommandLine.h"
#include "temp_folder.h"

namespace {

using tarn::Field;
using tarn::ParseBatchCommand;
using tarn::UsageError;
using tarn_test::TempFolder;
using tarn_test::WriteBytes;
using Args = std::vector<std::string>;

class BatchCommandLine : public ::testing::Test {
protected:
    void SetUp() override {
        dir.MakeFolder("start");
        start = dir.Path("start");
    }
    // The fields that came out enabled, as KEY=text.
    static std::vector<std::string> Enabled(const tarn::BatchCommand& command) {
        std::vector<std::string> enabled;
        for (const auto& info : tarn::kFieldCatalogue)
            if (command.input[info.field].enabled) enabled.push_back(std::string(info.key) + "=" + command.input[info.field].text);
        return enabled;
    }
    TempFolder dir;
    std::string start;
};

TEST_F(BatchCommandLine, SetEnablesExactlyTheNamedFields) {
    const auto command = ParseBatchCommand({"--set", "NAME=名前", "--set", "url=http://x/?a=b", start});
    EXPECT_EQ(Enabled(command), (std::vector<std::string>{"URL=http://x/?a=b", "NAME=\x96\xBC\x91\x4F"}));
    EXPECT_EQ(command.startFolder, start);
    EXPECT_FALSE(command.input.signatureChecked);
    EXPECT_FALSE(command.dryRun);
    EXPECT_FALSE(command.verbose);
    EXPECT_FALSE(command.help);
}

TEST_F(BatchCommandLine, SetWithAnEmptyValueEnablesTheFieldEmpty) {
    EXPECT_EQ(Enabled(ParseBatchCommand({"--set", "PASS=", start})), std::vector<std::string>{"PASS="});
}

TEST_F(BatchCommandLine, BbsFolderTakesOneOrEmpty) {
    auto command = ParseBatchCommand({"--set", "BBSFOLDER=1", start});
    EXPECT_TRUE(command.input[Field::BBSFOLDER].enabled);
    EXPECT_TRUE(command.input.bbsFolderChecked);
    command = ParseBatchCommand({"--set", "bbsfolder=", start});
    EXPECT_TRUE(command.input[Field::BBSFOLDER].enabled);
    EXPECT_FALSE(command.input.bbsFolderChecked);
    EXPECT_THROW(ParseBatchCommand({"--set", "BBSFOLDER=yes", start}), UsageError);
    EXPECT_THROW(ParseBatchCommand({"--set", "BBSFOLDER=0", start}), UsageError);
}

TEST_F(BatchCommandLine, WrongFieldsAndOptionsAreUsageErrors) {
    EXPECT_THROW(ParseBatchCommand({"--set", "NOSUCH=1", start}), UsageError);
    EXPECT_THROW(ParseBatchCommand({"--set", "NAME", start}), UsageError);
    EXPECT_THROW(ParseBatchCommand({start, "--set"}), UsageError);
    EXPECT_THROW(ParseBatchCommand({"--bogus", start}), UsageError);
    EXPECT_THROW(ParseBatchCommand({"-x", start}), UsageError);
}

TEST_F(BatchCommandLine, ExactlyOneExistingStartFolder) {
    WriteBytes(dir.Fs("file"), "");
    EXPECT_THROW(ParseBatchCommand({}), UsageError);
    EXPECT_THROW(ParseBatchCommand({"--set", "NAME=n"}), UsageError);
    EXPECT_THROW(ParseBatchCommand({start, start}), UsageError);
    EXPECT_THROW(ParseBatchCommand({dir.Path("missing")}), UsageError);
    EXPECT_THROW(ParseBatchCommand({dir.Path("file")}), UsageError);
}

TEST_F(BatchCommandLine, DoubleDashEndsTheOptions) {
    dir.MakeFolder("-odd");
    EXPECT_EQ(ParseBatchCommand({"--dry-run", "--", dir.Path("-odd")}).startFolder, dir.Path("-odd"));
}

TEST_F(BatchCommandLine, RunFlagsAndHelp) {
    const auto command = ParseBatchCommand({"--dry-run", "--verbose", start});
    EXPECT_TRUE(command.dryRun);
    EXPECT_TRUE(command.verbose);
    EXPECT_TRUE(ParseBatchCommand({"--help"}).help);
    // Help ends the parsing: no start folder needed, later arguments unread.
    EXPECT_TRUE(ParseBatchCommand({"-h", "--bogus"}).help);
}

TEST_F(BatchCommandLine, TakeUsesTheBasicValuesOfTheReference) {
    WriteBytes(dir.Fs("ref.ini"),
               "[DIALOG]\r\nNAME=dialog\r\n[BASIC]\r\nname=from ref\r\npass=secret\r\nBBSFOLDER=1\r\n");
    const auto command =
        ParseBatchCommand({"--take", "NAME,Pass", "--take", "BBSFOLDER,URL", "--reference", dir.Path("ref.ini"), start});
    EXPECT_EQ(Enabled(command),
              (std::vector<std::string>{"BBSFOLDER=1", "URL=", "NAME=from ref", "PASS=secret"}));
    EXPECT_TRUE(command.input.bbsFolderChecked);
}

TEST_F(BatchCommandLine, TakenBbsFolderOtherThanOneIsUnchecked) {
    WriteBytes(dir.Fs("ref.ini"), "[BASIC]\r\nBBSFOLDER=yes\r\n");
    const auto command = ParseBatchCommand({"--reference", dir.Path("ref.ini"), "--take", "BBSFOLDER", start});
    EXPECT_TRUE(command.input[Field::BBSFOLDER].enabled);
    EXPECT_FALSE(command.input.bbsFolderChecked);
}

TEST_F(BatchCommandLine, TakeNeedsAnExistingReferenceAndKnownKeys) {
    WriteBytes(dir.Fs("ref.ini"), "[BASIC]\r\nNAME=n\r\n");
    EXPECT_THROW(ParseBatchCommand({"--take", "NAME", start}), UsageError);
    EXPECT_THROW(ParseBatchCommand({"--take", "NAME", "--reference", dir.Path("missing.ini"), start}), UsageError);
    EXPECT_THROW(ParseBatchCommand({"--take", "NAME,NOSUCH", "--reference", dir.Path("ref.ini"), start}), UsageError);
    EXPECT_THROW(ParseBatchCommand({"--take", "NAME,", "--reference", dir.Path("ref.ini"), start}), UsageError);
}

TEST_F(BatchCommandLine, SignReadsTheFileAsTheMemoShowsIt) {
    const char raw[] = "one\ntwo\rthree\r\nソ\0ignored";
    WriteBytes(dir.Fs("sig.txt"), std::string(raw, sizeof raw - 1));
    const auto command = ParseBatchCommand({"--sign", dir.Path("sig.txt"), start});
    EXPECT_TRUE(command.input.signatureChecked);
    EXPECT_EQ(command.input.signatureText, "one\r\ntwo\r\nthree\r\n\x83\x5C");
    EXPECT_TRUE(Enabled(command).empty());
    EXPECT_THROW(ParseBatchCommand({"--sign", dir.Path("missing.txt"), start}), UsageError);
}

}  // namespace
