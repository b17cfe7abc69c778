#include "batch/BatchCommandLine.h"

#include <algorithm>
#include <array>

#include "platform/platform.h"
#include "settings/qvComFunctions.h"

namespace tarn {

namespace {

const char kUsageEnglish[] =
    "Usage: tarnbatch [OPTION]... START_FOLDER\n"
    "       tarnbatch --undo [JOURNAL] [--journal DIR]\n"
    "\n"
    "Writes the chosen fields into the tarn_BBS.ini of START_FOLDER and of every\n"
    "folder beneath it (hidden ones too), creating the file where it is missing:\n"
    "the batch button of TarnUtil, without its window. Keys that are not chosen\n"
    "keep their lines; [DIALOG] is copied unchanged; other sections are dropped.\n"
    "\n"
    "Fields (KEY is one of LIB BBSFOLDER URL UPURL NAME EMAIL HP KEY PARAM1\n"
    "PARAM2 USER PASS, in any letter case; each key at most once, by --set or\n"
    "by --take):\n"
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
    "Choosing boards and changing part of a value:\n"
    "  --where KEY=PATTERN      write only the boards whose KEY matches PATTERN\n"
    "                           (* any text, ? one character, letters in any\n"
    "                           case; a missing key is empty); repeatable, all\n"
    "                           must hold\n"
    "  --where-not KEY=PATTERN  write only the boards whose KEY does not match\n"
    "  --replace KEY[,KEY...] --from TEXT --to TEXT\n"
    "                           in these keys' values, every TEXT becomes the\n"
    "                           other text; a board whose value holds none is\n"
    "                           not written. A site that moved:\n"
    "                           --replace URL,UPURL --from http://old.example/\n"
    "                           --to https://new.example/\n"
    "\n"
    "The board table (CSV, one row per board: FOLDER, then the keys):\n"
    "  --list               write the table instead of a batch (with --where)\n"
    "  --keys KEY[,KEY...]  its columns (default: all but the secrets KEY, PASS)\n"
    "  --output FILE        write it to FILE instead of standard output\n"
    "  --encoding ENC       utf-8 (with a byte-order mark, the default: what\n"
    "                       spreadsheets open as it is) or shift-jis\n"
    "  --import FILE        give each board listed in FILE (a table edited in a\n"
    "                       spreadsheet, UTF-8 or Shift-JIS) its own values for\n"
    "                       the columns present; an empty cell empties the key;\n"
    "                       boards not listed are not touched\n"
    "\n"
    "A run must write something: give at least one field, --sign, --replace\n"
    "or --import.\n"
    "\n"
    "Run:\n"
    "  --dry-run            write nothing; list every file that would be created\n"
    "                       or rewritten, with each value that would change\n"
    "                       (KEY: old -> new)\n"
    "  --verbose            list every file written\n"
    "  --quiet              no summary and no progress line\n"
    "  --journal DIR        keep the journal in DIR (default: see below)\n"
    "  --no-journal         keep no journal: the run cannot be undone\n"
    "  --lang LANG          messages in Japanese (ja) or English (en); without\n"
    "                       it, in the user's language\n"
    "  --help               show this text\n"
    "  --version            show the program's version\n"
    "An option's value may also follow it after '=': --set=NAME=x, --lang=en.\n"
    "\n"
    "Undo:\n"
    "  --undo [JOURNAL]     take back the last batch (or the one whose journal is\n"
    "                       JOURNAL, a name or a folder): every file that still\n"
    "                       holds what that batch wrote gets its old bytes back, a\n"
    "                       file it created is removed, a file changed since is\n"
    "                       left alone and named. An undo can be undone too.\n"
    "Before a file is changed its old bytes are recorded in a journal, in\n"
    "$XDG_STATE_HOME/tarnutil/journal (~/.local/state/tarnutil/journal) on Linux\n"
    "and %LOCALAPPDATA%\\TarnUtil\\journal on Windows; the last ten are kept.\n"
    "On a terminal a long run shows its progress on standard error.\n"
    "\n"
    "Files whose content would not change are left alone. Every file is replaced\n"
    "crash-safely: it holds either its old or its new content, never a part.\n"
    "On Linux, values typed here are UTF-8 and are written as Shift-JIS.\n"
    "On Windows, text shown in a console is Unicode; output redirected to a file\n"
    "or a pipe is Shift-JIS bytes.\n"
    "\n"
    "Ends with a summary: folders visited, files written, files already up to date.\n"
    "Exit status: 0 done; 1 a file error stopped the run (files written before it\n"
    "stay written); 2 the command line was wrong; 3 another batch is running.\n";

const char kUsageJapanese[] =
    "使い方: tarnbatch [オプション]... 開始フォルダ\n"
    "        tarnbatch --undo [記録] [--journal フォルダ]\n"
    "\n"
    "開始フォルダとその下のすべてのフォルダ（隠しフォルダも）の tarn_BBS.ini に、\n"
    "指定した項目を書き込みます（無ければ作ります）。TarnUtil の「一括設定」\n"
    "ボタンと同じ処理を画面なしで行います。指定しない項目の行はそのまま残り、\n"
    "[DIALOG] はそのまま写し、ほかのセクションは消えます。\n"
    "\n"
    "項目（LIB BBSFOLDER URL UPURL NAME EMAIL HP KEY PARAM1 PARAM2 USER PASS、\n"
    "大文字小文字は問いません。各項目は --set か --take で一度だけ指定できます）:\n"
    "  --set 項目=値          項目に値を書く（値が空なら項目を空にする。\n"
    "                         項目の行は「項目=」として残る）\n"
    "  --reference ファイル   --take で使う値を持つ tarn_BBS.ini\n"
    "  --take 項目[,項目...]  基準ファイルの [BASIC] の値をそのまま書く\n"
    "                         （基準ファイルに無い項目は空で書く）\n"
    "  BBSFOLDER は \"1\"（通常巡回対象）か空です: --set BBSFOLDER=1、\n"
    "  --set BBSFOLDER= 。基準ファイルから取るときは \"1\" 以外は空になります。\n"
    "\n"
    "署名:\n"
    "  --sign ファイル        そのファイルの文章を sign.ini として全フォルダに書く\n"
    "\n"
    "板を選ぶ、値の一部を置き換える:\n"
    "  --where 項目=パターン      項目がパターンに合う板だけに書く（* は任意の文字列、\n"
    "                             ? は一文字、英字の大文字小文字は問わない。項目が\n"
    "                             無ければ空）。何度でも指定でき、すべてを満たす板が対象\n"
    "  --where-not 項目=パターン  項目がパターンに合わない板だけに書く\n"
    "  --replace 項目[,項目...] --from 文字列 --to 文字列\n"
    "                             その項目の値の中の文字列をすべて置き換える。含まない\n"
    "                             板には書かない。サイトの移転なら\n"
    "                             --replace URL,UPURL --from http://old.example/\n"
    "                             --to https://new.example/\n"
    "\n"
    "板の一覧表（CSV、一板一行: FOLDER と各項目）:\n"
    "  --list                 一括設定の代わりに一覧表を出す（--where も使える）\n"
    "  --keys 項目[,項目...]  出す項目（既定: 秘密の KEY と PASS 以外のすべて）\n"
    "  --output ファイル      標準出力の代わりにファイルに書く\n"
    "  --encoding 符号化      utf-8（BOM 付き。既定。表計算ソフトがそのまま開ける）\n"
    "                         か shift-jis\n"
    "  --import ファイル      表計算ソフトで編集した一覧表（UTF-8 か Shift-JIS）に\n"
    "                         ある板それぞれに、その行の値を書く。空のセルは項目を\n"
    "                         空にする。表に無い板には触れない\n"
    "\n"
    "書き込むものが必要です: 項目、--sign、--replace か --import を指定してください。\n"
    "\n"
    "実行:\n"
    "  --dry-run              何も書き込まず、作るファイルと書き換えるファイルを、\n"
    "                         変わる値（項目: 元の値 → 新しい値）とともに一覧する\n"
    "  --verbose              書き込んだファイルを一覧する\n"
    "  --quiet                集計も進み具合も出さない\n"
    "  --journal フォルダ     記録（ジャーナル）をそのフォルダに置く\n"
    "  --no-journal           記録を残さない（元に戻せなくなる）\n"
    "  --lang 言語            メッセージを日本語 (ja) か英語 (en) で出す（指定が\n"
    "                         無ければ利用者の言語）\n"
    "  --help                 この説明を出す\n"
    "  --version              版を出す\n"
    "値を取るオプションは = でつなげても書けます: --set=NAME=x、--lang=en\n"
    "\n"
    "元に戻す:\n"
    "  --undo [記録]          最後の一括設定（または名前かフォルダで指定した記録の\n"
    "                         一括設定）を元に戻す。その一括設定が書いた内容のまま\n"
    "                         のファイルは元の内容に戻し、作ったファイルは消す。\n"
    "                         その後ほかで変更されたファイルはそのままにして表示する。\n"
    "                         元に戻したこと自体も、また元に戻せます。\n"
    "ファイルを変える前に、元の内容を記録（ジャーナル）に残します。場所は Linux では\n"
    "$XDG_STATE_HOME/tarnutil/journal (~/.local/state/tarnutil/journal)、Windows\n"
    "では %LOCALAPPDATA%\\TarnUtil\\journal で、最新の十回分を残します。\n"
    "端末では、時間のかかる実行の進み具合を標準エラーに表示します。\n"
    "\n"
    "内容が変わらないファイルには触れません。どのファイルも安全に置き換えるので、\n"
    "中身は必ず元のままか新しい内容のどちらかです。\n"
    "Linux では、ここで入力した値は UTF-8 として受け取り、Shift-JIS で書き込みます。\n"
    "Windows では、コンソールには Unicode で表示し、ファイルやパイプにリダイレクト\n"
    "した出力は Shift-JIS のバイト列になります。\n"
    "\n"
    "最後に集計（訪れたフォルダ、書き込んだファイル、変更不要のファイル）を出します。\n"
    "終了コード: 0 完了、1 ファイルのエラーで停止（それまでに書いたファイルは\n"
    "そのまま）、2 コマンドラインの誤り、3 ほかの一括設定が実行中。\n";


// The options that take a value, given as the next argument or after '='.
bool TakesValue(const std::string& option) {
    static const char* const kOptions[] = {"--set",     "--reference", "--take",  "--sign",   "--lang",
                                           "--journal", "--where",     "--where-not", "--replace", "--from",
                                           "--to",      "--keys",      "--output", "--encoding", "--import"};
    for (const char* name : kOptions)
        if (option == name) return true;
    return false;
}

// The options that take no value (besides --help), and what each one sets.
bool BatchCommand::*FlagNamed(const std::string& option) {
    static const std::pair<const char*, bool BatchCommand::*> kFlags[] = {
        {"--dry-run", &BatchCommand::dryRun},       {"--verbose", &BatchCommand::verbose},
        {"--quiet", &BatchCommand::quiet},          {"--no-journal", &BatchCommand::noJournal},
        {"--undo", &BatchCommand::undo},           {"--list", &BatchCommand::list},
        {"--version", &BatchCommand::version},
    };
    for (const auto& [name, member] : kFlags)
        if (option == name) return member;
    return nullptr;
}

// "--name=value" split into the option and its value; nothing for any other
// argument.
bool SplitInlineValue(const std::string& arg, std::string& option, std::string& value) {
    if (arg.compare(0, 2, "--") != 0) return false;
    const std::size_t eq = arg.find('=');
    if (eq == std::string::npos) return false;
    option = arg.substr(0, eq);
    value = arg.substr(eq + 1);
    return true;
}

bool LanguageNamed(const std::string& name, Language& language) {
    if (name == "ja") language = Language::Japanese;
    else if (name == "en") language = Language::English;
    else return false;
    return true;
}

class Parser {
public:
    explicit Parser(Language language) : language_(language) {}

