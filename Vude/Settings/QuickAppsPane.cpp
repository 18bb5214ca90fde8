#include "Vude/Settings/QuickAppsPane.h"

#include "Vude/Settings/PaneControls.h"
#include "Vude/Settings/SettingsCard.h"
#include "Vude/Settings/SettingsRow.h"
#include "Vude/Settings/SettingsText.h"
#include "Vude/Toolkit/KeyedColumn.h"
#include "VudeKit/LinuxTexts.h"
#include "VudeKit/LocalizedCaseInsensitive.h"
#include "VudeServices/QuickAppsService.h"
#include "VudeUI/qt/QtTokens.h"
#include "VudeUI/qt/SymbolCatalog.h"

#include <QFileDialog>
#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPainter>
#include <QPointer>
#include <QShowEvent>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <system_error>

namespace {

constexpr double iconSide = 20;

std::optional<QIcon> iconOf(const QuickAppsService* service, const QuickApp& app)
{
    return service ? service->icon(app) : std::nullopt;
}

void paintIcon(QPainter& painter, const std::optional<QIcon>& icon, const QRectF& box)
{
    if (icon)
        icon->paint(&painter, box.toAlignedRect());
}

} // namespace

/// An app's icon, 20 by 20; empty without one.
class QuickAppIcon final : public QWidget {
public:
    QuickAppIcon() { setFixedSize(int(iconSide), int(iconSide)); }
    void setIcon(std::optional<QIcon> icon)
    {
        m_icon = std::move(icon);
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        paintIcon(painter, m_icon, QRectF(rect()));
    }

private:
    std::optional<QIcon> m_icon;
};

// MARK: - The pane's rules

QuickAppsPane::Chooser QuickAppsPane::fileDialogChooser()
{
    return [](QWidget* parent,
              const std::filesystem::path& folder) -> std::optional<std::vector<std::filesystem::path>> {
        QFileDialog dialog(parent);
        prepareChooserDialog(dialog, folder);
        if (dialog.exec() != QDialog::Accepted)
            return std::nullopt;
        std::vector<std::filesystem::path> files;
        for (const QString& file : dialog.selectedFiles())
            files.emplace_back(file.toStdString());
        return files;
    };
}

