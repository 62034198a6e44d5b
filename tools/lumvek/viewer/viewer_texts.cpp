#include "viewer_texts.h"

#include <cstdlib>
#include <cstring>

namespace lumvek::viewer {

namespace {

constexpr Texts kEnglish = {
    "Lumvek Viewer",
    "Cameras",
    "no camera",
    "Choose a camera from the list",
    "Colour mode",
    "%d bits",
    " (mono)",
    "%.1f ms, gain %d",
    "Capture window",
    "Apply",
    "Exposure (0.1 ms)",
    "nominal %d..%d, this camera up to %d",
    "Gain",
    "Auto exposure",
    "Auto gain",
    "White balance",
    "Red",
    "Green",
    "Blue",
    "Automatic, every frame",
    "Mirror",
    "Left-right",
    "Top-bottom",
    "Settings dialogs",
    "Camera...",
    "Image...",
    "Analog...",
    "Snapshot",
    "Record",
    "Stop recording",
    "Zoom",
    "Fit",
    "Histogram",
    "%.1f frames/s  |  %ld lost  |  %s",
    "saved ",
    "cannot save ",
    "recording ",
    "recorded ",
    "cannot record ",
    "the camera has gone: ",
    "a camera arrived",
    "cannot open ",
    "closed the dialog: ",
    "cannot open the dialog: ",
    "refused: ",
};

constexpr Texts kJapanese = {
    "Lumvek ビューア",
    "カメラ",
    "カメラなし",
    "一覧からカメラを選んでください",
    "カラーモード",
    "%d ビット",
    " (モノクロ)",
    "%.1f ms、ゲイン %d",
    "取り込み範囲",
    "適用",
    "露光時間 (0.1 ms)",
    "公称 %d..%d、このカメラは %d まで",
    "ゲイン",
    "自動露光",
    "自動ゲイン",
    "ホワイトバランス",
    "赤",
    "緑",
    "青",
    "自動 (毎フレーム)",
    "反転",
    "左右",
    "上下",
    "設定ダイアログ",
    "カメラ...",
    "画像...",
    "アナログ...",
    "スナップショット",
    "録画",
    "録画停止",
    "ズーム",
    "全体",
    "ヒストグラム",
    "%.1f フレーム/秒  |  欠落 %ld  |  %s",
    "保存しました: ",
    "保存できません: ",
    "録画中: ",
    "録画しました: ",
    "録画できません: ",
    "カメラが外れました: ",
    "カメラが接続されました",
    "開けません: ",
    "ダイアログを閉じました: ",
    "ダイアログを開けません: ",
    "できません: ",
};

} // namespace

bool japaneseLocale() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') return std::strncmp(value, "ja", 2) == 0;
    }
    return false;
}

const Texts& textsForLocale() {
    return japaneseLocale() ? kJapanese : kEnglish;
}

} // namespace lumvek::viewer
