// The building blocks of every settings pane: cards, rows, the switch, the
// value slider, the accent buttons, dimming, keyed rows, and the bindings
// that tie controls to the settings store.
#include "Vude/Settings/SettingsBindings.h"
#include "Vude/Settings/SettingsCard.h"
#include "Vude/Settings/SettingsRow.h"
#include "Vude/Settings/SettingsSwitch.h"
#include "Vude/Settings/SettingsText.h"
#include "Vude/Settings/ValueSlider.h"
#include "Vude/Toolkit/AccentButton.h"
#include "Vude/Toolkit/Dimming.h"
#include "Vude/Toolkit/KeyedColumn.h"
#include "VudeKit/UserDefaults.h"
#include "VudeUI/qt/QtTokens.h"

#include "TestSupport.h"
#include "WidgetPicture.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QPointer>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

class SettingsControlsQtTest : public ::testing::Test {
protected:
    void SetUp() override { pinFontFamilies("DejaVu Sans", "DejaVu Sans Mono"); }
    void TearDown() override { unpinFontFamilies(); }

    void settle() { scheduler.advance(2s); }

    ManualClock clock;
    ManualScheduler scheduler{clock};
    FixedReduceMotionSetting reduceMotion{false};
    ViewEnvironment environment{scheduler, clock, &reduceMotion};
    std::shared_ptr<InMemoryUserDefaults> defaults = std::make_shared<InMemoryUserDefaults>();
    SettingsStore store{defaults};
};

bool near(QRgb pixel, const Vude::Color& colour, int tolerance = 6)
{
    return std::abs(qRed(pixel) - colour.red255()) <= tolerance &&
           std::abs(qGreen(pixel) - colour.green255()) <= tolerance &&
           std::abs(qBlue(pixel) - colour.blue255()) <= tolerance;
}

TEST_F(SettingsControlsQtTest, ARowIsItsTallerPartPlusPaddingAndItsFootnoteSitsTwoPointsBelow)
{
    const int labelLine = int(std::ceil(QFontMetricsF(toQFont(Vude::Type_::settingsRow)).height()));
    struct Case {
        const char* name;
        QSize control;
        bool footnote;
    };
    for (const Case& row : {Case{"a switch, shorter than the label", SettingsSwitch::switchSize, false},
                            Case{"a taller control", QSize(60, 30), false},
                            Case{"with a footnote", SettingsSwitch::switchSize, true}}) {
        SCOPED_TRACE(row.name);
        auto* control = new QWidget;
        control->setFixedSize(row.control);
        SettingsRow settingsRow("Demo mode", control,
                                row.footnote ? std::optional<QString>("Stops the notch hiding when idle.")
                                             : std::nullopt);
        settingsRow.resize(420, settingsRow.sizeHint().height());
        settingsRow.show();
        const int line = std::max(labelLine, row.control.height());
        if (!row.footnote) {
            EXPECT_EQ(settingsRow.height(), line + 18);
            continue;
        }
        ASSERT_NE(settingsRow.footnoteText(), nullptr);
        EXPECT_EQ(settingsRow.footnoteText()->y(), 9 + line + 2);
        EXPECT_EQ(settingsRow.height(), 9 + line + 2 + settingsRow.footnoteText()->height() + 9);
        EXPECT_EQ(settingsRow.footnoteText()->x(), 12);
    }
}

TEST_F(SettingsControlsQtTest, AFootnoteComesGoesAndWrapsInsteadOfBeingCut)
{
    SettingsRow row("Glow around the notch", new SettingsSwitch(environment));
    row.resize(260, row.sizeHint().height());
    const int bare = row.sizeHint().height();
    const QString longNote = "A soft shadow around the panel so it doesn't sit on the desktop as a hard black slab.";
    row.setFootnote(longNote);
    EXPECT_EQ(row.footnote(), longNote);
    const int oneLine = int(std::ceil(QFontMetricsF(toQFont(Vude::Type_::settingsFootnote)).height()));
    EXPECT_GT(row.footnoteText()->heightForWidth(260 - 24), oneLine) << "wraps at this width";
    row.setFootnote(std::nullopt);
    EXPECT_EQ(row.footnote(), std::nullopt);
    EXPECT_EQ(row.sizeHint().height(), bare);
}

