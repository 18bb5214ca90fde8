// The painted controls every view shares: buttons hit in their whole box
// and hovered on the hover spring, rows kept by id across refreshes, lists
// that keep every wheel, tooltips over a window that is never active.
#include "Vude/Toolkit/FittedText.h"
#include "Vude/Toolkit/KeyedRowList.h"
#include "Vude/Toolkit/PlainButton.h"
#include "Vude/Toolkit/ToolTips.h"

#include "VudeUI/qt/QtTokens.h"

#include "TestSupport.h"
#include "WidgetPicture.h"

#include <QApplication>
#include <QProxyStyle>
#include <QScrollBar>
#include <QTest>
#include <QToolTip>
#include <QWheelEvent>

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

class ToolkitQtTest : public ::testing::Test {
protected:
    void SetUp() override { pinFontFamilies("DejaVu Sans", "DejaVu Sans Mono"); }
    void TearDown() override { unpinFontFamilies(); }

    ManualClock clock;
    ManualScheduler scheduler{clock};
    FixedReduceMotionSetting reduceMotion{false};
    ViewEnvironment environment{scheduler, clock, &reduceMotion};
};

void enter(QWidget& widget)
{
    QEnterEvent event(QPointF(1, 1), widget.mapToGlobal(QPointF(1, 1)), widget.mapToGlobal(QPointF(1, 1)));
    QApplication::sendEvent(&widget, &event);
}

void leave(QWidget& widget)
{
    QEvent event(QEvent::Leave);
    QApplication::sendEvent(&widget, &event);
}

TEST_F(ToolkitQtTest, AButtonIsHitInItsWholeBoxAndNeverTakesTheKeyboard)
{
    PlainButton button(environment);
    button.setPreferredSize(QSize(14, 14));
    button.resize(button.sizeHint());
    int clicks = 0;
    QObject::connect(&button, &QAbstractButton::clicked, [&] { ++clicks; });
    // The corners of the box, far from a symbol drawn in its middle.
    for (const QPoint corner : {QPoint(0, 0), QPoint(13, 0), QPoint(0, 13), QPoint(13, 13)})
        QTest::mouseClick(&button, Qt::LeftButton, {}, corner);
    EXPECT_EQ(clicks, 4);
    QTest::mouseClick(&button, Qt::LeftButton, {}, QPoint(14, 14));
    EXPECT_EQ(clicks, 4) << "just outside is outside";
    EXPECT_EQ(button.focusPolicy(), Qt::NoFocus);

    button.setText("Settings");
    button.setHelpText("Settings");
    EXPECT_EQ(button.toolTip(), "Settings");
    EXPECT_EQ(button.accessibleDescription(), "Settings");
}

TEST_F(ToolkitQtTest, HoverMovesOnTheHoverSpringOrTheShortEaseUnderReducedMotion)
{
    PlainButton button(environment);
    button.resize(40, 20);
    std::vector<bool> told;
    QObject::connect(&button, &PlainButton::hoveringChanged, [&](bool hovering) { told.push_back(hovering); });

    enter(button);
    EXPECT_TRUE(button.isHovering());
    EXPECT_EQ(button.hoverProgress(), 0) << "moves from where it was";
    scheduler.advance(100ms);
    const double midway = button.hoverProgress();
    EXPECT_GT(midway, 0.2);
    EXPECT_LT(midway, 1);
    scheduler.advance(1s);
    EXPECT_NEAR(button.hoverProgress(), 1, 1e-3);
    leave(button);
    scheduler.advance(1s);
    EXPECT_NEAR(button.hoverProgress(), 0, 1e-3);
    EXPECT_EQ(told, (std::vector<bool>{true, false}));

    // Reduced motion: the 0.2 s ease, done once it has run (frames come
    // every 1/60 s).
    reduceMotion.setReduceMotion(true);
    enter(button);
    scheduler.advance(100ms);
    EXPECT_GT(button.hoverProgress(), 0.2);
    EXPECT_LT(button.hoverProgress(), 0.8);
    scheduler.advance(120ms);
    EXPECT_DOUBLE_EQ(button.hoverProgress(), 1);
    EXPECT_EQ(scheduler.pendingCount(), 0u) << "no frames once at rest";
}

/// A row that remembers being made and hovered, to see it survive.
class Row final : public QWidget {
public:
    explicit Row(QWidget* parent) : QWidget(parent) { setFixedHeight(20); }
    std::string text;
    bool hovered = false;
};

struct Item {
    int id;
    std::string text;
};

TEST_F(ToolkitQtTest, RowsAreKeptByIdAcrossRefreshes)
{
    KeyedRowList<int, Row> list;
    list.resize(200, 300);
    int made = 0;
    const auto show = [&](const std::vector<Item>& items) {
        list.setItems(
            items, [](const Item& item) { return item.id; },
            [&](const Item&, QWidget* parent) {
                ++made;
                return new Row(parent);
            },
            [](Row& row, const Item& item) { row.text = item.text; });
        list.widget()->adjustSize();
        QApplication::sendPostedEvents();
    };
    show({{1, "a"}, {2, "b"}, {3, "c"}});
    EXPECT_EQ(made, 3);
    QPointer<Row> first = list.row(1);
    QPointer<Row> second = list.row(2);
    second->hovered = true;

    // Reordered, one gone, one new, one changed: the kept rows are the same
    // widgets, told their new values, laid out in the new order.
    show({{4, "d"}, {2, "B"}, {1, "a"}, {2, "duplicate"}});
    EXPECT_EQ(made, 4);
    EXPECT_EQ(list.keys(), (std::vector<int>{4, 2, 1})) << "a repeated id shows once";
    EXPECT_EQ(list.row(2), second.data());
    EXPECT_TRUE(second->hovered) << "its state survived";
    EXPECT_EQ(second->text, "B");
    EXPECT_EQ(list.row(1), first.data());
    const std::vector<Row*> rows = list.rows();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_LT(rows[0]->y(), rows[1]->y());
    EXPECT_LT(rows[1]->y(), rows[2]->y());

    // The row that left is hidden at once and gone once the loop turns.
    EXPECT_EQ(list.row(3), nullptr);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    show({});
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(first.isNull());
    EXPECT_TRUE(second.isNull());
}

