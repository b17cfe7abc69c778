// qv_TarnUtil: the host's plug-in. "i" installs the default [DIALOG] section
// into the current board folder's settings file; no argument starts TarnUtil
// from the folder two levels up; anything else does nothing.
#include <exception>
#include <string>

#include "companion/qvCreateDialog.h"
#include "platform/platform.h"
#include "platform/process_win32.h"

namespace {

void LaunchUtility() {
    const std::string here = platform::CurrentDirectory();
    platform::StartIndependentProgram(tarn::UtilityPathFor(here), here);
}

}  // namespace

int main() {
    const auto argument = tarn::FirstArgument(platform::RawCommandLine());
    if (!argument) {
        LaunchUtility();
        return 0;
    }
    if (*argument != "i") return 0;
    try {
        tarn::InstallDialogSection();
    } catch (const std::exception& e) {
        // The error's message is the whole report.
        platform::WriteStandardOutput(std::string(e.what()) + "\r\n");
        return 1;
    }
    return 0;
}
