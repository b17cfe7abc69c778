// One folder's read-set-write cycle (ApplyToFolder) on arbitrary old files
// and field values.
//
// Input: a flags byte (bit 0: the file exists, bit 1: the BBSFOLDER box is
// checked, bit 2: dry run), two bytes whose low twelve bits enable the fields
// in catalogue order, then one value per enabled field, each ended by LF (a
// value comes from a one-line edit field: CR and NUL bytes are dropped from
// it), and the rest is the old file.
//
// Checked against the old file's bytes:
// - the new file is not empty, every line ends in CR LF (no lone CR or LF, no
//   NUL), and the byte before the last CR LF is not white space;
// - it starts with the old [DIALOG] lines exactly, then the line "[BASIC]";
// - every [BASIC] line is trimmed; a line of the old [BASIC] keeps its place
//   and its text (trimmed) unless it is the line of the first occurrence of
//   [BASIC] naming an enabled key, which becomes KEY=value (trimmed, so an
//   empty value leaves "KEY="); an enabled key no line of the first
//   occurrence names is added at its end, in catalogue order; only blank
//   lines at the very end go;
// - read as Windows reads an .ini file (the host reads its settings so),
//   every enabled key gives the value written, and every other key of
//   [BASIC] what it gave before. Windows takes fewer control characters for
//   white space than the batch trims, so this is checked for old files and
//   values without such characters;
// - the outcome says whether the bytes changed, a dry run leaves the file as
//   it was, and no temporary file is left in the folder.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "batch/tuConfAll.h"
#include "fuzz_support.h"

