#pragma once
// The cloud database double: install states kept in memory (several doubles
// can share one space, as installs share a folder), a scripted account
// status that can answer at once or be held, and failures on demand.

#include "Platform/Cloud/CloudInstallState.h"
#include "VudeKit/ClockSource.h"

#include <deque>
#include <memory>
#include <mutex>
#include <optional>

class InMemoryCloudDatabase final : public CloudDatabase {
public:
    /// The states of every install that shares the space.
    struct Space {
        std::map<std::string, CloudInstallState> states;
        /// Held by each records call: installs' mirrors may run at once.
        std::recursive_mutex mutex;
    };

    InMemoryCloudDatabase(std::string containerID, std::string installID, const ClockSource& clock,
                          std::shared_ptr<Space> space = std::make_shared<Space>());

    const std::shared_ptr<Space>& space() const { return m_space; }

    // --- Account status ----------------------------------------------------

    /// The answer given when no scripted answer is queued.
    void setAccountStatus(AccountStatusResult answer) { m_defaultAnswer = std::move(answer); }
    /// Answers for the next queries, in order, before the default applies.
    void queueAccountAnswers(std::vector<AccountStatusResult> answers);
    /// Held queries wait for answerHeldQuery() instead of answering at once.
    void setHoldsAccountQueries(bool holds) { m_holds = holds; }
    /// Answers the oldest held query; false when none is held.
    bool answerHeldQuery(AccountStatusResult answer);
    std::size_t heldQueryCount() const { return m_held.size(); }
    int accountQueryCount() const { return m_accountQueries; }
    /// Posts the account-changed notification, as the real database does.
    void announceAccountChange() const;

    // --- Records -------------------------------------------------------------

    /// Makes every modify() (or fetchAll()) fail with `error` until cleared.
    void setModifyFailure(std::optional<CloudError> error) { m_modifyFailure = std::move(error); }
    /// Lets the next `successes` modify() calls through, then fails them.
    void failModifiesAfter(int successes, CloudError error)
    {
        m_modifySuccessesLeft = successes;
        m_modifyFailure = std::move(error);
    }
    void setFetchFailure(std::optional<CloudError> error) { m_fetchFailure = std::move(error); }
    int modifyCount() const { return m_modifyCount; }

    // --- Watching ------------------------------------------------------------

    /// Makes startWatching() fail with `reason` (none: succeed).
    void setWatchFailure(std::optional<std::string> reason) { m_watchFailure = std::move(reason); }
    bool isWatching() const { return static_cast<bool>(m_onRemoteChange); }
    /// Calls the watcher's handler, as a change by another install would.
    void announceRemoteChange() const;

    const std::string& containerID() const override { return m_containerID; }
    const std::string& installID() const override { return m_installID; }
    void accountStatus(AccountStatusHandler done) override;
    Expected<void, CloudError> modify(const std::vector<CloudRecord>& records) override;
    Expected<CloudSnapshot, CloudError> fetchAll() override;
    void acknowledge(const std::map<std::string, std::int64_t>& revisions) override;
    std::optional<CloudRecordVersion> ownVersion(const std::string& recordName) override;
    bool hasUnseenChanges() override;
    Expected<void, std::string> startWatching(std::function<void()> onRemoteChange) override;
    void stopWatching() override { m_onRemoteChange = nullptr; }

private:
    CloudInstallState& own();
    std::vector<const CloudInstallState*> others() const;
    std::map<std::string, std::int64_t> otherRevisions() const;

    std::string m_containerID;
    std::string m_installID;
    const ClockSource& m_clock;
    std::shared_ptr<Space> m_space;

    AccountStatusResult m_defaultAnswer = CloudAccountStatus::available;
    std::deque<AccountStatusResult> m_queued;
    bool m_holds = false;
    std::deque<AccountStatusHandler> m_held;
    int m_accountQueries = 0;

    std::optional<CloudError> m_modifyFailure;
    std::optional<CloudError> m_fetchFailure;
    int m_modifyCount = 0;
    int m_modifySuccessesLeft = 0;
    std::optional<std::map<std::string, std::int64_t>> m_fetchedRevisions;

    std::optional<std::string> m_watchFailure;
    std::function<void()> m_onRemoteChange;
};
