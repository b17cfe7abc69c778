// tarnbatch: the batch settings run of TarnUtil from the command line.
#include <cstdio>
#include <string>

#include "batch/BatchCommandLine.h"
#include "batch/tuConfAll.h"
#include "platform/file_error.h"
#include "platform/platform.h"

namespace {

void Print(std::FILE* stream, const std::string& systemText) {
    const std::string shown = platform::SystemToTerminalText(systemText);
    std::fwrite(shown.data(), 1, shown.size(), stream);
}

// Counts what the walk does and lists the files the user asked to see.
class RunReport : public tarn::BatchObserver {
public:
    explicit RunReport(bool listFiles) : listFiles_(listFiles) {}

    void FolderEntered(const std::string&) override { ++folders_; }

    void FolderSkipped(const std::string& shownPath) override {
        ++skipped_;
        Print(stderr, "tarnbatch: skipped (its name has no Shift-JIS form): " + shownPath + "\n");
    }

    void FileStored(const std::string& path, tarn::WriteOutcome outcome) override {
        if (outcome == tarn::WriteOutcome::Unchanged) {
            ++unchanged_;
            return;
        }
        ++written_;
        if (listFiles_) Print(stdout, path + "\n");
    }

    std::string Summary(bool dryRun) const {
        return "folders visited: " + std::to_string(folders_) + ", files " +
               (dryRun ? "to write: " : "written: ") + std::to_string(written_) +
               ", files already up to date: " + std::to_string(unchanged_) +
               (skipped_ ? ", skipped: " + std::to_string(skipped_) : std::string()) +
               (dryRun ? " (dry run: nothing was written)" : "") + "\n";
    }

private:
    bool listFiles_;
    long folders_ = 0, written_ = 0, unchanged_ = 0, skipped_ = 0;
};

// Every path and text is handled in code page 932; under another ANSI code
// page Japanese names and values would turn into '?', so nothing is done.
bool RefuseOtherCodePage() {
    if (platform::AnsiCodePage() == 932) return false;
    platform::WriteErrorUnicode(
        u8"tarnbatch: Windows のシステム ロケール (ANSI コードページ) が日本語 (932) ではないため、何も書き込みません。\n"
        u8"日本語に設定してください。Wine では LC_ALL=ja_JP.UTF-8 を付けて起動してください。\n"
        "tarnbatch: the ANSI code page is " + std::to_string(platform::AnsiCodePage()) +
        ", not Japanese (932); nothing was written.\n"
        "Set the system locale to Japanese; under Wine run it as: LC_ALL=ja_JP.UTF-8 wine tarnbatch.exe ...\n");
    return true;
}

// How long a second batch waits for a running one before it gives up.
constexpr unsigned kBatchLockWait = 5000;

}  // namespace

int main(int argc, char** argv) {
    if (RefuseOtherCodePage()) return 3;
    tarn::BatchCommand command;
    try {
        command = tarn::ParseBatchArguments(platform::CommandLineArguments(argc, argv));
    } catch (const tarn::UsageError& e) {
        Print(stderr, std::string("tarnbatch: ") + e.what() + "\nTry 'tarnbatch --help'.\n");
        return 2;
    } catch (const platform::FileError& e) {
        Print(stderr, std::string("tarnbatch: ") + e.what() + "\n");
        return 2;
    }
    if (command.help) {
        std::fputs(tarn::kBatchUsage, stdout);
        return 0;
    }

    // One batch at a time: two over the same tree would undo each other's
    // writes.
    platform::BatchLock lock;
    if (!command.dryRun && !lock.Acquire(kBatchLockWait)) {
        Print(stderr, "tarnbatch: another batch (TarnUtil or tarnbatch) is still running; nothing was written\n");
        return 3;
    }

    RunReport report(command.dryRun || command.verbose);
    tarn::BatchOptions options;
    options.mode = command.dryRun ? tarn::WriteMode::DryRun : tarn::WriteMode::Write;
    options.observer = &report;
    int status = 0;
    try {
        tarn::ApplyToTree(command.startFolder, command.input, options);
    } catch (const platform::FileError& e) {
        Print(stderr, std::string("tarnbatch: ") + e.what() + "\n");
        status = 1;
    }
    Print(stdout, report.Summary(command.dryRun));
    return status;
}
