#pragma once
// The Shortcuts pane: the shortcuts on the Desk, each removable, and the
// shortcuts found on this computer that are not on it yet, each added with
// one click, with a search; or, where this build cannot list them, adding a
// shortcut by its exact name.
//
// The listing runs each time the pane is shown and on the reload button,
// off the main thread (the service's runner); the pane only waits for it.
// The chosen list comes from the repository: a republished list is bound in
// place, so the search, the name being typed and the last listing stay, and
// the listing does not run again.

#include "Vude/Settings/SettingsPaneView.h"

#include <QString>

#include <string>
#include <vector>

class AccentButton;
class PlainButton;
class QLineEdit;
class QVBoxLayout;
class SettingsText;
class ShortcutDeskRow;
class ShortcutListRow;
template <typename Key, typename Row>
class KeyedColumn;

class ShortcutsPane final : public SettingsPaneView {
    Q_OBJECT
public:
    /// The listed names to offer: those no chosen shortcut names exactly
    /// (letter case counts), then those holding `search` as typed, letter
    /// case ignored.
    static std::vector<std::string> results(const std::vector<std::string>& available,
                                            const std::vector<ShortcutSnapshot>& chosen, const QString& search);
    /// `name` without spaces and tabs at either end (line breaks stay).
    static QString trimmedName(const QString& name);
    /// Whether the service can list and the build may.
    static bool canListShortcuts(const ShortcutsService* service, const BuildProfile& profile);
    /// The explanation where listing is not possible.
    static QString unavailableText(const BuildProfile& profile);
    /// The text when a listing found nothing.
    static QString noneFoundText();

    ShortcutsPane(const SettingsEnvironment& environment, QWidget* parent = nullptr);
    ~ShortcutsPane() override;

    void bind(const SettingsPaneInputs& inputs) override;

    /// Lists the installed shortcuts again; the last listing to end decides.
    void load();
    /// Adds the typed name (trimmed) and empties the field; nothing when blank.
    void addManual();

    bool isLoading() const { return m_loading; }
    const std::vector<std::string>& available() const { return m_available; }
    /// What the list offers now.
    std::vector<std::string> results() const;

    std::vector<ShortcutDeskRow*> deskRows() const;
    std::vector<ShortcutListRow*> listRows() const;
    /// None while hidden.
    SettingsText* chosenEmptyText() const;
    SettingsText* listText() const;
    SettingsText* unavailableExplanation() const;
    QWidget* loadingRow() const;
    QLineEdit* searchField() const;
    QLineEdit* nameField() const;
    AccentButton* addButton() const { return m_add; }
    PlainButton* reloadButton() const { return m_reload; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void build();
    void refresh();
    void refreshChosen();
    void refreshList();
    void placeNameRow(QWidget* holder);
    void finishLoad(std::vector<std::string> names);

    const SettingsEnvironment& m_environment;
    ShortcutsPaneInputs m_inputs;
    std::vector<std::string> m_available;
    bool m_loading = true;

    QVBoxLayout* m_stack = nullptr;
    SettingsText* m_chosenEmpty = nullptr;
    KeyedColumn<Uuid, ShortcutDeskRow>* m_chosen = nullptr;
    QWidget* m_unavailable = nullptr;
    SettingsText* m_unavailableText = nullptr;
    QWidget* m_searchRow = nullptr;
    QLineEdit* m_search = nullptr;
    PlainButton* m_reload = nullptr;
    QWidget* m_loadingRow = nullptr;
    QWidget* m_noneFound = nullptr;
    QWidget* m_listTextBox = nullptr;
    SettingsText* m_listText = nullptr;
    KeyedColumn<std::string, ShortcutListRow>* m_list = nullptr;
    QWidget* m_nameRow = nullptr;
    QLineEdit* m_name = nullptr;
    AccentButton* m_add = nullptr;
};

/// A shortcut on the Desk: its symbol, its name and the remove button.
class ShortcutDeskRow final : public QWidget {
    Q_OBJECT
public:
    ShortcutDeskRow(const ViewEnvironment& environment, QWidget* parent = nullptr);

    void present(const ShortcutSnapshot& shortcut);
    const ShortcutSnapshot& shortcut() const { return m_shortcut; }
    QString shownName() const;
    PlainButton* removeButton() const { return m_remove; }

signals:
    void removeRequested();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    ShortcutSnapshot m_shortcut;
    SettingsText* m_name = nullptr;
    PlainButton* m_remove = nullptr;
};

/// A listed shortcut not on the Desk: the whole row adds it.
class ShortcutListRow final : public QWidget {
    Q_OBJECT
public:
    ShortcutListRow(const ViewEnvironment& environment, QWidget* parent = nullptr);

    void present(const std::string& name);
    const std::string& name() const { return m_name; }
    PlainButton* button() const { return m_button; }

signals:
    void addRequested();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::string m_name;
    PlainButton* m_button = nullptr;
};
