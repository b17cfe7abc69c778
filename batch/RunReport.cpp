#include "batch/RunReport.h"

#include <initializer_list>

namespace tarn {
namespace {

// The texts of a run's report. "%1", "%2", ... stand for the numbers and
// paths filled in. A text that the window words otherwise has a row of its
// own after the console's.
enum TextId {
    kCounts, kSummary, kSummarySkipped, kSummaryNotChosen, kDryRunNote, kUndoRestored, kUndoAlreadyBack, kUndoLeftAlone, kUndoHeadline,
    kUndoCancelledHeadline, kListSeparator, kWrittenBeforeStop, kWrittenBeforeStopWindow, kCancelled,
    kSkippedFolders, kSkippedLinks, kMorePaths, kSkippedFolder, kSkippedLink, kLeftAloneFile, kBusy, kBusyWindow, kNothingToUndo,
    kNothingToUndoWindow, kTextCount
};

struct TextRow {
    const char* english;
    const char* japanese;
};

constexpr TextRow kTexts[kTextCount] = {
    {"folders: %1, written: %2, unchanged: %3, skipped: %4", "フォルダ: %1、書き込み: %2、変更不要: %3、飛ばした: %4"},
    {"folders visited: %1, files written: %2, files already up to date: %3",
     "訪れたフォルダ: %1、書き込んだファイル: %2、変更不要のファイル: %3"},
    {", skipped: %1", "、飛ばしたフォルダ: %1"},
    {", not chosen: %1", "、条件に合わない板: %1"},
    {" (dry run: nothing was written)", "（試行: 何も書き込んでいません）"},
    {"files restored: %1", "元に戻したファイル: %1"},
    {"already as before: %1", "元のままのファイル: %1"},
    {"changed since (left alone): %1", "変更されていたためそのままのファイル: %1"},
    {"The last batch was taken back.", "前回の一括設定を元に戻しました。"},
    {"Taking the last batch back was cancelled.", "前回の一括設定を元に戻す途中で中止しました。"},
    {", ", "、"},
    {"%1 files were written before the stop; tarnbatch --undo takes them back",
     "停止までに %1 個のファイルを書き込みました。tarnbatch --undo で元に戻せます"},
    {"%1 files were written before the stop; the system menu's undo takes them back",
     "それまでに %1 個のファイルを書き込みました。システム メニューの「前回の一括設定を元に戻す」で元に戻せます"},
    {"The batch was cancelled. ", "一括設定を中止しました。"},
    {"Nothing was written in these folders: their names hold characters with no Shift-JIS form (%1):",
     "次のフォルダは名前に Shift-JIS で書けない文字があるため、何も書き込みませんでした (%1 件):"},
    {"These links lead out of the start folder and were not followed (%1):",
     "次のリンクは開始フォルダの外を指すため、たどりませんでした (%1 件):"},
    {"... and %1 more", "… ほか %1 件"},
    {"skipped (its name has no Shift-JIS form): %1", "名前を Shift-JIS で表せないため飛ばしました: %1"},
    {"skipped (a link leading out of the start folder, to %1): %2",
     "開始フォルダの外を指すリンクのため飛ばしました (リンク先 %1): %2"},
    {"left alone (changed since the batch): %1", "一括設定の後に変更されたため、そのままにしました: %1"},
    {"another batch (TarnUtil or tarnbatch) is still running; nothing was written",
     "別の一括設定 (TarnUtil か tarnbatch) が実行中のため、何も書き込みませんでした"},
    {"Another batch (TarnUtil or tarnbatch) is running. Press again when it has ended",
     "ほかの一括設定 (TarnUtil または tarnbatch) が実行中です。終わってからもう一度押してください"},
    {"no journal to take back in %1", "元に戻す記録がありません: %1"},
    {"There is no batch to take back", "元に戻せる一括設定はありません"},
};

// `text` with "%1", "%2", ... replaced by `values` in order.
std::string Fill(std::string text, std::initializer_list<std::string> values) {
    int number = 1;
    for (const std::string& value : values) {
        const std::string mark = "%" + std::to_string(number++);
        const std::size_t at = text.find(mark);
        if (at != std::string::npos) text.replace(at, mark.size(), value);
    }
    return text;
}

std::string Number(long long value) { return std::to_string(value); }

// A list of paths for a message box: as many as fit on a screen, then a count.
constexpr std::size_t kPathsShown = 25;

}  // namespace

std::string RunReport::Text(int id) const {
    return InLanguage(language_, kTexts[id].english, kTexts[id].japanese);
}

std::string RunReport::Counts(const RunProgress& progress) const {
    return Fill(Text(kCounts), {Number(progress.folders), Number(progress.written), Number(progress.unchanged),
                                Number(progress.skipped)});
}

std::string RunReport::Summary(const RunProgress& progress, bool dryRun) const {
    std::string text = Fill(Text(kSummary), {Number(progress.folders), Number(progress.written), Number(progress.unchanged)});
    if (progress.skipped) text += Fill(Text(kSummarySkipped), {Number(progress.skipped)});
    if (progress.notChosen) text += Fill(Text(kSummaryNotChosen), {Number(progress.notChosen)});
    if (dryRun) text += Text(kDryRunNote);
    return text;
}

std::string RunReport::UndoSummary(const UndoResult& result, bool dryRun,
                                   const std::vector<std::string>& leftAlone) const {
    const std::string counts[] = {Fill(Text(kUndoRestored), {Number(result.restored)}),
                                  Fill(Text(kUndoAlreadyBack), {Number(result.alreadyBack)}),
                                  Fill(Text(kUndoLeftAlone), {Number(result.leftAlone)})};
    if (frontEnd_ == FrontEnd::Console)
        return counts[0] + Text(kListSeparator) + counts[1] + Text(kListSeparator) + counts[2] +
               (dryRun ? Text(kDryRunNote) : std::string());
    std::string text = Text(result.cancelled ? kUndoCancelledHeadline : kUndoHeadline);
    for (const std::string& line : counts) text += "\r\n" + line;
    if (!leftAlone.empty()) text += "\r\n" + PathList(leftAlone);
    return text;
}

std::string RunReport::PathList(const std::vector<std::string>& paths) const {
    std::string text;
    for (std::size_t i = 0; i < paths.size() && i < kPathsShown; ++i) text += "\r\n" + paths[i];
    if (paths.size() > kPathsShown)
        text += "\r\n" + Fill(Text(kMorePaths), {Number(paths.size() - kPathsShown)});
    return text;
}

std::string RunReport::WrittenBeforeStop(long written) const {
    if (written == 0) return std::string();
    return Fill(Text(frontEnd_ == FrontEnd::Console ? kWrittenBeforeStop : kWrittenBeforeStopWindow), {Number(written)});
}

std::string RunReport::Cancelled(long written) const {
    return Text(kCancelled) + Fill(Text(kWrittenBeforeStopWindow), {Number(written)});
}

std::string RunReport::Skipped(const RunProgress& progress) const {
    std::string report;
    const auto paths = progress.Skipped();
    if (!paths.empty()) report = Fill(Text(kSkippedFolders), {Number(paths.size())}) + "\r\n" + PathList(paths);
    std::vector<std::string> links;
    for (const auto& [link, target] : progress.SkippedLinks()) links.push_back(link + " → " + target);
    if (!links.empty())
        report += (report.empty() ? "" : "\r\n\r\n") + Fill(Text(kSkippedLinks), {Number(links.size())}) + "\r\n" +
                  PathList(links);
    return report;
}

std::string RunReport::SkippedLink(const std::string& link, const std::string& target) const {
    return Fill(Text(kSkippedLink), {target, link});
}

std::string RunReport::SkippedFolder(const std::string& path) const { return Fill(Text(kSkippedFolder), {path}); }

std::string RunReport::LeftAloneFile(const std::string& path) const { return Fill(Text(kLeftAloneFile), {path}); }

std::string RunReport::Busy() const { return Text(frontEnd_ == FrontEnd::Console ? kBusy : kBusyWindow); }

std::string RunReport::NothingToUndo(const std::string& where) const {
    return frontEnd_ == FrontEnd::Console ? Fill(Text(kNothingToUndo), {where}) : Text(kNothingToUndoWindow);
}

}  // namespace tarn
