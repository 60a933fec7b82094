// Focus decisions of both windows, from their records' values alone.
#include "ui/keyboard_focus.h"

#include "app/language_window.h"

namespace {

// Every button of the installer screen in reading order; the main button's neighbour follows it.
constexpr ButtonId kReadingOrder[] = {
    ButtonId::LangSimplified, ButtonId::LangTraditional, ButtonId::LangEnglish,  ButtonId::MusicToggle,
    ButtonId::OpenAppFolder,  ButtonId::PrevLocation,    ButtonId::NextLocation, ButtonId::ChooseFolder,
    ButtonId::DetectAgain,    ButtonId::Primary,         ButtonId::CloseInstaller,
};

constexpr int kLanguageButtons = 3;

int positionOf(const std::vector<ButtonId>& order, ButtonId id) {
    for (size_t i = 0; i < order.size(); ++i)
        if (order[i] == id) return static_cast<int>(i);
    return -1;
}

}  // namespace

std::vector<ButtonId> focusOrder(const MainWindow& window) {
    std::vector<ButtonId> order;
    for (ButtonId id : kReadingOrder)
        if (buttonActive(window, id)) order.push_back(id);
    return order;
}

int stepFocus(int count, int current, bool forward) {
    if (count <= 0) return -1;
    if (current < 0 || current >= count) return forward ? 0 : count - 1;
    return forward ? (current + 1) % count : (current + count - 1) % count;
}

ButtonId keptFocus(const MainWindow& window, ButtonId focused) {
    if (focused == ButtonId::None || buttonActive(window, focused)) return focused;
    // While a copy runs the main button cancels it; otherwise "Choose folder" always reacts.
    return buttonActive(window, ButtonId::Primary) ? ButtonId::Primary : ButtonId::ChooseFolder;
}

FocusKey mainWindowFocusKey(const MainWindow& window, ButtonId focused, WPARAM key, bool shift) {
    FocusKey result;
    result.focus = focused;
    switch (key) {
    case VK_TAB: {
        const std::vector<ButtonId> order = focusOrder(window);
        const int next = stepFocus(static_cast<int>(order.size()), positionOf(order, focused), !shift);
        result.handled = true;
        if (next >= 0) result.focus = order[static_cast<size_t>(next)];
        break;
    }
    case VK_SPACE:
        result.handled = true;
        result.press = focused;
        break;
    case VK_RETURN:
        // Without a focused button Enter keeps its own meaning (install, launch).
        result.handled = focused != ButtonId::None;
        result.press = focused;
        break;
    case VK_LEFT:
    case VK_RIGHT: {
        const ButtonId step = key == VK_LEFT ? ButtonId::PrevLocation : ButtonId::NextLocation;
        result.handled = true;
        if (buttonActive(window, step)) result.press = step;
        break;
    }
    default:
        break;
    }
    return result;
}

LanguageKey languageWindowKey(int focused, WPARAM key, bool shift) {
    LanguageKey result;
    result.focus = focused;
    switch (key) {
    case VK_TAB:
        result.focus = stepFocus(kLanguageButtons, focused, !shift);
        break;
    case VK_LEFT:
    case VK_RIGHT:
        result.focus = stepFocus(kLanguageButtons, focused, key == VK_RIGHT);
        break;
    case VK_SPACE:
    case VK_RETURN:
        if (focused >= 0) result.pick = focused;
        break;
    default:
        result.pick = languageForKey(key);
        break;
    }
    return result;
}
