#pragma once
// The Quick Apps pane: the applications on the Desk in their order (move
// up, move down, remove) and the installed applications not chosen yet,
// with a search and a chooser for desktop entries outside the scanned
// folders. The list belongs to the quick apps service and stays on this
// computer.
//
// Each time the pane is shown it copies the service's list and scans the
// installed applications again (off the main thread). Its copy of the chosen
// list is refreshed only then and after a change made here; every change
// made here then calls onChange.

#include "Platform/Core/Environment.h"
#include "Vude/Settings/SettingsPaneView.h"
#include "VudeServices/QuickApp.h"

#include <QIcon>
#include <QString>

#include <filesystem>
#include <functional>
#include <optional>
#include <vector>

class PlainButton;
class QFileDialog;
class QLineEdit;
class QVBoxLayout;
class QuickAppChosenRow;
class QuickAppIcon;
class QuickAppInstalledRow;
class SettingsText;
template <typename Key, typename Row>
class KeyedColumn;

class QuickAppsPane final : public SettingsPaneView {
    Q_OBJECT
public:
    /// The installed card never holds more rows than this.
    static constexpr std::size_t maxInstalledRows = 60;

    /// Asks the user for desktop entries, starting in `folder`: the files
    /// picked, or none when the user cancels.
    using Chooser = std::function<std::optional<std::vector<std::filesystem::path>>(
        QWidget* parent, const std::filesystem::path& folder)>;
    /// A modal file dialog for "*.desktop" files, several at once.
    static Chooser fileDialogChooser();
    /// Sets `dialog` up as the chooser's: Qt's own dialog (not the
    /// desktop's), existing desktop entries only, several at once, in `folder`.
    static void prepareChooserDialog(QFileDialog& dialog, const std::filesystem::path& folder);
    /// Where the chooser starts: the first "applications" folder of
    /// $XDG_DATA_DIRS that exists, else /usr/share/applications.
    static std::filesystem::path chooserFolder(const Environment::Lookup& environment = Environment::process());

    /// The installed apps to offer, in scan order: not chosen (by bundle id),
    /// holding `search` as typed with letter case ignored. The card shows
    /// the first maxInstalledRows.
    static std::vector<QuickApp> results(const std::vector<QuickApp>& installed, const std::vector<QuickApp>& chosen,
                                         const QString& search);

    QuickAppsPane(const SettingsEnvironment& environment, QWidget* parent = nullptr);
    ~QuickAppsPane() override;

    void bind(const SettingsPaneInputs& inputs) override;
    void setChooser(Chooser chooser) { m_chooser = std::move(chooser); }

    /// Copies the chosen list, then scans the installed apps.
    void scan();
    void add(const QuickApp& app);
    void remove(const QuickApp& app);
    void move(int index, int offset);
    /// Asks the chooser; when confirmed, adds each file picked in order.
    void chooseManually();

    bool isLoading() const { return m_loading; }
    const std::vector<QuickApp>& chosen() const { return m_chosen; }
    const std::vector<QuickApp>& installed() const { return m_installed; }

    std::vector<QuickAppChosenRow*> chosenRows() const;
    std::vector<QuickAppInstalledRow*> installedRows() const;
    /// None while hidden.
    SettingsText* chosenEmptyText() const;
    SettingsText* installedText() const;
    QWidget* loadingRow() const;
    QLineEdit* searchField() const { return m_search; }
    PlainButton* chooseButton() const { return m_choose; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void build();
    void changed();
    void refresh();

    const SettingsEnvironment& m_environment;
    QuickAppsPaneInputs m_inputs;
    Chooser m_chooser = fileDialogChooser();
    std::vector<QuickApp> m_installed;
    std::vector<QuickApp> m_chosen;
    bool m_loading = true;

    QVBoxLayout* m_stack = nullptr;
    SettingsText* m_chosenEmpty = nullptr;
    KeyedColumn<Uuid, QuickAppChosenRow>* m_chosenRows = nullptr;
    QLineEdit* m_search = nullptr;
    PlainButton* m_choose = nullptr;
    QWidget* m_loadingRow = nullptr;
    SettingsText* m_installedText = nullptr;
    KeyedColumn<Uuid, QuickAppInstalledRow>* m_installedRows = nullptr;
};

/// A chosen app: reorder arrows, icon, name (and a line when it is not
/// installed), remove button.
class QuickAppChosenRow final : public QWidget {
    Q_OBJECT
public:
    QuickAppChosenRow(const ViewEnvironment& environment, QWidget* parent = nullptr);

    void present(const QuickApp& app, int index, int count, std::optional<QIcon> icon, bool missing);
    const QuickApp& app() const { return m_app; }
    PlainButton* upButton() const { return m_up; }
    PlainButton* downButton() const { return m_down; }
    PlainButton* removeButton() const { return m_remove; }
    /// None while the app is installed.
    SettingsText* missingLine() const;

signals:
    void moveRequested(int offset);
    void removeRequested();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QuickApp m_app;
    PlainButton* m_up = nullptr;
    PlainButton* m_down = nullptr;
    QuickAppIcon* m_icon = nullptr;
    SettingsText* m_name = nullptr;
    SettingsText* m_missing = nullptr;
    PlainButton* m_remove = nullptr;
};

/// An installed app not chosen yet: the whole row adds it.
class QuickAppInstalledRow final : public QWidget {
    Q_OBJECT
public:
    QuickAppInstalledRow(const ViewEnvironment& environment, QWidget* parent = nullptr);

    void present(const QuickApp& app, std::optional<QIcon> icon);
    const QuickApp& app() const { return m_app; }
    PlainButton* button() const { return m_button; }

signals:
    void addRequested();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QuickApp m_app;
    std::optional<QIcon> m_icon;
    PlainButton* m_button = nullptr;
};
