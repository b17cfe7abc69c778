// The utility window's rules that need no window: placement in the work area,
// the error report's texts, the tick-box rules, the plug-in list's entries,
// the status labels and what a reference file puts into the fields.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "platform/ascii.h"
#include "settings/qvComFunctions.h"
#include "temp_folder.h"
#include "utility/tuControlIds.h"
#include "utility/tuErrorReport.h"
#include "utility/tuFormRules.h"
#include "utility/tuLayout.h"

namespace {

using namespace tarn;
namespace id = tarn::ids;
using namespace tarn_test;

// ---- placement ------------------------------------------------------------------------

WindowOrigin Place(int left, int top, WorkArea area) { return PlaceInWorkArea({left, top}, area); }

TEST(Placement, WorkedExamples) {
    // A task bar on the left: the window moves right to the work area's edge.
    WindowOrigin o = Place(222, 56, {250, 0, 1280, 800});
    EXPECT_EQ(o.left, 250);
    EXPECT_EQ(o.top, 56);
    // A work area only 300 wide: 222 > 300 - 100, so the window goes to its left.
    o = Place(222, 56, {0, 0, 300, 800});
    EXPECT_EQ(o.left, 0);
    // The top less than 100 above the bottom: to the work area's top.
    o = Place(222, 56, {0, 20, 1280, 150});
    EXPECT_EQ(o.top, 20);
    EXPECT_EQ(o.left, 222);
    // A roomy work area keeps the designed position.
    o = Place(222, 56, {0, 0, 1280, 800});
    EXPECT_EQ(o.left, 222);
    EXPECT_EQ(o.top, 56);
}

TEST(Placement, AllFourComparisonsAreStrict) {
    // Exactly 100 from the right or bottom edge stays.
    EXPECT_EQ(Place(222, 56, {0, 0, 322, 800}).left, 222);
    EXPECT_EQ(Place(222, 56, {0, 0, 321, 800}).left, 0);
    EXPECT_EQ(Place(222, 56, {0, 0, 1280, 156}).top, 56);
    EXPECT_EQ(Place(222, 56, {0, 10, 1280, 155}).top, 10);
    // Exactly on the left or top edge stays.
    EXPECT_EQ(Place(222, 56, {222, 0, 1280, 800}).left, 222);
    EXPECT_EQ(Place(222, 56, {223, 0, 1280, 800}).left, 223);
    EXPECT_EQ(Place(222, 56, {0, 56, 1280, 800}).top, 56);
    EXPECT_EQ(Place(222, 56, {0, 57, 1280, 800}).top, 57);
}

TEST(Placement, NeverMovesTowardsTheRightOrBottomEdge) {
    // Too far right on a work area that starts further right still: the left edge wins.
    EXPECT_EQ(Place(900, 56, {950, 0, 960, 800}).left, 950);
    // Negative coordinates (a monitor left of the primary one) work the same way.
    EXPECT_EQ(Place(-500, -40, {-1280, -50, 0, 1024}).left, -500);
    EXPECT_EQ(Place(-500, -40, {-1280, -50, 0, 1024}).top, -40);
    EXPECT_EQ(Place(-50, -40, {-1280, -50, 0, 1024}).left, -1280);
}

// ---- error report -------------------------------------------------------------------------

TEST(ErrorReport, CaptionIsTheProgramNameCutAtTheFirstDotWithLowerCaseAfterTheFirstLetter) {
    EXPECT_EQ(ErrorReportCaption("C:\\host\\TarnUtil.exe"), "Tarnutil");
    EXPECT_EQ(ErrorReportCaption("TarnUtil.exe"), "Tarnutil");
    EXPECT_EQ(ErrorReportCaption("C:\\x\\my.Tool.EXE"), "my");
    EXPECT_EQ(ErrorReportCaption("C:\\x\\ABC"), "Abc");
    EXPECT_EQ(ErrorReportCaption("C:\\x\\.hidden.exe"), "");
    // Double-byte characters keep their bytes: "アZ" in Shift-JIS is 0x83 0x41
    // 'Z'; the trail byte 0x41 looks like 'A' but is no letter, and "Z" after
    // the first character is lowered.
    EXPECT_EQ(ErrorReportCaption("C:\\x\\\x83\x41Z.exe"), "\x83\x41z");
    // "表" is 0x95 0x5C: its trail byte is no separator.
    EXPECT_EQ(ErrorReportCaption("C:\\x\\\x95\x5CTOOL.exe"), "\x95\x5Ctool");
}

TEST(ErrorReport, TextGetsAPeriodWhenItsLastCharacterSortsAfterOne) {
    EXPECT_EQ(ErrorReportText("cannot open"), "cannot open.");
    EXPECT_EQ(ErrorReportText("done."), "done.");
    EXPECT_EQ(ErrorReportText("what (x)"), "what (x)");  // ')' sorts before '.'
    EXPECT_EQ(ErrorReportText("a-"), "a-");
    EXPECT_EQ(ErrorReportText("a/"), "a/.");
    EXPECT_EQ(ErrorReportText(""), "");
    // The file errors end in a double-byte character: "...できません" + ".".
    const std::string message = "\x83\x74\x83\x40\x83\x43\x83\x8B x \x82\xB9\x82\xF1";
    EXPECT_EQ(ErrorReportText(message), message + ".");
    // A double-byte character whose trail byte is "." (0x2E is no trail byte in
    // Shift-JIS, so such text ends in the plain character ".").
    EXPECT_EQ(ErrorReportText("\x82\xA0."), "\x82\xA0.");
}

// ---- tick boxes ---------------------------------------------------------------------------

const std::vector<int> kAllTickBoxes = {id::CheckBox1_1, id::CheckBox1_2, id::CheckBox2_1, id::CheckBox2_2,
                                         id::CheckBox2_3, id::CheckBox2_4, id::CheckBox2_5, id::CheckBox2_6,
                                         id::CheckBox2_7, id::CheckBox2_8, id::CheckBox2_9, id::CheckBox3_1};

ControlStates StatesWith(const std::set<int>& ticked, const std::string& startFolder = "board1") {
    return ComputeControlStates([&](int box) { return ticked.count(box) > 0; }, startFolder);
}

std::map<int, bool> AsMap(const std::vector<std::pair<int, bool>>& list) {
    std::map<int, bool> m;
    for (const auto& [control, on] : list) {
        EXPECT_EQ(m.count(control), 0u) << "control " << control << " set twice";
        m[control] = on;
    }
    return m;
}

TEST(TickBoxes, NothingTickedDisablesAndGreysEveryValueControl) {
    const ControlStates s = StatesWith({});
    const auto enabled = AsMap(s.enabled), painted = AsMap(s.painted);
    for (int control : {id::ComboBox1_1, id::Label1_1, id::CheckBox1_2_1, id::LabeledEdit2_1, id::LabeledEdit2_8,
                        id::LabeledEdit2_9, id::MaskEdit2_9, id::Label_MaskEdit2_9, id::Ref_Sign, id::Label3_1}) {
        ASSERT_EQ(enabled.count(control), 1u) << control;
        EXPECT_FALSE(enabled.at(control)) << control;
    }
    // Exactly the value controls that carry text are painted.
    std::set<int> paintedIds;
    for (const auto& [control, on] : painted) {
        paintedIds.insert(control);
        EXPECT_FALSE(on);
    }
    const std::set<int> expected = {id::ComboBox1_1,    id::LabeledEdit2_1, id::LabeledEdit2_2, id::LabeledEdit2_3,
                                    id::LabeledEdit2_4, id::LabeledEdit2_5, id::LabeledEdit2_6, id::LabeledEdit2_7,
                                    id::LabeledEdit2_8, id::LabeledEdit2_9, id::MaskEdit2_9,    id::Ref_Sign};
    EXPECT_EQ(paintedIds, expected);
    EXPECT_FALSE(s.batchEnabled);
}

TEST(TickBoxes, EachBoxSwitchesItsOwnControlsOnly) {
    const std::map<int, std::set<int>> switches = {
        {id::CheckBox1_1, {id::ComboBox1_1, id::Label1_1}},
        {id::CheckBox1_2, {id::CheckBox1_2_1}},
        {id::CheckBox2_3, {id::LabeledEdit2_3}},
        {id::CheckBox2_9, {id::LabeledEdit2_9, id::MaskEdit2_9, id::Label_MaskEdit2_9}},
        {id::CheckBox3_1, {id::Ref_Sign, id::Label3_1}},
    };
    for (const auto& [box, controls] : switches) {
        const auto enabled = AsMap(StatesWith({box}).enabled);
        for (const auto& [control, on] : enabled) EXPECT_EQ(on, controls.count(control) > 0) << box << " " << control;
    }
    for (int row = 0; row < 8; ++row) {
        const auto enabled = AsMap(StatesWith({id::CheckBox2_1 + row}).enabled);
        EXPECT_TRUE(enabled.at(id::LabeledEdit2_1 + row));
        EXPECT_FALSE(enabled.at(id::LabeledEdit2_1 + (row + 1) % 8));
    }
}

TEST(TickBoxes, BatchNeedsAStartFolderAndABoxOtherThanThePatrolFlag) {
    EXPECT_FALSE(StatesWith({id::CheckBox1_2}).batchEnabled);
    EXPECT_TRUE(StatesWith({id::CheckBox1_2, id::CheckBox2_3}).batchEnabled);
    for (int box : kAllTickBoxes) {
        EXPECT_EQ(StatesWith({box}).batchEnabled, box != id::CheckBox1_2) << box;
        EXPECT_FALSE(StatesWith({box}, "").batchEnabled) << box;
    }
    std::set<int> all(kAllTickBoxes.begin(), kAllTickBoxes.end());
    EXPECT_TRUE(StatesWith(all).batchEnabled);
    EXPECT_FALSE(StatesWith(all, "").batchEnabled);
}

// ---- plug-in list, labels, file names -------------------------------------------------------

TEST(PluginEntries, ExtensionAndPrefixCut) {
    EXPECT_EQ(PluginEntryName("qv_news.exe"), "news");
    EXPECT_EQ(PluginEntryName("qv_bbs.pl"), "bbs");
    EXPECT_EQ(PluginEntryName("QV_Board.EXE"), "Board");
    EXPECT_EQ(PluginEntryName("qv_a.b.exe"), "a.b");
    EXPECT_EQ(PluginEntryName("qv_.exe"), "");
    EXPECT_EQ(PluginEntryName("qv_\x95\x5C.js"), "\x95\x5C");  // 表
    EXPECT_EQ(PluginEntryName("qv"), "");
}

TEST(PluginEntries, TheCompanionIsLeftOutInAnyLetterCase) {
    EXPECT_EQ(PluginEntries({"qv_news.exe", "qv_TarnUtil.exe", "qv_bbs.pl"}),
              (std::vector<std::string>{"news", "bbs"}));
    EXPECT_EQ(PluginEntries({"QV_TARNUTIL.EXE", "qv_tarnutil.exe", "qv_a.exe"}), (std::vector<std::string>{"a"}));
    // Only the companion's own file: other kinds and longer names stay.
    EXPECT_EQ(PluginEntries({"qv_TarnUtil.pl", "qv_TarnUtil2.exe", "qv_TarnUtil.exe.js"}),
              (std::vector<std::string>{"TarnUtil", "TarnUtil2", "TarnUtil.exe"}));
    EXPECT_EQ(PluginEntries({}), std::vector<std::string>{});
}

TEST(StatusLabels, FolderOfTheReferenceFile) {
    EXPECT_EQ(ContainingFolderName("C:\\host\\data\\board7\\tarn_BBS.ini"), "board7");
    EXPECT_EQ(ContainingFolderName("C:\\tarn_BBS.ini"), "");
    EXPECT_EQ(ContainingFolderName("C:\\host\\\x95\x5C\\tarn_BBS.ini"), "\x95\x5C");
    EXPECT_EQ(ContainingFolderName("tarn_BBS.ini"), "");
}

TEST(ReferenceNames, AsciiLettersWithoutCaseEveryOtherByteExactly) {
    using platform::SameAsciiTextIgnoringCase;
    EXPECT_TRUE(SameAsciiTextIgnoringCase("SIGN.INI", "sign.ini"));
    EXPECT_TRUE(SameAsciiTextIgnoringCase("Tarn_bbs.INI", "tarn_BBS.ini"));
    EXPECT_FALSE(SameAsciiTextIgnoringCase("sign.ini ", "sign.ini"));
    EXPECT_FALSE(SameAsciiTextIgnoringCase("sign_ini", "sign.ini"));
    // Full-width letters are not folded, nor is "@" (0x40) turned into "`" (0x60).
    EXPECT_FALSE(SameAsciiTextIgnoringCase("\x82\x93ign.ini", "sign.ini"));
    EXPECT_FALSE(SameAsciiTextIgnoringCase("@", "`"));
}

// ---- reference files ---------------------------------------------------------------------

std::vector<std::string> Captions(const ReferenceContent& c) { return {c.captions->begin(), c.captions->end()}; }
std::vector<std::string> Values(const ReferenceContent& c) { return {c.values->begin(), c.values->end()}; }

TEST(ReferenceFiles, CaptionsFromDialogValuesFromBasic) {
    TempFolder folder;
    WriteBytes(folder.Fs("tarn_BBS.ini"),
               "[DIALOG]\r\nURL=1\r\n_URL=u:\r\n_UPURL=up:\r\n_NAME=\x96\xBC:\r\n_EMAIL=e\r\n_KEY=k\r\n"
               "_PARAM1=p1\r\n_PARAM2=p2\r\n_USER=us\r\n_PASS=pw\r\n"
               "[BASIC]\r\nurl=http://x/\r\nNAME=\x8E\x52\x93\x63\r\nPASS=secret\r\nLIB=bbs\r\nPARAM2=7\r\n");
    const ReferenceContent c = ReadReference(folder.Path("tarn_BBS.ini"));
    ASSERT_TRUE(c.captions && c.values);
    // "_HP" is missing: its caption is emptied.
    EXPECT_EQ(Captions(c), (std::vector<std::string>{"u:", "up:", "\x96\xBC:", "e", "", "k", "p1", "p2", "us", "pw"}));
    EXPECT_EQ(Values(c), (std::vector<std::string>{"http://x/", "", "\x8E\x52\x93\x63", "", "", "", "", "7", "", "secret"}));
    EXPECT_EQ(c.dialog.front(), "[DIALOG]");
    EXPECT_EQ(c.basic.front(), "[BASIC]");
    EXPECT_EQ(c.basic.size(), 6u);
}

TEST(ReferenceFiles, WithoutDialogTheCaptionsStay) {
    TempFolder folder;
    WriteBytes(folder.Fs("tarn_BBS.ini"), "[BASIC]\r\nNAME=n\r\n");
    const ReferenceContent c = ReadReference(folder.Path("tarn_BBS.ini"));
    EXPECT_FALSE(c.captions.has_value());
    ASSERT_TRUE(c.values.has_value());
    EXPECT_EQ((*c.values)[2], "n");
    EXPECT_TRUE(c.dialog.empty());
}

TEST(ReferenceFiles, WithoutBasicTheValuesStayAndTheDefaultLinesAreAdded) {
    TempFolder folder;
    WriteBytes(folder.Fs("tarn_BBS.ini"), "[DIALOG]\r\n_URL=u\r\n");
    ReferenceContent c = ReadReference(folder.Path("tarn_BBS.ini"));
    EXPECT_FALSE(c.values.has_value());
    ASSERT_TRUE(c.captions.has_value());
    const std::vector<std::string> defaults = {"[BASIC]", "URL=",  "UPURL=", "NAME=",   "EMAIL=", "HP=",
                                               "KEY=",    "USER=", "PASS=",  "PARAM1=", "PARAM2="};
    EXPECT_EQ(c.basic, defaults);

    // A missing file reads as two empty sections: the same defaults, no captions.
    c = ReadReference(folder.Path("missing.ini"));
    EXPECT_FALSE(c.captions.has_value());
    EXPECT_FALSE(c.values.has_value());
    EXPECT_TRUE(c.dialog.empty());
    EXPECT_EQ(c.basic, defaults);
}

// The host reads these sections and keys, so the window shows them as it does.
TEST(ReferenceFiles, SectionsAndKeysReadAsTheHostReadsThem) {
    TempFolder folder;
    WriteBytes(folder.Fs("tarn_BBS.ini"),
               "[ dialog ]\r\n _URL = u \r\n[basic]\r\n\tURL = \"x\" \r\nNAME\r\nNAME=later\r\n[BASIC]\r\nHP=h\r\n");
    const ReferenceContent c = ReadReference(folder.Path("tarn_BBS.ini"));
    ASSERT_TRUE(c.captions.has_value() && c.values.has_value());
    EXPECT_EQ((*c.captions)[0], "u");
    EXPECT_EQ(Values(c), (std::vector<std::string>{"x", "", "", "", "", "", "", "", "", ""}));
    EXPECT_EQ(c.basic.front(), "[BASIC]");
}

// ---- batch input -------------------------------------------------------------------------

class FakeControls : public ControlReader {
public:
    std::set<int> enabled, checked;
    std::map<int, std::string> texts;
    bool IsEnabled(int c) const override { return enabled.count(c) > 0; }
    bool IsChecked(int c) const override { return checked.count(c) > 0; }
    std::string Text(int c) const override { return texts.count(c) ? texts.at(c) : std::string(); }
};

TEST(BatchInputFromWindow, FieldsFollowTheirValueControls) {
    FakeControls w;
    w.enabled = {id::ComboBox1_1, id::MaskEdit2_9, id::CheckBox1_2_1, id::Ref_Sign};
    w.checked = {id::CheckBox1_2_1};
    w.texts = {{id::ComboBox1_1, "bbs"},
               {id::MaskEdit2_9, "pw"},
               {id::LabeledEdit2_9, "user"},
               {id::LabeledEdit2_3, "name"},
               {id::Ref_Sign, "sig\r\n"}};
    const BatchInput in = BatchInputFromControls(w);
    EXPECT_TRUE(in[Field::LIB].enabled);
    EXPECT_EQ(in[Field::LIB].text, "bbs");
    EXPECT_TRUE(in[Field::PASS].enabled);
    EXPECT_EQ(in[Field::PASS].text, "pw");
    EXPECT_FALSE(in[Field::USER].enabled);
    EXPECT_EQ(in[Field::USER].text, "user");
    EXPECT_FALSE(in[Field::NAME].enabled);
    EXPECT_TRUE(in[Field::BBSFOLDER].enabled);
    EXPECT_TRUE(in.bbsFolderChecked);
    // The signature goes by its tick box, not by the memo's enabled state.
    EXPECT_FALSE(in.signatureChecked);
    EXPECT_EQ(in.signatureText, "sig\r\n");
    w.checked.insert(id::CheckBox3_1);
    EXPECT_TRUE(BatchInputFromControls(w).signatureChecked);
}

// ---- layout table --------------------------------------------------------------------------

TEST(LayoutTable, EveryControlOnceParentsFirstNamesKnown) {
    std::set<int> seen = {0};
    for (const ControlLayout& c : MainWindowLayout()) {
        EXPECT_TRUE(seen.count(c.parent)) << "control " << c.id << " comes before its parent " << c.parent;
        EXPECT_TRUE(seen.insert(c.id).second) << "control " << c.id << " twice";
    }
    // Every identifier of the main window's list is in the table.
#define TARN_EXPECT_IN_TABLE(name, value) EXPECT_NE(FindLayout(value), nullptr) << #name;
    TARN_MAIN_WINDOW_CONTROLS(TARN_EXPECT_IN_TABLE)
#undef TARN_EXPECT_IN_TABLE
    EXPECT_EQ(id::FindByName("Button_ConfAll"), id::Button_ConfAll);
    EXPECT_EQ(id::FindByName("LabeledEdit2_9.EditLabel"), id::EditLabelOf(id::LabeledEdit2_9));
    EXPECT_EQ(id::FindByName("LabeledEdit2_0.EditLabel"), 0);
    EXPECT_EQ(id::FindByName("Nothing"), 0);
    EXPECT_EQ(id::FindByName("Button_ConfAll.EditLabel"), 0);
    EXPECT_EQ(id::FindByName(".EditLabel"), 0);
    // Every labelled edit field's caption is found by its name, whatever its row.
#define TARN_EXPECT_CAPTION_FOUND(name, value)                                                       \
    if (FindLayout(value)->kind == ControlKind::LabeledEdit)                                          \
        EXPECT_EQ(id::FindByName(#name ".EditLabel"), id::EditLabelOf(value)) << #name;               \
    else                                                                                              \
        EXPECT_EQ(id::FindByName(#name ".EditLabel"), 0) << #name;
    TARN_MAIN_WINDOW_CONTROLS(TARN_EXPECT_CAPTION_FOUND)
#undef TARN_EXPECT_CAPTION_FOUND
}

TEST(LayoutTable, TheStartFolderDialogInTabOrderWithTheBevelLast) {
    std::vector<int> order;
    for (const ControlLayout& c : tarn::DirSelectLayout()) {
        EXPECT_EQ(c.parent, 0);
        order.push_back(c.id);
    }
    EXPECT_EQ(order, (std::vector<int>{id::OKBtn, id::CancelBtn, id::DirectoryListBox1, id::Bevel1}));
    EXPECT_EQ(tarn::DirSelectLayout().front().kind, ControlKind::DefaultButton);
    EXPECT_EQ(tarn::DirSelectLayout().back().kind, ControlKind::Bevel);
}

TEST(LayoutTable, EveryTickBoxHasARuleAndNoRuleSwitchesATickBox) {
    std::set<int> ruled;
    for (const TickRule& rule : TickRules()) {
        EXPECT_EQ(FindLayout(rule.tickBox)->kind, ControlKind::TickBox);
        ruled.insert(rule.tickBox);
        for (int c : rule.enables) EXPECT_NE(FindLayout(c)->kind, ControlKind::TickBox) << c;
    }
    EXPECT_EQ(ruled, std::set<int>(kAllTickBoxes.begin(), kAllTickBoxes.end()));
}

TEST(FieldBindings, EveryFieldHasATickBoxAValueAndACaptionInTheLayout) {
    for (const tarn::FieldRow& row : tarn::kFieldRows) {
        const tarn::FieldBinding& b = row.binding;
        ASSERT_NE(FindLayout(b.tickBox), nullptr);
        EXPECT_EQ(FindLayout(b.tickBox)->kind, ControlKind::TickBox);
        ASSERT_NE(FindLayout(b.valueControl), nullptr);
        EXPECT_EQ(tarn::CaptionOf(b.valueControl), b.captionControl);
    }
    EXPECT_EQ(tarn::CaptionOf(id::Ref_Sign), id::Label3_1);
    EXPECT_EQ(tarn::CaptionOf(id::LabeledEdit2_3), id::EditLabelOf(id::LabeledEdit2_3));
    EXPECT_EQ(tarn::CaptionOf(id::Button_Ref), id::Button_Ref);
    // The reference fields are the ten with a [DIALOG] label, URL to PASS.
    const auto& fields = tarn::ReferenceFields();
    ASSERT_EQ(fields.size(), 10u);
    EXPECT_STREQ(fields.front().info->key, "URL");
    EXPECT_EQ(fields.front().binding->captionControl, id::EditLabelOf(id::LabeledEdit2_1));
    EXPECT_STREQ(fields.back().info->key, "PASS");
    EXPECT_EQ(fields.back().binding->captionControl, id::Label_MaskEdit2_9);
    EXPECT_EQ(fields.back().binding->valueControl, id::MaskEdit2_9);
}

TEST(LayoutTable, LabelKeepsItsDesignedLeftWhereItFitsElseMovesLeftJustEnough) {
    // The version label at 120 DPI on a page 808 wide, 8 to spare.
    EXPECT_EQ(FittedLabelLeft(696, 100, 808, 8), 696);  // ends at 796
    EXPECT_EQ(FittedLabelLeft(696, 104, 808, 8), 696);  // ends at 800, exactly fitting
    EXPECT_EQ(FittedLabelLeft(696, 105, 808, 8), 695);
    EXPECT_EQ(FittedLabelLeft(696, 115, 808, 8), 685);
    // Never further left than the page's edge, even when too wide for it.
    EXPECT_EQ(FittedLabelLeft(696, 800, 808, 8), 0);
    EXPECT_EQ(FittedLabelLeft(696, 900, 808, 8), 0);
    EXPECT_EQ(FittedLabelLeft(0, 50, 808, 8), 0);
}

}  // namespace