TEST_F(SettingsControlsQtTest, ALabelThatFitsOnOneLineNeverWrapsWithOrWithoutAFootnote)
{
    const int labelLine = int(std::ceil(QFontMetricsF(toQFont(Vude::Type_::settingsRow)).height()));
    const QString note = QStringLiteral("Opens the Desk as soon as the pointer reaches the notch.");
    const struct Case {
        const char* label;
        bool footnote;
    } cases[] = {
        {"Expand on hover", true},
        {"Expand on hover", false},
        {"Demo mode", true},
        {"Prevent closing on mouse leave", true},
        {"Hide while the playing app is in front", true},
        {"Glow around the notch", true},
        {"Low Power Mode changes", false},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(std::string(row.label) + (row.footnote ? ", with a footnote" : ""));
        SettingsCard card;
        auto* settingsRow = new SettingsRow(QString::fromUtf8(row.label), new SettingsSwitch(environment),
                                            row.footnote ? std::optional(note) : std::nullopt);
        card.addRow(settingsRow);
        card.resize(548, std::max(card.heightForWidth(548), card.sizeHint().height()));
        card.show();
        card.layout()->activate();
        const SettingsText& label = *settingsRow->labelText();
        EXPECT_EQ(label.height(), labelLine) << "one line";
        EXPECT_EQ(label.heightForWidth(label.width()), labelLine) << "and drawn on one line at its width";
        // Drawn: no ink under the label's first line.
        const QImage drawn = testsupport::picture(*settingsRow, 1, Qt::black);
        const QRect secondLine(label.x(), label.y() + labelLine, label.width(), labelLine);
        int ink = 0;
        for (int y = secondLine.top(); y <= std::min(secondLine.bottom(), drawn.height() - 1); ++y)
            for (int x = secondLine.left(); x <= secondLine.right(); ++x)
                if (near(drawn.pixel(x, y), Vude::Stone::x100, 40))
                    ++ink;
        EXPECT_EQ(ink, 0) << "nothing of the label on a second line";
    }
}

TEST_F(SettingsControlsQtTest, ACardOfOneRowShowsTheDividerInsideItsRoundedBorder)
{
    QWidget pane;
    auto* layout = new QVBoxLayout(&pane);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* card = new SettingsCard;
    card->addRow(new SettingsRow("Contrast outline", new SettingsSwitch(environment)));
    layout->addWidget(card);
    pane.resize(400, card->sizeHint().height());
    pane.show();
    const QImage image = testsupport::picture(pane, 1, Qt::transparent);
    const int bottom = card->height() - 1;
    EXPECT_TRUE(near(image.pixel(200, bottom), Vude::Ink::x700)) << "the divider, under the border's inner half";
    EXPECT_TRUE(near(image.pixel(200, bottom / 2 - 6), Vude::Ink::x850)) << "the card's fill";
    EXPECT_EQ(qAlpha(image.pixel(0, bottom)), 0) << "nothing outside the rounded corner, not even the divider";
    EXPECT_EQ(qAlpha(image.pixel(1, bottom)), 0);
    EXPECT_EQ(qAlpha(image.pixel(399, 0)), 0);
    testsupport::saveScreenshot(pane, "settings-card-one-row");
}