    BatchCommand Parse(const std::vector<std::string>& args);

private:
    [[noreturn]] void Refuse(const std::string& english, const std::string& japanese) const {
        throw UsageError(InLanguage(language_, english, japanese), language_);
    }

    const FieldInfo& FieldNamed(const std::string& key) const {
        const FieldInfo* info = FindFieldByKey(key);
        if (!info) Refuse("unknown key '" + key + "'", "不明な項目 '" + key + "'");
        return *info;
    }

    // The field and the text of "KEY=TEXT", the value of `option`; `form`
    // and `japaneseForm` say what it takes.
    std::pair<Field, std::string> KeyAndText(const std::string& option, const std::string& value, const char* form,
                                             const char* japaneseForm) const {
        const std::size_t eq = value.find('=');
        if (eq == std::string::npos)
            Refuse(option + " needs " + form + ", got '" + value + "'",
                   option + " には " + japaneseForm + " を指定してください（指定されたのは '" + value + "'）");
        return {FieldNamed(value.substr(0, eq)).field, value.substr(eq + 1)};
    }

    // Enables one field with a value, BBSFOLDER's value meaning checked or
    // not; a field enabled before is refused, since one of the two values
    // would be lost without a word.
    void Enable(Field field, const std::string& value, bool fromSet) {
        const std::string key = InfoOf(field).key;
        if (command_.input[field].enabled) {
            if (setBy_[static_cast<std::size_t>(field)] != fromSet)
                Refuse("key " + key + " is given both by --set and by --take",
                       "項目 " + key + " が --set と --take の両方で指定されています");
            Refuse("key " + key + " is given twice", "項目 " + key + " が二度指定されています");
        }
        if (field == Field::BBSFOLDER) {
            if (fromSet && !value.empty() && value != "1")
                Refuse("BBSFOLDER takes \"1\" or an empty value",
                       "BBSFOLDER に指定できるのは \"1\" か空の値です");
            command_.input.bbsFolderChecked = value == "1";
        }
        command_.input[field] = FieldValue{true, value};
        setBy_[static_cast<std::size_t>(field)] = fromSet;
    }

