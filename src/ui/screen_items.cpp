#include "ui/screen_items.h"

#include <algorithm>
#include <cmath>

#include "app/language_window.h"
#include "audio/music.h"
#include "ui/draw.h"
#include "ui/layout.h"
#include "ui/screen_text.h"

namespace {

const ButtonWords kButtonWords[3] = {
    {L"按下", L"静音", L"取消静音", L"上一个位置", L"下一个位置"},
    {L"按下", L"靜音", L"取消靜音", L"上一個位置", L"下一個位置"},
    {L"Press", L"Mute music", L"Unmute music", L"Previous location", L"Next location"},
};

// Keys of the elements that are not buttons (buttons use their ButtonId).
enum TextKey : int {
    kSubtitle = 100,
    kTitle,
    kPatchLine,
    kPatchDetail,
    kLocationLabel,
    kSourceLine,
    kFolderLine,
    kCounter,
    kStatusLine,
    kProgressBar,
    kFooter,
    kHeading,
};

RECT pixels(const LayoutRect& rect, float scale) {
    return RECT{std::lround(rect.left * scale), std::lround(rect.top * scale), std::lround(rect.right() * scale),
                std::lround(rect.bottom() * scale)};
}

ScreenItem staticText(int key, std::wstring name, const RECT& bounds) {
    ScreenItem item;
    item.key = key;
    item.role = ROLE_SYSTEM_STATICTEXT;
    item.name = std::move(name);
    item.state = STATE_SYSTEM_READONLY;
    item.bounds = bounds;
    return item;
}

// A button that reacts can take the keyboard focus; one that does not is unavailable.
ScreenItem pushButton(int key, std::wstring name, const RECT& bounds, bool reacts, bool hovered, bool focused,
                      const wchar_t* press) {
    ScreenItem item;
    item.key = key;
    item.role = ROLE_SYSTEM_PUSHBUTTON;
    item.name = std::move(name);
    item.state = (reacts ? STATE_SYSTEM_FOCUSABLE : STATE_SYSTEM_UNAVAILABLE) | (hovered ? STATE_SYSTEM_HOTTRACKED : 0) |
                 (focused ? STATE_SYSTEM_FOCUSED : 0);
    item.bounds = bounds;
    if (reacts) item.action = press;
    return item;
}

}  // namespace

const ButtonWords& buttonWordsFor(LanguageId language) {
    return kButtonWords[language == 1 ? 1 : language == 2 ? 2 : 0];
}

ScreenItems mainScreenItems(const MainWindow& window, int clientWidth, int clientHeight, UINT dpi) {
    const int w = std::max(clientWidth, 1), h = std::max(clientHeight, 1);
    const float scale = scaleFor(static_cast<float>(w), static_cast<float>(h), static_cast<float>(dpi));
    const MainLayout layout = computeLayout(w / scale, h / scale, window.state);
    const LocalizedText& text = textsFor(window.language);
    const ButtonWords& words = buttonWordsFor(window.language);
    ScreenItems items;
    auto addText = [&](int key, std::wstring name, const LayoutRect& rect) {
        if (!name.empty()) items.push_back(staticText(key, std::move(name), pixels(rect, scale)));
    };
    auto addButton = [&](ButtonId id, std::wstring name, const LayoutRect& rect) {
        items.push_back(pushButton(static_cast<int>(id), std::move(name), pixels(rect, scale), buttonActive(window, id),
                                   window.hoverId == id, window.focusId == id, words.press));
    };

    addText(kSubtitle, text[TextSlot::subtitle], layout.subtitle);
    addText(kTitle, text[TextSlot::gameTitle], layout.title);
    addText(kPatchLine, text[window.patchPresent ? TextSlot::patchFound : TextSlot::patchNotFound],
            layout.patchHeading);
    addText(kPatchDetail, patchDetailText(window), layout.patchDetail);
    if (!window.patchPresent)
        addButton(ButtonId::OpenAppFolder, text[TextSlot::openAppFolder], layout.openAppFolderButton);
    addText(kLocationLabel, text[TextSlot::installLocation], layout.locationLabel);
    addText(kSourceLine, text[sourceLineSlot(window)], layout.locationSource);
    if (const GameCandidate* selected = selectedCandidate(window))
        addText(kFolderLine, selected->folder, layout.locationFolder);
    addText(kCounter, locationCounterText(window), layout.locationCounter);
    if (window.candidates.size() >= 2) {
        addButton(ButtonId::PrevLocation, words.previous, layout.prevButton);
        addButton(ButtonId::NextLocation, words.next, layout.nextButton);
    }
    addButton(ButtonId::ChooseFolder, text[TextSlot::chooseFolder], layout.chooseFolderButton);
    addButton(ButtonId::DetectAgain, text[TextSlot::detectAgain], layout.detectAgainButton);
    const size_t before = items.size();
    addText(kStatusLine, statusLineFor(window).text, layout.statusLine);
    // After a copy the status line says how it ended: read out without the player looking for it.
    if (items.size() > before)
        items.back().announce = window.state == Complete || window.state == Cancelled || window.state == Failed;
    if (window.state == Installing || window.state == Complete) {
        ScreenItem bar;
        bar.key = kProgressBar;
        bar.role = ROLE_SYSTEM_PROGRESSBAR;
        bar.name = text[TextSlot::installing];
        bar.state = STATE_SYSTEM_READONLY;
        bar.bounds = pixels(layout.progressBar, scale);
        bar.value = std::to_wstring(shownPerMille(window) / 10) + L"%";
        items.push_back(std::move(bar));
    }
    addButton(ButtonId::Primary, text[primaryCaptionSlot(window.state)], layout.primaryButton);
    if (window.state == Complete)
        addButton(ButtonId::CloseInstaller, text[TextSlot::closeInstaller], layout.closeButton);
    addText(kFooter, footerText(window.language), layout.footer);
    const ButtonId pills[3] = {ButtonId::LangSimplified, ButtonId::LangTraditional, ButtonId::LangEnglish};
    const LayoutRect* pillRects[3] = {&layout.langSimplifiedButton, &layout.langTraditionalButton,
                                      &layout.langEnglishButton};
    for (LanguageId k = 0; k < 3; ++k) {
        addButton(pills[k], kPillLabels[k], *pillRects[k]);
        if (window.language == k) items.back().state |= STATE_SYSTEM_CHECKED;
    }
    const bool muted = window.music && window.music->muted;
    addButton(ButtonId::MusicToggle, muted ? words.unmute : words.mute, layout.musicButton);
    return items;
}