void QuickAppsPane::prepareChooserDialog(QFileDialog& dialog, const std::filesystem::path& folder)
{
    dialog.setWindowTitle(QStringLiteral("Choose Applications"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setNameFilter(QStringLiteral("Applications (*.desktop)"));
    dialog.setDirectory(QString::fromStdString(folder.string()));
}

std::filesystem::path QuickAppsPane::chooserFolder(const Environment::Lookup& environment)
{
    std::string dirs = environment("XDG_DATA_DIRS").value_or("");
    if (dirs.empty())
        dirs = "/usr/local/share:/usr/share";
    std::size_t start = 0;
    while (start <= dirs.size()) {
        const std::size_t end = std::min(dirs.find(':', start), dirs.size());
        const std::filesystem::path dir = dirs.substr(start, end - start);
        start = end + 1;
        if (!dir.is_absolute())
            continue;
        std::error_code error;
        if (std::filesystem::is_directory(dir / "applications", error))
            return dir / "applications";
    }
    return std::string(LinuxTexts::quickAppsChooserFolder.shown);
}

std::vector<QuickApp> QuickAppsPane::results(const std::vector<QuickApp>& installed,
                                             const std::vector<QuickApp>& chosen, const QString& search)
{
    const std::string part = search.toStdString();
    std::vector<QuickApp> offered;
    for (const QuickApp& app : installed) {
        const bool isChosen = std::any_of(chosen.begin(), chosen.end(),
                                          [&](const QuickApp& pinned) { return pinned.bundleID == app.bundleID; });
        if (isChosen)
            continue;
        if (!part.empty() && !localizedCaseInsensitiveContains(app.name, part))
            continue;
        offered.push_back(app);
    }
    return offered;
}

// MARK: - The pane

QuickAppsPane::QuickAppsPane(const SettingsEnvironment& environment, QWidget* parent)
    : SettingsPaneView(SettingsPane::quickApps, parent), m_environment(environment)
{
    m_stack = new QVBoxLayout(this);
    m_stack->setContentsMargins(0, 0, 0, 0);
    m_stack->setSpacing(18);
    build();
}

QuickAppsPane::~QuickAppsPane() = default;

void QuickAppsPane::bind(const SettingsPaneInputs& inputs)
{
    // The chosen copy is not refreshed here: only when shown and after a change.
    m_inputs = std::get<QuickAppsPaneInputs>(inputs);
    refresh();
}

void QuickAppsPane::build()
{
    const ViewEnvironment& view = m_environment.view;

    m_stack->addWidget(SettingsText::sectionTitle(QStringLiteral("On the Desk")));
    auto* chosenCard = new SettingsCard;
    m_chosenEmpty = new SettingsText(QStringLiteral("No apps chosen yet. Pick some below."),
                                     Vude::Type_::settingsFootnote, Vude::Stone::x400);
    chosenCard->addRow(PaneControls::paddedRow(m_chosenEmpty));
    m_chosenRows = new KeyedColumn<Uuid, QuickAppChosenRow>;
    chosenCard->addRow(m_chosenRows);
    m_stack->addWidget(chosenCard);

    m_stack->addWidget(SettingsText::sectionTitle(QStringLiteral("Installed apps")));
    auto* installedCard = new SettingsCard;
    auto* searchRow = new PaneControls::DividedRow;
    auto* search = new QHBoxLayout(searchRow);
    search->setContentsMargins(14, 9, 14, 9);
    search->setSpacing(8);
    auto* glass = PaneControls::symbolButton(view, "magnifyingglass", 11, Vude::Stone::x400, QSize(14, 14),
                                             Vude::Stone::x400);
    glass->setAttribute(Qt::WA_TransparentForMouseEvents);
    search->addWidget(glass);
    m_search = PaneControls::textField(QStringLiteral("Search apps"), false);
    search->addWidget(m_search, 1);
    m_choose = PaneControls::textButton(view, QStringLiteral("Choose\u2026"), Vude::Type_::settingsFootnote,
                                        Vude::Accent::x500);
    search->addWidget(m_choose);
    connect(m_search, &QLineEdit::textChanged, this, &QuickAppsPane::refresh);
    connect(m_choose, &QAbstractButton::clicked, this, &QuickAppsPane::chooseManually);
    installedCard->addRow(searchRow);

    m_loadingRow = PaneControls::loadingRow(view, QStringLiteral("Looking for apps\u2026"));
    installedCard->addRow(m_loadingRow);

    m_installedText = new SettingsText({}, Vude::Type_::settingsFootnote, Vude::Stone::x400);
    installedCard->addRow(PaneControls::paddedRow(m_installedText));

    m_installedRows = new KeyedColumn<Uuid, QuickAppInstalledRow>;
    installedCard->addRow(m_installedRows);
    m_stack->addWidget(installedCard);

    m_stack->addWidget(SettingsText::footnote(qt(LinuxTexts::quickAppsLocalNote.shown)));
    m_stack->addStretch(1);
}

void QuickAppsPane::showEvent(QShowEvent* event)
{
    SettingsPaneView::showEvent(event);
    // Every visit scans afresh; a window coming back from the taskbar is no visit.
    if (!event->spontaneous())
        scan();
}

void QuickAppsPane::scan()
{
    QuickAppsService* service = m_inputs.quickApps;
    m_chosen = service ? service->apps() : std::vector<QuickApp>{};
    refresh();
    if (!service) {
        m_loading = false;
        refresh();
        return;
    }
    QPointer<QuickAppsPane> self(this);
    service->installed([self](std::vector<QuickApp> apps) {
        if (!self)
            return;
        self->m_installed = std::move(apps);
        self->m_loading = false;
        self->refresh();
    });
}

void QuickAppsPane::changed()
{
    if (m_inputs.quickApps)
        m_chosen = m_inputs.quickApps->apps();
    refresh();
    if (m_inputs.onChange)
        m_inputs.onChange();
}

void QuickAppsPane::add(const QuickApp& app)
{
    if (m_inputs.quickApps)
        m_inputs.quickApps->add(app);
    changed();
}

void QuickAppsPane::remove(const QuickApp& app)
{
    if (m_inputs.quickApps)
        m_inputs.quickApps->remove(app);
    changed();
}

void QuickAppsPane::move(int index, int offset)
{
    if (m_inputs.quickApps)
        m_inputs.quickApps->move(index, index + offset);
    changed();
}

void QuickAppsPane::chooseManually()
{
    if (!m_chooser)
        return;
    const auto files = m_chooser(this, chooserFolder());
    if (!files)
        return;
    if (m_inputs.quickApps)
        for (const std::filesystem::path& file : *files)
            m_inputs.quickApps->add(file);
    changed();
}

void QuickAppsPane::refresh()
{
    const QuickAppsService* service = m_inputs.quickApps;
    m_chosenEmpty->parentWidget()->setVisible(m_chosen.empty());
    const int count = int(m_chosen.size());
    std::vector<std::pair<QuickApp, int>> indexed;
    for (int i = 0; i < count; ++i)
        indexed.emplace_back(m_chosen[std::size_t(i)], i);
    m_chosenRows->setItems(
        indexed, [](const std::pair<QuickApp, int>& entry) { return entry.first.id; },
        [this](const std::pair<QuickApp, int>& entry, QWidget* parent) {
            auto* row = new QuickAppChosenRow(m_environment.view, parent);
            const Uuid id = entry.first.id;
            // The row's place may change; look the app up when asked.
            const auto find = [this, id]() -> int {
                for (std::size_t i = 0; i < m_chosen.size(); ++i)
                    if (m_chosen[i].id == id)
                        return int(i);
                return -1;
            };
            connect(row, &QuickAppChosenRow::moveRequested, this, [this, find](int offset) {
                if (const int index = find(); index >= 0)
                    move(index, offset);
            });
            connect(row, &QuickAppChosenRow::removeRequested, this, [this, find] {
                if (const int index = find(); index >= 0)
                    remove(m_chosen[std::size_t(index)]);
            });
            return row;
        },
        [service, count](QuickAppChosenRow& row, const std::pair<QuickApp, int>& entry) {
            row.present(entry.first, entry.second, count, iconOf(service, entry.first),
                        service && service->isMissing(entry.first));
        });

    std::vector<QuickApp> offered =
        m_loading ? std::vector<QuickApp>{} : results(m_installed, m_chosen, m_search->text());
    const bool nothingLeft = !m_loading && offered.empty();
    if (offered.size() > maxInstalledRows)
        offered.resize(maxInstalledRows);
    m_loadingRow->setVisible(m_loading);
    m_installedText->parentWidget()->setVisible(nothingLeft);
    if (nothingLeft)
        m_installedText->setText(PaneControls::emptyResultsText(m_search->text()));
    m_installedRows->setVisible(!offered.empty());
    m_installedRows->setItems(
        offered, [](const QuickApp& app) { return app.id; },
        [this](const QuickApp& app, QWidget* parent) {
            auto* row = new QuickAppInstalledRow(m_environment.view, parent);
            const QuickApp chosen = app;
            connect(row, &QuickAppInstalledRow::addRequested, this, [this, chosen] { add(chosen); });
            return row;
        },
        [service](QuickAppInstalledRow& row, const QuickApp& app) { row.present(app, iconOf(service, app)); });
}

std::vector<QuickAppChosenRow*> QuickAppsPane::chosenRows() const
{
    return m_chosenRows->rows();
}

std::vector<QuickAppInstalledRow*> QuickAppsPane::installedRows() const
{
    return m_installedRows->isHidden() ? std::vector<QuickAppInstalledRow*>{} : m_installedRows->rows();
}

SettingsText* QuickAppsPane::chosenEmptyText() const
{
    return m_chosenEmpty->parentWidget()->isHidden() ? nullptr : m_chosenEmpty;
}

SettingsText* QuickAppsPane::installedText() const
{
    return m_installedText->parentWidget()->isHidden() ? nullptr : m_installedText;
}

QWidget* QuickAppsPane::loadingRow() const
{
    return m_loadingRow->isHidden() ? nullptr : m_loadingRow;
}

// MARK: - The rows

QuickAppChosenRow::QuickAppChosenRow(const ViewEnvironment& environment, QWidget* parent) : QWidget(parent)
{
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(14, 7, 14, 7);
    row->setSpacing(10);

    auto* arrows = new QVBoxLayout;
    arrows->setSpacing(1);
    const auto arrow = [&](const char* name) {
        return PaneControls::symbolButton(environment, name, 8, Vude::Stone::x300, QSize(14, 11), Vude::Ink::x600);
    };
    m_up = arrow("chevron.up");
    m_down = arrow("chevron.down");
    arrows->addWidget(m_up, 0, Qt::AlignHCenter);
    arrows->addWidget(m_down, 0, Qt::AlignHCenter);
    row->addLayout(arrows);
    connect(m_up, &QAbstractButton::clicked, this, [this] { emit moveRequested(-1); });
    connect(m_down, &QAbstractButton::clicked, this, [this] { emit moveRequested(1); });

    m_icon = new QuickAppIcon;
    row->addWidget(m_icon);

    auto* texts = new QVBoxLayout;
    texts->setSpacing(0);
    m_name = new SettingsText({}, Vude::Type_::settingsRow, Vude::Stone::x100);
    m_name->setWrapping(false);
    m_missing = new SettingsText(qt(LinuxTexts::quickAppsNotInstalledRow.shown), Vude::Type_::settingsFootnote,
                                 Vude::Semantic::amber);
    m_missing->setWrapping(false);
    texts->addWidget(m_name);
    texts->addWidget(m_missing);
    row->addLayout(texts);
    row->addStretch(1);
    row->addSpacing(8);

    m_remove = PaneControls::symbolButton(environment, "minus.circle.fill", 13, Vude::Stone::x400, QSize(18, 18),
                                          Vude::Stone::x400);
    row->addWidget(m_remove);
    connect(m_remove, &QAbstractButton::clicked, this, &QuickAppChosenRow::removeRequested);
}

void QuickAppChosenRow::present(const QuickApp& app, int index, int count, std::optional<QIcon> icon, bool missing)
{
    m_app = app;
    m_up->setEnabled(index > 0);
    m_down->setEnabled(index < count - 1);
    // No icon takes no room.
    m_icon->setVisible(icon.has_value());
    m_icon->setIcon(std::move(icon));
    m_name->setText(QString::fromStdString(app.name));
    m_missing->setVisible(missing);
    m_up->update();
    m_down->update();
}

SettingsText* QuickAppChosenRow::missingLine() const
{
    return m_missing->isHidden() ? nullptr : m_missing;
}

void QuickAppChosenRow::paintEvent(QPaintEvent*)
{
    paintRowDivider(*this);
}

QuickAppInstalledRow::QuickAppInstalledRow(const ViewEnvironment& environment, QWidget* parent) : QWidget(parent)
{
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    m_button = new PlainButton(environment);
    m_button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    const double line = std::max(QFontMetricsF(toQFont(Vude::Type_::settingsRow)).height(), iconSide);
    m_button->setPreferredSize(QSize(0, int(std::ceil(line)) + 14));
    m_button->setPainter([this](QPainter& painter, const PlainButton& self) {
        painter.setRenderHint(QPainter::Antialiasing);
        QRectF content = QRectF(self.rect()).adjusted(14, 7, -14, -7);
        if (m_icon) {
            paintIcon(painter, m_icon, QRectF(content.left(), content.center().y() - iconSide / 2, iconSide, iconSide));
            content.setLeft(content.left() + iconSide + 10);
        }
        const double side = 12 * SymbolCatalog::kOpticalScale;
        SymbolCatalog::draw(painter, QRectF(content.right() - side, content.center().y() - side / 2, side, side),
                            "plus.circle", toQColor(Vude::Accent::x500), 12);
        content.setRight(content.right() - side - 8);
        painter.setFont(toQFont(Vude::Type_::settingsRow));
        QColor ink = toQColor(Vude::Stone::x100);
        if (self.isPressedInside())
            ink.setAlphaF(0.6F);
        painter.setPen(ink);
        const QString text = QFontMetricsF(painter.font()).elidedText(self.text(), Qt::ElideRight, content.width());
        painter.drawText(content, Qt::AlignLeft | Qt::AlignVCenter, text);
    });
    outer->addWidget(m_button);
    connect(m_button, &QAbstractButton::clicked, this, &QuickAppInstalledRow::addRequested);
}

void QuickAppInstalledRow::present(const QuickApp& app, std::optional<QIcon> icon)
{
    m_app = app;
    m_icon = std::move(icon);
    m_button->setText(QString::fromStdString(app.name));
    m_button->update();
}

void QuickAppInstalledRow::paintEvent(QPaintEvent*)
{
    paintRowDivider(*this);
}
