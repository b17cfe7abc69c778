// The main window's rules that do not depend on the windowing system: which
// controls the tick boxes enable, the plug-in list's entries, the status
// labels' texts, what a reference file puts into the fields, and the batch's
// input as the controls give it.
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "batch/tuConfAll.h"
#include "settings/qvComFunctions.h"

namespace tarn {

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

// The plug-in list's entries for the files found in the plug-ins folder, in
// the order found. The companion qv_TarnUtil.exe stands there too (the host
// runs it on a board), but it handles no board: it is left out, its name
// compared without regard to letter case.
std::vector<std::string> PluginEntries(const std::vector<std::string>& fileNames);

// The name of the folder holding `filePath`: "board7" for
// "C:\host\data\board7\tarn_BBS.ini".
std::string ContainingFolderName(const std::string& filePath);

// The ten edit fields a reference file fills, in catalogue order (URL to
// PASS): the control showing each field's caption, and the control holding
// its value.
struct ReferenceField {
    const char* key;       // [BASIC] key
    const char* labelKey;  // [DIALOG] label key
    int captionControl;
    int valueControl;
};
const std::array<ReferenceField, 10>& ReferenceFields();

// A settings file as the reference command loads it.
struct ReferenceContent {
    SectionList dialog;
    SectionList basic;  // completed by the default lines when the file has no [BASIC]
    // The fields' captions and values in the order of ReferenceFields();
    // nothing where the file leaves them as they were.
    std::optional<std::array<std::string, 10>> captions;
    std::optional<std::array<std::string, 10>> values;
};
ReferenceContent ReadReference(const std::string& path);

// The [BASIC] lines a snapshot gets when the file loaded had none.
const std::vector<std::string>& DefaultBasicLines();

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