/// Counts the wheel events that reach it, as the hosting view would.
class WheelCatcher final : public QWidget {
public:
    int caught = 0;

protected:
    void wheelEvent(QWheelEvent* event) override
    {
        ++caught;
        event->accept();
    }
};

bool wheel(QWidget& target, int angle)
{
    const QPointF at(target.width() / 2.0, target.height() / 2.0);
    QWheelEvent event(at, target.mapToGlobal(at), QPoint(), QPoint(0, angle), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(&target, &event);
    return event.isAccepted();
}

TEST_F(ToolkitQtTest, AListKeepsEveryWheelAtEitherEndOfItsRange)
{
    KeyedRowList<int, Row> list;
    list.resize(200, 100);
    std::vector<Item> items;
    for (int i = 0; i < 20; ++i)
        items.push_back({i, std::to_string(i)});
    list.setItems(
        items, [](const Item& item) { return item.id; }, [](const Item&, QWidget* parent) { return new Row(parent); },
        [](Row&, const Item&) {});
    list.show();
    QApplication::sendPostedEvents();
    QScrollBar* bar = list.verticalScrollBar();
    ASSERT_GT(bar->maximum(), 0);

    // A plain scroll area lets a wheel it cannot use go on to its parent.
    QScrollArea plain;
    plain.setWidget(new QWidget);
    EXPECT_FALSE(wheel(*plain.viewport(), -120)) << "Qt's own";

    bar->setValue(bar->maximum());
    EXPECT_TRUE(wheel(*list.viewport(), -120)) << "at the end, further down";
    EXPECT_EQ(bar->value(), bar->maximum());
    EXPECT_TRUE(wheel(*list.viewport(), 120));
    EXPECT_LT(bar->value(), bar->maximum()) << "and it still scrolls";
    bar->setValue(0);
    EXPECT_TRUE(wheel(*list.viewport(), 120)) << "at the start, further up";
}

/// Tooltips that wake at once, so the test waits for no real delay.
class InstantToolTips final : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returned) const override
    {
        if (hint == SH_ToolTip_WakeUpDelay)
            return 0;
        return QProxyStyle::styleHint(hint, option, widget, returned);
    }
};

TEST_F(ToolkitQtTest, TooltipsShowOverAWindowThatIsNotActive)
{
    InstantToolTips style;
    QWidget panel;
    panel.setGeometry(0, 0, 200, 60);
    auto* button = new PlainButton(environment, &panel);
    button->setGeometry(10, 10, 20, 20);
    button->setStyle(&style);
    button->setHelpText("Settings");
    panel.show();
    // Another window has the focus, as another application would.
    QWidget other;
    other.setGeometry(300, 300, 50, 50);
    other.show();
    QApplication::setActiveWindow(&other);
    ASSERT_FALSE(panel.isActiveWindow());

    const auto hover = [&] {
        QToolTip::hideText();
        testsupport::processEvents();
        QTest::mouseMove(button, QPoint(5, 5));
        QTest::mouseMove(button, QPoint(6, 6));
        return testsupport::waitUntil([] { return QToolTip::isVisible(); }, 300ms);
    };
    EXPECT_FALSE(hover()) << "Qt's rule: nothing over an inactive window";
    showToolTipsWhileInactive(*button);
    EXPECT_TRUE(panel.testAttribute(Qt::WA_AlwaysShowToolTips));
    EXPECT_TRUE(hover());
    EXPECT_EQ(QToolTip::text(), "Settings");
    QToolTip::hideText();
    button->setStyle(nullptr);
}

TEST_F(ToolkitQtTest, AFittedLabelShrinksThenElidesAndKeepsItsWholeTextForAccessibility)
{
    FittedLabel label(Vude::Type_::mediaTitle, 0.8);
    label.setText("Harbour Lights and the Long Way Home");
    label.resize(label.sizeHint());
    EXPECT_EQ(label.fitted().size, 14);
    EXPECT_FALSE(label.fitted().elided);

    label.resize(label.sizeHint().width() * 9 / 10, label.height());
    EXPECT_LT(label.fitted().size, 14);
    EXPECT_GE(label.fitted().size, 14 * 0.8);
    EXPECT_FALSE(label.fitted().elided);

    label.resize(label.sizeHint().width() / 2, label.height());
    EXPECT_EQ(label.fitted().size, 14 * 0.8);
    EXPECT_TRUE(label.fitted().elided);
    EXPECT_TRUE(label.fitted().text.endsWith(QChar(0x2026)));
    EXPECT_EQ(label.accessibleName(), "Harbour Lights and the Long Way Home");
}

} // namespace
