#include "Vude/Settings/NoticeCards.h"

#include "Vude/Onboarding/OnboardingContent.h"
#include "Vude/Settings/SettingsText.h"
#include "Vude/Toolkit/AccentButton.h"
#include "VudeKit/LinuxTexts.h"
#include "VudeUI/Tokens.h"
#include "VudeUI/qt/ContinuousCorners.h"
#include "VudeUI/qt/QtTokens.h"
#include "VudeUI/qt/SymbolCatalog.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>

#include <optional>

namespace {

// A symbol in a box of its own, on an optional rounded tile.
class SymbolBox final : public QWidget {
public:
    SymbolBox(std::string_view name, double pointSize, QSize box, std::optional<QColor> tile)
        : m_name(name), m_size(pointSize), m_tile(tile)
    {
        setFixedSize(box);
        setObjectName(QStringLiteral("symbol"));
        setAccessibleName(qt(name));
    }
    std::string_view name() const { return m_name; }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        if (m_tile)
            painter.fillPath(continuousRoundedRect(QRectF(rect()), 8), *m_tile);
        SymbolCatalog::draw(painter, QRectF(rect()), m_name, toQColor(Vude::Stone::x400), m_size);
    }

private:
    std::string_view m_name;
    double m_size;
    std::optional<QColor> m_tile;
};

SettingsText* cardTitle(const QString& text, const Vude::Color& color)
{
    return new SettingsText(text, Vude::FontToken{12, Vude::FontWeight::semibold}, color);
}

QColor amberOutline()
{
    QColor colour = toQColor(Vude::Semantic::amber);
    colour.setAlphaF(0.35F);
    return colour;
}

} // namespace

NoticeCard::NoticeCard(QColor outline, QWidget* parent) : QWidget(parent), m_outline(outline)
{
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
}

void NoticeCard::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // The border is centred on the edge: its outer half falls outside.
    const QPainterPath shape = continuousRoundedRect(QRectF(rect()), radius);
    painter.fillPath(shape, toQColor(Vude::Ink::x850));
    painter.setPen(QPen(m_outline, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(shape);
}

// MARK: - Unavailable

UnavailableCard::UnavailableCard(const QString& title, const QString& detail, QWidget* parent)
    : NoticeCard(toQColor(Vude::Ink::x700), parent)
{
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(padding, padding, padding, padding);
    row->setSpacing(11);
    row->addWidget(new SymbolBox("info.circle", 13, QSize(16, 16), std::nullopt), 0, Qt::AlignTop);
    auto* texts = new QVBoxLayout;
    texts->setContentsMargins(0, 0, 0, 0);
    texts->setSpacing(3);
    m_title = cardTitle(title, Vude::Stone::x200);
    m_detail = new SettingsText(detail, Vude::Type_::settingsFootnote, Vude::Stone::x400);
    texts->addWidget(m_title);
    texts->addWidget(m_detail);
    row->addLayout(texts, 1);
}

// MARK: - Permission needed

PermissionNeededCard::Content PermissionNeededCard::content(Permission permission)
{
    const OnboardingContent::Row row = OnboardingContent::row(permission, Permission::State::notDetermined);
    // The keys are no consent to grant here: the title says what stands in the way.
    QString title = qt(row.title) + QStringLiteral(" access needed");
    if (permission == Permission::inputMonitoring)
        title = qt(LinuxTexts::mediaKeysUnreadableTitle.shown);
    else if (permission == Permission::accessibility)
        title = qt(LinuxTexts::mediaKeysHeldTitle.shown);
    return {row.symbol, title, row.detail};
}

PermissionNeededCard::PermissionNeededCard(Permission permission, std::function<void()> onRequest,
                                           const ViewEnvironment& environment, QWidget* parent)
    : NoticeCard(amberOutline(), parent), m_permission(permission)
{
    const Content shown = content(permission);
    m_symbol = shown.symbol;
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(padding, padding, padding, padding);
    row->setSpacing(12);
    row->addWidget(new SymbolBox(shown.symbol, 13, QSize(30, 30), toQColor(Vude::Ink::x800)), 0, Qt::AlignVCenter);
    auto* texts = new QVBoxLayout;
    texts->setContentsMargins(0, 0, 0, 0);
    texts->setSpacing(2);
    m_title = cardTitle(shown.title, Vude::Stone::x100);
    m_consequence = new SettingsText(qt(shown.consequence), Vude::Type_::settingsFootnote, Vude::Stone::x400);
    texts->addWidget(m_title);
    texts->addWidget(m_consequence);
    row->addLayout(texts, 1);
    row->addSpacing(8);
    m_allow = new AccentButton(environment, QStringLiteral("Allow"), AccentButton::Style::small);
    connect(m_allow, &AccentButton::clicked, this, [onRequest = std::move(onRequest)] {
        if (onRequest)
            onRequest();
    });
    row->addWidget(m_allow, 0, Qt::AlignVCenter);
}
