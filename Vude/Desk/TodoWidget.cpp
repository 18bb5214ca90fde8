#include "Vude/Desk/TodoWidget.h"

#include "Vude/Desk/TodoLayout.h"
#include "Vude/Desk/TodoRow.h"
#include "Vude/Desk/WidgetEmptyState.h"
#include "Vude/Desk/WidgetFrame.h"
#include "Vude/Toolkit/KeyedRowList.h"
#include "VudeUI/qt/QtTokens.h"
#include "VudeUI/qt/SpringAnimator.h"
#include "VudeUI/qt/SymbolCatalog.h"

#include <QEvent>
#include <QFontMetricsF>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

const QString kTitle = QStringLiteral("To-do");
const QString kPlaceholder = QStringLiteral("New task");
constexpr const char* kEmptySymbol = "checkmark.circle";
const QString kEmptyMessage = QStringLiteral("Nothing to do");
const QString kEmptyDetail = QStringLiteral("Add one above.");

constexpr double kPlusSize = 11;
constexpr double kFieldSize = 12.5;
constexpr double kComposerSpacing = 8;
constexpr double kComposerPaddingX = 8;
constexpr double kComposerPaddingY = 7;
constexpr double kUnderlineFocusedOpacity = 0.55;

double plusBox() { return std::ceil(kPlusSize * SymbolCatalog::kOpticalScale); }

QColor mix(const QColor& from, const QColor& to, double t)
{
    t = std::clamp(t, 0.0, 1.0);
    return QColor::fromRgbF(float(from.redF() + (to.redF() - from.redF()) * t),
                            float(from.greenF() + (to.greenF() - from.greenF()) * t),
                            float(from.blueF() + (to.blueF() - from.blueF()) * t),
                            float(from.alphaF() + (to.alphaF() - from.alphaF()) * t));
}

} // namespace

/// The line that adds a task: a plus, the field and an underline that light
/// up while the field has the keyboard. A click anywhere on it focuses the
/// field.
class TodoWidget::Composer final : public QWidget {
public:
    Composer(const ViewEnvironment& environment, QWidget* parent)
        : QWidget(parent), m_environment(environment),
          m_focus(std::make_unique<SpringAnimator>(environment.scheduler, environment.clock, std::vector<double>{0})),
          m_field(new QLineEdit(this))
    {
        // Only a click: the field must not take the keyboard when the Desk
        // opens and the panel becomes the active window.
        m_field->setFocusPolicy(Qt::ClickFocus);
        m_field->setFrame(false);
        m_field->setPlaceholderText(kPlaceholder);
        m_field->setFont(systemFont(kFieldSize));
        m_field->setAttribute(Qt::WA_MacShowFocusRect, false);
        m_field->setAutoFillBackground(false);
        m_field->setTextMargins(0, 0, 0, 0);
        QPalette palette = m_field->palette();
        palette.setColor(QPalette::Base, Qt::transparent);
        palette.setColor(QPalette::Window, Qt::transparent);
        palette.setColor(QPalette::Text, toQColor(Vude::Stone::x100));
        palette.setColor(QPalette::PlaceholderText, toQColor(Vude::Stone::x400));
        palette.setColor(QPalette::Highlight, toQColor(Vude::Ink::x600));
        palette.setColor(QPalette::HighlightedText, toQColor(Vude::Stone::x100));
        m_field->setPalette(palette);
        m_field->installEventFilter(this);
        connect(m_focus.get(), &SpringAnimator::valueChanged, this, qOverload<>(&QWidget::update));
    }

    QLineEdit* field() const { return m_field; }
    bool isFocused() const { return m_focused; }

    QSize sizeHint() const override
    {
        const double inner = std::max(plusBox(), double(m_field->sizeHint().height()));
        return {200, int(std::ceil(inner + 2 * kComposerPaddingY))};
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == m_field && (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut))
            setFocused(event->type() == QEvent::FocusIn);
        return QWidget::eventFilter(watched, event);
    }

    void mousePressEvent(QMouseEvent* event) override
    {
        m_field->setFocus(Qt::MouseFocusReason);
        event->accept();
    }

    void resizeEvent(QResizeEvent* event) override
    {
        QWidget::resizeEvent(event);
        const int left = int(std::ceil(kComposerPaddingX + plusBox() + kComposerSpacing));
        const int fieldHeight = m_field->sizeHint().height();
        m_field->setGeometry(left, (height() - fieldHeight) / 2, std::max(0, width() - left - int(kComposerPaddingX)),
                             fieldHeight);
    }

    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const double lit = m_focus->value()[0];
        const double box = plusBox();
        SymbolCatalog::draw(painter, QRectF(kComposerPaddingX, (height() - box) / 2, box, box), "plus",
                            mix(toQColor(Vude::Stone::x400), toQColor(Vude::Accent::x500), lit), kPlusSize);
        QColor focused = toQColor(Vude::Accent::x500);
        focused.setAlphaF(kUnderlineFocusedOpacity);
        painter.fillRect(QRectF(0, height() - 1, width(), 1), mix(toQColor(Vude::Ink::x700), focused, lit));
    }

private:
    void setFocused(bool focused)
    {
        if (focused == m_focused)
            return;
        m_focused = focused;
        m_focus->animateTo({focused ? 1.0 : 0.0}, m_environment.motion(Vude::Motion::hover));
    }

    const ViewEnvironment& m_environment;
    std::unique_ptr<SpringAnimator> m_focus;
    QLineEdit* m_field;
    bool m_focused = false;
};