ScreenItems languageScreenItems(int hoverIndex, int focusIndex, int clientWidth, int clientHeight, UINT dpi) {
    const int w = std::max(clientWidth, 1), h = std::max(clientHeight, 1);
    const float scale = languageWindowScale(w, h, dpi);
    ScreenItems items;
    items.push_back(staticText(kHeading, kLanguageSelectHeading, pixels(languageHeadingRect(w / scale), scale)));
    // The buttons say their language in its own script; the window has no language yet.
    for (int k = 0; k < 3; ++k)
        items.push_back(pushButton(k + 1, languageLabels[k], pixels(languageButtonRect(k), scale), true,
                                   hoverIndex == k, focusIndex == k, buttonWordsFor(2).press));
    return items;
}

namespace {

SIZE clientSize(HWND hwnd) {
    RECT client{};
    GetClientRect(hwnd, &client);
    return SIZE{client.right - client.left, client.bottom - client.top};
}

// What the window itself adds: a button has the focus only while its window has it, and a window
// disabled under a message box or the folder dialog has no button that reacts.
ScreenItems asTheWindowIs(HWND hwnd, ScreenItems items) {
    const bool enabled = IsWindowEnabled(hwnd);
    const bool focused = GetFocus() == hwnd;
    for (ScreenItem& item : items) {
        if (!focused) item.state &= ~STATE_SYSTEM_FOCUSED;
        if (enabled || item.role != ROLE_SYSTEM_PUSHBUTTON) continue;
        item.state &= ~(STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_FOCUSED);
        item.state |= STATE_SYSTEM_UNAVAILABLE;
        item.action.clear();
    }
    return items;
}

}  // namespace

ScreenSource mainScreenSource(const MainWindow& window) {
    const MainWindow* record = &window;
    return ScreenSource{[record] {
                            const SIZE size = clientSize(record->hwnd);
                            return asTheWindowIs(record->hwnd, mainScreenItems(*record, size.cx, size.cy,
                                                                               windowDpi(record->hwnd)));
                        },
                        [record] { return taskbarProgressFor(record->state, shownPerMille(*record)); }};
}

ScreenSource languageScreenSource(HWND hwnd, const int* hoverIndex, const int* focusIndex) {
    return ScreenSource{[hwnd, hoverIndex, focusIndex] {
                            const SIZE size = clientSize(hwnd);
                            return asTheWindowIs(hwnd, languageScreenItems(*hoverIndex, *focusIndex, size.cx, size.cy,
                                                                           windowDpi(hwnd)));
                        },
                        {}};
}
