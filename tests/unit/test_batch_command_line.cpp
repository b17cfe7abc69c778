// The batch driver's command line turned into the engine's input.
#include <gtest/gtest.h>

#include <functional>

#include "batch/BatchCommandLine.h"
#include "batch/BatchReport.h"
#include "platform/paths.h"
#include "temp_folder.h"

namespace {

using tarn::Field;
using tarn::Language;
using tarn::ParseBatchCommand;
using tarn::UsageError;
using namespace tarn_test;
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
    EXPECT_THROW(ParseBatchCommand({"--set", "NAME=n", start, start}), UsageError);
    EXPECT_THROW(ParseBatchCommand({dir.Path("missing")}), UsageError);
    EXPECT_THROW(ParseBatchCommand({dir.Path("file")}), UsageError);
}

TEST_F(BatchCommandLine, DoubleDashEndsTheOptions) {
    dir.MakeFolder("-odd");
    EXPECT_EQ(ParseBatchCommand({"--dry-run", "--set", "NAME=n", "--", dir.Path("-odd")}).startFolder, dir.Path("-odd"));
}

TEST_F(BatchCommandLine, RunFlagsAndHelp) {
    const auto command = ParseBatchCommand({"--dry-run", "--verbose", "--set", "NAME=n", start});
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

// The message of the usage error `parse` raises; empty when none.
std::string RefusalOf(const std::function<void()>& parse) {
    try {
        parse();
    } catch (const UsageError& e) {
        return e.what();
    }
    return std::string();
}

// The message of the usage error the arguments give; empty when none.
std::string Refusal(const std::vector<std::string>& args, Language language = Language::English) {
    return RefusalOf([&] { ParseBatchCommand(args, language); });
}

TEST_F(BatchCommandLine, EveryOptionTakesItsValueAfterAnEqualsSign) {
    WriteBytes(dir.Fs("ref.ini"), "[BASIC]\r\nURL=http://ref/\r\n");
    WriteBytes(dir.Fs("sig.txt"), "sig");
    const auto command = ParseBatchCommand({"--set=NAME=a=b", "--reference=" + dir.Path("ref.ini"), "--take=URL,Pass",
                                            "--sign=" + dir.Path("sig.txt"), "--lang=ja", start});
    EXPECT_EQ(Enabled(command), (std::vector<std::string>{"URL=http://ref/", "NAME=a=b", "PASS="}));
    EXPECT_EQ(command.input.signatureText, "sig");
    EXPECT_EQ(command.language, Language::Japanese);
    EXPECT_EQ(Enabled(ParseBatchCommand({"--set=EMAIL=", start})), std::vector<std::string>{"EMAIL="});
    // Flags take no value; an unknown option stays unknown with one.
    EXPECT_EQ(Refusal({"--dry-run=yes", "--set=NAME=n", start}), "--dry-run takes no value");
    EXPECT_EQ(Refusal({"--bogus=1", "--set=NAME=n", start}), "unknown option '--bogus'");
    EXPECT_EQ(Refusal({"--set=NAME", start}), "--set needs KEY=VALUE, got 'NAME'");
}

TEST_F(BatchCommandLine, AKeyIsGivenOnlyOnce) {
    WriteBytes(dir.Fs("ref.ini"), "[BASIC]\r\nPASS=p\r\n");
    const std::string ref = "--reference=" + dir.Path("ref.ini");
    EXPECT_EQ(Refusal({"--set", "NAME=x", "--set", "name=y", start}), "key NAME is given twice");
    EXPECT_EQ(Refusal({"--set", "NAME=x", "--set=NAME=x", start}), "key NAME is given twice");
    EXPECT_EQ(Refusal({ref, "--take", "PASS", "--take", "URL,pass", start}), "key PASS is given twice");
    EXPECT_EQ(Refusal({ref, "--take", "PASS,PASS", start}), "key PASS is given twice");
    EXPECT_EQ(Refusal({"--set", "PASS=x", ref, "--take", "PASS", start}), "key PASS is given both by --set and by --take");
    EXPECT_EQ(Refusal({ref, "--take", "BBSFOLDER", "--set", "bbsfolder=1", start}),
              "key BBSFOLDER is given both by --set and by --take");
    // USER and PASS share a tick box in the window, but are two keys here.
    EXPECT_EQ(Enabled(ParseBatchCommand({"--set", "USER=u", ref, "--take", "PASS", start})),
              (std::vector<std::string>{"USER=u", "PASS=p"}));
}

TEST_F(BatchCommandLine, ARunThatWritesNothingIsRefused) {
    WriteBytes(dir.Fs("sig.txt"), "sig");
    const std::string nothing = "nothing to write: give a field (--set, --take, --replace), --sign or --import";
    EXPECT_EQ(Refusal({start}), nothing);
    EXPECT_EQ(Refusal({"--dry-run", "--verbose", start}), nothing);
    EXPECT_EQ(Refusal({"--reference", dir.Path("sig.txt"), start}), nothing);
    // Any one field, or the signature alone, is something to write.
    EXPECT_EQ(Refusal({"--sign", dir.Path("sig.txt"), start}), "");
    EXPECT_EQ(Refusal({"--set", "BBSFOLDER=", start}), "");
    EXPECT_EQ(Refusal({"--set", "PARAM2=", start}), "");
}

TEST_F(BatchCommandLine, ChoosingReplacingListingAndImporting) {
    // Conditions and a replacement, taking any text.
    const auto command = ParseBatchCommand({"--where", "URL=http://*.example/*", "--where-not=LIB=2CH", "--replace",
                                            "URL,upurl", "--from", "a=b: c", "--to=", "--set", "NAME=n", start});
    ASSERT_EQ(command.input.where.size(), 2u);
    EXPECT_EQ(command.input.where[1].field, Field::LIB);
    EXPECT_EQ(command.input.where[1].pattern, "2CH");
    EXPECT_TRUE(command.input.where[1].negated);
    ASSERT_EQ(command.input.replacements.size(), 1u);
    EXPECT_EQ(command.input.replacements[0].fields, (std::vector<Field>{Field::URL, Field::UPURL}));
    EXPECT_EQ(command.input.replacements[0].from, "a=b: c");
    EXPECT_EQ(command.input.replacements[0].to, "");
    // A list reads only; its columns default to every key but the secrets.
    const auto list = ParseBatchCommand({"--list", "--where", "LIB=2ch", start});
    EXPECT_TRUE(list.list);
    EXPECT_EQ(list.listColumns.size(), tarn::kFieldCount - 2);
    EXPECT_EQ(ParseBatchCommand({"--list", "--keys", "pass", "--encoding", "sjis", start}).encoding,
              tarn::CsvEncoding::ShiftJis);
    EXPECT_TRUE(ParseBatchCommand({"--version"}).version);

    const std::vector<std::pair<std::vector<std::string>, std::string>> refusals = {
        {{"--where", "URL", start}, "--where needs KEY=PATTERN, got 'URL'"},
        {{"--where", "NOPE=x", "--set", "NAME=n", start}, "unknown key 'NOPE'"},
        {{"--replace", "URL", "--from", "a", start}, "--replace KEY[,KEY...] goes with --from TEXT and --to TEXT"},
        {{"--from", "a", "--to", "b", start}, "--replace KEY[,KEY...] goes with --from TEXT and --to TEXT"},
        {{"--replace", "URL", "--from", "", "--to", "b", start}, "--from needs a text to find"},
        {{"--replace", "URL,url", "--from", "a", "--to", "b", start}, "--replace: key URL is given twice"},
        {{"--replace", "BBSFOLDER", "--from", "1", "--to", "", start},
         "--replace: BBSFOLDER is \"1\" or empty; set it with --set"},
        {{"--replace", "URL", "--from", "a", "--to", "b", "--set", "URL=x", start},
         "key URL is given both by --replace and by --set or --take"},
        {{"--list", "--set", "NAME=n", start},
         "--list writes nothing: it takes --where, --where-not, --keys, --output and --encoding only"},
        {{"--keys", "URL", "--set", "NAME=n", start}, "--keys, --output and --encoding go with --list"},
        {{"--list", "--encoding", "latin1", start}, "--encoding takes utf-8 or shift-jis, got 'latin1'"},
        {{"--import", dir.Path("none.csv"), start}, "table '" + dir.Path("none.csv") + "' does not exist"},
        {{"--import", dir.Path("none.csv"), "--set", "NAME=n", start},
         "--import gives each board its own values; it goes with no field, --sign, --replace or --where"},
    };
    for (const auto& [args, refusal] : refusals) EXPECT_EQ(Refusal(args), refusal) << args.front();
}

TEST_F(BatchCommandLine, MessagesInTheChosenLanguage) {
    using tarn::ChosenLanguage;
    EXPECT_EQ(ChosenLanguage({"--set", "NAME=n", start}, Language::Japanese), Language::Japanese);
    EXPECT_EQ(ChosenLanguage({"--lang", "en", start}, Language::Japanese), Language::English);
    EXPECT_EQ(ChosenLanguage({"--lang=ja", "--lang=en", start}, Language::Japanese), Language::English);
    EXPECT_EQ(ChosenLanguage({"--lang=ja", start}, Language::English), Language::Japanese);
    // Only an option chooses: not a value that looks like one, nor anything after "--".
    EXPECT_EQ(ChosenLanguage({"--sign", "--lang=ja", start}, Language::English), Language::English);
    EXPECT_EQ(ChosenLanguage({"--", "--lang=ja"}, Language::English), Language::English);
    EXPECT_EQ(ChosenLanguage({"--lang=fr", start}, Language::English), Language::English);

    EXPECT_EQ(Refusal({start}, Language::Japanese),
              "書き込むものがありません: 項目 (--set、--take、--replace)、--sign か --import を指定してください");
    EXPECT_EQ(Refusal({"--lang=ja", "--set", "NAME=x", "--set", "NAME=y", start}), "項目 NAME が二度指定されています");
    EXPECT_EQ(Refusal({"--lang", "en", start}, Language::Japanese),
              "nothing to write: give a field (--set, --take, --replace), --sign or --import");
    EXPECT_EQ(Refusal({"--lang=fr", start}, Language::Japanese),
              "--lang には ja か en を指定してください（指定されたのは 'fr'）");
    EXPECT_EQ(Refusal({"--set", "NAME", start}, Language::Japanese),
              "--set には 項目=値 を指定してください（指定されたのは 'NAME'）");
    EXPECT_EQ(Refusal({"--where-not", "URL", start}, Language::Japanese),
              "--where-not には 項目=パターン を指定してください（指定されたのは 'URL'）");
    // The refusal carries its language, for the hint that follows it.
    for (const auto& [args, language] : {std::pair{std::vector<std::string>{"--lang=ja", start}, Language::Japanese},
                                         std::pair{std::vector<std::string>{"--lang", "en", start}, Language::English}})
        try {
            ParseBatchCommand(args, language == Language::English ? Language::Japanese : Language::English);
            ADD_FAILURE() << "no refusal";
        } catch (const UsageError& e) {
            EXPECT_EQ(e.language(), language);
        }
    EXPECT_EQ(ParseBatchCommand({"--help"}, Language::Japanese).language, Language::Japanese);
    EXPECT_EQ(std::string(tarn::BatchUsage(Language::English)).rfind("Usage: tarnbatch [OPTION]...", 0), 0u);
    EXPECT_EQ(std::string(tarn::BatchUsage(Language::Japanese)).rfind("使い方: tarnbatch [オプション]...", 0), 0u);
}

TEST_F(BatchCommandLine, ValuesWithoutAShiftJisFormAreRefusedAlsoAfterEqualsSigns) {
    const platform::CommandArgument value{"", "U+00E9", "NAME=x<U+00E9>"};
    const platform::CommandArgument inlineValue{"", "U+00E9", "--set=NAME=x<U+00E9>"};
    const platform::CommandArgument folder{start, "", start};
    const auto refusal = [](const std::vector<platform::CommandArgument>& args, Language language) {
        return RefusalOf([&] { tarn::ParseBatchArguments(args, language); });
    };
    EXPECT_EQ(refusal({{"--set", "", "--set"}, value, folder}, Language::English),
              "--set NAME=x<U+00E9>: U+00E9 has no Shift-JIS form");
    EXPECT_EQ(refusal({inlineValue, folder}, Language::English), "--set NAME=x<U+00E9>: U+00E9 has no Shift-JIS form");
    EXPECT_EQ(refusal({{"--lang=en", "", "--lang=en"}, inlineValue, folder}, Language::English),
              "--set NAME=x<U+00E9>: U+00E9 has no Shift-JIS form");
    EXPECT_EQ(refusal({inlineValue, folder}, Language::Japanese), "--set NAME=x<U+00E9>: U+00E9 は Shift-JIS で表せません");
    // A path with such a character would be looked up under another name.
    const platform::CommandArgument cafe{"", "U+00E9", "caf<U+00E9>"};
    const platform::CommandArgument set{"--set", "", "--set"}, name{"NAME=x", "", "NAME=x"};
    EXPECT_EQ(refusal({set, name, cafe}, Language::English), "caf<U+00E9>: U+00E9 has no Shift-JIS form");
    for (const char* option : {"--sign", "--reference", "--journal"})
        EXPECT_EQ(refusal({set, name, {option, "", option}, cafe, folder}, Language::English),
                  std::string(option) + " caf<U+00E9>: U+00E9 has no Shift-JIS form");
    EXPECT_EQ(refusal({set, name, {"", "U+00E9", "--sign=caf<U+00E9>"}, folder}, Language::English),
              "--sign caf<U+00E9>: U+00E9 has no Shift-JIS form");
}

// The dry run's lines for one file, from its bytes before and after.
TEST(DryRunReport, MarksTheFileAndShowsEachChangedValue) {
    using tarn::DescribeChange;
    const std::string settings = platform::JoinPath("板", "tarn_BBS.ini");
    EXPECT_EQ(DescribeChange(settings, std::nullopt, "[BASIC]\r\nNAME=\x96\xBC\r\nEMAIL=\r\n", Language::English),
              "created: " + settings + "\n  NAME: (none) -> \"\x96\xBC\"\n  EMAIL: (none) -> \"\"\n");
    // The first line of a name counts, in any letter case; an unchanged
    // value, or one in a section the batch drops, is not shown. Control
    // characters are shown as their codes, a cut double-byte character too.
    const std::string before = "[OTHER]\r\nURL=u\r\n[BASIC]\r\nname=a\x1bz\r\nNAME=b\r\nPASS=p\r\nKEY=k\x83";
    const std::string after = "[BASIC]\r\nNAME=\x83\x5C\r\nPASS=p\r\nKEY=\r\nURL=u\r\n";
    EXPECT_EQ(DescribeChange(settings, before, after, Language::Japanese),
              "書き換え: " + settings + "\n  URL: (なし) → \"u\"\n  NAME: \"a<0x1B>z\" → \"\x83\x5C\"\n"
              "  KEY: \"k<0x83>\" → \"\"\n");
    // Values as the host reads them: white space around names and values does not count.
    EXPECT_EQ(DescribeChange(settings, "[BASIC]\r\n pass = p \r\nURL\r\n", "[BASIC]\r\npass=p\r\nURL=u\r\n",
                             Language::English),
              "rewritten: " + settings + "\n  URL: \"\" -> \"u\"\n");
    EXPECT_EQ(DescribeChange(settings, "[BASIC]\nNAME=a\n[X]\n", "[BASIC]\r\nNAME=a\r\n", Language::English),
              "rewritten: " + settings + "\n  (no value changes; other lines change)\n");
    // A signature has no keys.
    const std::string sign = platform::JoinPath("板", "sign.ini");
    EXPECT_EQ(DescribeChange(sign, std::string("NAME=a"), "NAME=b", Language::English), "rewritten: " + sign + "\n");
}

}  // namespace
