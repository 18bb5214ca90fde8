// The to-do widget: the composer, the list and its count, the rows' buttons
// and menu against a real repository, and a picture for a person.
#include "Vude/Desk/TodoWidget.h"

#include "Vude/Desk/DeskBinder.h"
#include "Vude/Desk/RavoView.h"
#include "Vude/Desk/TodoRow.h"
#include "Vude/Desk/WidgetEmptyState.h"
#include "Vude/Toolkit/PlainButton.h"
#include "VudeKit/WidgetLayout.h"
#include "VudeUI/qt/QtTokens.h"

#include "DeskRig.h"
#include "WidgetPicture.h"

#include <QEnterEvent>
#include <QLineEdit>
#include <QMenu>
#include <QApplication>
#include <QTest>

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

using desktest::DeskRig;

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

TodoSnapshot task(std::string title, bool done, bool favourite, int minute)
{
    return {Uuid::random(), std::move(title), done, favourite, kReferenceDate + std::chrono::minutes(minute)};
}

std::vector<std::string> titles(const std::vector<TodoRow*>& rows)
{
    std::vector<std::string> shown;
    for (const TodoRow* row : rows)
        shown.push_back(row->item().title);
    return shown;
}

class TodoWidgetQtTest : public ::testing::Test {
protected:
    void SetUp() override { pinFontFamilies("DejaVu Sans", "DejaVu Sans Mono"); }
    void TearDown() override
    {
        widget.reset();
        unpinFontFamilies();
    }

    /// The widget over a binding that notes what it is asked to do.
    TodoWidget& make(std::vector<TodoSnapshot> items = {})
    {
        widget = std::make_unique<TodoWidget>(rig.environment);
        widget->resize(260, 170);
        rebind(std::move(items));
        return *widget;
    }
    void rebind(std::vector<TodoSnapshot> items)
    {
        TodosBinding binding;
        binding.items = std::move(items);
        binding.onAdd = [this](const std::string& text) { calls.push_back("add '" + text + "'"); };
        binding.onToggle = [this](const TodoSnapshot& todo) { calls.push_back("toggle " + todo.title); };
        binding.onFavorite = [this](const TodoSnapshot& todo) { calls.push_back("favorite " + todo.title); };
        binding.onDelete = [this](const TodoSnapshot& todo) { calls.push_back("delete " + todo.title); };
        widget->bind(binding);
    }

    void settle()
    {
        rig.scheduler.advance(2s);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    DeskRig rig;
    std::vector<std::string> calls;
    std::unique_ptr<TodoWidget> widget;
};

TEST_F(TodoWidgetQtTest, ReturnAddsTheDraftAsTypedClearsItAndKeepsTheFocus)
{
    TodoWidget& todos = make();
    todos.show();
    todos.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&todos));
    EXPECT_EQ(todos.field()->placeholderText(), "New task");
    EXPECT_FALSE(todos.isFieldFocused()) << "opening the Desk does not put the keyboard there";

    // A click anywhere on the composer, not only on the field, focuses it.
    QTest::mouseClick(todos.composer(), Qt::LeftButton, {}, QPoint(4, 4));
    EXPECT_TRUE(todos.field()->hasFocus());
    EXPECT_TRUE(todos.isFieldFocused());

    const struct Row {
        const char* typed;
        const char* handed;
        const char* why;
    } rows[] = {
        {"milk", "add 'milk'", "a task"},
        {"  bread ", "add '  bread '", "untrimmed: the repository trims"},
        {"   ", "add '   '", "blank still goes: the repository ignores it"},
        {"", "add ''", "even nothing"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        calls.clear();
        QTest::keyClicks(todos.field(), row.typed);
        QTest::keyClick(todos.field(), Qt::Key_Return);
        EXPECT_EQ(calls, std::vector<std::string>{row.handed});
        EXPECT_EQ(todos.field()->text(), "");
        EXPECT_TRUE(todos.field()->hasFocus()) << "ready for the next one";
    }
}

