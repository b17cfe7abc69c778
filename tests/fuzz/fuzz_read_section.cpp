// ReadSection on arbitrary bytes. The first input byte chooses the section
// name, the rest is the file. Checked: the section is exactly what the line
// rules give (every occurrence, in any letter case and spacing, behind the
// header "[name]", lines kept byte for
// byte, nothing before the first header), no line holds a line break or a
// NUL, and the list starts with the wanted header.
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "settings/qvComFunctions.h"

namespace {

// Names worth asking for: the two real sections, one in lower case, another
// one, and a Shift-JIS name whose second byte is ']' (ゾ, 0x83 0x5D).
const char* const kNames[] = {"BASIC", "DIALOG", "basic", "OTHER", "\x83\x5D"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::string name = kNames[data[0] % (sizeof kNames / sizeof kNames[0])];
    const std::string content(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::string path = fuzz::ScratchFolder() + "/tarn_BBS.ini";
    fuzz::WriteFileBytes(path, content);

    const tarn::SectionList got = tarn::ReadSection(path, name);
    const std::vector<std::string> want = fuzz::Section(fuzz::Lines(content), name);
    const std::string detail = "section " + name + " of " + fuzz::Shown(content) + "\n got  " + fuzz::Shown(got) +
                               "\n want " + fuzz::Shown(want);
    for (const auto& line : got)
        FUZZ_CHECK(line.find_first_of(std::string("\r\n\0", 3)) == std::string::npos, detail);
    if (!got.empty()) FUZZ_CHECK(got.front() == "[" + name + "]", detail);
    for (const auto& line : got)
        if (fuzz::IsHeader(line)) FUZZ_CHECK(line == "[" + name + "]", detail);
    FUZZ_CHECK(got == want, detail);
    return 0;
}
