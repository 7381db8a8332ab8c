#pragma once
// Every message text of Morvane, defined once: the error reports and boxes,
// the questions, the completion and recording messages, their captions, and
// the status lines of the progress windows. Control captions live with
// their controls.

#include <string_view>

#include "wave/version.h"

namespace mv::msg {

// General error report (caption: the application's title).
inline constexpr std::string_view kCannotOpen = "ファイル %s は開けません";
inline constexpr std::string_view kCannotCreate = "ファイル %s を作成できません";
inline constexpr std::string_view kCannotDelete = "ファイル %s を削除できません";
inline constexpr std::string_view kReadError = "ストリームからの読み込みエラー";
inline constexpr std::string_view kWriteError = "ストリームへの書き込みエラー";
inline constexpr std::string_view kOverflow = "整数のオーバーフロー";
inline constexpr std::string_view kRangeError = "範囲チェックエラー";
inline constexpr std::string_view kDivByZero = "ゼロによる除算";
inline constexpr std::string_view kNotInteger = "'%s' は整数ではありません";
// A FLAC source whose frames cannot be decoded, and a FLAC piece that libFLAC
// could not encode or whose check against its samples failed.
inline constexpr std::string_view kFlacDecodeError = "ファイル %s の FLAC の復号に失敗しました";
inline constexpr std::string_view kFlacEncodeError = "ファイル %s の FLAC の符号化に失敗しました";
// The sound device's own error when it gives none.
inline constexpr std::string_view kUnknownDeviceError = "原因不明のエラー";

// Boxes captioned "Error" with the stop icon.
inline constexpr std::string_view kUnsupported = "サポートできない形式です。";
// An RF64 or Wave64 file whose size fields cannot be followed.
inline constexpr std::string_view kSizesDisagree =
    "ﾌｧｲﾙのサイズ情報がﾌｧｲﾙの内容と合いません。壊れたﾌｧｲﾙかもしれません。";
inline constexpr std::string_view kFlacMinSong =
    "FLAC のﾌｧｲﾙを切り出すときは、最短の曲の長さは指定できません。";
inline constexpr std::string_view kZeroRunLength = "無音の長さに0は指定できません。";
inline constexpr std::string_view kZeroPieceLength = "ﾌｧｲﾙの長さに0秒は指定できません。";
inline constexpr std::string_view kJoinOutputIsSource =
    "生成するﾌｧｲﾙが結合するﾌｧｲﾙの中にあります。";
inline constexpr std::string_view kCutSourceIsOutput =
    "切り出すﾌｧｲﾙが保存ﾌｫﾙﾀﾞの出力ﾌｧｲﾙと同じです。";
inline constexpr std::string_view kExportIsRunFile =
    "書き出すﾌｧｲﾙ %s は切り出すﾌｧｲﾙか保存ﾌｫﾙﾀﾞの出力ﾌｧｲﾙです。";
inline constexpr std::string_view kExportIsAudio = "書き出すﾌｧｲﾙ %s はテキストではありません (音声ﾌｧｲﾙかもしれません)。上書きできません。";
inline constexpr std::string_view kCueCannotName =
    "切り出すﾌｧｲﾙの名前に \" か制御文字があるため、キューシートに書けません。";
inline constexpr std::string_view kFolderInUse = "保存ﾌｫﾙﾀﾞは他の切り出しで使用中です。";
inline constexpr std::string_view kCannotLockFolder =
    "保存ﾌｫﾙﾀﾞのロックを %s に作成できません。";
inline constexpr std::string_view kOutputInUse = "生成するﾌｧｲﾙは他の結合で使用中です。";
inline constexpr std::string_view kErrorCaption = "Error";

// No sound input at start-up (stop icon).
inline constexpr std::string_view kNoDevice = "録音デバイスが見つかりません。録音はできません。";
// No sound output for listening; the rest of the window works.
inline constexpr std::string_view kNoOutputDevice = "再生デバイスが見つかりません。試聴はできません。";
inline constexpr std::string_view kDeviceErrorCaption = "デバイスエラー";
// The recording page while the sound server is asked for its inputs.
inline constexpr std::string_view kSearchingInputs = "録音デバイスを探しています...";

// A recording that the input or the file ended (stop icon); what was
// recorded up to then is in the file.
inline constexpr std::string_view kRecordingWriteFailed =
    "録音ファイルに書き込めなくなったため、録音を中止しました。"
    "ディスクの空き容量を確認してください。それまでの録音は保存されています。";
inline constexpr std::string_view kRecordingInputLost =
    "録音デバイスが使えなくなったため、録音を中止しました。それまでの録音は保存されています。";
// The same cause found when Record is pressed: nothing was started.
inline constexpr std::string_view kRecordingInputGone =
    "録音デバイスが使えなくなったため、録音を開始できません。";
inline constexpr std::string_view kRecordingInputSilent =
    "録音デバイスから音が届かなくなったため、録音を中止しました。それまでの録音は保存されています。";
inline constexpr std::string_view kRecordingSizeLimit =
    "録音ファイルが扱える最大の大きさ(2GB)に達したため、録音を終了しました。"
    "それまでの録音は保存されています。";
inline constexpr std::string_view kRecordingFailedCaption = "録音エラー";

// A menu item whose desktop program is not installed (caption: the
// application's title); %s lists the programs looked for.
inline constexpr std::string_view kNoVolumeControl =
    "音量を調節するプログラムが見つからないか、起動できません。探したプログラム: %s";
inline constexpr std::string_view kNoCdPlayer =
    "CDを再生するプログラムが見つからないか、起動できません。探したプログラム: %s";

// Questions.
inline constexpr std::string_view kOverwriteCaption = "ファイルの上書きの確認";
inline constexpr std::string_view kOverwritePieces =
    "ファイルがすでに存在しますが、上書きしますか?";
inline constexpr std::string_view kOverwriteRecording =
    "テンポラリファイルがすでに存在しますが、上書きしますか?";
inline constexpr std::string_view kDifferentFormat =
    "形式の異なるWaveファイルですが、結合しますか?";
inline constexpr std::string_view kDifferentFormatCaption = "警告";
inline constexpr std::string_view kQuitWhileRecording = "録音を中断して終了しますか?";
inline constexpr std::string_view kQuitWhileRecordingCaption = "録音中";

// Completion.
inline constexpr std::string_view kCutDone = "切り出しは正常に終了しました。";
inline constexpr std::string_view kCutDoneCaption = "切り出し終了";
inline constexpr std::string_view kJoinDone = "結合は正常に終了しました。";
inline constexpr std::string_view kJoinDoneCaption = "結合終了";
inline constexpr std::string_view kRecordingDone = "録音は正常に終了しました。";
inline constexpr std::string_view kRecordingDoneCaption = "録音終了";

// Status texts of the progress windows.
inline constexpr std::string_view kMakingFirstSong = "1曲目を生成しています";
inline constexpr std::string_view kSongDetected = "曲目を検出しました。";
inline constexpr std::string_view kPieceMaking = "曲目の生成中です。";
inline constexpr std::string_view kJoining = "を結合しています...";

// The summary of a cut, why it found no break, and what the shortest song merged.
inline constexpr std::string_view kCutSummary = "%s曲に切り出しました。最長の無音: %s";
// After the summary, the values a cut chose from its source.
// T with its level, N with its seconds, the zero points ("L,R"), and the
// clicks a quiet run may hold, in frames.
inline constexpr std::string_view kAutoChosen = " (自動: しきい値 %s、無音の長さ %s、ゼロ点 %s、クリック %sｻﾝﾌﾟﾙ)";
inline constexpr std::string_view kFewerBreaks =
    "%s曲の指定ですが、曲の区切りは%s個しか見つかりませんでした。見つかった区切りで切り出します。";
inline constexpr std::string_view kNoBreakFound =
    "曲の区切りが見つかりませんでした。最長の無音 %s は、無音の長さ %s に届きません。"
    "最も静かな区間のレベルは %s、しきい値は %s です。";
inline constexpr std::string_view kShortSoundBroke =
    "%s の短い音で無音が途切れました。短い音を無視する設定 (クリックを無視) で区切れます。";
inline constexpr std::string_view kNoBreakAfterQuiet =
    "曲の区切りが見つかりませんでした。最長の無音 %s は無音の長さ %s を超えますが、"
    "そのあと次の曲が始まる前にﾌｧｲﾙの検査が終わりました。";
inline constexpr std::string_view kBreaksMerged =
    "見つかった曲の区切りのうち %s か所では、最短の曲 %s に満たない曲を前後の曲に結合しました。";

// The command line: a question answered No for want of the option that
// answers it, and wrong usage (the option or value at fault comes first).
inline constexpr std::string_view kDeclinedWithoutOption = "「いいえ」と答えました。%s を付けると「はい」と答えます。";
inline constexpr std::string_view kNotTakeableName =
    "ファイル %s は開けません。名前が .wav か .raw で終わるﾌｧｲﾙだけを扱います。";
inline constexpr std::string_view kUsageNoCommand =
    "コマンドを指定してください (cut, split, join, info, measure, record)。";
inline constexpr std::string_view kUsageUnknownCommand =
    "%s というコマンドはありません (cut, split, join, info, measure, record)。";
inline constexpr std::string_view kUsageUnknownOption = "%s というオプションはありません。";
inline constexpr std::string_view kUsageExtraArguments = "余分な引数があります: %s";
inline constexpr std::string_view kUsageMissingValue = "%s の値がありません。";
inline constexpr std::string_view kUsageRequired = "%s を指定してください。";
inline constexpr std::string_view kUsageNotNumber = "%s は数値ではありません (not a number)";
inline constexpr std::string_view kUsageOutOfRange = "%s は範囲 %s の外です (out of range)";
inline constexpr std::string_view kUsageEmpty = "空の値は指定できません。";
inline constexpr std::string_view kUsageNeeds = "%s は %s と一緒に指定してください。";
inline constexpr std::string_view kUsageLengthForm = "%s: 長さは H:M:S、M:S、または秒数に s を付けて指定してください。";
inline constexpr std::string_view kUsageZeroForm = "%s: ZL,ZR の形で指定してください。";
inline constexpr std::string_view kUsageUnknownFormat = "%s という形式はありません (--help に一覧があります)。";
inline constexpr std::string_view kUsageOnlyWithCut = "--cut と一緒にだけ指定できます。";
inline constexpr std::string_view kUsageStandardOutput = "%s は標準出力です。出力には WAVE の内容だけを書き込みます。";
inline constexpr std::string_view kUsageStandardError = "%s は標準エラー出力です。出力には WAVE の内容だけを書き込みます。";
inline constexpr std::string_view kUsageTwoOnStandardOutput = "%s と %s は両方とも標準出力に書き込みます。どちらか一方にしてください。";
inline constexpr std::string_view kUsageSameExportFile = "--labels と --cue が同じﾌｧｲﾙ %s を指しています。";
inline constexpr std::string_view kUsageStreamIsJobFile =
    "標準出力か標準エラー出力が %s に向いています。このﾌｧｲﾙには音声以外を書き込みません。";
inline constexpr std::string_view kUsageGivenTwice = "%s は一度だけ指定できます。";
inline constexpr std::string_view kUsageBadValue = "%s に %s は指定できません。";
inline constexpr std::string_view kUsageNoSuchInput = "%s という入力はありません (--list-inputs で一覧できます)。";
inline constexpr std::string_view kUsageFormatNotOffered = "入力 %s はこの形式で録音できません: %s";
inline constexpr std::string_view kUsageOther = "使い方が正しくありません: %s";
inline constexpr std::string_view kUsageSeeHelp = "使い方は %s --help で表示されます。";

// FLAC pieces of any source.
inline constexpr std::string_view kFlacFloat = "浮動小数点のﾌｧｲﾙは FLAC で保存できません。";

inline constexpr std::string_view kAppTitle = "Morvane";
inline constexpr std::string_view kVersion = "Morvane ver " MORVANE_VERSION;

// The album: reading the track list (plain or cue sheet), naming the pieces
// from a pattern, and how the list and the cut's pieces agree.
inline constexpr std::string_view kTracksUnreadableLine = "曲目リストの %s 行目を読み取れません: %s";
inline constexpr std::string_view kTracksNotUtf8 = "曲目リストの %s 行目に UTF-8 ではないバイトがあります。";
inline constexpr std::string_view kTracksTooLarge = "曲目リスト %s は大きすぎます (1 MiB まで)。";
inline constexpr std::string_view kTracksCueNoTrack = "キューシートに TRACK の行がありません。";
inline constexpr std::string_view kTracksCueNoIndex = "キューシートの %s 行目の TRACK に INDEX 01 がありません。";
inline constexpr std::string_view kTracksCueUnreadable = "キューシートを読み取れません。";
inline constexpr std::string_view kTracksCountDiffers = "曲目リストには %s 曲ありますが、切り出した曲は %s 曲です。";
inline constexpr std::string_view kTracksLengthDiffers =
    "%s曲目「%s」の長さ %s は、曲目リストの長さ %s と 10 秒を超えて違います。";
inline constexpr std::string_view kNameUnknownField =
    "名前のパターンに {%s} というフィールドはありません。使えるのは {n} {N} {pos} {title} {artist} {album} {year} です。";
inline constexpr std::string_view kNameUnmatchedBrace = "名前のパターン %s の { と } が対応していません。";

// The cut list: points read from a label file, a cue sheet, a plain list or
// a cut's JSON, and the markers of the source's cue chunk; refused before
// anything is written. A position is H:MM:SS.mmm.
inline constexpr std::string_view kCutsUnreadableLine = "切り出し位置リストの %s 行目を読み取れません: %s";
inline constexpr std::string_view kCutsNotUtf8 = "切り出し位置リストの %s 行目に UTF-8 ではないバイトがあります。";
inline constexpr std::string_view kCutsTooLarge = "切り出し位置リスト %s は大きすぎます (1 MiB まで)。";
inline constexpr std::string_view kCutsNoPoint = "切り出し位置リストに位置がありません。";
inline constexpr std::string_view kCutsBeyondEnd =
    "切り出し位置リストの %s 行目の位置 %s は、ﾌｧｲﾙの終わり %s より後です。";
inline constexpr std::string_view kCutsOutOfOrder =
    "切り出し位置リストの %s 行目の位置 %s は、前の位置 %s より後ではありません。";
inline constexpr std::string_view kCutsCueOtherFile =
    "切り出し位置リストの %s 行目の INDEX 01 は、キューシートの 2 つ目以降の FILE の位置です。"
    "位置は 1 つのﾌｧｲﾙの中で指定してください。";
inline constexpr std::string_view kMarkersNone = "切り出すﾌｧｲﾙにマーカー (cue チャンク) がありません。";
inline constexpr std::string_view kMarkersBroken = "切り出すﾌｧｲﾙのマーカー (cue チャンク) が壊れています。";
inline constexpr std::string_view kMarkerBeyondEnd =
    "切り出すﾌｧｲﾙの %s 番目のマーカーの位置 %s は、データの終わり %s より後です。";

// The album's tags: a cover image that cannot go into the pieces, refused
// before any piece is written.
inline constexpr std::string_view kCoverCannotRead = "カバー画像のﾌｧｲﾙ %s は読めません。";
inline constexpr std::string_view kCoverNotImage = "カバー画像のﾌｧｲﾙ %s は PNG でも JPEG でもありません。";
inline constexpr std::string_view kCoverTooLarge = "カバー画像のﾌｧｲﾙ %s は大きすぎます (%s バイトまで)。";

// The silence kept short before and after each song: settings it cannot go with.
inline constexpr std::string_view kKeepSilenceEqualLengths =
    "同じ長さのﾌｧｲﾙへの分割では、曲の前後の無音は切り詰められません。";
inline constexpr std::string_view kKeepSilenceMinSong =
    "最短の曲の長さを指定したときは、曲の前後の無音は切り詰められません。";

// The cut at given points: points that lie outside the data, or out of order.
inline constexpr std::string_view kPointsBeyondData = "切り取り位置 (%s 行目) はデータの終わりより後です。";
inline constexpr std::string_view kPointsOutOfOrder = "切り取り位置 (%s 行目) が前の位置より前にあります。";
inline constexpr std::string_view kKeepSilencePoints =
    "指定した位置での切り出しでは、曲の前後の無音は切り詰められません。";

// The editor of the cuts in the cut's preview.
inline constexpr std::string_view kDiscardEdits =
    "編集した切り出し位置は失われます。設定を変えてスキャンし直しますか?";
inline constexpr std::string_view kDiscardEditsCaption = "切り出し位置の編集";
inline constexpr std::string_view kCloseWithEdits = "編集した切り出し位置は失われます。閉じますか?";
inline constexpr std::string_view kCutsSaveCaption = "切り出し位置リストの保存";
inline constexpr std::string_view kCutsOpenCaption = "切り出し位置リストを開く";

// The album panel of the cut's preview.
inline constexpr std::string_view kDiscForm = "ディスク番号 %s は N か N/M (1..999) の形で指定してください。";

}  // namespace mv::msg
