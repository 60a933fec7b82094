#include "ui/window_scaffold.h"

#include <algorithm>

float canvasScale(float clientWidth, float clientHeight, float designWidth, float designHeight, float dpi) {
    float scale = dpi / 96.0f;
    if (clientWidth > 0) scale = std::min(scale, clientWidth / designWidth);
    if (clientHeight > 0) scale = std::min(scale, clientHeight / designHeight);
    return std::max(0.65f, scale);
}

bool setHandCursor(LPARAM lParam, bool overButton) {
    if (LOWORD(lParam) != HTCLIENT || !overButton) return false;
    SetCursor(LoadCursorW(nullptr, IDC_HAND));
    return true;
}
