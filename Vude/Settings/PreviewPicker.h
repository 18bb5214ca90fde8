#pragma once
// A row of option tiles under a label, each drawing a small still preview
// of what its option looks like (the HUD's bar style and speed, the media
// bar's look). A click asks for the tile's option through `tileClicked`; the
// owner writes it and shows what was kept with setSelectedIndex
// (bindPreviewPicker does both). A selection that is none of the options
// leaves every tile unselected.
//
// The previews are drawings, never animations: BarPreview, MediaBarPreview
// and SpeedPreview paint one option into the black box of a tile.

#include "Vude/Settings/SettingsBindings.h"
#include "Vude/Toolkit/ViewEnvironment.h"
#include "VudeKit/EnumTraits.h"
#include "VudeKit/SettingEnums.h"
#include "VudeKit/SettingsStore.h"

#include <QPointer>
#include <QRectF>
#include <QString>
#include <QWidget>

#include <algorithm>
#include <functional>
#include <optional>
#include <vector>

class PlainButton;
class QPainter;

class PreviewPicker final : public QWidget {
    Q_OBJECT
public:
    /// Paints one option's preview into the tile's box.
    using Preview = std::function<void(QPainter& painter, const QRectF& box)>;
    struct Option {
        QString title;
        Preview preview;
    };

    static constexpr double horizontalPadding = 12;
    static constexpr double verticalPadding = 10;
    static constexpr double labelSpacing = 8;
    static constexpr double tileSpacing = 8;
    static constexpr double previewHeight = 30;
    static constexpr double titleSpacing = 5;
    static constexpr double boxRadius = 7;
    static constexpr double selectedBorderWidth = 1.5;
    static constexpr double borderWidth = 1;

    /// `environment` must outlive the picker.
    PreviewPicker(const QString& label, std::vector<Option> options, const ViewEnvironment& environment,
                  QWidget* parent = nullptr);

    QString label() const { return m_label; }
    int count() const { return int(m_tiles.size()); }
    PlainButton* tile(int index) const { return m_tiles.at(std::size_t(index)); }
    QString title(int index) const { return m_options.at(std::size_t(index)).title; }

    /// The selected tile; none when the selection is no option.
    std::optional<int> selectedIndex() const { return m_selected; }
    bool isSelected(int index) const { return m_selected == index; }
    /// Shows `index` selected; never emits `tileClicked`.
    void setSelectedIndex(std::optional<int> index);

    /// Where `selection` is among `values`; none when it is not offered.
    template <typename Value>
    static std::optional<int> indexOf(const std::vector<Value>& values, const Value& selection)
    {
        const auto found = std::find(values.begin(), values.end(), selection);
        return found == values.end() ? std::nullopt : std::optional(int(found - values.begin()));
    }

signals:
    void tileClicked(int index);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void paintTile(QPainter& painter, const PlainButton& tile, int index) const;

    QString m_label;
    std::vector<Option> m_options;
    std::vector<PlainButton*> m_tiles;
    std::optional<int> m_selected;
};

/// Ties `picker`, whose tiles show `values` in order, to a setting of the
/// bindings' store.
template <typename Value>
void bindPreviewPicker(SettingsBindings& bindings, PreviewPicker& picker, std::vector<Value> values,
                       Value (SettingsStore::*get)() const, void (SettingsStore::*set)(const Value&))
{
    SettingsStore& store = bindings.store();
    const QPointer<PreviewPicker> guarded(&picker);
    auto show = [&store, guarded, values, get] {
        if (guarded)
            guarded->setSelectedIndex(PreviewPicker::indexOf(values, (store.*get)()));
    };
    QObject::connect(&picker, &PreviewPicker::tileClicked, &bindings, [&store, values, set, show](int index) {
        (store.*set)(values.at(std::size_t(index)));
        show();
    });
    bindings.follow(show);
}

/// The HUD bar's look: a 33 × 4 capsule, a gradient for decibel, solid
/// accent otherwise; glow alone adds a soft accent shadow.
namespace BarPreview {
inline constexpr QSizeF capsule{33, 4};
inline constexpr double glowRadius = 5;
inline constexpr double glowOpacity = 0.9;
void paint(QPainter& painter, const QRectF& box, BarStyle style);
/// One tile per style, titled with its display name.
std::vector<PreviewPicker::Option> options(const std::vector<BarStyle>& styles);
} // namespace BarPreview

/// The media bar's look: the same capsule in accent, the artwork's colour
/// or a gradient of it.
namespace MediaBarPreview {
void paint(QPainter& painter, const QRectF& box, MediaBarStyle style);
std::vector<PreviewPicker::Option> options(const std::vector<MediaBarStyle>& styles);
} // namespace MediaBarPreview

/// The HUD's speed as one symbol: a tortoise, a hare, a bolt.
namespace SpeedPreview {
inline constexpr double symbolSize = 13;
const char* symbol(HUDSpeed speed);
void paint(QPainter& painter, const QRectF& box, HUDSpeed speed);
std::vector<PreviewPicker::Option> options(const std::vector<HUDSpeed>& speeds);
} // namespace SpeedPreview