    // A signature file is Shift-JIS, as the host writes it; on Linux a file
    // that is valid UTF-8 with other than ASCII in it was written there, and
    // is converted. A character it holds with no Shift-JIS form is refused.
    std::string SignatureInCodePage(const std::string& text) const {
        if (!platform::kNamesAreUtf8) return text;
        std::string converted, missing;
        if (platform::Utf8ToSystemText(text, converted, missing)) return converted;
        if (!missing.empty())
            Refuse("--sign: the signature holds " + missing + ", which has no Shift-JIS form",
                   "--sign: 署名に Shift-JIS で表せない文字 " + missing + " があります");
        return text;
    }

    void Option(const std::string& option, const std::string& value);
    std::vector<Field> FieldList(const std::string& option, const std::string& keys) const;
    void FinishReplacement();
    void FinishList();
    void FinishImport();

    Language language_;
    BatchCommand command_;
    std::array<bool, kFieldCount> setBy_{};  // per field enabled: by --set (true) or --take
    std::string referencePath_;
    std::vector<std::string> taken_;
    // --replace KEYS --from TEXT --to TEXT, each given or not.
    std::optional<std::vector<Field>> replaced_;
    std::optional<std::string> from_, to_;
    bool listOnlyOption_ = false;  // --keys, --output or --encoding
};

void Parser::Option(const std::string& option, const std::string& value) {
    if (option == "--set") {
        const auto [field, text] = KeyAndText(option, value, "KEY=VALUE", "項目=値");
        Enable(field, text, true);
    } else if (option == "--reference") {
        referencePath_ = value;
    } else if (option == "--take") {
        for (const auto& key : SplitAt(value, ",")) taken_.push_back(key);
    } else if (option == "--sign") {
        if (!platform::FileExists(value))
            Refuse("signature file '" + value + "' does not exist", "署名ファイル '" + value + "' がありません");
        command_.input.signatureChecked = true;
        command_.input.signatureText = SignatureInCodePage(ReadSignature(value));
    } else if (option == "--journal") {
        command_.journalFolder = value;
    } else if (option == "--where" || option == "--where-not") {
        const auto [field, pattern] = KeyAndText(option, value, "KEY=PATTERN", "項目=パターン");
        command_.input.where.push_back({field, pattern, option == "--where-not"});
    } else if (option == "--replace") {
        if (replaced_) Refuse("--replace is given twice", "--replace が二度指定されています");
        replaced_ = FieldList(option, value);
    } else if (option == "--from") {
        from_ = value;
    } else if (option == "--to") {
        to_ = value;
    } else if (option == "--keys") {
        command_.listColumns = FieldList(option, value);
        listOnlyOption_ = true;
    } else if (option == "--output") {
        command_.output = value;
        listOnlyOption_ = true;
    } else if (option == "--encoding") {
        if (value == "utf-8" || value == "utf8")
            command_.encoding = CsvEncoding::Utf8WithBom;
        else if (value == "shift-jis" || value == "shift_jis" || value == "sjis" || value == "cp932")
            command_.encoding = CsvEncoding::ShiftJis;
        else
            Refuse("--encoding takes utf-8 or shift-jis, got '" + value + "'",
                   "--encoding には utf-8 か shift-jis を指定してください（指定されたのは '" + value + "'）");
        listOnlyOption_ = true;
    } else if (option == "--import") {
        command_.importPath = value;
    } else if (option == "--lang") {
        if (!LanguageNamed(value, command_.language))
            Refuse("--lang takes ja or en, got '" + value + "'",
                   "--lang には ja か en を指定してください（指定されたのは '" + value + "'）");
    }
}

std::vector<Field> Parser::FieldList(const std::string& option, const std::string& keys) const {
    std::vector<Field> fields;
    for (const auto& key : SplitAt(keys, ",")) {
        const FieldInfo& info = FieldNamed(key);
        if (std::find(fields.begin(), fields.end(), info.field) != fields.end())
            Refuse(option + ": key " + info.key + " is given twice",
                   option + ": 項目 " + info.key + " が二度指定されています");
        fields.push_back(info.field);
    }
    return fields;
}

void Parser::FinishReplacement() {
    if (!replaced_ && !from_ && !to_) return;
    if (!replaced_ || !from_ || !to_)
        Refuse("--replace KEY[,KEY...] goes with --from TEXT and --to TEXT",
               "--replace 項目[,項目...] には --from 文字列 と --to 文字列 が必要です");
    if (from_->empty()) Refuse("--from needs a text to find", "--from には探す文字列を指定してください");
    for (const Field field : *replaced_) {
        const std::string key = InfoOf(field).key;
        if (field == Field::BBSFOLDER)
            Refuse("--replace: BBSFOLDER is \"1\" or empty; set it with --set",
                   "--replace: BBSFOLDER は \"1\" か空です。--set で指定してください");
        if (command_.input[field].enabled)
            Refuse("key " + key + " is given both by --replace and by --set or --take",
                   "項目 " + key + " が --replace と --set か --take の両方で指定されています");
    }
    command_.input.replacements.push_back({*replaced_, *from_, *to_});
}

// A list only reads: it takes the choice of boards and of columns, nothing
// that writes.
void Parser::FinishList() {
    if (!command_.list) {
        if (listOnlyOption_)
            Refuse("--keys, --output and --encoding go with --list",
                   "--keys、--output、--encoding は --list と一緒に使います");
        return;
    }
    if (command_.input.WritesAnything() || command_.dryRun || command_.undo || !command_.importPath.empty())
        Refuse("--list writes nothing: it takes --where, --where-not, --keys, --output and --encoding only",
               "--list は何も書き込みません。指定できるのは --where、--where-not、--keys、--output、--encoding だけです");
    if (command_.listColumns.empty()) command_.listColumns = DefaultListColumns();
}

// An import gives each board of its table the table's values: nothing else
// goes with it, and a table that would not be written as the user meant is
// refused whole.
void Parser::FinishImport() {
    if (command_.importPath.empty()) return;
    if (command_.input.WritesAnything() || !command_.input.where.empty())
        Refuse("--import gives each board its own values; it goes with no field, --sign, --replace or --where",
               "--import は板ごとの値を書きます。項目、--sign、--replace、--where とは一緒に使えません");
    const auto bytes = platform::ReadFileIfExists(command_.importPath);
    if (!bytes)
        Refuse("table '" + command_.importPath + "' does not exist",
               "表のファイル '" + command_.importPath + "' がありません");
    try {
        command_.importedBoards = ReadBoardTable(*bytes, command_.startFolder);
    } catch (const ImportError& e) {
        Refuse("--import " + command_.importPath + ": " + DescribeImportError(e, Language::English),
               "--import " + command_.importPath + ": " + DescribeImportError(e, Language::Japanese));
    }
    if (command_.importedBoards->empty())
        Refuse("--import " + command_.importPath + ": the table lists no board",
               "--import " + command_.importPath + ": 表に板が一つもありません");
}

BatchCommand Parser::Parse(const std::vector<std::string>& args) {
    command_.language = language_;
    std::vector<std::string> positional;

    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        std::string option, inlineValue;
        if (SplitInlineValue(arg, option, inlineValue)) {
            if (!TakesValue(option)) {
                if (FlagNamed(option) || option == "--help")
                    Refuse(option + " takes no value", option + " に値は付けられません");
                Refuse("unknown option '" + option + "'", "不明なオプション '" + option + "'");
            }
            Option(option, inlineValue);
        } else if (arg == "--help" || arg == "-h") {
            command_.help = true;
            return command_;
        } else if (arg == "--version") {
            command_.version = true;
            return command_;
        } else if (const auto flag = FlagNamed(arg)) {
            command_.*flag = true;
        } else if (TakesValue(arg)) {
            if (i + 1 >= args.size()) Refuse(arg + " needs a value", arg + " には値が必要です");
            Option(arg, args[++i]);
        } else if (arg.size() > 1 && arg[0] == '-' && arg != "--") {
            Refuse("unknown option '" + arg + "'", "不明なオプション '" + arg + "'");
        } else {
            if (arg == "--") {
                positional.insert(positional.end(), args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());
                break;
            }
            positional.push_back(arg);
        }
    }

