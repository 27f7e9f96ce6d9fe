// The panel's short system sounds, through one replaceable function so that
// tests can hear which sound was played.
#pragma once

#include <functional>

#include "panel/panel_logic.h"

// Plays the system sound of nSound without waiting for it; a newer sound
// cuts an older one short. A sound the user's scheme leaves empty stays
// silent. SOUND_NONE plays nothing.
void PlayPanelSound(panel_logic::PanelSound nSound);

// Replaces the player for tests; an empty function restores the real one.
using PanelSoundFn = std::function<void(panel_logic::PanelSound)>;
void SetPanelSoundFunction(PanelSoundFn fn);
