// The Desk's weather over a provider of fakes: what each availability shows,
// what its buttons do, the reading in a US and a German locale, and the
// attribution link.
#include "Vude/Desk/WeatherWidget.h"

#include "Platform/Network/FakeLocationBackend.h"
#include "Platform/Network/FakeReverseGeocoder.h"
#include "Platform/Network/FakeWeatherService.h"
#include "Vude/Desk/DeskBinder.h"
#include "Vude/Desk/WidgetEmptyState.h"
#include "Vude/Desk/WidgetFrame.h"
#include "Vude/Toolkit/PlainButton.h"
#include "VudeServices/WeatherProvider.h"
#include "VudeUI/qt/QtTokens.h"

#include "DeskRig.h"
#include "WidgetPicture.h"

#include <QTest>

#include <gtest/gtest.h>

namespace {

using desktest::DeskRig;
using Status = LocationAuthorizationStatus;
using Kind = WeatherContent::Kind;

const WeatherReport kReport{{21.4, 19.8, 2, true}, {{23.6, 12.5}}};
const QUrl kLegalPage("https://open-meteo.com/en/license");

class WeatherWidgetQtTest : public ::testing::Test {
protected:
    void SetUp() override { pinFontFamilies("DejaVu Sans", "DejaVu Sans Mono"); }
    void TearDown() override
    {
        widget.reset();
        rig.model->setWeatherProvider(nullptr);
        provider.reset();
        locations.reset();
        unpinFontFamilies();
    }

    /// A provider over fakes, with location access `status`, handed to the
    /// model.
    void makeProvider(Status status)
    {
        auto backendOwned = std::make_unique<FakeLocationBackend>(status);
        auto geocoderOwned = std::make_unique<FakeReverseGeocoder>();
        backend = backendOwned.get();
        geocoderOwned->autoAnswer = std::vector<Placemark>{};
        locations = std::make_unique<LocationProvider>(std::move(backendOwned), std::move(geocoderOwned), rig.clock,
                                                       rig.scheduler);
        auto serviceOwned = std::make_unique<FakeWeatherService>();
        service = serviceOwned.get();
        service->autoAttribution = WeatherAttribution{kLegalPage, std::nullopt};
        provider = std::make_shared<WeatherProvider>(*locations, std::move(serviceOwned), rig.clock, rig.scheduler);
        rig.model->setWeatherProvider(provider);
    }

    /// Starts the provider and lets its first refresh ask for a fix.
    void start()
    {
        provider->start();
        rig.scheduler.runDue();
    }

    /// Answers the fix and then the weather.
    void answer(Expected<WeatherReport, std::string> result)
    {
        backend->deliver({{52.52, 13.4, rig.clock.now()}});
        ASSERT_EQ(service->waiting().size(), 1u);
        service->answer(std::move(result));
    }

    WeatherWidget& show(QLocale locale = QLocale(QLocale::German, QLocale::Germany))
    {
        widget = std::make_unique<WeatherWidget>(rig.environment, locale);
        widget->resize(200, 170);
        widget->bind(binder.weather());
        widget->show();
        return *widget;
    }

    DeskRig rig;
    DeskBinder binder{*rig.model, rig.environment};
    FakeLocationBackend* backend = nullptr;
    FakeWeatherService* service = nullptr;
    std::unique_ptr<LocationProvider> locations;
    std::shared_ptr<WeatherProvider> provider;
    std::unique_ptr<WeatherWidget> widget;
};

TEST_F(WeatherWidgetQtTest, WithoutAProviderTheCellShowsNothing)
{
    WeatherWidget& weather = show();
    EXPECT_FALSE(weather.frame()->isVisible());
    const QImage drawn = testsupport::picture(weather, 1, Qt::black);
    for (int y = 0; y < drawn.height(); y += 3)
        for (int x = 0; x < drawn.width(); x += 3)
            ASSERT_EQ(QColor(drawn.pixel(x, y)), QColor(Qt::black)) << x << "," << y;
}

TEST_F(WeatherWidgetQtTest, UndecidedAccessAsksForLocationAndTheReadingFollows)
{
    makeProvider(Status::notDetermined);
    backend->grantOnRequest = true;
    WeatherWidget& weather = show();
    EXPECT_EQ(weather.frame()->title(), "Weather");
    WidgetEmptyState* empty = weather.emptyState();
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty->symbol(), "location");
    EXPECT_EQ(empty->message(), "Weather where you are");
    EXPECT_EQ(empty->detail(), std::optional<QString>("Location is used at reduced accuracy."));
    ASSERT_NE(empty->button(), nullptr);
    EXPECT_EQ(empty->button()->text(), "Allow Location");
    testsupport::saveScreenshot(weather, "weather-needs-location");

