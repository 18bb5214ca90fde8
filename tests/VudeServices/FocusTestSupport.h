#pragma once
// What the Focus tests share: a readable FocusModeState, and a fixture with a
// service over a fake Do Not Disturb source and an empty home folder.

#include "Platform/Desktop/FocusStateSource.h"
#include "TestSupport.h"
#include "VudeServices/FocusService.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <ostream>
#include <vector>

inline void PrintTo(const FocusModeState& state, std::ostream* out)
{
    *out << "{" << (state.isActive ? "on" : "off") << ", " << (state.modeName ? "\"" + *state.modeName + "\"" : "no name")
         << ", " << state.symbol << "}";
}

class FocusServiceFixture : public testing::Test {
protected:
    void makeService(std::unique_ptr<FocusStateSource> source)
    {
        service = std::make_unique<FocusService>(std::move(source), home.path().toStdString());
        service->states().consume(&receiver, [this](const FocusModeState& state) { received.push_back(state); });
    }

    void makeService(bool available = true, bool on = false)
    {
        auto fake = std::make_unique<FakeFocusStateSource>(available, on);
        source = fake.get();
        makeService(std::move(fake));
    }

    /// Waits for `count` states in all and returns the newest.
    FocusModeState waitForStates(std::size_t count)
    {
        EXPECT_TRUE(testsupport::waitUntil([&] { return received.size() >= count; }))
            << "only " << received.size() << " of " << count << " states";
        return received.empty() ? FocusModeState{} : received.back();
    }

    /// Lets queued deliveries arrive, then the number of states so far.
    std::size_t settledCount()
    {
        testsupport::processEvents();
        return received.size();
    }

    void writeDatabase(const std::string& assertions, const std::string& configurations)
    {
        const FocusDatabase database(home.path().toStdString());
        std::filesystem::create_directories(database.assertionsFile().parent_path());
        std::ofstream(database.assertionsFile(), std::ios::trunc) << assertions;
        std::ofstream(database.configurationsFile(), std::ios::trunc) << configurations;
    }

    QTemporaryDir home;
    FakeFocusStateSource* source = nullptr;
    std::unique_ptr<FocusService> service;
    QObject receiver;
    std::vector<FocusModeState> received;
};