TEST_F(TodoWidgetQtTest, TheListIsOrderedAndTheCountSaysWhatIsLeft)
{
    const struct Row {
        const char* why;
        std::vector<TodoSnapshot> items;
        QString count;
        bool empty;
    } rows[] = {
        {"nothing: the empty state, no count", {}, "", true},
        {"one open task", {task("a", false, false, 0)}, "1 left", false},
        {"two open, one done", {task("a", false, false, 0), task("b", true, false, 1), task("c", false, true, 2)},
         "2 left", false},
        {"all done: the list without a count", {task("a", true, false, 0), task("b", true, true, 1)}, "", false},
    };
    TodoWidget& todos = make();
    todos.show();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        rebind(row.items);
        settle();
        EXPECT_EQ(todos.countText(), row.count);
        EXPECT_EQ(todos.emptyState() != nullptr, row.empty);
        EXPECT_EQ(todos.rows().size(), row.items.size());
    }
    rebind({task("plain", false, false, 9), task("done star", true, true, 10), task("old star", false, true, 1),
            task("new star", false, true, 5)});
    EXPECT_EQ(titles(todos.rows()), (std::vector<std::string>{"new star", "old star", "plain", "done star"}));

    rebind({});
    ASSERT_NE(todos.emptyState(), nullptr);
    EXPECT_EQ(todos.emptyState()->symbol(), "checkmark.circle");
    EXPECT_EQ(todos.emptyState()->message(), "Nothing to do");
    EXPECT_EQ(todos.emptyState()->detail(), std::optional<QString>("Add one above."));
    EXPECT_EQ(todos.emptyState()->button(), nullptr);
}

TEST_F(TodoWidgetQtTest, TheStarAndTheCrossShowOnlyUnderThePointerUnlessTheTaskIsAFavourite)
{
    TodoWidget& todos = make({task("plain", false, false, 2), task("starred", false, true, 1)});
    todos.show();
    ASSERT_EQ(titles(todos.rows()), (std::vector<std::string>{"starred", "plain"}));
    TodoRow& starred = *todos.rows()[0];
    TodoRow& plain = *todos.rows()[1];
    const auto clickable = [](PlainButton* button) {
        return button->isVisible() && !button->testAttribute(Qt::WA_TransparentForMouseEvents);
    };
    EXPECT_FALSE(clickable(plain.starButton()));
    EXPECT_FALSE(clickable(plain.deleteButton()));
    EXPECT_TRUE(clickable(starred.starButton())) << "a favourite's star stays";
    EXPECT_FALSE(clickable(starred.deleteButton()));
    const QImage rest = testsupport::picture(plain, 1, Qt::black);

    enter(plain);
    EXPECT_TRUE(clickable(plain.starButton()));
    EXPECT_TRUE(clickable(plain.deleteButton()));
    settle();
    EXPECT_NEAR(plain.hoverProgress(), 1, 1e-3);
    const QImage hovered = testsupport::picture(plain, 1, Qt::black);
    EXPECT_EQ(QColor(hovered.pixel(plain.width() / 2, 2)), toQColor(Vude::Ink::x850)) << "the card lights";
    EXPECT_EQ(QColor(rest.pixel(plain.width() / 2, 2)), QColor(Qt::black));

    // Each button reaches the binding with its row's task.
    QTest::mouseClick(plain.starButton(), Qt::LeftButton);
    QTest::mouseClick(plain.deleteButton(), Qt::LeftButton);
    QTest::mouseClick(plain.checkButton(), Qt::LeftButton);
    const std::unique_ptr<QMenu> menu = starred.contextMenu();
    ASSERT_EQ(menu->actions().size(), 1);
    EXPECT_EQ(menu->actions()[0]->text(), "Delete");
    menu->actions()[0]->trigger();
    EXPECT_EQ(calls, (std::vector<std::string>{"favorite plain", "delete plain", "toggle plain", "delete starred"}));

    leave(plain);
    EXPECT_FALSE(clickable(plain.deleteButton())) << "gone for the pointer at once";
    settle();
    EXPECT_FALSE(plain.deleteButton()->isVisible()) << "and from sight once faded";
}