/// The composer over the list and its count, or over the empty state.
class TodoWidget::Content final : public QWidget {
public:
    Content(TodoWidget& owner, const ViewEnvironment& environment)
        : m_owner(owner), m_environment(environment), m_composer(new Composer(environment, this))
    {
        connect(m_composer->field(), &QLineEdit::returnPressed, this, [this] { submit(); });
    }

    void present(const std::vector<TodoSnapshot>& items)
    {
        const std::vector<TodoSnapshot> ordered = TodoLayout::ordered(items);
        m_count = TodoLayout::countText(TodoLayout::remaining(items)).value_or(QString());
        if (ordered.empty()) {
            if (m_list) {
                m_list->hide();
                m_list->deleteLater();
                m_list = nullptr;
            }
            if (!m_empty) {
                m_empty = new WidgetEmptyState(m_environment, kEmptySymbol, kEmptyMessage, kEmptyDetail,
                                               std::nullopt, this);
                m_empty->show();
            }
        } else {
            if (m_empty) {
                m_empty->hide();
                m_empty->deleteLater();
                m_empty = nullptr;
            }
            if (!m_list) {
                m_list = new KeyedRowList<Uuid, TodoRow>(this);
                m_list->setSpacing(rowSpacing);
                m_list->show();
            }
            m_list->setItems(
                ordered, [](const TodoSnapshot& item) { return item.id; },
                [this](const TodoSnapshot&, QWidget* parent) { return new TodoRow(m_environment, parent); },
                [this](TodoRow& row, const TodoSnapshot& item) {
                    row.setItem(item);
                    row.onToggle = [this, item] { call(m_owner.m_binding.onToggle, item); };
                    row.onFavorite = [this, item] { call(m_owner.m_binding.onFavorite, item); };
                    row.onDelete = [this, item] { call(m_owner.m_binding.onDelete, item); };
                });
        }
        place();
        update();
    }

    Composer* composer() const { return m_composer; }
    WidgetEmptyState* emptyState() const { return m_empty; }
    std::vector<TodoRow*> rows() const { return m_list ? m_list->rows() : std::vector<TodoRow*>(); }
    const QString& count() const { return m_count; }

protected:
    void resizeEvent(QResizeEvent* event) override
    {
        QWidget::resizeEvent(event);
        place();
    }

    void paintEvent(QPaintEvent*) override
    {
        if (m_count.isEmpty() || !m_list)
            return;
        QPainter painter(this);
        painter.setRenderHint(QPainter::TextAntialiasing);
        painter.setFont(countFont());
        painter.setPen(toQColor(Vude::Stone::x400));
        painter.drawText(QRectF(countLeading, countTop(), std::max(0.0, width() - countLeading), countHeight()),
                         Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, m_count);
    }

private:
    static QFont countFont() { return systemFont(countSize); }
    static double countHeight() { return std::ceil(QFontMetricsF(countFont()).height()); }
    double countTop() const { return height() - countHeight(); }

    static void call(const std::function<void(const TodoSnapshot&)>& action, const TodoSnapshot& item)
    {
        if (action)
            action(item);
    }

    void submit()
    {
        QLineEdit* field = m_composer->field();
        // Exactly as typed: the receiver decides what a blank title means.
        const std::string draft = field->text().toStdString();
        if (m_owner.m_binding.onAdd)
            m_owner.m_binding.onAdd(draft);
        field->clear();
        field->setFocus(Qt::OtherFocusReason);
    }

    void place()
    {
        const int w = width();
        const int composerHeight = m_composer->sizeHint().height();
        m_composer->setGeometry(0, 0, w, composerHeight);
        const int below = composerHeight + int(spacing);
        if (m_empty) {
            const int top = below + int(emptyStateTopPadding);
            m_empty->setGeometry(0, top, w, std::min(m_empty->heightForWidth(w), std::max(0, height() - top)));
        }
        if (m_list) {
            const int countRoom = m_count.isEmpty() ? 0 : int(countHeight() + spacing);
            m_list->setGeometry(0, below, w, std::max(0, height() - below - countRoom));
        }
    }

    TodoWidget& m_owner;
    const ViewEnvironment& m_environment;
    Composer* m_composer;
    WidgetEmptyState* m_empty = nullptr;
    KeyedRowList<Uuid, TodoRow>* m_list = nullptr;
    QString m_count;
};

TodoWidget::TodoWidget(const DeskEnvironment& environment, QWidget* parent) : DeskWidget(WidgetID::todos, parent)
{
    m_content = new Content(*this, environment.view);
    m_frame = new WidgetFrame(kTitle, m_content, Qt::AlignTop | Qt::AlignHCenter, nullptr, this);
    m_content->present({});
}

TodoWidget::~TodoWidget() = default;

void TodoWidget::bind(const WidgetBinding& binding)
{
    m_binding = std::get<TodosBinding>(binding);
    m_content->present(m_binding.items);
}

void TodoWidget::resizeEvent(QResizeEvent* event)
{
    DeskWidget::resizeEvent(event);
    m_frame->setGeometry(rect());
}

QLineEdit* TodoWidget::field() const
{
    return m_content->composer()->field();
}

bool TodoWidget::isFieldFocused() const
{
    return m_content->composer()->isFocused();
}

QWidget* TodoWidget::composer() const
{
    return m_content->composer();
}

std::vector<TodoRow*> TodoWidget::rows() const
{
    return m_content->rows();
}

WidgetEmptyState* TodoWidget::emptyState() const
{
    return m_content->emptyState();
}

QString TodoWidget::countText() const
{
    return m_content->count();
}
