#include "Platform/Bluetooth/BluezObjectModel.h"

#include <gtest/gtest.h>

#include <ostream>

inline void PrintTo(const BluetoothBackendEvent& event, std::ostream* out)
{
    static constexpr const char* kinds[] = {"deviceConnected", "deviceDisconnected", "poweredChanged"};
    *out << kinds[static_cast<int>(event.kind)];
    if (event.kind == BluetoothBackendEvent::Kind::poweredChanged)
        *out << "(" << (event.powered ? "on" : "off") << ")";
    else
        *out << "(" << event.device.handle << " \"" << event.device.name << "\")";
}

namespace {

using Kind = BluetoothBackendEvent::Kind;

constexpr auto kAdapter = "/org/bluez/hci0";
constexpr auto kHeadset = "/org/bluez/hci0/dev_AA_BB_CC_DD_EE_01";
constexpr auto kMouse = "/org/bluez/hci0/dev_AA_BB_CC_DD_EE_02";

const BluezProperties headsetProperties{
    .address = "AA:BB:CC:DD:EE:01", .name = "Studio Buds", .alias = "Studio Buds", .connected = false};

// An adapter that is on, a headset that is not connected and a connected mouse.
BluezObjectModel primed()
{
    BluezObjectModel model;
    model.reset({
        {kAdapter, {{BluezObjectModel::kAdapterInterface, {.powered = true}}}},
        {kHeadset, {{BluezObjectModel::kDeviceInterface, headsetProperties}}},
        {kMouse,
         {{BluezObjectModel::kDeviceInterface, {.address = "AA:BB:CC:DD:EE:02", .alias = "Mouse", .connected = true}},
          {BluezObjectModel::kBatteryInterface, {.percentage = 55}}}},
    });
    return model;
}

std::vector<Kind> kinds(const std::vector<BluetoothBackendEvent>& events)
{
    std::vector<Kind> result;
    for (const auto& event : events)
        result.push_back(event.kind);
    return result;
}

TEST(BluezObjectModelTest, ASnapshotReadsAsTheStackStateWithoutEvents)
{
    const auto state = primed().state();
    EXPECT_EQ(state.status, (BluetoothStackStatus{.reachable = true, .hasAdapter = true, .powered = true}));
    ASSERT_EQ(state.devices.size(), 2u);
    EXPECT_EQ(state.devices[0], (BluetoothDeviceInfo{.handle = kHeadset,
                                                     .address = "AA:BB:CC:DD:EE:01",
                                                     .name = "Studio Buds",
                                                     .alias = "Studio Buds"}));
    EXPECT_TRUE(state.devices[1].connected);
    EXPECT_EQ(state.devices[1].name, "") << "a device that gives no name has none";
    EXPECT_EQ(state.devices[1].batteryPercentage, 55);
}

TEST(BluezObjectModelTest, ReportsOnlyRealConnectionAndPowerChanges)
{
    struct Row {
        const char* why;
        std::function<std::vector<BluetoothBackendEvent>(BluezObjectModel&)> change;
        std::vector<Kind> expected;
    } rows[] = {
        {"a device connects",
         [](auto& m) { return m.propertiesChanged(kHeadset, BluezObjectModel::kDeviceInterface, {.connected = true}); },
         {Kind::deviceConnected}},
        {"news of a connection already known changes nothing",
         [](auto& m) { return m.propertiesChanged(kMouse, BluezObjectModel::kDeviceInterface, {.connected = true}); },
         {}},
        {"a device disconnects",
         [](auto& m) { return m.propertiesChanged(kMouse, BluezObjectModel::kDeviceInterface, {.connected = false}); },
         {Kind::deviceDisconnected}},
        {"a rename is no connection change",
         [](auto& m) { return m.propertiesChanged(kHeadset, BluezObjectModel::kDeviceInterface, {.name = "Buds"}); },
         {}},
        {"a connected device that goes away is disconnected",
         [](auto& m) {
             return m.interfacesRemoved(kMouse, {BluezObjectModel::kDeviceInterface, BluezObjectModel::kBatteryInterface});
         },
         {Kind::deviceDisconnected}},
        {"losing only its battery keeps it connected",
         [](auto& m) { return m.interfacesRemoved(kMouse, {BluezObjectModel::kBatteryInterface}); },
         {}},
        {"a new device that arrives connected",
         [](auto& m) {
             return m.interfacesAdded("/org/bluez/hci0/dev_3",
                                      {{BluezObjectModel::kDeviceInterface, {.address = "03", .connected = true}}});
         },
         {Kind::deviceConnected}},
        {"the radio switched off",
         [](auto& m) { return m.propertiesChanged(kAdapter, BluezObjectModel::kAdapterInterface, {.powered = false}); },
         {Kind::poweredChanged}},
        {"the only adapter removed",
         [](auto& m) { return m.interfacesRemoved(kAdapter, {BluezObjectModel::kAdapterInterface}); },
         {Kind::poweredChanged}},
        {"the stack vanishing ends every connection and the power",
         [](auto& m) { return m.vanished(); },
         {Kind::deviceDisconnected, Kind::poweredChanged}},
        {"signals for unknown objects are ignored",
         [](auto& m) { return m.propertiesChanged("/org/bluez/hci9", BluezObjectModel::kDeviceInterface, {.connected = true}); },
         {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        auto model = primed();
        EXPECT_EQ(kinds(row.change(model)), row.expected);
    }
}

TEST(BluezObjectModelTest, EventsCarryTheDeviceAsNowKnown)
{
    auto model = primed();
    model.propertiesChanged(kHeadset, BluezObjectModel::kDeviceInterface, {}, {"Name"});
    const auto connected =
        model.propertiesChanged(kHeadset, BluezObjectModel::kDeviceInterface, {.alias = "Desk", .connected = true});
    ASSERT_EQ(connected.size(), 1u);
    EXPECT_EQ(connected[0].device.name, "") << "an invalidated name is gone";
    EXPECT_EQ(connected[0].device.alias, "Desk");

    const auto gone = model.interfacesRemoved(kMouse, {BluezObjectModel::kDeviceInterface});
    ASSERT_EQ(gone.size(), 1u);
    EXPECT_EQ(gone[0].device.address, "AA:BB:CC:DD:EE:02") << "a removed device is described as it was";
}

TEST(BluezObjectModelTest, ABatteryFollowsItsInterface)
{
    auto model = primed();
    model.interfacesAdded(kHeadset, {{BluezObjectModel::kBatteryInterface, {.percentage = 15}}});
    EXPECT_EQ(model.state().devices[0].batteryPercentage, 15);
    model.propertiesChanged(kHeadset, BluezObjectModel::kBatteryInterface, {.percentage = 14});
    EXPECT_EQ(model.state().devices[0].batteryPercentage, 14);
    model.interfacesRemoved(kHeadset, {BluezObjectModel::kBatteryInterface});
    EXPECT_EQ(model.state().devices[0].batteryPercentage, std::nullopt);
}

TEST(BluezObjectModelTest, AMergedSnapshotReportsWhatChangedSinceTheLastOne)
{
    auto model = primed();
    const auto events = model.merge({
        {kAdapter, {{BluezObjectModel::kAdapterInterface, {.powered = true}}}},
        {kHeadset, {{BluezObjectModel::kDeviceInterface, {.address = "AA:BB:CC:DD:EE:01", .connected = true}}}},
    });
    EXPECT_EQ(kinds(events), (std::vector{Kind::deviceConnected, Kind::deviceDisconnected}))
        << "the headset came up, the mouse is gone";
}

TEST(BluezObjectModelTest, AuthorizationCountsAnAdapterWhetherOrNotItsRadioIsOn)
{
    struct Row {
        BluetoothStackStatus status;
        BluetoothAuthorization expected;
        const char* why;
    } rows[] = {
        {{.reachable = true, .hasAdapter = true, .powered = true}, BluetoothAuthorization::allowedAlways, "on"},
        {{.reachable = true, .hasAdapter = true}, BluetoothAuthorization::allowedAlways, "radio off is no refusal"},
        {{.reachable = true}, BluetoothAuthorization::notDetermined, "no adapter yet"},
        {{}, BluetoothAuthorization::notDetermined, "no stack"},
        {{.accessDenied = true}, BluetoothAuthorization::denied, "the system refuses access"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        EXPECT_EQ(row.status.authorization(), row.expected);
    }
}

} // namespace
