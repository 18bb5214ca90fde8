// The activity panes' building blocks: the header card and its dimmed
// duration, the preview picker and its previews, the suppression card's
// three states and the notice cards.
#include "Vude/Settings/ActivityHeaderCard.h"
#include "Vude/Settings/NoticeCards.h"
#include "Vude/Settings/PreviewPicker.h"
#include "Vude/Settings/SettingsBindings.h"
#include "Vude/Settings/SettingsRow.h"
#include "Vude/Settings/SettingsSwitch.h"
#include "Vude/Settings/SettingsText.h"
#include "Vude/Settings/SuppressionCard.h"
#include "Vude/Settings/ValueSlider.h"
#include "Vude/Toolkit/AccentButton.h"
#include "Vude/Toolkit/Dimming.h"
#include "VudeKit/LinuxTexts.h"

#include "SettingsRig.h"
#include "WidgetPicture.h"

#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

namespace {

using settingstest::SettingsRig;

class ActivityPaneBlocksQtTest : public ::testing::Test {
protected:
    /// A window holding `block` at a pane's width, laid out.
    template <typename Block>
    Block& hold(Block* block)
    {
        window = std::make_unique<QWidget>();
        auto* layout = new QVBoxLayout(window.get());
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(block);
        fit(520);
        window->show();
        return *block;
    }

    /// Gives the window `width` and the height its wrapped texts need.
    void fit(int width)
    {
        const int height = window->layout()->hasHeightForWidth() ? window->layout()->heightForWidth(width)
                                                                 : window->sizeHint().height();
        window->resize(width, height);
    }

