#include "install/preflight.h"

#include <windows.h>

#include "ui/main_window.h"

void refreshTargetFlags(MainWindow& window) {
    window.targetHasPatch = false;
    window.targetPatchIdentical = false;
    const GameCandidate* selected = selectedCandidate(window);
    if (!selected) return;
    WidePath destination = joinPath(selected->folder, L"patch.rpa");
    window.targetHasPatch = isFile(destination);
    window.targetPatchIdentical =
        window.targetHasPatch && window.patchPresent && isSameFile(window.patchPath, destination);
}

namespace {
HANDLE openForAttributes(const WidePath& path) {
    return CreateFileW(toLongPath(path).c_str(), FILE_READ_ATTRIBUTES,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}
}  // namespace

bool isSameFile(const WidePath& a, const WidePath& b) {
    if (pathEqualsNoCase(normalizePath(a), normalizePath(b))) return true;
    HANDLE first = openForAttributes(a);
    if (first == INVALID_HANDLE_VALUE) return false;
    HANDLE second = openForAttributes(b);
    if (second == INVALID_HANDLE_VALUE) {
        CloseHandle(first);
        return false;
    }
    BY_HANDLE_FILE_INFORMATION infoA{}, infoB{};
    bool same = GetFileInformationByHandle(first, &infoA) && GetFileInformationByHandle(second, &infoB) &&
                infoA.dwVolumeSerialNumber == infoB.dwVolumeSerialNumber &&
                infoA.nFileIndexHigh == infoB.nFileIndexHigh && infoA.nFileIndexLow == infoB.nFileIndexLow;
    CloseHandle(first);
    CloseHandle(second);
    return same;
}

// Stand-ins below until the install flow lands.
void startInstall(MainWindow&) {}
void restartElevated(MainWindow&) {}
