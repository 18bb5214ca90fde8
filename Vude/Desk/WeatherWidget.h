#pragma once
// The Desk's weather: the provider's reading where the computer is (a
// condition symbol, the temperature in the locale's unit, the condition,
// today's high and low, the place and the data's attribution), a small
// progress indicator until the first reading, or an empty state saying why
// there is none: location not yet allowed ("Allow Location" asks), location
// off ("Open Settings" opens the desktop's location settings) or a failed
// fetch (the provider's own words). It observes the provider it is bound to
// and redraws whenever its availability, snapshot or attribution change; it
// never fetches. Without a provider the cell shows nothing. What it shows is
// WeatherContent's.

#include "Vude/Desk/DeskWidget.h"
#include "Vude/Desk/WeatherContent.h"
#include "VudeServices/WeatherProvider.h"

#include <QLocale>
#include <QPointer>

#include <memory>

class PlainButton;
class QStackedWidget;
class ProgressSpinner;
class WeatherReadingView;
class WidgetEmptyState;
class WidgetFrame;

class WeatherWidget final : public DeskWidget {
    Q_OBJECT
public:
    /// `environment` must outlive the widget; `locale` says which unit the
    /// temperatures are in.
    explicit WeatherWidget(const DeskEnvironment& environment, QLocale locale = QLocale(), QWidget* parent = nullptr);
    ~WeatherWidget() override;

    void bind(const WidgetBinding& binding) override;

    /// What it shows now.
    const WeatherContent& content() const { return m_content; }
    WidgetFrame* frame() const { return m_frame; }
    /// Shown for the empty states; none otherwise.
    WidgetEmptyState* emptyState() const;
    WeatherReadingView* readingView() const { return m_reading; }
    QWidget* progressView() const;
    /// The reading's " Weather" link.
    PlainButton* attributionButton() const;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void refresh();
    void showEmptyState();

    const DeskEnvironment& m_environment;
    QLocale m_locale;
    WeatherBinding m_binding;
    QPointer<WeatherProvider> m_observed;
    WeatherContent m_content;
    WidgetFrame* m_frame = nullptr;
    QStackedWidget* m_pages = nullptr;
    WeatherReadingView* m_reading = nullptr;
    ProgressSpinner* m_progress = nullptr;
    WidgetEmptyState* m_empty = nullptr;
};

/// The reading: the lines of a WeatherContent centred in a column, the
/// attribution link under them.
class WeatherReadingView final : public QWidget {
    Q_OBJECT
public:
    static constexpr double symbolSize = 30;
    static constexpr double temperatureSize = 26;
    static constexpr double conditionSize = 11;
    static constexpr double detailSize = 10;
    static constexpr double attributionSize = 9;
    static constexpr double spacing = 6;
    static constexpr double lineSpacing = 1;
    static constexpr double paddingX = 6;

    WeatherReadingView(const ViewEnvironment& environment, QWidget* parent = nullptr);

    void setContent(const WeatherContent& content);
    PlainButton* attribution() const { return m_attribution; }

    /// Where each line goes at the present size.
    struct Lines {
        QRectF symbol;
        QRectF temperature;
        QRectF condition;
        std::optional<QRectF> highLow;
        std::optional<QRectF> place;
        QRectF attribution;
    };
    Lines lines() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void placeAttribution();

    WeatherContent m_content;
    PlainButton* m_attribution = nullptr;
};
