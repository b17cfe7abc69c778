// tarnbatch: the batch settings run of TarnUtil from the command line.
#include <string>

#include "batch/BatchCommandLine.h"
#include "batch/BatchReport.h"
#include "batch/tuConfAll.h"
#include "platform/file_error.h"
#include "platform/platform.h"

namespace {

using tarn::InLanguage;
using tarn::Language;

void Print(platform::StandardStream stream, const std::string& systemText) {
    platform::WriteText(stream, systemText);
}

constexpr auto kOut = platform::StandardStream::Output;
constexpr auto kErr = platform::StandardStream::Error;

// Counts what the walk does and lists the files the user asked to see: on a
// dry run each file that would change, with its changed values.
class RunReport : public tarn::BatchObserver {
public:
    RunReport(bool dryRun, bool listFiles, Language language)
        : dryRun_(dryRun), listFiles_(listFiles), language_(language) {}

    void FolderEntered(const std::string&) override { ++folders_; }

    void FolderSkipped(const std::string& shownPath) override {
        ++skipped_;
        Print(kErr, InLanguage(language_, "tarnbatch: skipped (its name has no Shift-JIS form): ",
                               "tarnbatch: 名前を Shift-JIS で表せないため飛ばしました: ") +
                        shownPath + "\n");
    }

    bool WantsContent() const override { return dryRun_; }

    void FileChanged(const std::string& path, const std::optional<std::string>& before,
                     const std::string& after) override {
        Print(kOut, tarn::DescribeChange(path, before, after, language_));
    }

    void FileStored(const std::string& path, tarn::WriteOutcome outcome) override {
        if (outcome == tarn::WriteOutcome::Unchanged) {
            ++unchanged_;
            return;
        }
        ++written_;
        if (listFiles_ && !dryRun_) Print(kOut, path + "\n");
    }

    // The same line after a dry run as after a real one, which scripts
    // read, with a note that nothing was written.
    std::string Summary() const {
        const std::string skipped = std::to_string(skipped_);
        if (language_ == Language::Japanese)
            return "訪れたフォルダ: " + std::to_string(folders_) + "、書き込んだファイル: " + std::to_string(written_) +
                   "、変更不要のファイル: " + std::to_string(unchanged_) +
                   (skipped_ ? "、飛ばしたフォルダ: " + skipped : std::string()) +
                   (dryRun_ ? "（試行: 何も書き込んでいません）" : "") + "\n";
        return "folders visited: " + std::to_string(folders_) + ", files written: " + std::to_string(written_) +
               ", files already up to date: " + std::to_string(unchanged_) +
               (skipped_ ? ", skipped: " + skipped : std::string()) +
               (dryRun_ ? " (dry run: nothing was written)" : "") + "\n";
    }

private:
    bool dryRun_, listFiles_;
    Language language_;
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
    const auto args = platform::CommandLineArguments(argc, argv);
    const Language userLanguage = platform::UserLanguageIsJapanese() ? Language::Japanese : Language::English;
    tarn::BatchCommand command;
    try {
        command = tarn::ParseBatchArguments(args, userLanguage);
    } catch (const tarn::UsageError& e) {
        std::vector<std::string> texts;
        for (const auto& arg : args) texts.push_back(arg.text);
        const Language language = tarn::ChosenLanguage(texts, userLanguage);
        Print(kErr, std::string("tarnbatch: ") + e.what() + "\n" +
                        InLanguage(language, "Try 'tarnbatch --help'.\n",
                                   "使い方は 'tarnbatch --help' で表示されます。\n"));
        return 2;
    } catch (const platform::FileError& e) {
        Print(kErr, std::string("tarnbatch: ") + e.what() + "\n");
        return 2;
    }
    const Language language = command.language;
    if (command.help) {
        Print(kOut, tarn::BatchUsage(language));
        return 0;
    }

    // One batch at a time: two over the same tree would undo each other's
    // writes.
    platform::BatchLock lock;
    if (!command.dryRun && !lock.Acquire(kBatchLockWait)) {
        Print(kErr, InLanguage(language,
                               "tarnbatch: another batch (TarnUtil or tarnbatch) is still running; nothing was written\n",
                               "tarnbatch: 別の一括設定 (TarnUtil か tarnbatch) が実行中のため、何も書き込みませんでした\n"));
        return 3;
    }

    RunReport report(command.dryRun, command.verbose, language);
    tarn::BatchOptions options;
    options.mode = command.dryRun ? tarn::WriteMode::DryRun : tarn::WriteMode::Write;
    options.observer = &report;
    int status = 0;
    try {
        tarn::ApplyToTree(command.startFolder, command.input, options);
    } catch (const platform::FileError& e) {
        Print(kErr, std::string("tarnbatch: ") + e.what() + "\n");
        status = 1;
    }
    Print(kOut, report.Summary());
    return status;
}
