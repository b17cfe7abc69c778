// The main window's rules apart from the windowing system: the binding of
// every field to its controls, and what follows from it (the tick rules, what
// a reference file fills in, the batch's input), the plug-in list's entries
// and the status labels' texts. A new field is a catalogue row, a binding row
// and its controls in the layout table.
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "batch/tuConfAll.h"
#include "settings/BoardSettings.h"
#include "settings/qvComFunctions.h"
#include "utility/tuControlIds.h"

namespace tarn {

// One field's controls: the tick box that switches it, the control holding its
// value and the one showing its caption (the patrol flag's is its own text).
// The signature memo is bound the same way, though it is a file of its own.
struct FieldBinding {
    int tickBox;
    int valueControl;
    int captionControl;
};

// A catalogue field and its controls.
struct FieldRow {
    Field field;
    FieldBinding binding;
};

// One row a catalogue field, in catalogue order (a row left out does not
// compile).
inline constexpr std::array<FieldRow, kFieldCount> kFieldRows = {{
    {Field::LIB, {ids::CheckBox1_1, ids::ComboBox1_1, ids::Label1_1}},
    {Field::BBSFOLDER, {ids::CheckBox1_2, ids::CheckBox1_2_1, ids::CheckBox1_2_1}},
    {Field::URL, {ids::CheckBox2_1, ids::LabeledEdit2_1, ids::EditLabelOf(ids::LabeledEdit2_1)}},
    {Field::UPURL, {ids::CheckBox2_2, ids::LabeledEdit2_2, ids::EditLabelOf(ids::LabeledEdit2_2)}},
    {Field::NAME, {ids::CheckBox2_3, ids::LabeledEdit2_3, ids::EditLabelOf(ids::LabeledEdit2_3)}},
    {Field::EMAIL, {ids::CheckBox2_4, ids::LabeledEdit2_4, ids::EditLabelOf(ids::LabeledEdit2_4)}},
    {Field::HP, {ids::CheckBox2_5, ids::LabeledEdit2_5, ids::EditLabelOf(ids::LabeledEdit2_5)}},
    {Field::KEY, {ids::CheckBox2_6, ids::LabeledEdit2_6, ids::EditLabelOf(ids::LabeledEdit2_6)}},
    {Field::PARAM1, {ids::CheckBox2_7, ids::LabeledEdit2_7, ids::EditLabelOf(ids::LabeledEdit2_7)}},
    {Field::PARAM2, {ids::CheckBox2_8, ids::LabeledEdit2_8, ids::EditLabelOf(ids::LabeledEdit2_8)}},
    {Field::USER, {ids::CheckBox2_9, ids::LabeledEdit2_9, ids::EditLabelOf(ids::LabeledEdit2_9)}},
    {Field::PASS, {ids::CheckBox2_9, ids::MaskEdit2_9, ids::Label_MaskEdit2_9}},  // one tick box with USER
}};

static_assert(InCatalogueOrder(kFieldRows), "a catalogue field without its row of controls, or out of order");

inline constexpr FieldBinding kSignatureBinding{ids::CheckBox3_1, ids::Ref_Sign, ids::Label3_1};

inline constexpr const FieldBinding& BindingOf(Field f) { return kFieldRows[static_cast<std::size_t>(f)].binding; }

// The caption control of a value control; the control itself when unbound.
int CaptionOf(int valueControl);

// What one tick box switches, derived from the bindings: the controls it
// enables, the value controls it paints in the enabled colour, and whether a
// tick makes the batch possible.
struct TickRule {
    int tickBox;
    std::vector<int> enables;
    std::vector<int> paints;
    bool allowsBatch;
};
const std::vector<TickRule>& TickRules();

// What the tick boxes call for.
struct ControlStates {
    std::vector<std::pair<int, bool>> enabled;  // control, enabled
    std::vector<std::pair<int, bool>> painted;  // value control, in the enabled colour
    bool batchEnabled = false;
};

// `ticked` tells whether a tick box is ticked; `startFolderName` is the text
// the start-folder label shows (empty until a folder with a name is chosen).
ControlStates ComputeControlStates(const std::function<bool(int tickBox)>& ticked,
                                   const std::string& startFolderName);

// The plug-in list's entry for a plug-in file: the name without its extension
// (from the last ".") and without its first three characters ("qv_").
std::string PluginEntryName(const std::string& fileName);

// The plug-in list's entries for the files of the plug-ins folder, in the
// order found, without the companion qv_TarnUtil.exe (any letter case): the
// host runs it on a board, but it handles no board.
std::vector<std::string> PluginEntries(const std::vector<std::string>& fileNames);

// The name of the folder holding `filePath`: "board7" for
// "C:\host\data\board7\tarn_BBS.ini".
std::string ContainingFolderName(const std::string& filePath);

// The fields a reference file fills: the catalogue rows with a [DIALOG] label
// key (URL to PASS), with their bindings.
struct ReferenceField {
    const FieldInfo* info;
    const FieldBinding* binding;
};
const std::array<ReferenceField, kLabelledFieldCount>& ReferenceFields();

// A settings file as the reference command loads it.
struct ReferenceContent {
    SectionList dialog;
    SectionList basic;  // completed by the default lines when the file has no [BASIC]
    // In the order of ReferenceFields(); nothing where the file leaves them.
    std::optional<std::array<std::string, kLabelledFieldCount>> captions;
    std::optional<std::array<std::string, kLabelledFieldCount>> values;
};
ReferenceContent ReadReference(const std::string& path);

// What the batch needs to know of a control.
class ControlReader {
public:
    virtual ~ControlReader() = default;
    virtual bool IsEnabled(int control) const = 0;
    virtual bool IsChecked(int control) const = 0;
    virtual std::string Text(int control) const = 0;
};

// The batch's input: every catalogue field as its value control shows it, the
// patrol flag and the signature memo.
BatchInput BatchInputFromControls(const ControlReader& controls);

}  // namespace tarn