namespace {

using tarn::Field;
using tarn::WriteOutcome;

struct Case {
    bool exists = false;
    bool dryRun = false;
    tarn::BatchInput input;
    std::string old;
};

Case Decode(const std::uint8_t* data, std::size_t size) {
    Case c;
    const char* p = reinterpret_cast<const char*>(data);
    const char* end = p + size;
    const unsigned flags = static_cast<unsigned char>(*p++);
    const unsigned mask = static_cast<unsigned char>(p[0]) | (static_cast<unsigned char>(p[1]) << 8);
    p += 2;
    c.exists = flags & 1;
    c.input.bbsFolderChecked = flags & 2;
    c.dryRun = flags & 4;
    for (std::size_t i = 0; i < tarn::kFieldCount; ++i) {
        if (!(mask & (1u << i))) continue;
        tarn::FieldValue& field = c.input.fields[i];
        field.enabled = true;
        while (p < end && *p != '\n') {
            if (*p != '\r' && *p != '\0') field.text += *p;
            ++p;
        }
        if (p < end) ++p;
    }
    c.old.assign(p, end);
    return c;
}

// True when the old file or a value holds a control character (or NUL)
// that the batch trims as white space and Windows does not.
bool HasControlsOnlyTheBatchTrims(const Case& c) {
    auto odd = [](const std::string& text) {
        for (const char ch : text) {
            const auto b = static_cast<unsigned char>(ch);
            if (b < 32 && b != '\r' && b != '\n' && !fuzz::IsHostWhite(b)) return true;
        }
        return false;
    };
    if (c.exists && odd(c.old)) return true;
    for (const auto& field : c.input.fields)
        if (field.enabled && odd(field.text)) return true;
    return false;
}

// The value the batch writes for an enabled field.
std::string ValueOf(const tarn::BatchInput& input, const tarn::FieldInfo& info) {
    if (info.field == Field::BBSFOLDER) return input.bbsFolderChecked ? "1" : "";
    return input[info.field].text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return 0;
    const Case c = Decode(data, size);
    fuzz::EmptyScratchFolder();
    const std::string path = fuzz::ScratchFolder() + "/tarn_BBS.ini";
    if (c.exists) fuzz::WriteFileBytes(path, c.old);

    std::string detail = std::string(c.exists ? "old file " + fuzz::Shown(c.old) : "no old file") +
                         (c.dryRun ? ", dry run" : "") + "\n fields:";
    for (const auto& info : tarn::kFieldCatalogue)
        if (c.input[info.field].enabled) detail += " " + std::string(info.key) + "=" + fuzz::Shown(ValueOf(c.input, info));

    const WriteOutcome outcome =
        tarn::ApplyToFolder(path, c.input, c.dryRun ? tarn::WriteMode::DryRun : tarn::WriteMode::Write);

    // What the file must hold, from the rules.
    const std::vector<std::string> oldLines = c.exists ? fuzz::Lines(c.old) : std::vector<std::string>();
    const std::vector<std::string> dialog = fuzz::Section(oldLines, "DIALOG");
    std::vector<std::string> basic = fuzz::Section(oldLines, "BASIC");
    if (basic.empty()) basic.push_back("[BASIC]");
    std::vector<std::string> expectedBasic = basic;
    // Keys are found and added in the first occurrence of [BASIC] only.
    std::size_t firstEnd = 1;
    while (firstEnd < basic.size() && !fuzz::IsHeader(basic[firstEnd])) ++firstEnd;
    std::size_t added = 0;
    for (const auto& info : tarn::kFieldCatalogue) {
        if (!c.input[info.field].enabled) continue;
        const std::string line = std::string(info.key) + "=" + ValueOf(c.input, info);
        std::optional<std::size_t> first;
        for (std::size_t i = 0; i < firstEnd && !first; ++i) {
            std::string name;
            if (fuzz::KeyOf(basic[i], name) && fuzz::SameAsciiName(name, info.key)) first = i;
        }
        if (first)
            expectedBasic[*first] = line;
        else
            expectedBasic.insert(expectedBasic.begin() + static_cast<std::ptrdiff_t>(firstEnd + added++), line);
    }
    for (auto& line : expectedBasic) line = fuzz::Trimmed(line);
    while (expectedBasic.size() > 1 && expectedBasic.back().empty()) expectedBasic.pop_back();

    std::string written;
    const bool present = fuzz::ReadFileBytes(path, written);
    const std::vector<std::string> names = fuzz::ScratchEntries();
    const bool changes = !c.exists || c.old != [&] {
        std::string text;
        for (const auto& line : dialog) text += line + "\r\n";
        for (const auto& line : expectedBasic) text += line + "\r\n";
        return text;
    }();

    if (c.dryRun) {
        detail += "\n dry-run outcome " + std::to_string(static_cast<int>(outcome));
        FUZZ_CHECK(present == c.exists && (!present || written == c.old), detail + "\n a dry run changed the file");
        FUZZ_CHECK(outcome == (changes ? WriteOutcome::WouldWrite : WriteOutcome::Unchanged), detail);
        FUZZ_CHECK(names.size() == (c.exists ? 1u : 0u), detail + "\n entries " + fuzz::Shown(names));
        return 0;
    }

    detail += "\n new file " + fuzz::Shown(written);
    FUZZ_CHECK(present, detail + "\n no file written");
    FUZZ_CHECK(names == std::vector<std::string>{"tarn_BBS.ini"}, detail + "\n entries " + fuzz::Shown(names));
    FUZZ_CHECK(outcome == (changes ? WriteOutcome::Written : WriteOutcome::Unchanged), detail);

    // The form of the bytes.
    FUZZ_CHECK(written.size() >= 3 && written.compare(written.size() - 2, 2, "\r\n") == 0, detail);
    for (std::size_t i = 0; i < written.size(); ++i) {
        FUZZ_CHECK(written[i] != '\0', detail + "\n NUL written");
        if (written[i] == '\r') FUZZ_CHECK(i + 1 < written.size() && written[i + 1] == '\n', detail + "\n lone CR");
        if (written[i] == '\n') FUZZ_CHECK(i > 0 && written[i - 1] == '\r', detail + "\n lone LF");
    }
    FUZZ_CHECK(!fuzz::IsWhite(static_cast<unsigned char>(written[written.size() - 3])),
               detail + "\n white space before the last line end");

    // [DIALOG] first and unchanged, then [BASIC].
    const std::vector<std::string> lines = fuzz::Lines(written);
    FUZZ_CHECK(lines.size() > dialog.size(), detail);
    FUZZ_CHECK(std::vector<std::string>(lines.begin(), lines.begin() + dialog.size()) == dialog,
               detail + "\n [DIALOG] changed: " + fuzz::Shown(dialog));
    const std::vector<std::string> gotBasic(lines.begin() + dialog.size(), lines.end());
    FUZZ_CHECK(gotBasic.front() == "[BASIC]", detail);
    for (const auto& line : gotBasic) FUZZ_CHECK(fuzz::Trimmed(line) == line, detail + "\n untrimmed " + fuzz::Shown(line));

    // Every enabled key stands with its value in its place; every other line
    // is the old one.
    FUZZ_CHECK(gotBasic == expectedBasic,
               detail + "\n [BASIC] " + fuzz::Shown(gotBasic) + "\n expected " + fuzz::Shown(expectedBasic));

    if (HasControlsOnlyTheBatchTrims(c)) return 0;
    const fuzz::HostKeys before = fuzz::HostReadSection(c.exists ? c.old : "", "BASIC");
    const fuzz::HostKeys after = fuzz::HostReadSection(written, "BASIC");
    for (const auto& info : tarn::kFieldCatalogue) {
        if (!c.input[info.field].enabled) continue;
        bool found = false, alsoFound = false;
        const auto got = fuzz::HostRead(after, info.key, found);
        // What the host reads from the key's line alone.
        const fuzz::HostKeys alone =
            fuzz::HostReadSection("[BASIC]\r\n" + fuzz::Trimmed(std::string(info.key) + "=" + ValueOf(c.input, info)), "BASIC");
        FUZZ_CHECK(found && got == fuzz::HostRead(alone, info.key, alsoFound),
                   detail + "\n the host does not read the value set for " + info.key);
    }
    for (const auto& key : before) {
        const tarn::FieldInfo* info = tarn::FindFieldByKey(key.name);
        if (info && c.input[info->field].enabled) continue;
        bool wasFound = false, isFound = false;
        const auto was = fuzz::HostRead(before, key.name, wasFound);
        const auto is = fuzz::HostRead(after, key.name, isFound);
        FUZZ_CHECK(isFound && was == is, detail + "\n the host reads another value for " + fuzz::Shown(key.name));
    }
    return 0;
}
