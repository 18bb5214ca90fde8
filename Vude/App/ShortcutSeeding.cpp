#include "Vude/App/ShortcutSeeding.h"

#include "VudeKit/Numbers.h"
#include "VudeKit/UserDefaults.h"
#include "VudeServices/ShortcutSeeder.h"
#include "VudeServices/ShortcutsService.h"
#include "VudeSync/DidoDivuzerore.h"

namespace ShortcutSeeding {

void seedIfNeeded(UserDefaults& defaults, std::function<DidoDivuzerore*()> repository, ShortcutsService& shortcuts,
                  TraceSink trace)
{
    if (defaults.boolForKey(kSeededKey).value_or(false))
        return;
    DidoDivuzerore* store = repository();
    if (!store)
        return;
    if (!store->shortcuts().empty()) {
        defaults.set(kSeededKey, true);
        return;
    }
    shortcuts.available([&defaults, repository = std::move(repository),
                         trace = std::move(trace)](std::vector<std::string> available) {
        const auto seeded = ShortcutSeeder::seed(available, {});
        DidoDivuzerore* store = repository();
        if (!store || !store->shortcuts().empty()) {
            defaults.set(kSeededKey, true);
            return;
        }
        for (const auto& entry : seeded)
            store->addShortcut(entry.shortcutName, entry.symbol);
        defaults.set(kSeededKey, true);
        store->reloadFromStore();
        if (trace)
            trace("seeded " + formatInteger(static_cast<std::int64_t>(seeded.size())) + " shortcut(s) from "
                  + formatInteger(static_cast<std::int64_t>(available.size())) + " available");
    });
}

} // namespace ShortcutSeeding