TEST_F(TodoWidgetQtTest, TheDesksRowsChangeTheRepositorysTasks)
{
    DidoDivuzerore& repository = rig.useRepository();
    rig.model->setLayout(WidgetLayoutEngine{54, 22, 18, 1100}.layout({WidgetID::todos}, {WidgetID::todos}, {}, 1360));
    rig.model->send(NotchEvent::click());
    RavoView desk(RiziDar::ravo, *rig.model, RavoView::defaultInset, rig.environment);
    desk.resize(800, 220);
    desk.show();
    auto* todos = dynamic_cast<TodoWidget*>(desk.widget(WidgetID::todos));
    ASSERT_NE(todos, nullptr);

    for (const char* typed : {"milk", "eggs", "   "}) {
        QTest::keyClicks(todos->field(), typed);
        QTest::keyClick(todos->field(), Qt::Key_Return);
        rig.clock.advance(1s);
    }
    EXPECT_EQ(repository.todos().size(), 2u) << "the blank one ignored";
    ASSERT_EQ(titles(todos->rows()), (std::vector<std::string>{"eggs", "milk"})) << "newest first";
    EXPECT_EQ(todos->countText(), "2 left");

    QTest::mouseClick(todos->rows()[0]->checkButton(), Qt::LeftButton);
    settle();
    EXPECT_EQ(titles(todos->rows()), (std::vector<std::string>{"milk", "eggs"})) << "done goes last";
    EXPECT_TRUE(todos->rows()[1]->item().isDone);
    EXPECT_EQ(todos->countText(), "1 left");

    TodoRow* milk = todos->rows()[0];
    enter(*milk);
    QTest::mouseClick(milk->starButton(), Qt::LeftButton);
    EXPECT_TRUE(repository.todos()[0].isFavorite);
    EXPECT_EQ(todos->rows()[0], milk) << "the same row, still hovered";
    EXPECT_TRUE(milk->isHovering());
    QTest::mouseClick(milk->deleteButton(), Qt::LeftButton);
    settle();
    EXPECT_EQ(titles(todos->rows()), std::vector<std::string>{"eggs"});
    ASSERT_EQ(repository.todos().size(), 1u);
    EXPECT_EQ(repository.todos()[0].title, "eggs");
}

TEST_F(TodoWidgetQtTest, APictureOfTasksWithADoneAndAFavouriteOne)
{
    TodoWidget& todos = make({task("Call the plumber", false, false, 3), task("Water the plants", false, true, 2),
                              task("Buy milk", true, false, 1),
                              task("A rather long task title that does not fit on one line", false, false, 0)});
    todos.resize(260, 230);
    todos.show();
    enter(*todos.rows()[2]);
    settle();
    EXPECT_TRUE(testsupport::saveScreenshot(todos, "todos-done-and-favourite"));

    // The done task is struck through in the dim colour: its title's pixels
    // are dimmer than an open one's.
    const auto brightest = [](TodoRow& row) {
        const QImage drawn = testsupport::picture(row, 1, Qt::black);
        const Rect title = row.currentLayout().title;
        int most = 0;
        for (int y = 0; y < drawn.height(); ++y)
            for (int x = int(title.x); x < int(title.maxX()); ++x)
                most = std::max(most, qGray(drawn.pixel(x, y)));
        return most;
    };
    TodoRow* done = todos.rows()[3];
    ASSERT_TRUE(done->item().isDone);
    EXPECT_LT(brightest(*done), brightest(*todos.rows()[0]));
}

} // namespace
