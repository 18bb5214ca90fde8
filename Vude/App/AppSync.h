#pragma once
// What start-up's sync task needs of the synced store: starting the sync
// coordinator, its state for one trace line, and the store operations the
// task runs on fresh model contexts of its container. The app plugs in the
// sync coordinator; UnavailableAppSync stands for a store that could not be
// opened at all. Main thread only.

#include "VudeKit/LinuxTexts.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

class DidoDivuzerore;

class AppSync {
public:
    /// Rows the one-time import of earlier files inserted.
    struct ImportSummary {
        int todos = 0;
        int timers = 0;
        int shortcuts = 0;
        int notes = 0;
        int total() const { return todos + timers + shortcuts + notes; }
    };

    virtual ~AppSync() = default;

    /// Opens the store and, with sync on, checks the account; `done` once
    /// that is over (possibly before this returns).
    virtual void start(bool syncEnabled, std::function<void()> done) = 0;
    /// The sync status as the trace and the report word it.
    virtual std::string statusSummary() const = 0;
    virtual bool isLocalOnly() const = 0;
    virtual std::optional<std::string> accountError() const = 0;
    /// Whether a store opened.
    virtual bool hasContainer() const = 0;

    /// Imports the files of earlier versions once (a fresh context); none
    /// when the import failed.
    virtual std::optional<ImportSummary> importEarlierFiles(const std::string& deviceID) = 0;
    /// Receives one line for the diagnostics trace.
    using TraceSink = std::function<void(const std::string&)>;

    /// The repository over a fresh context, writing its failures to `trace`;
    /// none without a store.
    virtual std::shared_ptr<DidoDivuzerore> makeRepository(const std::string& deviceID, TraceSink trace) = 0;
    /// Deletes every synced row (a fresh context), dropping failures.
    virtual void deleteAllRows() = 0;
    /// Collapses rows that arrived twice (a fresh context); the number of
    /// rows removed, none when it failed.
    virtual std::optional<int> deduplicate() = 0;

    /// Asks whether the cloud database of the container can be reached and
    /// round-tripped; `done` with the probe's summary and detail.
    virtual void probeCloud(std::function<void(std::string summary, std::string detail)> done) = 0;
};

/// No store: the sync task ends after its first trace line.
class UnavailableAppSync final : public AppSync {
public:
    void start(bool, std::function<void()> done) override
    {
        if (done)
            done();
    }
    std::string statusSummary() const override { return std::string(LinuxTexts::syncContainerUnavailable.shown); }
    bool isLocalOnly() const override { return true; }
    std::optional<std::string> accountError() const override { return std::nullopt; }
    bool hasContainer() const override { return false; }
    std::optional<ImportSummary> importEarlierFiles(const std::string&) override { return std::nullopt; }
    std::shared_ptr<DidoDivuzerore> makeRepository(const std::string&, TraceSink) override { return nullptr; }
    void deleteAllRows() override {}
    std::optional<int> deduplicate() override { return std::nullopt; }
    void probeCloud(std::function<void(std::string, std::string)> done) override
    {
        done(std::string(LinuxTexts::syncProbeUnreachable.shown) + "no cloud database", "no cloud database");
    }
};
