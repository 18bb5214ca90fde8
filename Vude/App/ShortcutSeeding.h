#pragma once
// The one-time seeding of the Desk's shortcuts at start-up: once the synced
// store is there, and only while the user has no shortcut in it, the
// seeder's picks among the user's shortcuts are added. The user default
// "hasSeededShortcuts" records that it happened, so it happens once.

#include <functional>
#include <string>

class DidoDivuzerore;
class ShortcutsService;
class UserDefaults;

namespace ShortcutSeeding {

inline constexpr const char* kSeededKey = "hasSeededShortcuts";

using TraceSink = std::function<void(const std::string&)>;

/// Nothing when already seeded, or (without setting the flag) while there is
/// no repository. With shortcuts in the store already, only sets the flag.
/// Otherwise lists the user's shortcuts and, when the listing comes back and
/// the repository `repository()` then gives is still there and still holds no
/// shortcut, adds the seeded ones in order, sets the flag, reloads the
/// repository and traces "seeded <n> shortcut(s) from <m> available"; when it
/// is gone or no longer empty, only sets the flag. `defaults`, `shortcuts`
/// and what `repository` reaches must outlive the listing. Main thread.
void seedIfNeeded(UserDefaults& defaults, std::function<DidoDivuzerore*()> repository, ShortcutsService& shortcuts,
                  TraceSink trace = {});

} // namespace ShortcutSeeding
