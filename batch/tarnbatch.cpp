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
               (dryRun ? " (dry run: nothing was written)" : "") + "\n";
    }

private:
    bool listFiles_;
    long folders_ = 0, written_ = 0, unchanged_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
    tarn::BatchCommand command;
    try {
        command = tarn::ParseBatchCommand(platform::CommandLineArguments(argc, argv));
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
