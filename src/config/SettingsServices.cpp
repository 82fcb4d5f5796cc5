#include "config/SettingsServices.h"

#include "store/SettingsRepository.h"

namespace parlix {

RuntimeSettings currentSettingsOf(const SettingsServices &services)
{
    if (services.currentSettings)
        return services.currentSettings();
    SettingsRepository repository(services.db);
    auto rows = repository.readAll();
    if (!rows)
        return {};
    auto loaded = loadRuntimeSettings(rows.value());
    return loaded ? loaded.value() : RuntimeSettings{};
}

} // namespace parlix
