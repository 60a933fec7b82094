#include "app/texts.h"

#include <windows.h>

#include "app/product.h"

namespace {

const LocalizedText kSimplified = {{
    L"【索凡尼游戏】《露米维》 Steam 补丁 - Ver" LUMIVEX_VERSION L" 安装程序（简体中文）",  // windowTitle
    L"露米维",  // gameTitle
    L"游戏补丁 · 自动安装器",  // subtitle
    L"已找到 patch.rpa",  // patchFound
    L"未找到 patch.rpa",  // patchNotFound
    L"请将 patch.rpa 放在本程序旁边",  // patchPlaceHint
    L"打开程序文件夹",  // openAppFolder
    L"安装位置",  // installLocation
    L"已自动检测到 Steam 游戏",  // steamDetected
    L"手动选择的游戏目录",  // manualFolder
    L"未检测到含原游戏 .rpa 归档的 game 文件夹",  // noGameFolder
    L"选择文件夹",  // chooseFolder
    L"重新检测",  // detectAgain
    L"目标中已有补丁，安装时将直接覆盖",  // patchWillOverwrite
    L"补丁已位于正确目录，无需重复复制",  // patchAlreadyInPlace
    L"准备就绪",  // readyToInstall
    L"开始安装",  // installPatch
    L"正在安装",  // installing
    L"取消安装",  // cancelInstall
    L"安装完成",  // installComplete
    L"现在可以启动游戏了",  // canStartGame
    L"安装已取消",  // installCancelled
    L"安装失败",  // installFailed
    L"请选择 Lumivex Orrendale\\game 文件夹，或它的上级游戏文件夹。有效目录中必须包含原游戏的 .rpa 归档文件。",  // selectFolderHint
    L"请先完整解压压缩包",  // extractZipFirst
    L"检测到安装器正在系统临时目录中运行，这通常是因为直接双击了 ZIP 压缩包内的安装器。\n\n请返回压缩包并选择“全部解压”，确认安装器与 patch.rpa 已完整解压到同一个普通文件夹后，再运行安装器。\n\n请勿直接从压缩包窗口启动，否则安装器无法可靠读取 patch.rpa。",  // runningFromTemp
    L"无法写入游戏目录。是否以管理员身份重新启动并重试？",  // notWritableRestartAdmin
    L"选择《露米维》的 game 文件夹",  // folderDialogTitle
    L"安装尚未完成。确定要取消并退出吗？",  // confirmCancelExit
    L"可用磁盘空间不足，无法写入补丁。",  // notEnoughSpace
    L"patch.rpa 是空文件，无法安装。",  // patchEmpty
    L"复制失败",  // copyFailed
    L"Steam App ID",  // steamAppIdLabel
    L"检测到的位置",  // detectedLocations
    L"系统没有可用的音频播放设备。",  // noAudioDevice
    L"补丁正在被游戏或其他程序使用，请关闭游戏后重试。",  // patchInUse
    L"关闭安装器",  // closeInstaller
    L"启动游戏",  // launchGame
    L"未找到 Lumivex.exe，无法启动游戏。",  // gameExeNotFound
    L"无法启动游戏，请稍后直接运行 Lumivex.exe。",  // gameLaunchFailed
}};

const LocalizedText kTraditional = {{
    L"【索凡尼遊戲】『露米維』Steam 修補檔 - Ver" LUMIVEX_VERSION L" 安裝程式（繁體中文）",  // windowTitle
    L"露米維",  // gameTitle
    L"遊戲修補檔 · 自動安裝程式",  // subtitle
    L"已找到 patch.rpa",  // patchFound
    L"找不到 patch.rpa",  // patchNotFound
    L"請將 patch.rpa 放在本程式旁邊",  // patchPlaceHint
    L"開啟程式資料夾",  // openAppFolder
    L"安裝位置",  // installLocation
    L"已自動偵測到 Steam 遊戲",  // steamDetected
    L"手動選擇的遊戲資料夾",  // manualFolder
    L"尚未偵測到含原始遊戲 .rpa 封存檔的 game 資料夾",  // noGameFolder
    L"選擇資料夾",  // chooseFolder
    L"重新偵測",  // detectAgain
    L"目標位置已有修補檔，安裝時會直接覆寫",  // patchWillOverwrite
    L"修補檔已在正確位置，不需要重複複製",  // patchAlreadyInPlace
    L"準備就緒",  // readyToInstall
    L"開始安裝",  // installPatch
    L"正在安裝",  // installing
    L"取消安裝",  // cancelInstall
    L"安裝完成",  // installComplete
    L"現在可以啟動遊戲了",  // canStartGame
    L"已取消安裝",  // installCancelled
    L"安裝失敗",  // installFailed
    L"請選擇 Lumivex Orrendale\\game 資料夾，或上一層的遊戲資料夾。有效的資料夾中必須包含原始遊戲的 .rpa 封存檔。",  // selectFolderHint
    L"請先完整解壓縮",  // extractZipFirst
    L"偵測到安裝程式正在系統暫存資料夾中執行，這通常是因為直接連按兩下 ZIP 壓縮檔內的 EXE。\n\n請回到壓縮檔並選擇「解壓縮全部內容」，確認安裝程式與 patch.rpa 已完整解壓縮到同一個一般資料夾後，再執行安裝程式。\n\n請勿直接從壓縮檔視窗啟動，否則安裝程式無法可靠讀取 patch.rpa。",  // runningFromTemp
    L"無法寫入遊戲資料夾。要以系統管理員身分重新啟動並重試嗎？",  // notWritableRestartAdmin
    L"選擇《露米維》的 game 資料夾",  // folderDialogTitle
    L"安裝尚未完成。確定要取消並結束嗎？",  // confirmCancelExit
    L"可用磁碟空間不足，無法寫入修補檔。",  // notEnoughSpace
    L"patch.rpa 是空白檔案，無法安裝。",  // patchEmpty
    L"複製失敗",  // copyFailed
    L"Steam App ID",  // steamAppIdLabel
    L"偵測到的位置",  // detectedLocations
    L"系統沒有可用的音訊播放裝置。",  // noAudioDevice
    L"修補檔正由遊戲或其他程式使用，請關閉遊戲後再試一次。",  // patchInUse
    L"關閉安裝程式",  // closeInstaller
    L"啟動遊戲",  // launchGame
    L"找不到 Lumivex.exe，無法啟動遊戲。",  // gameExeNotFound
    L"無法啟動遊戲，請稍後直接執行 Lumivex.exe。",  // gameLaunchFailed
}};

const LocalizedText kEnglish = {{
    L"[Sorvane Games] Lumivex: Orrendale Steam Patch - Ver" LUMIVEX_VERSION L" Installer (English)",  // windowTitle
    L"Lumivex: Orrendale",  // gameTitle
    L"Automatic game patch installer",  // subtitle
    L"patch.rpa found",  // patchFound
    L"patch.rpa not found",  // patchNotFound
    L"Place patch.rpa next to this application",  // patchPlaceHint
    L"Open app folder",  // openAppFolder
    L"Install location",  // installLocation
    L"Steam game detected automatically",  // steamDetected
    L"Manually selected game folder",  // manualFolder
    L"No game folder with an original .rpa archive was detected",  // noGameFolder
    L"Choose folder",  // chooseFolder
    L"Detect again",  // detectAgain
    L"A patch already exists there and will be overwritten",  // patchWillOverwrite
    L"The patch is already in the correct folder",  // patchAlreadyInPlace
    L"Ready to install",  // readyToInstall
    L"Install patch",  // installPatch
    L"Installing",  // installing
    L"Cancel installation",  // cancelInstall
    L"Installation complete",  // installComplete
    L"You can start the game now",  // canStartGame
    L"Installation cancelled",  // installCancelled
    L"Installation failed",  // installFailed
    L"Select the Lumivex Orrendale\\game folder, or its parent game folder. A valid folder must contain an original game .rpa archive.",  // selectFolderHint
    L"Extract the ZIP first",  // extractZipFirst
    L"The installer is running from the system temporary folder. This usually means the EXE was opened directly inside the ZIP archive.\n\nReturn to the ZIP and choose Extract All. Make sure the installer and patch.rpa are fully extracted into the same regular folder, then run the installer again.\n\nDo not launch it from the archive window; the installer cannot reliably access the patch.rpa there.",  // runningFromTemp
    L"The game folder is not writable. Restart as administrator and try again?",  // notWritableRestartAdmin
    L"Select the Lumivex: Orrendale game folder",  // folderDialogTitle
    L"Installation is still running. Cancel it and exit?",  // confirmCancelExit
    L"There is not enough free disk space to write the patch.",  // notEnoughSpace
    L"patch.rpa is empty and cannot be installed.",  // patchEmpty
    L"Copy failed",  // copyFailed
    L"Steam App ID",  // steamAppIdLabel
    L"Detected locations",  // detectedLocations
    L"No audio playback device is available.",  // noAudioDevice
    L"The patch is in use. Close the game and any program using it, then try again.",  // patchInUse
    L"Close installer",  // closeInstaller
    L"Launch game",  // launchGame
    L"Lumivex.exe was not found, so the game cannot be launched.",  // gameExeNotFound
    L"The game could not be launched. Please run Lumivex.exe directly.",  // gameLaunchFailed
}};

bool equalsNoCase(const wchar_t* a, const wchar_t* b) {
    int la = lstrlenW(a);
    int lb = lstrlenW(b);
    if (la != lb) return false;
    if (la == 0) return true;
    return CompareStringOrdinal(a, la, b, lb, TRUE) == CSTR_EQUAL;
}

}  // namespace

