// The companion's command-line parser (FirstArgument) on arbitrary text after
// the program's own quoted path, as Windows hands it over. It is compared with
// the rule the host's command lines follow: arguments are separated by
// characters of code 1 to 32 outside double quotes; double quotes group and
// are dropped; an argument left empty (made of quotes only) is no argument;
// the text ends at a NUL. Also checked: the result, when there is one, is not
// empty and holds no double quote.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "companion/qvCreateDialog.h"
#include "fuzz_support.h"

namespace {

bool Separates(char c) { return c != '\0' && static_cast<unsigned char>(c) <= 32; }

std::vector<std::string> Arguments(const std::string& commandLine) {
    std::vector<std::string> args;
    std::string current;
    bool quoted = false;
    auto close = [&] {
        if (!current.empty()) args.push_back(current);
        current.clear();
    };
    for (char c : commandLine) {
        if (c == '\0') break;
        if (c == '"') {
            quoted = !quoted;
        } else if (Separates(c) && !quoted) {
            close();
        } else {
            current += c;
        }
    }
    close();
    return args;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string commandLine =
        "\"C:\\host\\plugins\\qv_TarnUtil.exe\" " + std::string(reinterpret_cast<const char*>(data), size);
    const std::optional<std::string> got = tarn::FirstArgument(commandLine);
    const std::vector<std::string> args = Arguments(commandLine);
    const std::string detail = "command line " + fuzz::Shown(commandLine) + "\n got " +
                               (got ? fuzz::Shown(*got) : std::string("no argument")) + "\n arguments " +
                               fuzz::Shown(args);
    FUZZ_CHECK(!args.empty() && args[0] == "C:\\host\\plugins\\qv_TarnUtil.exe", detail);
    if (got) {
        FUZZ_CHECK(!got->empty(), detail);
        FUZZ_CHECK(got->find('"') == std::string::npos, detail);
    }
    FUZZ_CHECK(got.has_value() == (args.size() > 1), detail);
    if (got) FUZZ_CHECK(*got == args[1], detail);
    return 0;
}
