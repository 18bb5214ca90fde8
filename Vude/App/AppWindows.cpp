#include "Vude/App/AppWindows.h"

#include "Vude/App/DeveloperHooks.h"

#include <QLabel>
#include <QMenu>
#include <QVBoxLayout>

namespace {

QWidget* placeholderWindow(const QString& title, const QString& text, QSize size)
{
    auto* window = new QWidget(nullptr, Qt::Window);
    window->setAttribute(Qt::WA_DeleteOnClose, false);
    window->setWindowTitle(title);
    auto* layout = new QVBoxLayout(window);
    auto* label = new QLabel(text, window);
    label->setAlignment(Qt::AlignCenter);
    layout->addWidget(label);
    window->resize(size);
    return window;
}

void bringForward(QWidget& window)
{
    window.show();
    window.raise();
    window.activateWindow();
}

} // namespace

PlaceholderAppWindows::PlaceholderAppWindows(Environment::Lookup environment)
    : m_environment(std::move(environment))
{
}

PlaceholderAppWindows::~PlaceholderAppWindows()
{
    delete m_settings.data();
    delete m_onboarding.data();
}

std::unique_ptr<QMenu> PlaceholderAppWindows::notchContextMenu()
{
    return nullptr;
}

void PlaceholderAppWindows::openSettings()
{
    if (!m_settings) {
        const auto pane = DeveloperHooks::settingsPane(m_environment);
        m_settings = placeholderWindow(QStringLiteral("Vude Settings"),
                                       QStringLiteral("Settings: %1").arg(QString::fromUtf8(rawValue(pane))),
                                       QSize(820, 560));
    }
    bringForward(*m_settings);
}

void PlaceholderAppWindows::showOnboarding()
{
    if (!m_onboarding) {
        const int step = DeveloperHooks::onboardingStep(m_environment).value_or(0);
        m_onboarding = placeholderWindow(QStringLiteral("Welcome to Vude"),
                                         QStringLiteral("Welcome to Vude: step %1").arg(step), QSize(700, 620));
    }
    bringForward(*m_onboarding);
}
