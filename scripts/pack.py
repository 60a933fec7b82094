"""pack.py <installer.exe> <patch.rpa> <out.zip>: the players' ZIP, with a readme Notepad on a Chinese Windows
shows (UTF-8 with a byte-order mark). Same inputs, same bytes: fixed order, timestamps, attributes, compression."""
import sys
import zipfile

README = """【索凡尼游戏】《露米维》 Steam 补丁 Ver1.0.0

简体中文
1. 请先将压缩包内的全部文件解压到同一个普通文件夹（不要直接在压缩包窗口中运行）。
2. 确认 LumivexPatchInstaller.exe 与 patch.rpa 位于同一文件夹。
3. 运行 LumivexPatchInstaller.exe，按屏幕提示安装补丁。

繁體中文
1. 請先將壓縮檔內的全部檔案解壓縮到同一個一般資料夾（請勿直接在壓縮檔視窗中執行）。
2. 確認 LumivexPatchInstaller.exe 與 patch.rpa 位於同一個資料夾。
3. 執行 LumivexPatchInstaller.exe，依照畫面指示安裝修補檔。

English
1. Extract everything in this ZIP into one regular folder (do not run the installer from inside the ZIP window).
2. Make sure LumivexPatchInstaller.exe and patch.rpa are in the same folder.
3. Run LumivexPatchInstaller.exe and follow the screen to install the patch.
"""

exe, patch, out = sys.argv[1:]
with zipfile.ZipFile(out, "w") as archive:
    for name, data in (("LumivexPatchInstaller.exe", open(exe, "rb").read()), ("patch.rpa", open(patch, "rb").read()),
                       ("README.txt", ("\ufeff" + README.replace("\n", "\r\n")).encode("utf-8"))):
        info = zipfile.ZipInfo(name, date_time=(1980, 1, 1, 0, 0, 0))
        info.compress_type, info.create_system, info.external_attr = zipfile.ZIP_DEFLATED, 0, 0x20  # archive bit
        archive.writestr(info, data, compresslevel=9)
