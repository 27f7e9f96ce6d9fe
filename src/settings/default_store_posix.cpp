// Where there is no registry, the sections keep their values for the run in
// one in-memory store with the registry's model.
#include "settings/memory_settings_store.h"

ISettingsStore& DefaultSettingsStore() {
    static CMemorySettingsStore store;
    return store;
}
