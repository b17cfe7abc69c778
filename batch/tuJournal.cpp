#include "batch/tuJournal.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <ctime>
#include <unordered_map>

#include "platform/fault_injection.h"
#include "platform/file_error.h"
#include "platform/paths.h"
#include "settings/qvComFunctions.h"

namespace tarn {
namespace {

const char kIndexName[] = "journal.txt";
const char kOldBytesName[] = "old.bin";
const char kHeader[] = "TarnUtil journal 1";

std::string Hex(std::uint64_t value) {
    char buffer[24];
    std::snprintf(buffer, sizeof buffer, "%016llx", static_cast<unsigned long long>(value));
    return buffer;
}

bool AllDigits(const std::string& text, std::size_t from, std::size_t to) {
    return from < to && std::all_of(text.begin() + from, text.begin() + to, [](char c) { return c >= '0' && c <= '9'; });
}

// "YYYYMMDD-HHMMSS-N"; anything else in the journals' folder is not ours.
bool IsJournalName(const std::string& name) {
    return name.size() >= 17 && name.size() <= 25 && name[8] == '-' && name[15] == '-' && AllDigits(name, 0, 8) &&
           AllDigits(name, 9, 15) && AllDigits(name, 16, name.size());
}

// A number of a journal line. One that does not read as a whole is a damaged
// journal, which is not taken back at all: FileError(kOpen) naming its index.
std::uint64_t RecordNumber(const std::string& text, int base, const std::string& index) {
    std::uint64_t value = 0;
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value, base);
    if (text.empty() || result.ec != std::errc() || result.ptr != end)
        throw platform::FileError(platform::FileError::kOpen, index);
    return value;
}

// A journal's name: the time it began in UTC (the local time goes back an
// hour when summer time ends), then a number one above every journal of the
// same second, so that names sort in the order journals began (the first free
// number would not: old ones are removed).
std::string NewJournalName(const std::string& journalsFolder) {
    const std::time_t now = std::time(nullptr);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", std::gmtime(&now));
    unsigned long highest = 0;
    platform::ListFolder(journalsFolder, "*", [&](const platform::FolderEntry& entry) {
        if (entry.exactName && IsJournalName(entry.name) && entry.name.compare(0, 15, stamp) == 0)
            highest = std::max(highest, std::stoul(entry.name.substr(16)));
    });
    return std::string(stamp) + "-" + std::to_string(highest + 1);
}

// Journal names sort by time, then by their number.
bool Older(const std::string& a, const std::string& b) {
    const std::string stampA = a.substr(0, 15), stampB = b.substr(0, 15);
    if (stampA != stampB) return stampA < stampB;
    return std::stoul(a.substr(16)) < std::stoul(b.substr(16));
}

void RemoveJournal(const std::string& folder) {
    platform::RemoveFile(platform::JoinPath(folder, kIndexName));
    platform::RemoveFile(platform::JoinPath(folder, kOldBytesName));
    platform::RemoveEmptyFolder(folder);
}

// The word of a journal's end line, in the order of RunOutcome.
const char* const kEndWords[] = {"finished", "stopped", "cancelled"};

// The lines of a journal's index, from its header on. A line without its end
// was cut short by a kill and is left out. Throws FileError(kOpen) when the
// index does not read or is no journal's.
std::vector<std::string> IndexLines(const std::string& index, const std::string& indexPath) {
    std::vector<std::string> lines = SplitAt(index, "\r\n");
    lines.pop_back();  // what follows the last line end: nothing, or a line cut short
    if (lines.size() < 2 || lines[0] != kHeader) throw platform::FileError(platform::FileError::kOpen, indexPath);
    return lines;
}

std::vector<std::string> IndexLines(const std::string& journalFolder) {
    const std::string indexPath = platform::JoinPath(journalFolder, kIndexName);
    return IndexLines(platform::ReadWholeFile(indexPath), indexPath);
}

// True when the index's last whole line is the end line that only a run that
// ended writes, last: told without taking the index apart.
bool EndsWithEndLine(const std::string& index) {
    if (index.size() < 2 || index.compare(index.size() - 2, 2, "\r\n") != 0) return false;
    const std::size_t previous = index.rfind("\r\n", index.size() - 3);
    const std::size_t last = previous == std::string::npos ? 0 : previous + 2;
    return index.compare(last, 4, "end\t") == 0;
}

// Takes the end line, or the line naming a temporary file, into `contents`;
// false for any other line. Only a name the batch gives its temporary files
// is taken, since a later run removes them.
bool TakeEndOrTemporary(const std::string& line, JournalContents& contents) {
    if (line.compare(0, 4, "end\t") == 0) return contents.ended = true;
    if (line.compare(0, 10, "temporary\t") != 0) return false;
    const auto f = SplitAt(line, "\t", 6);
    if (f.size() == 6 && platform::FilePart(f[5]).rfind(platform::kTemporaryMark, 0) == 0)
        contents.temporaries.push_back(f[5]);
    return true;
}

}  // namespace