TEST_F(SettingsControlsQtTest, ASwitchAsksAndShowsOnlyWhatItsSourceHolds)
{
    SettingsBindings bindings(store, nullptr);
    SettingsSwitch demo(environment);
    bindings.bind(&demo, &SettingsStore::demoMode, &SettingsStore::setDemoMode);
    demo.show();
    EXPECT_FALSE(demo.isOn());

    // A click writes the setting at once; the store's answer is shown.
    QTest::mouseClick(&demo, Qt::LeftButton);
    EXPECT_TRUE(store.demoMode());
    EXPECT_TRUE(demo.isOn());
    settle();
    EXPECT_DOUBLE_EQ(demo.knobPosition(), 1);

    // Another writer: the switch follows in place and writes nothing back.
    const auto revision = store.revision();
    store.setDemoMode(false);
    EXPECT_FALSE(demo.isOn());
    EXPECT_EQ(store.revision(), revision + 1);

    // A source that ignores the value asked for: the switch keeps the source's.
    bool keepingAwake = false;
    int toggles = 0;
    SettingsSwitch keepAwake(environment);
    bindings.bind(&keepAwake, [&] { return keepingAwake; }, [&](bool) { ++toggles; });
    keepAwake.show();
    QTest::mouseClick(&keepAwake, Qt::LeftButton);
    EXPECT_EQ(toggles, 1);
    EXPECT_FALSE(keepAwake.isOn()) << "the source wins over the click";
    keepingAwake = true;
    bindings.refresh();
    EXPECT_TRUE(keepAwake.isOn());

    // Space asks too; a switch is never flipped from code by setOn.
    keepAwake.setFocus();
    int asked = 0;
    QObject::connect(&keepAwake, &SettingsSwitch::flipped, [&](bool requested) {
        EXPECT_FALSE(requested);
        ++asked;
    });
    QTest::keyClick(&keepAwake, Qt::Key_Space);
    EXPECT_EQ(asked, 1);
    keepAwake.setOn(false);
    EXPECT_EQ(asked, 1);
}

TEST_F(SettingsControlsQtTest, ARowKeptOnByItsStoreStillReadsOnWhileDimmed)
{
    // The store refuses to switch the row off and turns the whole feature
    // off instead; the row's switch must keep reading on.
    SettingsBindings bindings(store, nullptr);
    QWidget card;
    auto* layout = new QVBoxLayout(&card);
    auto* lane = new SettingsSwitch(environment);
    auto* row = new SettingsRow("Zip", lane);
    layout->addWidget(row);
    bindings.bind(lane, [] { return true; }, [&](bool) { store.setPipelinesEnabled(false); });
    bindings.follow([&] { Dimming::setDimmed(*row, !store.pipelinesEnabled()); });
    card.show();
    QTest::mouseClick(lane, Qt::LeftButton);
    EXPECT_FALSE(store.pipelinesEnabled());
    EXPECT_TRUE(lane->isOn());
    EXPECT_FALSE(lane->isEnabled());
    EXPECT_DOUBLE_EQ(Dimming::drawnOpacity(*lane), 0.45);
    // Dimmed rows do not respond.
    QTest::mouseClick(lane, Qt::LeftButton);
    EXPECT_FALSE(store.pipelinesEnabled());
    store.setPipelinesEnabled(true);
    EXPECT_TRUE(lane->isEnabled());
    EXPECT_DOUBLE_EQ(Dimming::drawnOpacity(*lane), 1);
}

