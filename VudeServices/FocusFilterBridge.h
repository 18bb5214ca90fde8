#pragma once
// Keeps the Focus filter's mode name and symbol in the user defaults and hands
// them to the Focus service, so the Focus pill can show the mode's own name
// and symbol. The identity outlives the process: the next launch restores it.
// Main thread only.

#include <QPointer>

#include <memory>
#include <optional>
#include <string>

class FocusService;
class UserDefaults;

class FocusFilterBridge {
public:
    static constexpr const char* kModeNameKey = "focusFilterModeName";
    static constexpr const char* kModeSymbolKey = "focusFilterModeSymbol";

    /// `defaults`: where the identity is kept; none means the standard user
    /// defaults, looked up at each use.
    explicit FocusFilterBridge(std::shared_ptr<UserDefaults> defaults = nullptr);

    /// The app's one bridge, over the standard user defaults.
    static FocusFilterBridge& shared();

    /// Stores both values (an absent one removes its key), then hands them to
    /// the service when one is set.
    void apply(std::optional<std::string> name, std::optional<std::string> symbol);
    /// Remembers the service (weakly) and, when at least one value is
    /// stored, hands the stored identity to it.
    void restore(FocusService& service);

    /// The service restore() was given, while it lives.
    FocusService* service() const;

private:
    std::shared_ptr<UserDefaults> defaults() const;

    std::shared_ptr<UserDefaults> m_defaults;
    QPointer<FocusService> m_service;
};
