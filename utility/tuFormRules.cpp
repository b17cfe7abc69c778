#include "utility/tuFormRules.h"

#include "platform/ascii.h"
#include "platform/paths.h"
#include "utility/tuLayout.h"

namespace tarn {

using namespace ids;

int CaptionOf(int valueControl) {
    if (valueControl == kSignatureBinding.valueControl) return kSignatureBinding.captionControl;
    for (const FieldRow& row : kFieldRows)
        if (row.binding.valueControl == valueControl) return row.binding.captionControl;
    return valueControl;
}

namespace {

// Adds what one binding's tick switches to its tick box's rule.
void AddToRule(std::vector<TickRule>& rules, const FieldBinding& binding) {
    if (rules.empty() || rules.back().tickBox != binding.tickBox) rules.push_back({binding.tickBox, {}, {}, false});
    TickRule& rule = rules.back();
    const ControlKind kind = FindLayout(binding.valueControl)->kind;
    rule.enables.push_back(binding.valueControl);
    // A labelled edit field's caption follows its field by itself; a check
    // box is its own caption.
    if (kind != ControlKind::LabeledEdit && binding.captionControl != binding.valueControl)
        rule.enables.push_back(binding.captionControl);
    // A value carried by a check box (the patrol flag) has no colour to
    // change, and ticking it alone gives the batch nothing to write.
    if (kind != ControlKind::CheckBox) {
        rule.paints.push_back(binding.valueControl);
        rule.allowsBatch = true;
    }
}

}  // namespace

const std::vector<TickRule>& TickRules() {
    static const std::vector<TickRule> rules = [] {
        std::vector<TickRule> derived;
        for (const FieldRow& row : kFieldRows) AddToRule(derived, row.binding);
        AddToRule(derived, kSignatureBinding);
        return derived;
    }();
    return rules;
}

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
    const std::string name = fileName.substr(0, fileName.rfind('.'));
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

const std::array<ReferenceField, kLabelledFieldCount>& ReferenceFields() {
    static const std::array<ReferenceField, kLabelledFieldCount> fields = [] {
        std::array<ReferenceField, kLabelledFieldCount> labelled{};
        std::size_t n = 0;
        for (std::size_t i = 0; i < kFieldCount; ++i)
            if (kFieldCatalogue[i].labelKey) labelled[n++] = {&kFieldCatalogue[i], &kFieldRows[i].binding};
        return labelled;
    }();
    return fields;
}

ReferenceContent ReadReference(const std::string& path) {
    ReferenceContent content;
    content.dialog = ReadSection(path, kDialogSection);
    content.basic = ReadSection(path, kBasicSection);
    const auto& fields = ReferenceFields();
    if (!content.dialog.empty()) {
        content.captions.emplace();
        for (std::size_t i = 0; i < fields.size(); ++i)
            (*content.captions)[i] = GetValue(content.dialog, fields[i].info->labelKey);
    }
    if (content.basic.empty()) {
        content.basic = DefaultBasicLines();
    } else {
        content.values.emplace();
        for (std::size_t i = 0; i < fields.size(); ++i) (*content.values)[i] = GetValue(content.basic, fields[i].info->key);
    }
    return content;
}

BatchInput BatchInputFromControls(const ControlReader& controls) {
    BatchInput input;
    for (const FieldInfo& info : kFieldCatalogue) {
        const int control = BindingOf(info.field).valueControl;
        FieldValue& value = input[info.field];
        value.enabled = controls.IsEnabled(control);
        if (info.field != Field::BBSFOLDER) value.text = controls.Text(control);
    }
    input.bbsFolderChecked = controls.IsChecked(BindingOf(Field::BBSFOLDER).valueControl);
    input.signatureChecked = controls.IsChecked(kSignatureBinding.tickBox);
    input.signatureText = controls.Text(kSignatureBinding.valueControl);
    return input;
}

}  // namespace tarn