    QTest::mouseClick(empty->button(), Qt::LeftButton);
    EXPECT_EQ(backend->authorizationRequests(), 1);
    rig.scheduler.runDue();
    answer(kReport);
    EXPECT_EQ(weather.content().kind, Kind::reading) << "redrawn from the provider's own signals";
    EXPECT_EQ(weather.emptyState(), nullptr);
    EXPECT_TRUE(weather.readingView()->isVisible());
    EXPECT_EQ(weather.content().temperature, "21\u00B0C");
}

TEST_F(WeatherWidgetQtTest, LocationOffOpensTheLocationSettings)
{
    makeProvider(Status::denied);
    int opened = 0;
    rig.model->openLocationSettings = [&] { ++opened; };
    start();
    WeatherWidget& weather = show();
    WidgetEmptyState* empty = weather.emptyState();
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty->symbol(), "location.slash");
    EXPECT_EQ(empty->message(), "Location is off for Vude");
    EXPECT_EQ(empty->detail(), std::optional<QString>("Turn it on in Settings."));
    ASSERT_NE(empty->button(), nullptr);
    EXPECT_EQ(empty->button()->text(), "Open Settings");
    testsupport::saveScreenshot(weather, "weather-location-denied");
    QTest::mouseClick(empty->button(), Qt::LeftButton);
    EXPECT_EQ(opened, 1);
}

TEST_F(WeatherWidgetQtTest, AFailureShowsTheProvidersWordsAndNoButton)
{
    makeProvider(Status::authorizedAlways);
    start();
    WeatherWidget& weather = show();
    answer(unexpected(std::string("The weather service did not answer.")));
    WidgetEmptyState* empty = weather.emptyState();
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty->symbol(), "cloud.slash");
    EXPECT_EQ(empty->message(), "Couldn't load the forecast");
    ASSERT_TRUE(empty->detail().has_value());
    EXPECT_FALSE(empty->detail()->isEmpty());
    EXPECT_EQ(empty->button(), nullptr);
    testsupport::saveScreenshot(weather, "weather-failed");
}

TEST_F(WeatherWidgetQtTest, TheReadingIsInTheLocalesUnitAndItsAttributionLinksToTheDataSource)
{
    makeProvider(Status::authorizedAlways);
    start();
    answer(kReport);
    for (const auto& [locale, temperature, name] :
         {std::tuple{QLocale(QLocale::English, QLocale::UnitedStates), "71\u00B0F", "weather-reading-en_US"},
          std::tuple{QLocale(QLocale::German, QLocale::Germany), "21\u00B0C", "weather-reading-de_DE"}}) {
        SCOPED_TRACE(name);
        WeatherWidget& weather = show(locale);
        ASSERT_EQ(weather.content().kind, Kind::reading);
        EXPECT_EQ(weather.content().temperature, temperature);
        ASSERT_TRUE(weather.content().highLow.has_value());
        const WeatherReadingView::Lines lines = weather.readingView()->lines();
        ASSERT_TRUE(lines.highLow.has_value());
        EXPECT_LT(lines.temperature.bottom(), lines.condition.top());
        EXPECT_LT(lines.condition.bottom(), lines.highLow->top());
        EXPECT_LT(lines.highLow->bottom(), lines.attribution.top());
        EXPECT_NEAR(lines.attribution.center().x(), weather.width() / 2.0, 1);
        testsupport::saveScreenshot(weather, name);
    }

    PlainButton* attribution = widget->attributionButton();
    EXPECT_EQ(attribution->text(), " Weather");
    EXPECT_EQ(attribution->helpText(), "Weather data provided by Open-Meteo");
    QTest::mouseClick(attribution, Qt::LeftButton);
    EXPECT_EQ(rig.fakes.urls.opened, std::vector<QUrl>{kLegalPage});

    // The link comes from the network: only a web page is opened.
    for (const char* other : {"file:///etc/passwd", "application:gnome-location-panel.desktop", "smb://host/share"})
        binder.weather().onOpenURL(QUrl(other));
    EXPECT_EQ(rig.fakes.urls.opened, std::vector<QUrl>{kLegalPage});
}

} // namespace