TEST_F(SettingsControlsQtTest, ASliderDragWritesFractionsAndARefreshWritesNothing)
{
    SettingsBindings bindings(store, nullptr);
    auto slider = std::make_unique<ValueSlider>("Notch width", -20, 20, " px");
    QPointer<ValueSlider> held = slider.get();
    bindings.bind(slider.get(), &SettingsStore::notchWidthAdjust, &SettingsStore::setNotchWidthAdjust);
    slider->resize(400, slider->sizeHint().height());
    slider->show();
    EXPECT_EQ(slider->shownText(), "0 px");

    std::vector<double> written;
    const auto token = store.addObserver([&] { written.push_back(store.notchWidthAdjust()); });
    const QPoint start = slider->thumbCentre(0).toPoint();
    QTest::mousePress(slider.get(), Qt::LeftButton, {}, start);
    for (int step = 1; step <= 5; ++step) {
        QMouseEvent move(QEvent::MouseMove, QPointF(start.x() - step * 7.3, start.y()),
                         slider->mapToGlobal(QPointF(start.x() - step * 7.3, start.y())), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(slider.get(), &move);
        EXPECT_EQ(held.data(), slider.get()) << "the slider the user holds is never replaced";
    }
    QTest::mouseRelease(slider.get(), Qt::LeftButton, {}, QPoint(int(start.x() - 5 * 7.3), start.y()));
    store.removeObserver(token);

    ASSERT_GE(written.size(), 5u) << "a write at every step of the drag";
    const bool anyFraction =
        std::any_of(written.begin(), written.end(), [](double value) { return value != std::trunc(value); });
    EXPECT_TRUE(anyFraction) << "the slider writes fractional values";
    const double last = store.notchWidthAdjust();
    EXPECT_LT(last, 0);
    EXPECT_EQ(slider->value(), last) << "the store keeps the fraction";
    EXPECT_EQ(slider->shownText().toStdString(), ValueSlider::valueText(last, " px"));

    // Another writer: the slider follows and writes nothing back.
    const auto revision = store.revision();
    store.setNotchWidthAdjust(-20);
    EXPECT_EQ(store.revision(), revision + 1);
    EXPECT_EQ(slider->shownText(), "-20 px");
    bindings.refresh();
    EXPECT_EQ(store.revision(), revision + 1);
}

TEST_F(SettingsControlsQtTest, AStoredValueBeyondTheRangeReadsAsStored)
{
    defaults->set("contentPadding", DefaultsValue(100.0));
    SettingsBindings bindings(store, nullptr);
    ValueSlider padding("Content padding", 0, 24);
    bindings.bind(&padding, &SettingsStore::contentPadding, &SettingsStore::setContentPadding);
    padding.resize(400, padding.sizeHint().height());
    EXPECT_EQ(padding.shownText(), "100");
    EXPECT_EQ(padding.thumbCentre(100), padding.thumbCentre(24)) << "the thumb waits at the end";
    EXPECT_EQ(store.contentPadding(), 100) << "showing it changed nothing";
    // The next move goes through the store, which clamps.
    padding.show();
    padding.setFocus();
    QTest::keyClick(&padding, Qt::Key_Right);
    EXPECT_EQ(store.contentPadding(), 24);
    EXPECT_EQ(padding.shownText(), "24");
    testsupport::saveScreenshot(padding, "settings-value-slider");
}

TEST_F(SettingsControlsQtTest, TheSmallAccentButtonNeverScalesTheLargeOneShrinksWhilePressed)
{
    AccentButton large(environment, "Continue");
    AccentButton small(environment, "Allow", AccentButton::Style::small);
    for (AccentButton* button : {&large, &small}) {
        button->resize(button->sizeHint());
        button->show();
    }
    EXPECT_GT(large.sizeHint().width(), small.sizeHint().width());

    const QPoint centre = large.rect().center();
    QTest::mousePress(&large, Qt::LeftButton, {}, centre);
    QTest::mousePress(&small, Qt::LeftButton, {}, small.rect().center());
    EXPECT_EQ(large.fill(), Vude::Accent::x600);
    EXPECT_EQ(small.fill(), Vude::Accent::x600);
    scheduler.advance(50ms);
    EXPECT_LT(large.scale(), 1) << "springs toward 0.97";
    settle();
    EXPECT_NEAR(large.scale(), 0.97, 1e-6);
    EXPECT_EQ(small.scale(), 1);
    const QSize smallSize = small.size();

    QTest::mouseRelease(&large, Qt::LeftButton, {}, centre);
    QTest::mouseRelease(&small, Qt::LeftButton, {}, small.rect().center());
    EXPECT_EQ(large.fill(), Vude::Accent::x500);
    EXPECT_EQ(small.fill(), Vude::Accent::x500);
    settle();
    EXPECT_NEAR(large.scale(), 1, 1e-6);
    EXPECT_EQ(small.scale(), 1);
    EXPECT_EQ(small.size(), smallSize);
    testsupport::saveScreenshot(large, "accent-button");
    testsupport::saveScreenshot(small, "accent-button-small");
}

TEST_F(SettingsControlsQtTest, DimmingNestsNoOpacityEffectAndComesBackWhenTheOuterOneGoes)
{
    QWidget pane;
    auto* card = new QWidget(&pane);
    auto* row = new QWidget(card);
    auto* control = new QWidget(row);
    Dimming::setDimmed(*row, true);
    EXPECT_DOUBLE_EQ(Dimming::drawnOpacity(*control), 0.45);
    EXPECT_FALSE(control->isEnabled());

    // The card goes dim around the dimmed row: still drawn at 0.45, once.
    Dimming::setDimmed(*card, true);
    EXPECT_EQ(row->graphicsEffect(), nullptr);
    EXPECT_DOUBLE_EQ(Dimming::drawnOpacity(*control), 0.45);
    Dimming::setDimmed(*control, true);
    EXPECT_EQ(control->graphicsEffect(), nullptr);
    EXPECT_DOUBLE_EQ(Dimming::drawnOpacity(*control), 0.45);

    // The card comes back: the row is still dim, on its own effect.
    Dimming::setDimmed(*card, false);
    EXPECT_TRUE(card->isEnabled());
    EXPECT_FALSE(row->isEnabled());
    EXPECT_DOUBLE_EQ(Dimming::drawnOpacity(*row), 0.45);
    EXPECT_DOUBLE_EQ(Dimming::drawnOpacity(*control), 0.45);
    Dimming::setDimmed(*row, false);
    EXPECT_TRUE(row->isEnabled());
    EXPECT_FALSE(control->isEnabled()) << "it was dimmed on its own";
    EXPECT_DOUBLE_EQ(Dimming::drawnOpacity(*control), 0.45);
    Dimming::setDimmed(*control, false);
    EXPECT_DOUBLE_EQ(Dimming::drawnOpacity(*control), 1);
    EXPECT_TRUE(control->isEnabled());
}

/// A row with its own remove button, as the quick apps pane has.
class RemovableRow final : public QWidget {
public:
    RemovableRow(const ViewEnvironment& environment, QWidget* parent) : QWidget(parent)
    {
        button = new AccentButton(environment, "Remove", AccentButton::Style::small, this);
        button->resize(button->sizeHint());
    }
    AccentButton* button;
};

TEST_F(SettingsControlsQtTest, ARowRemovedByItsOwnButtonGoesAfterTheClickReturns)
{
    std::vector<int> items{1, 2, 3};
    KeyedColumn<int, RemovableRow> column;
    std::function<void()> refresh;
    int made = 0;
    refresh = [&] {
        column.setItems(
            items, [](int item) { return item; },
            [&](int item, QWidget* parent) {
                ++made;
                auto* row = new RemovableRow(environment, parent);
                QObject::connect(row->button, &QAbstractButton::clicked, [&, item] {
                    std::erase(items, item);
                    refresh();
                });
                return row;
            },
            [](RemovableRow&, int) {});
    };
    refresh();
    column.show();
    QPointer<RemovableRow> second = column.row(2);
    RemovableRow* third = column.row(3);
    ASSERT_TRUE(second);

    QTest::mouseClick(second->button, Qt::LeftButton);
    EXPECT_EQ(column.keys(), (std::vector<int>{1, 3}));
    EXPECT_TRUE(second) << "not deleted inside its own clicked()";
    EXPECT_FALSE(second->isVisible());
    EXPECT_EQ(column.row(3), third) << "the rows that stay are the same widgets";
    EXPECT_EQ(made, 3);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(second);
}

} // namespace