std::uint64_t ContentHash(const std::string& bytes) {
    std::uint64_t hash = 14695981039346656037ull;
    for (unsigned char c : bytes) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    return hash;
}

Journal::Journal(std::string journalsFolder, std::string kind, std::string subject)
    : journalsFolder_(std::move(journalsFolder)), kind_(std::move(kind)), subject_(platform::AbsolutePath(subject)) {}

void Journal::Open() {
    if (!platform::MakeFolders(journalsFolder_)) throw platform::FileError(platform::FileError::kCreate, journalsFolder_);
    folder_ = platform::JoinPath(journalsFolder_, NewJournalName(journalsFolder_));
    const std::string indexPath = platform::JoinPath(folder_, kIndexName);
    if (!platform::MakeFolders(folder_)) throw platform::FileError(platform::FileError::kCreate, indexPath);
    index_.emplace(indexPath);
    oldBytes_.emplace(platform::JoinPath(folder_, kOldBytesName));
    if (!index_->IsOpen() || !oldBytes_->IsOpen() ||
        !index_->Append(std::string(kHeader) + "\r\n" + kind_ + "\t" + subject_ + "\r\n"))
        throw platform::FileError(platform::FileError::kCreate, indexPath);
    platform::SyncFolder(journalsFolder_);
}

void Journal::Record(const platform::PreparedRewrite& rewrite) {
    // CR LF would end the record early: such a path (possible on Linux only)
    // is not recorded, so the file is not changed either.
    if (rewrite.Path().find("\r\n") != std::string::npos)
        throw platform::FileError(platform::FileError::kCreate, rewrite.Path());
    if (!index_) Open();
    const auto& old = rewrite.Old();
    const auto& next = rewrite.New();
    std::string line = !old ? "created\t-\t-" : next ? "replaced\t" : "removed\t";
    if (old) {
        line += std::to_string(oldBytes_->Size() + pendingOldBytes_.size()) + "\t" + std::to_string(old->size());
        pendingOldBytes_ += *old;
    }
    line += next ? "\t" + std::to_string(next->size()) + "\t" + Hex(ContentHash(*next)) : "\t-\t-";
    // A full path: an undo started from another working folder must find the
    // same file.
    line += "\t" + platform::AbsolutePath(rewrite.Path()) + "\r\n";
    if (platform::faults::Fire(platform::faults::Point::JournalRecord))
        throw platform::FileError(platform::FileError::kCreate, folder_);
    pendingIndex_ += line;
    ++pendingRecords_;
}

void Journal::RecordTemporary(const std::string& path) {
    if (!index_) Open();
    if (!index_->Append("temporary\t-\t-\t-\t-\t" + platform::AbsolutePath(path) + "\r\n"))
        throw platform::FileError(platform::FileError::kCreate, folder_);
}

void Journal::Flush() {
    if (!index_) return;
    // The old bytes first: a record is only ever read with its bytes there.
    const bool written = (pendingOldBytes_.empty() || oldBytes_->Append(pendingOldBytes_)) && oldBytes_->Flush() &&
                         (pendingIndex_.empty() || index_->Append(pendingIndex_)) && index_->Flush() &&
                         (folderSynced_ || platform::SyncFolder(folder_));
    if (!written) throw platform::FileError(platform::FileError::kCreate, platform::JoinPath(folder_, kIndexName));
    folderSynced_ = true;  // the files only grow from here on: their entries stay as they are
    records_ += pendingRecords_;
    pendingIndex_.clear();
    pendingOldBytes_.clear();
    pendingRecords_ = 0;
}

