#include "utility/tuFormRules.h"

#include "platform/ascii.h"
#include "platform/paths.h"
#include "settings/BoardSettings.h"
#include "utility/tuControlIds.h"
#include "utility/tuLayout.h"

namespace tarn {

ControlStates ComputeControlStates(const std::function<bool(int)>& ticked, const std::string& startFolderName) {
    ControlStates states;
    for (const TickRule& rule : TickRules()) {
        const bool on = ticked(rule.tickBox);
        for (int id : rule.enables) states.enabled.emplace_back(id, on);
        for (int id : rule.paints) states.painted.emplace_back(id, on);
        if (on && rule.allowsBatch) states.batchEnabled = true;
    }
    // Without a chosen start folder there is nothing to run the batch on.
    if (startFolderName.empty()) states.batchEnabled = false;
    return states;
}

std::string PluginEntryName(const std::string& fileName) {
    std::string name = fileName;
    const std::size_t dot = name.rfind('.');
    if (dot != std::string::npos) name.resize(dot);
    return name.size() > 3 ? name.substr(3) : std::string();
}

std::vector<std::string> PluginEntries(const std::vector<std::string>& fileNames) {
    static const std::string companion = "qv_TarnUtil.exe";
    std::vector<std::string> entries;
    for (const std::string& name : fileNames)
        if (!platform::SameAsciiTextIgnoringCase(name, companion)) entries.push_back(PluginEntryName(name));
    return entries;
}

std::string ContainingFolderName(const std::string& filePath) {
    std::string folder = platform::WindowsFolderPart(filePath);
    if (!folder.empty() && folder.back() == '\\') folder.pop_back();
    return platform::WindowsFilePart(folder);
}

const std::array<ReferenceField, 10>& ReferenceFields() {
    using namespace ids;
    static const std::array<ReferenceField, 10> fields = {{
        {"URL", "_URL", EditLabelOf(LabeledEdit2_1), LabeledEdit2_1},
        {"UPURL", "_UPURL", EditLabelOf(LabeledEdit2_2), LabeledEdit2_2},
        {"NAME", "_NAME", EditLabelOf(LabeledEdit2_3), LabeledEdit2_3},
        {"EMAIL", "_EMAIL", EditLabelOf(LabeledEdit2_4), LabeledEdit2_4},
        {"HP", "_HP", EditLabelOf(LabeledEdit2_5), LabeledEdit2_5},
        {"KEY", "_KEY", EditLabelOf(LabeledEdit2_6), LabeledEdit2_6},
        {"PARAM1", "_PARAM1", EditLabelOf(LabeledEdit2_7), LabeledEdit2_7},
        {"PARAM2", "_PARAM2", EditLabelOf(LabeledEdit2_8), LabeledEdit2_8},
        {"USER", "_USER", EditLabelOf(LabeledEdit2_9), LabeledEdit2_9},
        {"PASS", "_PASS", Label_MaskEdit2_9, MaskEdit2_9},
    }};
    return fields;
}

const std::vector<std::string>& DefaultBasicLines() {
    // USER and PASS come before PARAM1 and PARAM2; LIB and BBSFOLDER are absent.
    static const std::vector<std::string> lines = {"[BASIC]", "URL=",  "UPURL=", "NAME=",   "EMAIL=", "HP=",
                                                   "KEY=",    "USER=", "PASS=",  "PARAM1=", "PARAM2="};
    return lines;
}

ReferenceContent ReadReference(const std::string& path) {
    ReferenceContent content;
    content.dialog = ReadSection(path, kDialogSection);
    content.basic = ReadSection(path, kBasicSection);
    const auto& fields = ReferenceFields();
    if (!content.dialog.empty()) {
        content.captions.emplace();
        for (std::size_t i = 0; i < fields.size(); ++i)
            (*content.captions)[i] = GetValue(content.dialog, fields[i].labelKey);
    }
    if (content.basic.empty()) {
        content.basic = DefaultBasicLines();
    } else {
        content.values.emplace();
        for (std::size_t i = 0; i < fields.size(); ++i) (*content.values)[i] = GetValue(content.basic, fields[i].key);
    }
    return content;
}

BatchInput BatchInputFromControls(const ControlReader& controls) {
    BatchInput input;
    for (const FieldInfo& info : kFieldCatalogue) {
        const int control = ids::FindByName(info.valueControl);
        FieldValue& value = input[info.field];
        value.enabled = controls.IsEnabled(control);
        if (info.field != Field::BBSFOLDER) value.text = controls.Text(control);
    }
    input.bbsFolderChecked = controls.IsChecked(ids::CheckBox1_2_1);
    input.signatureChecked = controls.IsChecked(ids::CheckBox3_1);
    input.signatureText = controls.Text(ids::Ref_Sign);
    return input;
}

}  // namespace tarn
