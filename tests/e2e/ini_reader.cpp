// Reads settings files as the host does: through Windows' profile API
// (GetPrivateProfileStringA), which finds sections and keys by its own rules.
//
//   ini_reader SECTION KEY,KEY,... FILE...
//
// For each file it prints "file" TAB the path, then one line per key: the
// keys named on the command line, then every key name the section lists (in
// its order, repeats included), each as "key" TAB NAME, then TAB VALUE, or
// nothing more when Windows hands out the caller's default (no such key, or
// a line without '='). Bytes are written as they are (Shift-JIS), lines end
// in LF.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

const char kDefault[] = "\x01(default)";

void PrintKey(const char* file, const char* section, const std::string& key) {
    std::vector<char> value(1 << 16);
    GetPrivateProfileStringA(section, key.c_str(), kDefault, value.data(), static_cast<DWORD>(value.size()), file);
    std::printf("key\t%s", key.c_str());
    if (std::string(value.data()) != kDefault) std::printf("\t%s", value.data());
    std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: ini_reader SECTION KEY,KEY,... FILE...\n");
        return 2;
    }
    const char* section = argv[1];
    std::vector<std::string> keys;
    for (std::string list = argv[2]; !list.empty();) {
        const std::size_t comma = list.find(',');
        keys.push_back(list.substr(0, comma));
        list = comma == std::string::npos ? "" : list.substr(comma + 1);
    }
    for (int i = 3; i < argc; ++i) {
        std::printf("file\t%s\n", argv[i]);
        std::vector<std::string> all = keys;
        std::vector<char> names(1 << 16);
        const DWORD got = GetPrivateProfileStringA(section, nullptr, "", names.data(),
                                                   static_cast<DWORD>(names.size()), argv[i]);
        for (const char* p = names.data(); p < names.data() + got && *p; p += std::string(p).size() + 1)
            all.push_back(p);
        for (const auto& key : all) PrintKey(argv[i], section, key);
    }
    return 0;
}