void Journal::Finish(RunOutcome how) {
    if (index_) {
        if (records_ > 0) {
            const char* word = kEndWords[static_cast<int>(how)];
            index_->Append(std::string("end\t") + word + "\t" + std::to_string(records_) + "\r\n");
            index_->Flush();
        }
        index_.reset();
        oldBytes_.reset();
        // A journal whose first record failed holds no change: it would
        // stand for "the last batch" and be taken back instead of that one.
        if (records_ == 0) RemoveJournal(folder_);
    }
    std::vector<std::string> journals = ListJournals(journalsFolder_);
    for (std::size_t i = 0; i + kJournalsKept < journals.size(); ++i) {
        // A killed run's journal is the only record of the temporary files
        // it left: they go with it.
        RemoveKilledRunsTemporaries(journals[i]);
        RemoveJournal(journals[i]);
    }
}

JournalContents ReadJournal(const std::string& journalFolder) {
    const std::string indexPath = platform::JoinPath(journalFolder, kIndexName);
    const std::vector<std::string> lines = IndexLines(journalFolder);
    const auto oldBytes = platform::ReadFileIfExists(platform::JoinPath(journalFolder, kOldBytesName));
    JournalContents contents;
    std::unordered_map<std::string, std::size_t> latest;  // path, its last record
    const auto head = SplitAt(lines[1], "\t", 2);
    contents.kind = head[0];
    contents.subject = head.size() > 1 ? head[1] : "";
    for (std::size_t i = 2; i < lines.size(); ++i) {
        if (TakeEndOrTemporary(lines[i], contents)) continue;
        // The path comes last and may hold anything but CR and LF, tabs too.
        const auto f = SplitAt(lines[i], "\t", 6);
        if (f.size() != 6) continue;
        JournalRecord record;
        if (f[0] == "replaced") record.kind = JournalRecord::Replaced;
        else if (f[0] == "created") record.kind = JournalRecord::Created;
        else if (f[0] == "removed") record.kind = JournalRecord::Removed;
        else continue;
        record.path = f[5];
        if (record.kind != JournalRecord::Created) {
            const std::uint64_t offset = RecordNumber(f[1], 10, indexPath), length = RecordNumber(f[2], 10, indexPath);
            if (!oldBytes || offset > oldBytes->size() || length > oldBytes->size() - offset)
                continue;  // bytes never made durable
            record.old = oldBytes->substr(offset, length);
        }
        if (record.kind != JournalRecord::Removed) {
            record.newSize = RecordNumber(f[3], 10, indexPath);
            record.newHash = RecordNumber(f[4], 16, indexPath);
        }
        latest[record.path] = contents.records.size();
        contents.records.push_back(std::move(record));
    }
    // Only the last record of a path counts.
    std::vector<JournalRecord> kept;
    for (std::size_t i = 0; i < contents.records.size(); ++i)
        if (latest[contents.records[i].path] == i) kept.push_back(std::move(contents.records[i]));
    contents.records = std::move(kept);
    return contents;
}

std::vector<std::string> ListJournals(const std::string& journalsFolder) {
    std::vector<std::string> names;
    platform::ListFolder(journalsFolder, "*", [&](const platform::FolderEntry& entry) {
        if (entry.isFolder && entry.exactName && IsJournalName(entry.name)) names.push_back(entry.name);
    });
    std::sort(names.begin(), names.end(), Older);
    for (auto& name : names) name = platform::JoinPath(journalsFolder, name);
    return names;
}

void RemoveKilledRunsTemporaries(const std::string& journalFolder, const std::string& tree) {
    // The index alone: old.bin may be large, and is not needed here. Every
    // batch reads the kept journals' indexes, so one that ended is told by
    // its last line.
    JournalContents contents;
    try {
        const std::string indexPath = platform::JoinPath(journalFolder, kIndexName);
        const std::string index = platform::ReadWholeFile(indexPath);
        if (EndsWithEndLine(index)) return;
        for (const std::string& line : IndexLines(index, indexPath)) TakeEndOrTemporary(line, contents);
    } catch (const platform::FileError&) {
        return;
    }
    if (contents.ended) return;
    const std::string inside = platform::JoinPath(tree, "");
    for (const std::string& temporary : contents.temporaries)
        if (temporary.compare(0, inside.size(), inside) == 0) platform::RemoveFile(temporary);
}

void RemoveKilledRunsTemporariesIn(const std::string& journalsFolder, const std::string& folder) {
    const std::string tree = platform::AbsolutePath(folder);
    for (const std::string& journal : ListJournals(journalsFolder)) RemoveKilledRunsTemporaries(journal, tree);
}

}  // namespace tarn