    if (!taken_.empty()) {
        if (referencePath_.empty()) Refuse("--take needs --reference FILE", "--take には --reference ファイル が必要です");
        if (!platform::FileExists(referencePath_))
            Refuse("reference file '" + referencePath_ + "' does not exist",
                   "基準ファイル '" + referencePath_ + "' がありません");
        const SectionList basic = ReadSection(referencePath_, kBasicSection);
        for (const auto& key : taken_) {
            const FieldInfo& info = FieldNamed(key);
            Enable(info.field, GetValue(basic, info.key), false);
        }
    }

    FinishReplacement();
    FinishList();
    if (command_.undo) {
        // An undo writes what the journal says, nothing else.
        if (command_.input.WritesAnything() || !command_.input.where.empty() || !command_.importPath.empty())
            Refuse("--undo takes no fields, --sign, --replace, --where or --import",
                   "--undo には項目も --sign、--replace、--where、--import も指定できません");
        if (command_.noJournal)
            Refuse("--undo keeps a journal of its own; --no-journal does not go with it",
                   "--undo は自分の記録を残すので --no-journal とは一緒に使えません");
        if (positional.size() > 1) Refuse("--undo takes at most one JOURNAL", "--undo に指定できる記録は一つだけです");
        command_.undoJournal = positional.empty() ? std::string() : positional[0];
        return command_;
    }
    if (positional.size() != 1) Refuse("give exactly one START_FOLDER", "開始フォルダを一つだけ指定してください");
    command_.startFolder = positional[0];
    if (!platform::DirectoryExists(command_.startFolder))
        Refuse("start folder '" + command_.startFolder + "' is not a folder",
               "開始フォルダ '" + command_.startFolder + "' はフォルダではありません");

