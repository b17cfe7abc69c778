// The program's arguments from the wide command line. A file of its own, so
// that only the programs that read arguments this way link it and import
// SHELL32 (CommandLineToArgvW): a program that does not, like the host's
// plug-in, starts without loading SHELL32 and what it pulls in.
#include <windows.h>
#include <shellapi.h>

#include <cwchar>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/win32_handle.h"
#include "platform/win32_text.h"

namespace platform {

std::vector<CommandArgument> CommandLineArguments(int, char**) {
    std::vector<CommandArgument> args;
    int count = 0;
    const LocalBlock<LPWSTR*> wide(CommandLineToArgvW(GetCommandLineW(), &count));
    if (!wide.valid()) return args;
    for (int i = 1; i < count; ++i) {
        // Without "best fit": a character with no Shift-JIS form is named,
        // not turned into a look-alike ("é" into "e", "¥" into "\\").
        const wchar_t* arg = wide.get()[i];
        CommandArgument argument;
        argument.text = ShownSystemText(arg, wcslen(arg), argument.missingCharacter);
        argument.shown = argument.text;
        args.push_back(argument);
    }
    return args;
}

}  // namespace platform
