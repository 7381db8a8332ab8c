#pragma once
// Every message text of Morvane, defined once, and the one exception type
// through which the engines raise them.

#include <stdexcept>
#include <string>
#include <string_view>

namespace mv {

namespace msg {
// General error report (caption: the application's title).
inline constexpr std::string_view kCannotOpen = "ファイル %s は開けません";
inline constexpr std::string_view kCannotCreate = "ファイル %s を作成できません";
inline constexpr std::string_view kReadError = "ストリームからの読み込みエラー";
inline constexpr std::string_view kWriteError = "ストリームへの書き込みエラー";
inline constexpr std::string_view kOverflow = "整数のオーバーフロー";
inline constexpr std::string_view kRangeError = "範囲チェックエラー";
inline constexpr std::string_view kDivByZero = "ゼロによる除算";
inline constexpr std::string_view kNotInteger = "'%s' は整数ではありません";

// Boxes captioned "Error" with the stop icon.
inline constexpr std::string_view kUnsupported = "サポートできない形式です。";
inline constexpr std::string_view kZeroRunLength = "無音の長さに0は指定できません。";
inline constexpr std::string_view kZeroPieceLength = "ﾌｧｲﾙの長さに0秒は指定できません。";
inline constexpr std::string_view kJoinOutputIsSource =
    "生成するﾌｧｲﾙが結合するﾌｧｲﾙの中にあります。";
inline constexpr std::string_view kCutSourceIsOutput =
    "切り出すﾌｧｲﾙが保存ﾌｫﾙﾀﾞの出力ﾌｧｲﾙと同じです。";
inline constexpr std::string_view kFolderInUse = "保存ﾌｫﾙﾀﾞは他の切り出しで使用中です。";
inline constexpr std::string_view kOutputInUse = "生成するﾌｧｲﾙは他の結合で使用中です。";
inline constexpr std::string_view kErrorCaption = "Error";

// Questions.
inline constexpr std::string_view kOverwriteCaption = "ファイルの上書きの確認";
inline constexpr std::string_view kOverwritePieces =
    "ファイルがすでに存在しますが、上書きしますか?";
inline constexpr std::string_view kOverwriteRecording =
    "テンポラリファイルがすでに存在しますが、上書きしますか?";
inline constexpr std::string_view kDifferentFormat =
    "形式の異なるWaveファイルですが、結合しますか?";
inline constexpr std::string_view kDifferentFormatCaption = "警告";

// Completion.
inline constexpr std::string_view kCutDone = "切り出しは正常に終了しました。";
inline constexpr std::string_view kCutDoneCaption = "切り出し終了";
inline constexpr std::string_view kJoinDone = "結合は正常に終了しました。";
inline constexpr std::string_view kJoinDoneCaption = "結合終了";

// Status texts of the progress windows.
inline constexpr std::string_view kMakingFirstSong = "1曲目を生成しています";
inline constexpr std::string_view kSongDetected = "曲目を検出しました。";
inline constexpr std::string_view kPieceMaking = "曲目の生成中です。";
inline constexpr std::string_view kJoining = "を結合しています...";

// The command line's summary of a cut, and why it found no break.
inline constexpr std::string_view kCutSummary = "%s曲に切り出しました。最長の無音: %s";
inline constexpr std::string_view kNoBreakFound =
    "曲の区切りが見つかりませんでした。最長の無音 %s は、無音の長さ %s に届きません。"
    "最も静かな区間のレベルは %s、しきい値は %s です。";

inline constexpr std::string_view kAppTitle = "Morvane";
inline constexpr std::string_view kVersion = "Morvane ver 0.8";
}  // namespace msg

// Replaces the one "%s" of a message pattern.
std::string format(std::string_view pattern, std::string_view arg);

class Error : public std::runtime_error {
 public:
  // A general error is shown in the application's report (title caption,
  // "." appended); the others in a box captioned "Error" exactly as written.
  enum class Kind { General, Box };

  Error(Kind kind, std::string text) : std::runtime_error(text), kind_(kind) {}
  Kind kind() const { return kind_; }
  bool general() const { return kind_ == Kind::General; }
  std::string text() const { return what(); }
  // The text as the window shows it: the general report adds "." to a text
  // whose last character sorts after ".".
  std::string shownText() const;
  std::string_view caption() const {
    return general() ? msg::kAppTitle : msg::kErrorCaption;
  }

 private:
  Kind kind_;
};

[[noreturn]] void raise(std::string_view text);          // general report
[[noreturn]] void raise(std::string_view pattern, std::string_view arg);
[[noreturn]] void refuse(std::string_view text);         // "Error" box

// The general report's rule, shared by every front end.
std::string withReportDot(std::string text);

}  // namespace mv
