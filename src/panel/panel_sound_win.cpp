#include "panel/panel_sound_win.h"

#include <windows.h>
#include <mmsystem.h>

#include <utility>

#include "framework/system_dll.h"

namespace {

PanelSoundFn& SoundFunction() {
    static PanelSoundFn s_fn;
    return s_fn;
}

// The sounds of the user's scheme (Control Panel, Sound): a sent action is
// the default beep, a missing magnifier the critical stop, a level at its
// end the exclamation.
const wchar_t* AliasOf(panel_logic::PanelSound nSound) {
    switch (nSound) {
        case panel_logic::SOUND_SENT:
            return L".Default";
        case panel_logic::SOUND_NOT_DETECTED:
            return L"SystemHand";
        case panel_logic::SOUND_AT_LIMIT:
            return L"SystemExclamation";
        default:
            return nullptr;
    }
}

}  // namespace

void PlayPanelSound(panel_logic::PanelSound nSound) {
    if (nSound == panel_logic::SOUND_NONE) {
        return;
    }
    if (SoundFunction()) {
        SoundFunction()(nSound);
        return;
    }
    // winmm.dll is not one of the DLLs Windows always takes from the system
    // folder: it is loaded from there at the first sound. Without it the
    // panel stays silent, the reason kept under "winmm.dll".
    using PlaySoundFn = BOOL(WINAPI*)(const wchar_t*, HMODULE, DWORD);
    static const PlaySoundFn s_pPlaySound =
        SystemDllFunction<PlaySoundFn>("winmm.dll", "PlaySoundW");
    const wchar_t* pszAlias = AliasOf(nSound);
    if (pszAlias != nullptr && s_pPlaySound != nullptr) {
        s_pPlaySound(pszAlias, nullptr, SND_ALIAS | SND_ASYNC | SND_NODEFAULT);
    }
}

void SetPanelSoundFunction(PanelSoundFn fn) {
    SoundFunction() = std::move(fn);
}