    if (command_.list) return command_;
    FinishImport();
    // As the window's batch button stays disabled then: a run that writes no
    // field would still rewrite every file of the tree.
    if (!command_.importedBoards && !command_.input.WritesAnything())
        Refuse("nothing to write: give a field (--set, --take, --replace), --sign or --import",
               "書き込むものがありません: 項目 (--set、--take、--replace)、--sign か --import を指定してください");
    return command_;
}

}  // namespace

const char* BatchUsage(Language language) {
    return language == Language::Japanese ? kUsageJapanese : kUsageEnglish;
}

Language ChosenLanguage(const std::vector<std::string>& args, Language fallback) {
    Language chosen = fallback;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string option, value;
        if (args[i] == "--") break;
        if (SplitInlineValue(args[i], option, value)) {
            if (option == "--lang") LanguageNamed(value, chosen);
        } else if (TakesValue(args[i]) && i + 1 < args.size()) {
            if (args[i] == "--lang") LanguageNamed(args[i + 1], chosen);
            ++i;  // a value is never an option of its own
        }
    }
    return chosen;
}

BatchCommand ParseBatchCommand(const std::vector<std::string>& args, Language language) {
    return Parser(ChosenLanguage(args, language)).Parse(args);
}

BatchCommand ParseBatchArguments(const std::vector<platform::CommandArgument>& args, Language language) {
    std::vector<std::string> texts;
    for (const auto& arg : args) texts.push_back(arg.text);
    language = ChosenLanguage(texts, language);
    for (std::size_t i = 0; i < args.size(); ++i) {
        const auto& arg = args[i];
        if (arg.missingCharacter.empty()) continue;
        // Neither a value (it could not be written as it is) nor a path (the
        // start folder, --sign, --reference or --journal would be looked up
        // under another name) may hold such a character.
        std::string option, shown = arg.shown;
        const std::string& previous = i > 0 ? args[i - 1].text : std::string();
        if (previous.rfind("--", 0) == 0 && previous.find('=') == std::string::npos) option = previous;
        else SplitInlineValue(arg.shown, option, shown);  // --set=NAME=...
        const std::string shownArgument = (option.empty() ? "" : option + " ") + shown;
        throw UsageError(InLanguage(language, shownArgument + ": " + arg.missingCharacter + " has no Shift-JIS form",
                                    shownArgument + ": " + arg.missingCharacter + " は Shift-JIS で表せません"),
                         language);
    }
    return ParseBatchCommand(texts, language);
}

}  // namespace tarn