    SettingsRig rig;
    std::unique_ptr<QWidget> window;
    std::unique_ptr<SettingsBindings> bindings = std::make_unique<SettingsBindings>(rig.store, nullptr);
};

// MARK: - Header card

TEST_F(ActivityPaneBlocksQtTest, TheDurationIsDimmedAndInertWhileTheActivityIsOff)
{
    auto& header = hold(new ActivityHeaderCard("Sound", 0.5, 10, rig.environment.view));
    header.bind(*bindings, &SettingsStore::soundEnabled, &SettingsStore::setSoundEnabled,
                &SettingsStore::soundDuration, &SettingsStore::setSoundDuration);
    ValueSlider* slider = header.durationSlider();
    EXPECT_EQ(slider->shownText(), "1 s");
    EXPECT_FALSE(Dimming::isDimmed(*slider));

    QTest::mouseClick(header.enabledSwitch(), Qt::LeftButton);
    EXPECT_FALSE(rig.store.soundEnabled());
    EXPECT_TRUE(Dimming::isDimmed(*slider));
    EXPECT_DOUBLE_EQ(Dimming::drawnOpacity(*slider), 0.45);
    EXPECT_DOUBLE_EQ(Dimming::drawnOpacity(*header.enabledSwitch()), 1) << "the switch itself stays usable";
    QTest::mouseClick(slider, Qt::LeftButton, {}, slider->thumbCentre(slider->upper()).toPoint());
    EXPECT_EQ(rig.store.soundDuration(), 1.5) << "a dimmed slider takes no drag";

    rig.store.setSoundEnabled(true);
    EXPECT_FALSE(Dimming::isDimmed(*slider)) << "follows a write made elsewhere at once";
    QTest::mouseClick(slider, Qt::LeftButton, {}, slider->thumbCentre(slider->upper()).toPoint());
    EXPECT_GT(rig.store.soundDuration(), 9);
    EXPECT_LE(rig.store.soundDuration(), 10);
}

// MARK: - Preview picker

TEST_F(ActivityPaneBlocksQtTest, ATileWritesItsOptionAndAStoredValueNotOfferedSelectsNoTile)
{
    const std::vector<BarStyle> offered{BarStyle::white, BarStyle::accent, BarStyle::decibel};
    auto& picker = hold(new PreviewPicker("Bar", BarPreview::options(offered), rig.environment.view));
    bindPreviewPicker(*bindings, picker, offered, &SettingsStore::soundBarStyle, &SettingsStore::setSoundBarStyle);
    ASSERT_EQ(picker.count(), 3);
    EXPECT_EQ(picker.title(2), "Decibel");
    EXPECT_EQ(picker.selectedIndex(), 0) << "white by default";

    QTest::mouseClick(picker.tile(2), Qt::LeftButton);
    EXPECT_EQ(rig.store.soundBarStyle(), BarStyle::decibel);
    EXPECT_EQ(picker.selectedIndex(), 2);

    rig.store.setSoundBarStyle(BarStyle::glow);
    EXPECT_EQ(picker.selectedIndex(), std::nullopt);
    for (int index = 0; index < picker.count(); ++index)
        EXPECT_FALSE(picker.isSelected(index)) << index;
    const QImage image = testsupport::picture(picker);
    // Every border thin and grey: no accent anywhere along the tiles' tops.
    for (int index = 0; index < picker.count(); ++index) {
        const QRect tile = picker.tile(index)->geometry();
        EXPECT_EQ(image.pixelColor(tile.center().x(), tile.top()).rgb(), toQColor(Vude::Ink::x700).rgb()) << index;
    }
    EXPECT_TRUE(testsupport::saveScreenshot(picker, "PreviewPicker-none-selected"));

    QTest::mouseClick(picker.tile(0), Qt::LeftButton);
    EXPECT_EQ(rig.store.soundBarStyle(), BarStyle::white);
    const QImage selected = testsupport::picture(picker);
    const QRect first = picker.tile(0)->geometry();
    EXPECT_EQ(selected.pixelColor(first.center().x(), first.top()).rgb(), toQColor(Vude::Accent::x500).rgb());
}

TEST_F(ActivityPaneBlocksQtTest, OnlyGlowAddsAShadowToTheSameAccentCapsule)
{
    const QRectF box(0, 0, 120, 30);
    const auto draw = [&](BarStyle style) {
        QImage image(box.size().toSize(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::black);
        QPainter painter(&image);
        BarPreview::paint(painter, box, style);
        return image;
    };
    const QPoint centre(60, 15);
    const QPoint above(60, 11); // 2 points above the capsule's top edge
    const QColor accent = toQColor(Vude::Accent::x500);
    for (BarStyle style : {BarStyle::white, BarStyle::accent, BarStyle::glow}) {
        SCOPED_TRACE(std::string(rawValue(style)));
        const QImage image = draw(style);
        EXPECT_EQ(image.pixelColor(centre).rgb(), accent.rgb()) << "the same solid capsule";
        const bool lit = image.pixelColor(above).lightness() > 20;
        EXPECT_EQ(lit, style == BarStyle::glow);
    }
    const QImage decibel = draw(BarStyle::decibel);
    EXPECT_LT(decibel.pixelColor(45, 15).lightness(), decibel.pixelColor(75, 15).lightness())
        << "darker at the leading edge";
    EXPECT_EQ(decibel.pixelColor(above).rgb(), QColor(Qt::black).rgb());
}

TEST_F(ActivityPaneBlocksQtTest, TheMediaBarIsAccentArtworkColourOrAGradientOfIt)
{
    const QRectF box(0, 0, 120, 30);
    const auto draw = [&](MediaBarStyle style) {
        QImage image(box.size().toSize(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::black);
        QPainter painter(&image);
        MediaBarPreview::paint(painter, box, style);
        return image;
    };
    EXPECT_EQ(draw(MediaBarStyle::monochrome).pixelColor(60, 15).rgb(), toQColor(Vude::Accent::x500).rgb());
    EXPECT_EQ(draw(MediaBarStyle::colored).pixelColor(60, 15).rgb(), QColor(138, 127, 112).rgb());
    const QImage gradient = draw(MediaBarStyle::gradient);
    EXPECT_LT(gradient.pixelColor(45, 15).lightness(), gradient.pixelColor(75, 15).lightness());
    EXPECT_EQ(gradient.pixelColor(60, 11).rgb(), QColor(Qt::black).rgb()) << "no glow";
}

// MARK: - Suppression card

TEST_F(ActivityPaneBlocksQtTest, TheSuppressionCardShowsAllowOrOneOrTwoRows)
{
    struct Row {
        const char* why;
        bool canSuppress;
        bool suppress;
        bool allow;
        int rows;
    };
    const std::vector<Row> rows{
        {"no access, off: Allow…", false, false, true, 1},
        {"no access: never the pass-through row, whatever is stored", false, true, true, 1},
        {"access and off: the switch alone", true, false, false, 1},
        {"access and on: the switch and the pass-through row", true, true, false, 2},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        rig.services.log.clear();
        rig.store.setSuppressSystemHUD(row.suppress);
        auto& card = hold(new SuppressionCard(*bindings, row.canSuppress,
                                              [this] { rig.services.requestAccessibility(); }, rig.environment.view));
        EXPECT_EQ(card.switchRow()->label(), "Replace the system HUD");
        EXPECT_EQ(card.allowButton() != nullptr, row.allow);
        EXPECT_EQ(card.suppressSwitch() != nullptr, !row.allow);
        EXPECT_EQ(card.shownRowCount(), row.rows);
        EXPECT_EQ(card.switchRow()->footnote(),
                  qt(row.canSuppress ? LinuxTexts::suppressionFootnoteHolding.shown
                                     : LinuxTexts::suppressionFootnoteHeld.shown));
        EXPECT_TRUE(rig.services.log.empty()) << "nothing is asked for when shown";
        if (row.allow) {
            EXPECT_EQ(card.allowButton()->text(), "Allow\u2026");
            QTest::mouseClick(card.allowButton(), Qt::LeftButton);
            EXPECT_EQ(rig.services.log, std::vector<std::string>{"requestAccessibility"});
            EXPECT_EQ(rig.store.suppressSystemHUD(), row.suppress) << "asking changes no setting";
        }
        const std::string name = std::string("SuppressionCard-") + (row.canSuppress ? "access-" : "no-access-") +
                                 (row.suppress ? "on" : "off");
        EXPECT_TRUE(testsupport::saveScreenshot(*window, QString::fromStdString(name)));
    }
}

TEST_F(ActivityPaneBlocksQtTest, TheSwitchWritesTheSettingAndThePassThroughRowFollows)
{
    auto& card = hold(new SuppressionCard(*bindings, true, {}, rig.environment.view));
    ASSERT_NE(card.passThroughRow(), nullptr);
    EXPECT_EQ(card.passThroughRow()->label(), "Keys with no settable volume");
    QTest::mouseClick(card.suppressSwitch(), Qt::LeftButton);
    EXPECT_TRUE(rig.store.suppressSystemHUD());
    EXPECT_EQ(card.shownRowCount(), 2);
    rig.store.setSuppressSystemHUD(false);
    EXPECT_FALSE(card.suppressSwitch()->isOn());
    EXPECT_EQ(card.shownRowCount(), 1);
    QApplication::processEvents();
    fit(520);
    QApplication::processEvents();
    QWidget* box = card.switchRow()->parentWidget();
    EXPECT_EQ(box->height(), card.switchRow()->geometry().bottom() + 1) << "the hidden row leaves no gap";
}

// MARK: - Notice cards

TEST_F(ActivityPaneBlocksQtTest, APermissionCardNamesItsPermissionAndWhatGoesWithoutIt)
{
    struct Row {
        Permission permission;
        const char* symbol;
        QString title;
        QString line;
    };
    const std::vector<Row> rows{
        {Permission::inputMonitoring, "keyboard", qt(LinuxTexts::mediaKeysUnreadableTitle.shown),
         "Volume changes still show a HUD \u2014 Vude reads them from the audio system instead."},
        {Permission::accessibility, "hand.tap", qt(LinuxTexts::mediaKeysHeldTitle.shown),
         qt(LinuxTexts::mediaKeyControlConsequence.shown)},
        {Permission::bluetooth, "airpods.gen3", "Bluetooth access needed",
         "No connect or battery pills. Everything else is unaffected."},
        {Permission::calendar, "calendar", "Calendar access needed", "No calendar widget or event pills."},
        {Permission::camera, "camera", "Camera access needed", "No Mirror widget."},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.permission.rawValue()));
        int requests = 0;
        auto& card = hold(new PermissionNeededCard(row.permission, [&] { ++requests; }, rig.environment.view));
        EXPECT_EQ(card.symbol(), row.symbol);
        EXPECT_EQ(card.titleText()->text(), row.title);
        EXPECT_EQ(card.consequenceText()->text(), row.line);
        EXPECT_EQ(card.allowButton()->text(), "Allow");
        EXPECT_EQ(requests, 0);
        QTest::mouseClick(card.allowButton(), Qt::LeftButton);
        EXPECT_EQ(requests, 1);
        EXPECT_TRUE(
            testsupport::saveScreenshot(card, "PermissionNeededCard-" + QString::fromUtf8(row.permission.rawValue())));
    }
}

TEST_F(ActivityPaneBlocksQtTest, TheUnavailableCardWrapsItsDetailInFull)
{
    const QString detail = qt(LinuxTexts::displayBrightnessUnreadableDetail.shown);
    auto& card = hold(new UnavailableCard(qt(LinuxTexts::displayBrightnessUnreadableTitle.shown), detail));
    fit(320);
    QApplication::processEvents();
    EXPECT_EQ(card.detailText()->text(), detail);
    const int detailHeight = card.detailText()->height();
    EXPECT_GE(detailHeight, card.detailText()->heightForWidth(card.detailText()->width()))
        << "every line shown, none cut";
    EXPECT_GT(detailHeight, card.titleText()->height()) << "wrapped onto more than one line";
    EXPECT_TRUE(testsupport::saveScreenshot(card, "UnavailableCard"));
}

} // namespace
