#include "support/StrTokLib.h"

#include "platform/paths.h"
#include "platform/platform.h"

namespace tarn {
namespace {

void SkipDelimiters(const TCharSet& delimiters, TStrTokRec& rec) {
    const std::size_t length = rec.text.size();
    while (rec.position <= length &&
           delimiters.Contains(static_cast<unsigned char>(rec.text[rec.position - 1])))
        ++rec.position;
}

}  // namespace

std::string StrTokFirst(const std::string& text, const TCharSet& delimiters, TStrTokRec& rec) {
    rec.text = text;
    rec.position = 1;
    return StrTokNext(delimiters, rec);
}

std::string StrTokNext(const TCharSet& delimiters, TStrTokRec& rec) {
    const std::size_t length = rec.text.size();
    SkipDelimiters(delimiters, rec);
    const std::size_t start = rec.position;
    while (rec.position <= length && !delimiters.Contains(static_cast<unsigned char>(rec.text[rec.position - 1])))
        rec.position = platform::NextCharacter(rec.text, rec.position - 1) + 1;
    const std::string token = start <= length ? rec.text.substr(start - 1, rec.position - start) : "";
    SkipDelimiters(delimiters, rec);
    return token;
}

void FindFilesByMasks(const std::string& path, const std::string& masks, TStrArray& names) {
    std::string folder = path;
    if (!platform::DirectoryExists(folder)) {
        folder = platform::FolderPart(path);
        if (!platform::DirectoryExists(folder)) return;
    }
    const TCharSet semicolon(";");
    TStrTokRec rec;
    for (std::string mask = StrTokFirst(masks, semicolon, rec); !mask.empty();
         mask = StrTokNext(semicolon, rec)) {
        platform::ListFolder(folder, mask, [&](const platform::FolderEntry& entry) {
            // A name without an exact Shift-JIS form could not be used as it is.
            if (entry.exactName && entry.name != "." && entry.name != "..") names.push_back(entry.name);
        });
    }
}

}  // namespace tarn
