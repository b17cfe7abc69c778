// The batch engine on one settings file: which [BASIC] lines the enabled
// fields produce, and the file one folder ends up with.
#include <gtest/gtest.h>

#include "batch/tuConfAll.h"
#include "platform/file_error.h"
#include "temp_folder.h"

namespace {

using tarn::BatchInput;
using tarn::Field;
using tarn::SectionList;
using tarn::WriteOutcome;
using namespace tarn_test;

BatchInput With(std::initializer_list<std::pair<Field, std::string>> fields) {
    BatchInput input;
    for (const auto& f : fields) input[f.first] = tarn::FieldValue{true, f.second};
    return input;
}

// ---- one key --------------------------------------------------------------------------------

TEST(SetIfEnabled, DisabledFieldChangesNothing) {
    SectionList list = {"[BASIC]", "NAME=old"};
    tarn::SetIfEnabled(list, "NAME", false, "new");
    tarn::SetIfEnabled(list, "URL", false, "u");
    EXPECT_EQ(list, (SectionList{"[BASIC]", "NAME=old"}));
}

TEST(SetIfEnabled, EmptyValueKeepsTheKeyWithASpace) {
    SectionList list = {"[BASIC]", "NAME=old"};
    tarn::SetIfEnabled(list, "NAME", true, "");
    tarn::SetIfEnabled(list, "URL", true, "");
    EXPECT_EQ(list, (SectionList{"[BASIC]", "NAME= ", "URL= "}));
    tarn::SetIfEnabled(list, "name", true, "new");
    EXPECT_EQ(list, (SectionList{"[BASIC]", "name=new", "URL= "}));
}

// ---- the [BASIC] lines ----------------------------------------------------------------------

TEST(ApplyFields, WorkedSections) {
    struct Case {
        SectionList basic;
        BatchInput input;
        SectionList expected;
    };
    const Case cases[] = {
        // An empty section gets its header.
        {{}, BatchInput{}, {"[BASIC]"}},
        {{}, With({{Field::NAME, "n"}}), {"[BASIC]", "NAME=n"}},
        {{"[BASIC]"}, BatchInput{}, {"[BASIC]"}},
        // Existing keys are changed in place.
        {{"[BASIC]", "PASS=old", "NAME=old", "URL=keep"}, With({{Field::NAME, "n"}, {Field::PASS, "p"}}),
         {"[BASIC]", "PASS=p", "NAME=n", "URL=keep"}},
        // An enabled empty field keeps its key with an empty value.
        {{"[BASIC]", "NAME=old"}, With({{Field::NAME, ""}, {Field::KEY, ""}}), {"[BASIC]", "NAME=", "KEY="}},
        // A lower-case key is rewritten with the catalogue's key.
        {{"[BASIC]", "pass=old", "Name=x"}, With({{Field::PASS, "new"}}), {"[BASIC]", "PASS=new", "Name=x"}},
        // Every line is trimmed, even with nothing enabled.
        {{" [BASIC]\t", "  NAME = a b \t", "", "\tURL=u\r"}, BatchInput{}, {"[BASIC]", "NAME = a b", "", "URL=u"}},
        // Values lose only their outer white space at the line end.
        {{}, With({{Field::NAME, "  名前 ソ  "}}), {"[BASIC]", "NAME=  \x96\xBC\x91\x4F \x83\x5C"}},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(tarn::ApplyFields(cases[i].basic, cases[i].input), cases[i].expected) << "case " << i;
}

TEST(ApplyFields, MissingKeysAreAppendedInCatalogueOrder) {
    BatchInput input = With({{Field::PASS, "p"}, {Field::URL, "u"}, {Field::LIB, "2ch"}, {Field::PARAM2, "12"},
                             {Field::BBSFOLDER, ""}, {Field::USER, "me"}, {Field::KEY, "k"}, {Field::HP, "h"},
                             {Field::EMAIL, "e"}, {Field::NAME, "n"}, {Field::UPURL, "up"}, {Field::PARAM1, "p1"}});
    input.bbsFolderChecked = true;
    EXPECT_EQ(tarn::ApplyFields({"[BASIC]", "OTHER=x"}, input),
              (SectionList{"[BASIC]", "OTHER=x", "LIB=2ch", "BBSFOLDER=1", "URL=u", "UPURL=up", "NAME=n", "EMAIL=e",
                           "HP=h", "KEY=k", "PARAM1=p1", "PARAM2=12", "USER=me", "PASS=p"}));
}

TEST(ApplyFields, DisabledFieldsKeepTheirLinesWhateverTheirText) {
    BatchInput input = With({{Field::NAME, "n"}});
    input[Field::URL] = tarn::FieldValue{false, "ignored"};
    input[Field::PASS] = tarn::FieldValue{false, "ignored"};
    input.bbsFolderChecked = true;  // its box is not enabled
    EXPECT_EQ(tarn::ApplyFields({"[BASIC]", "URL=old", "BBSFOLDER=old"}, input),
              (SectionList{"[BASIC]", "URL=old", "BBSFOLDER=old", "NAME=n"}));
}

TEST(ApplyFields, BbsFolderIsOneWhenCheckedAndEmptyWhenNot) {
    BatchInput input = With({{Field::BBSFOLDER, "text is not the value"}});
    input.bbsFolderChecked = true;
    EXPECT_EQ(tarn::ApplyFields({"[BASIC]", "BBSFOLDER="}, input), (SectionList{"[BASIC]", "BBSFOLDER=1"}));
    input.bbsFolderChecked = false;
    EXPECT_EQ(tarn::ApplyFields({"[BASIC]", "BBSFOLDER=1"}, input), (SectionList{"[BASIC]", "BBSFOLDER="}));
    EXPECT_EQ(tarn::ApplyFields({"[BASIC]"}, input), (SectionList{"[BASIC]", "BBSFOLDER="}));
}

// ---- one folder's file ------------------------------------------------------------------------

class ApplyToFolderTest : public ::testing::Test {
protected:
    std::string Apply(const std::string& before, const BatchInput& input) {
        WriteBytes(dir.Fs("tarn_BBS.ini"), before);
        tarn::ApplyToFolder(path, input);
        return ReadBytes(dir.Fs("tarn_BBS.ini"));
    }
    TempFolder dir;
    const std::string path = dir.Path("tarn_BBS.ini");
};

TEST_F(ApplyToFolderTest, MissingFileIsCreatedWithoutADialogSection) {
    EXPECT_EQ(tarn::ApplyToFolder(path, With({{Field::NAME, "n"}, {Field::URL, ""}})), WriteOutcome::Written);
    EXPECT_EQ(ReadBytes(dir.Fs("tarn_BBS.ini")), "[BASIC]\r\nURL=\r\nNAME=n\r\n");
}

TEST_F(ApplyToFolderTest, NothingEnabledStillCreatesTheFile) {
    tarn::ApplyToFolder(path, BatchInput{});
    EXPECT_EQ(ReadBytes(dir.Fs("tarn_BBS.ini")), "[BASIC]\r\n");
}

TEST_F(ApplyToFolderTest, WorkedFiles) {
    struct Case {
        const char* before;
        BatchInput input;
        const char* after;
    };
    const Case cases[] = {
        // [DIALOG] is copied unchanged and written first.
        {"[BASIC]\r\nNAME=old\r\n[DIALOG]\r\nURL=1\r\n _NAME=名前: \r\n\r\n", With({{Field::NAME, "new"}}),
         "[DIALOG]\r\nURL=1\r\n _NAME=\x96\xBC\x91\x4F: \r\n\r\n[BASIC]\r\nNAME=new\r\n"},
        // Other sections and lines before the first header are dropped.
        {"stray=1\r\n[OTHER]\r\nA=1\r\n[DIALOG]\r\nURL=1\r\n[EXTRA]\r\nB=2\r\n[BASIC]\r\nNAME=n\r\n", BatchInput{},
         "[DIALOG]\r\nURL=1\r\n[BASIC]\r\nNAME=n\r\n"},
        // Headers in any letter case or spacing are the section, written as the host's.
        {"[basic]\r\nNAME=old\r\nURL=u\r\n[ Dialog ] \r\nURL=1\r\n", With({{Field::NAME, "new"}}),
         "[DIALOG]\r\nURL=1\r\n[BASIC]\r\nNAME=new\r\nURL=u\r\n"},
        // Keys are set in the first [BASIC], the one the host reads; later ones stay as they are.
        {"[BASIC]\r\nNAME=a\r\n[DIALOG]\r\nURL=1\r\n[BASIC]\r\nPASS=b\r\n",
         With({{Field::PASS, "p"}, {Field::HP, "h"}}),
         "[DIALOG]\r\nURL=1\r\n[BASIC]\r\nNAME=a\r\nHP=h\r\nPASS=p\r\n[BASIC]\r\nPASS=b\r\n"},
        // A key is found by its name without the white space around it, also on a line without '='.
        {"[BASIC]\r\n NAME = old\r\nEMAIL =x\r\n\tHP=h\r\nURL\r\nURL=later\r\n",
         With({{Field::NAME, "new"}, {Field::EMAIL, "sage"}, {Field::HP, ""}, {Field::URL, "u"}}),
         "[BASIC]\r\nNAME=new\r\nEMAIL=sage\r\nHP=\r\nURL=u\r\nURL=later\r\n"},
        // Line ends and the white space of [BASIC] are normalised.
        {"[DIALOG]\n  URL=1  \n[BASIC]\r NAME = n \r\r\n\n", BatchInput{},
         "[DIALOG]\r\n  URL=1  \r\n[BASIC]\r\nNAME = n\r\n"},
        // An enabled empty field empties an existing value.
        {"[BASIC]\r\nNAME=old\r\nPASS=x\r\n", With({{Field::NAME, ""}}), "[BASIC]\r\nNAME=\r\nPASS=x\r\n"},
    };
    for (const Case& c : cases) EXPECT_EQ(Apply(c.before, c.input), c.after) << c.before;
}

TEST_F(ApplyToFolderTest, FileAlreadyInShapeIsLeftAlone) {
    WriteBytes(dir.Fs("tarn_BBS.ini"), "[DIALOG]\r\nURL=1\r\n[BASIC]\r\nNAME=n\r\n");
    const auto old = MakeOld(dir.Fs("tarn_BBS.ini"));
    EXPECT_EQ(tarn::ApplyToFolder(path, With({{Field::NAME, "n"}})), WriteOutcome::Unchanged);
    EXPECT_EQ(std::filesystem::last_write_time(dir.Fs("tarn_BBS.ini")), old);
}

TEST_F(ApplyToFolderTest, DryRunTellsButDoesNotWrite) {
    WriteBytes(dir.Fs("tarn_BBS.ini"), "[BASIC]\r\nNAME=old\r\n");
    EXPECT_EQ(tarn::ApplyToFolder(path, With({{Field::NAME, "new"}}), tarn::WriteMode::DryRun),
              WriteOutcome::WouldWrite);
    EXPECT_EQ(ReadBytes(dir.Fs("tarn_BBS.ini")), "[BASIC]\r\nNAME=old\r\n");
    const std::string missing = dir.Path("sub.ini");
    EXPECT_EQ(tarn::ApplyToFolder(missing, BatchInput{}, tarn::WriteMode::DryRun), WriteOutcome::WouldWrite);
    EXPECT_FALSE(std::filesystem::exists(dir.Fs("sub.ini")));
}

// Natively the file cannot be opened at all (a socket); under Windows it is
// held open by another writer, which the engine waits for a few seconds and
// then reports as busy.
TEST_F(ApplyToFolderTest, UnreadableFileRaisesTheOpenErrorOrBusyWhenHeldByAWriter) {
    UnreadableFile file(dir, "locked.ini");
    if (!file.ready()) GTEST_SKIP() << "cannot make an unreadable file here";
    ExpectFileError([&] { tarn::ApplyToFolder(file.path(), With({{Field::NAME, "n"}})); },
                    platform::kNamesAreUtf8 ? platform::FileError::kOpen : platform::FileError::kBusy,
                    file.path());
}

}  // namespace