const wchar_t* const kInstallerCaption = L"Lumivex: Orrendale \u00B7 Patch Installer";
const wchar_t* const kWindowCreationFailed = L"Unable to create the installer window.";
const wchar_t* const kLanguageSelectHeading = L"Language Select";

const wchar_t* const languageLabels[3] = {L"简体中文", L"繁體中文", L"English"};

const LocalizedText& textsFor(LanguageId language) {
    if (language == 1) return kTraditional;
    if (language == 2) return kEnglish;
    return kSimplified;
}

LanguageId parseLanguageValue(const wchar_t* value) {
    if (value == nullptr) return 0;
    if (equalsNoCase(value, L"zh-TW") || equalsNoCase(value, L"traditional")) return 1;
    if (equalsNoCase(value, L"en") || equalsNoCase(value, L"english")) return 2;
    return 0;
}

const wchar_t* languageCode(LanguageId language) {
    if (language == 1) return L"zh-TW";
    if (language == 2) return L"en";
    return L"zh-CN";
}

const wchar_t* const* fontFamilyNames(LanguageId language, int* count) {
    static const wchar_t* const traditional[] = {L"Microsoft JhengHei UI", L"Microsoft JhengHei",
                                                  L"Microsoft YaHei UI", L"Segoe UI", L"Arial"};
    static const wchar_t* const english[] = {L"Segoe UI", L"Microsoft YaHei UI", L"Microsoft JhengHei UI",
                                              L"Arial"};
    static const wchar_t* const simplified[] = {L"Microsoft YaHei UI", L"Microsoft YaHei",
                                                 L"Microsoft JhengHei UI", L"Segoe UI", L"Arial"};
    if (language == 1) {
        *count = 5;
        return traditional;
    }
    if (language == 2) {
        *count = 4;
        return english;
    }
    *count = 5;
    return simplified;
}

FontFamilyPtr createUiFontFamily(LanguageId language) {
    int count = 0;
    const wchar_t* const* names = fontFamilyNames(language, &count);
    for (int i = 0; i < count; ++i) {
        Gdiplus::GpFontFamily* family = nullptr;
        const bool found = Gdiplus::DllExports::GdipCreateFontFamilyFromName(names[i], nullptr, &family) == Gdiplus::Ok;
        FontFamilyPtr owned(family);
        if (found) return owned;
    }
    Gdiplus::GpFontFamily* last = nullptr;
    Gdiplus::DllExports::GdipCreateFontFamilyFromName(L"Arial", nullptr, &last);
    return FontFamilyPtr(last);
}
