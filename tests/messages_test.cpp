// The message table, text by text: every entry of wave/messages.h has
// exactly one row here, and its text is compared byte for byte. Everywhere
// else the tests use the table's names.

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <string>
#include <string_view>

#include "wave/messages.h"

namespace mv {
namespace {

struct Row {
  std::string_view name, text, expected;
};

#define MV_ROW(name, expected) Row{#name, msg::name, expected}
const Row kRows[] = {
    MV_ROW(kCannotOpen, "ファイル %s は開けません"),
    MV_ROW(kCannotCreate, "ファイル %s を作成できません"),
    MV_ROW(kCannotDelete, "ファイル %s を削除できません"),
    MV_ROW(kReadError, "ストリームからの読み込みエラー"),
    MV_ROW(kWriteError, "ストリームへの書き込みエラー"),
    MV_ROW(kOverflow, "整数のオーバーフロー"),
    MV_ROW(kRangeError, "範囲チェックエラー"),
    MV_ROW(kDivByZero, "ゼロによる除算"),
    MV_ROW(kNotInteger, "'%s' は整数ではありません"),
    MV_ROW(kUnknownDeviceError, "原因不明のエラー"),
    MV_ROW(kUnsupported, "サポートできない形式です。"),
    MV_ROW(kZeroRunLength, "無音の長さに0は指定できません。"),
    MV_ROW(kZeroPieceLength, "ﾌｧｲﾙの長さに0秒は指定できません。"),
    MV_ROW(kJoinOutputIsSource, "生成するﾌｧｲﾙが結合するﾌｧｲﾙの中にあります。"),
    MV_ROW(kCutSourceIsOutput, "切り出すﾌｧｲﾙが保存ﾌｫﾙﾀﾞの出力ﾌｧｲﾙと同じです。"),
    MV_ROW(kFolderInUse, "保存ﾌｫﾙﾀﾞは他の切り出しで使用中です。"),
    MV_ROW(kOutputInUse, "生成するﾌｧｲﾙは他の結合で使用中です。"),
    MV_ROW(kErrorCaption, "Error"),
    MV_ROW(kNoDevice, "録音デバイスが見つかりません。録音はできません。"),
    MV_ROW(kDeviceErrorCaption, "デバイスエラー"),
    MV_ROW(kSearchingInputs, "録音デバイスを探しています..."),
    MV_ROW(kRecordingWriteFailed, "録音ファイルに書き込めなくなったため、録音を中止しました。"
                                  "ディスクの空き容量を確認してください。それまでの録音は保存されています。"),
    MV_ROW(kRecordingInputLost, "録音デバイスが使えなくなったため、録音を中止しました。"
                                "それまでの録音は保存されています。"),
    MV_ROW(kRecordingInputGone, "録音デバイスが使えなくなったため、録音を開始できません。"),
    MV_ROW(kRecordingInputSilent, "録音デバイスから音が届かなくなったため、録音を中止しました。"
                                  "それまでの録音は保存されています。"),
    MV_ROW(kRecordingSizeLimit, "録音ファイルが扱える最大の大きさ(2GB)に達したため、録音を終了しました。"
                                "それまでの録音は保存されています。"),
    MV_ROW(kRecordingFailedCaption, "録音エラー"),
    MV_ROW(kOverwriteCaption, "ファイルの上書きの確認"),
    MV_ROW(kOverwritePieces, "ファイルがすでに存在しますが、上書きしますか?"),
    MV_ROW(kOverwriteRecording, "テンポラリファイルがすでに存在しますが、上書きしますか?"),
    MV_ROW(kDifferentFormat, "形式の異なるWaveファイルですが、結合しますか?"),
    MV_ROW(kDifferentFormatCaption, "警告"),
    MV_ROW(kQuitWhileRecording, "録音を中断して終了しますか?"),
    MV_ROW(kQuitWhileRecordingCaption, "録音中"),
    MV_ROW(kCutDone, "切り出しは正常に終了しました。"),
    MV_ROW(kCutDoneCaption, "切り出し終了"),
    MV_ROW(kJoinDone, "結合は正常に終了しました。"),
    MV_ROW(kJoinDoneCaption, "結合終了"),
    MV_ROW(kRecordingDone, "録音は正常に終了しました。"),
    MV_ROW(kRecordingDoneCaption, "録音終了"),
    MV_ROW(kMakingFirstSong, "1曲目を生成しています"),
    MV_ROW(kSongDetected, "曲目を検出しました。"),
    MV_ROW(kPieceMaking, "曲目の生成中です。"),
    MV_ROW(kJoining, "を結合しています..."),
    MV_ROW(kCutSummary, "%s曲に切り出しました。最長の無音: %s"),
    MV_ROW(kNoBreakFound, "曲の区切りが見つかりませんでした。最長の無音 %s は、無音の長さ %s に届きません。"
                          "最も静かな区間のレベルは %s、しきい値は %s です。"),
    MV_ROW(kShortSoundBroke, "%s の短い音で無音が途切れました。短い音を無視する設定 (クリックを無視) で区切れます。"),
    MV_ROW(kNoBreakAfterQuiet, "曲の区切りが見つかりませんでした。最長の無音 %s は無音の長さ %s を超えますが、"
                               "そのあと次の曲が始まる前にﾌｧｲﾙの検査が終わりました。"),
    MV_ROW(kBreaksMerged, "見つかった曲の区切りのうち %s か所では、最短の曲 %s に満たない曲を前後の曲に結合しました。"),
    MV_ROW(kAppTitle, "Morvane"),
    MV_ROW(kVersion, "Morvane ver 0.8"),
};
#undef MV_ROW

// The names the header defines, as written there.
std::map<std::string, int> TableNames() {
  std::ifstream in(MORVANE_MESSAGES_H);
  EXPECT_TRUE(in) << MORVANE_MESSAGES_H;
  const std::string entry = "inline constexpr std::string_view ";
  std::map<std::string, int> names;
  for (std::string line; std::getline(in, line);)
    if (line.rfind(entry, 0) == 0) ++names[line.substr(entry.size(), line.find(' ', entry.size()) - entry.size())];
  return names;
}

TEST(Messages, EveryTextOfTheTableIsPinnedOnce) {
  std::map<std::string, int> rows;
  for (const Row& r : kRows) {
    EXPECT_EQ(r.text, r.expected) << r.name;
    ++rows[std::string(r.name)];
  }
  const std::map<std::string, int> table = TableNames();
  EXPECT_EQ(table.size(), std::size(kRows));
  EXPECT_EQ(rows, table);
}

}  // namespace
}  // namespace mv
