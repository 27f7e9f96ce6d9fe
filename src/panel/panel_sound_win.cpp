#include "panel/panel_sound_win.h"

#include <windows.h>
#include <mmsystem.h>

#include <utility>

namespace {

PanelSoundFn& SoundFunction() {
    static PanelSoundFn s_fn;
    return s_fn;
}

// The sounds of the user's scheme (Control Panel, Sound): a sent action is
// the default beep, a missing magnifier the critical stop, a level at its
// end the exclamation.
const char* AliasOf(panel_logic::PanelSound nSound) {
    switch (nSound) {
        case panel_logic::SOUND_SENT:
            return ".Default";
        case panel_logic::SOUND_NOT_DETECTED:
            return "SystemHand";
        case panel_logic::SOUND_AT_LIMIT:
            return "SystemExclamation";
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
    if (const char* pszAlias = AliasOf(nSound)) {
        ::PlaySoundA(pszAlias, nullptr, SND_ALIAS | SND_ASYNC | SND_NODEFAULT);
    }
}

void SetPanelSoundFunction(PanelSoundFn fn) {
    SoundFunction() = std::move(fn);
}
