// The refusal to run under another ANSI code page, shared by the window and
// the driver. UTF-8, since under that code page Shift-JIS text would show as
// garbage.
#include <string>

#include "platform/platform.h"

namespace platform {

std::string CodePageRefusal(const std::string& program) {
    return program + u8": Windows のシステム ロケール (ANSI コードページ) が日本語 (932) ではないため、"
                     u8"何も書き込みません。\n"
                     u8"日本語に設定してください。Wine では LC_ALL=ja_JP.UTF-8 を付けて起動してください。\n" +
           program + ": the ANSI code page is " + std::to_string(AnsiCodePage()) +
           ", not Japanese (932); nothing was written.\n"
           "Set the system locale to Japanese; under Wine start it as: LC_ALL=ja_JP.UTF-8 wine " + program +
           ".exe\n";
}

}  // namespace platform
