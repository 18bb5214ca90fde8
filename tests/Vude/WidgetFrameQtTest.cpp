// The frame of a Desk widget and the empty state a widget shows instead of
// content.
#include "Vude/Desk/WidgetEmptyState.h"
#include "Vude/Desk/WidgetFrame.h"

#include "Vude/Toolkit/PlainButton.h"
#include "VudeUI/qt/QtTokens.h"

#include "WidgetPicture.h"

#include <QAccessible>
#include <QTest>

#include <gtest/gtest.h>

namespace {

class WidgetFrameQtTest : public ::testing::Test {
protected:
    void SetUp() override { pinFontFamilies("DejaVu Sans", "DejaVu Sans Mono"); }
    void TearDown() override { unpinFontFamilies(); }

    ManualClock clock;
    ManualScheduler scheduler{clock};
    ViewEnvironment environment{scheduler, clock, nullptr};
};

/// A content that paints its whole rectangle, to see where it went.
class Swatch final : public QWidget {
public:
    explicit Swatch(QColor colour) : m_colour(colour) {}

protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), m_colour); }

private:
    QColor m_colour;
};

TEST_F(WidgetFrameQtTest, TheTitleNamesTheWidgetForAccessibilityAndIsNeverDrawn)
{
    WidgetFrame titled("To-do", new Swatch(Qt::transparent));
    WidgetFrame untitled("", new Swatch(Qt::transparent));
    titled.resize(240, 140);
    untitled.resize(240, 140);
    EXPECT_EQ(titled.accessibleName(), "To-do");
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(&titled);
    ASSERT_NE(accessible, nullptr);
    EXPECT_EQ(accessible->text(QAccessible::Name), "To-do");
    EXPECT_EQ(testsupport::picture(titled), testsupport::picture(untitled)) << "no pixel of the title";
    EXPECT_EQ(qAlpha(testsupport::picture(titled).pixel(120, 70)), 0) << "and no background";
}

TEST_F(WidgetFrameQtTest, TheAccessoryTakesTheTopTrailingCornerAndNeverMovesTheContent)
{
    auto* content = new Swatch(QColor(0x22, 0x1F, 0x1D));
    WidgetFrame frame("Timer", content, Qt::AlignTop | Qt::AlignHCenter);
    frame.resize(240, 140);
    frame.show();
    const QRect bare = content->geometry();
    EXPECT_EQ(bare, frame.rect()) << "the content fills the cell";

    auto* plus = new Swatch(QColor(0xED, 0xE6, 0xDA));
    plus->setFixedSize(18, 18);
    frame.setTrailing(plus);
    EXPECT_EQ(content->geometry(), bare);
    EXPECT_EQ(plus->geometry(), QRect(240 - 18, 0, 18, 18));
    const QImage drawn = testsupport::picture(frame);
    EXPECT_EQ(QColor(drawn.pixel(239, 0)), QColor(0xED, 0xE6, 0xDA)) << "drawn over the content";
    EXPECT_EQ(QColor(drawn.pixel(0, 0)), QColor(0x22, 0x1F, 0x1D));

    frame.setTrailing(nullptr);
    EXPECT_EQ(content->geometry(), bare);
    EXPECT_EQ(frame.trailing(), nullptr);
}

TEST_F(WidgetFrameQtTest, AnAbsentDetailOrActionTakesNoSpace)
{
    WidgetEmptyState bare(environment, "timer", "No timers");
    WidgetEmptyState detailed(environment, "timer", "No timers", QString("Pick a length below."));
    int performed = 0;
    WidgetEmptyState full(environment, "timer", "No timers", QString("Pick a length below."),
                          WidgetEmptyState::Action{"Start", [&] { ++performed; }});
    for (WidgetEmptyState* state : {&bare, &detailed, &full}) {
        state->resize(240, state->heightForWidth(240));
        state->show();
    }

    EXPECT_EQ(bare.button(), nullptr);
    EXPECT_FALSE(bare.currentLayout().detail.has_value());
    const double line = bare.currentLayout().message.height;
    EXPECT_EQ(bare.heightForWidth(240), int(std::ceil(24 + 8 + line)));
    EXPECT_GT(detailed.heightForWidth(240), bare.heightForWidth(240));
    EXPECT_EQ(detailed.button(), nullptr);
    ASSERT_NE(full.button(), nullptr);
    EXPECT_GT(full.heightForWidth(240), detailed.heightForWidth(240));

    // The column is centred in a taller rectangle.
    full.resize(240, 300);
    const WidgetEmptyStateLayout layout = full.currentLayout();
    EXPECT_NEAR(layout.symbol.y, (300 - layout.height) / 2, 0.5);
    EXPECT_EQ(full.button()->geometry().center().x(), 120);
    QTest::mouseClick(full.button(), Qt::LeftButton);
    EXPECT_EQ(performed, 1);
}

TEST_F(WidgetFrameQtTest, ALongMessageWrapsOntoCentredLinesInsteadOfBeingCut)
{
    const QString message = "Nothing is playing right now in any of the players on this computer";
    WidgetEmptyState state(environment, "music.note", message);
    state.resize(160, 200);
    const WidgetEmptyStateLayout layout = state.currentLayout();
    EXPECT_LE(layout.message.width, 160 - 16) << "within the side padding";
    EXPECT_GE(layout.message.height, 3 * 14) << "on several lines";
    EXPECT_NEAR(layout.message.midX(), 80, 0.5);

    // A word longer than the line breaks rather than spilling over.
    WidgetEmptyState unbroken(environment, "music.note", QString(40, QChar('W')));
    unbroken.resize(160, 200);
    EXPECT_LE(unbroken.currentLayout().message.width, 144);

    // Every line is drawn: light pixels on each of them.
    const QImage drawn = testsupport::picture(state, 1, Qt::black);
    int litRows = 0;
    for (int y = int(layout.message.y); y < int(layout.message.maxY()); ++y) {
        for (int x = 0; x < drawn.width(); ++x)
            if (qRed(drawn.pixel(x, y)) > 80) {
                ++litRows;
                break;
            }
    }
    EXPECT_GE(litRows, 3 * 8);
    testsupport::saveScreenshot(state, "empty-state-long-message");
}

} // namespace
