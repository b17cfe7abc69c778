#include "batch/BatchCommandLine.h"

#include "platform/platform.h"

namespace tarn {

const char kBatchUsage[] =
    "Usage: tarnbatch [OPTION]... START_FOLDER\n"
    "\n"
    "Writes the chosen fields into the tarn_BBS.ini of START_FOLDER and of every\n"
    "folder beneath it (hidden ones too), creating the file where it is missing:\n"
    "the batch button of TarnUtil, without its window. Keys that are not chosen\n"
    "keep their lines; [DIALOG] is copied unchanged; other sections are dropped.\n"
    "\n"
    "Fields (KEY is one of LIB BBSFOLDER URL UPURL NAME EMAIL HP KEY PARAM1\n"
    "PARAM2 USER PASS, in any letter case):\n"
    "  --set KEY=VALUE      write KEY with VALUE; an empty VALUE empties the key\n"
    "                       (the key stays, with nothing after its '=')\n"
    "  --reference FILE     a tarn_BBS.ini whose [BASIC] values --take uses\n"
    "  --take KEY[,KEY...]  write these keys with their values in the reference\n"
    "                       file (a key missing there is written empty)\n"
    "  BBSFOLDER is \"1\" (a regular patrol target) or empty: --set BBSFOLDER=1,\n"
    "  --set BBSFOLDER= ; taken from a reference, any value but \"1\" is empty.\n"
    "\n"
    "Signature:\n"
    "  --sign FILE          also write FILE's text as sign.ini into every folder\n"
    "\n"
    "Run:\n"
    "  --dry-run            list every file that would be written; write nothing\n"
    "  --verbose            list every file written\n"
    "  --help               show this text\n"
    "\n"
    "Files whose content would not change are left alone. Every file is replaced\n"
    "crash-safely: it holds either its old or its new content, never a part.\n"
    "On Linux, values typed here are UTF-8 and are written as Shift-JIS.\n"
    "\n"
    "Ends with a summary: folders visited, files written, files already up to date.\n"
    "Exit status: 0 done; 1 a file error stopped the run (files written before it\n"
    "stay written); 2 the command line was wrong.\n";

namespace {

const FieldInfo& FieldNamed(const std::string& key) {
    const FieldInfo* info = FindFieldByKey(key);
    if (!info) throw UsageError("unknown key '" + key + "'");
    return *info;
}

// Enables one field with a value, BBSFOLDER's value meaning checked or not.
void Enable(BatchInput& input, Field field, const std::string& value, bool strictFlag) {
    if (field == Field::BBSFOLDER) {
        if (strictFlag && !value.empty() && value != "1")
            throw UsageError("BBSFOLDER takes \"1\" or an empty value");
        input.bbsFolderChecked = value == "1";
    }
    input[field] = FieldValue{true, value};
}

bool IsAscii(const std::string& text) {
    for (unsigned char c : text)
        if (c >= 0x80) return false;
    return true;
}

// A signature file is Shift-JIS, as the host writes it; on Linux a file that
// is valid UTF-8 with other than ASCII in it was written there, and is
// converted. A character it holds with no Shift-JIS form is refused.
std::string SignatureInCodePage(const std::string& text) {
    if (!platform::kNamesAreUtf8 || IsAscii(text)) return text;
    std::string converted, missing;
    if (platform::Utf8ToSystemText(text, converted, missing)) return converted;
    if (!missing.empty()) throw UsageError("--sign: the signature holds " + missing + ", which has no Shift-JIS form");
    return text;
}

std::vector<std::string> SplitCommas(const std::string& list) {
    std::vector<std::string> items;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = list.find(',', start);
        items.push_back(list.substr(start, comma - start));
        if (comma == std::string::npos) return items;
        start = comma + 1;
    }
}

}  // namespace

BatchCommand ParseBatchCommand(const std::vector<std::string>& args) {
    BatchCommand command;
    std::string referencePath;
    std::vector<std::string> taken;
    std::vector<std::string> positional;

    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&]() -> const std::string& {
            if (i + 1 >= args.size()) throw UsageError(arg + " needs a value");
            return args[++i];
        };
        if (arg == "--help" || arg == "-h") {
            command.help = true;
            return command;
        } else if (arg == "--dry-run") {
            command.dryRun = true;
        } else if (arg == "--verbose") {
            command.verbose = true;
        } else if (arg == "--set") {
            const std::string& assignment = value();
            const std::size_t eq = assignment.find('=');
            if (eq == std::string::npos) throw UsageError("--set needs KEY=VALUE, got '" + assignment + "'");
            Enable(command.input, FieldNamed(assignment.substr(0, eq)).field, assignment.substr(eq + 1), true);
        } else if (arg == "--reference") {
            referencePath = value();
        } else if (arg == "--take") {
            for (const auto& key : SplitCommas(value())) taken.push_back(key);
        } else if (arg == "--sign") {
            const std::string& path = value();
            if (!platform::FileExists(path)) throw UsageError("signature file '" + path + "' does not exist");
            command.input.signatureChecked = true;
            command.input.signatureText = SignatureInCodePage(ReadSignature(path));
        } else if (arg.size() > 1 && arg[0] == '-' && arg != "--") {
            throw UsageError("unknown option '" + arg + "'");
        } else {
            if (arg == "--") {
                positional.insert(positional.end(), args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());
                break;
            }
            positional.push_back(arg);
        }
    }

    if (!taken.empty()) {
        if (referencePath.empty()) throw UsageError("--take needs --reference FILE");
        if (!platform::FileExists(referencePath))
            throw UsageError("reference file '" + referencePath + "' does not exist");
        const SectionList basic = ReadSection(referencePath, kBasicSection);
        for (const auto& key : taken) {
            const FieldInfo& info = FieldNamed(key);
            Enable(command.input, info.field, GetValue(basic, info.key), false);
        }
    }

    if (positional.size() != 1) throw UsageError("give exactly one START_FOLDER");
    command.startFolder = positional[0];
    if (!platform::DirectoryExists(command.startFolder))
        throw UsageError("start folder '" + command.startFolder + "' is not a folder");
    return command;
}

BatchCommand ParseBatchArguments(const std::vector<platform::CommandArgument>& args) {
    std::vector<std::string> texts;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const auto& arg = args[i];
        // A path that still reaches its file natively may hold such a
        // character; a value never: it could not be written as it is.
        const bool isValue = i > 0 && (args[i - 1].text == "--set");
        if (!arg.missingCharacter.empty() && (isValue || !arg.pathUsable)) {
            const std::string option = i > 0 && args[i - 1].text.rfind("--", 0) == 0 ? args[i - 1].text + " " : "";
            throw UsageError(option + arg.shown + ": " + arg.missingCharacter + " has no Shift-JIS form");
        }
        texts.push_back(arg.text);
    }
    return ParseBatchCommand(texts);
}

}  // namespace tarn
