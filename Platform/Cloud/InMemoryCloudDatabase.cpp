#include "Platform/Cloud/InMemoryCloudDatabase.h"

#include "Platform/Core/NotificationCenter.h"

namespace {

constexpr Duration kMarkLifetime = std::chrono::hours(24 * 30);

} // namespace

InMemoryCloudDatabase::InMemoryCloudDatabase(std::string containerID, std::string installID, const ClockSource& clock,
                                             std::shared_ptr<Space> space)
    : m_containerID(std::move(containerID)), m_installID(std::move(installID)), m_clock(clock),
      m_space(space ? std::move(space) : std::make_shared<Space>())
{
}

void InMemoryCloudDatabase::queueAccountAnswers(std::vector<AccountStatusResult> answers)
{
    for (auto& answer : answers)
        m_queued.push_back(std::move(answer));
}

bool InMemoryCloudDatabase::answerHeldQuery(AccountStatusResult answer)
{
    if (m_held.empty())
        return false;
    auto done = std::move(m_held.front());
    m_held.pop_front();
    if (done)
        done(std::move(answer));
    return true;
}

void InMemoryCloudDatabase::announceAccountChange() const
{
    NotificationCenter::defaultCenter().post(accountChangedNotification,
                                             {{"containerID", QString::fromStdString(m_containerID)}});
}

void InMemoryCloudDatabase::announceRemoteChange() const
{
    if (m_onRemoteChange)
        m_onRemoteChange();
}

void InMemoryCloudDatabase::accountStatus(AccountStatusHandler done)
{
    ++m_accountQueries;
    if (m_holds) {
        m_held.push_back(std::move(done));
        return;
    }
    AccountStatusResult answer = m_defaultAnswer;
    if (!m_queued.empty()) {
        answer = std::move(m_queued.front());
        m_queued.pop_front();
    }
    if (done)
        done(std::move(answer));
}

CloudInstallState& InMemoryCloudDatabase::own()
{
    auto [position, inserted] = m_space->states.try_emplace(m_installID);
    if (inserted)
        position->second.installID = m_installID;
    return position->second;
}

std::vector<const CloudInstallState*> InMemoryCloudDatabase::others() const
{
    std::vector<const CloudInstallState*> states;
    for (const auto& [install, state] : m_space->states)
        if (install != m_installID)
            states.push_back(&state);
    return states;
}

std::map<std::string, std::int64_t> InMemoryCloudDatabase::otherRevisions() const
{
    std::map<std::string, std::int64_t> revisions;
    for (const auto* state : others())
        revisions[state->installID] = state->revision;
    return revisions;
}

Expected<void, CloudError> InMemoryCloudDatabase::modify(const std::vector<CloudRecord>& records)
{
    std::scoped_lock lock(m_space->mutex);
    ++m_modifyCount;
    if (m_modifyFailure && m_modifySuccessesLeft-- <= 0)
        return unexpected(*m_modifyFailure);
    auto& state = own();
    const Date now = m_clock.now();
    state.apply(records, now);
    state.compact(others(), true, now, kMarkLifetime);
    return {};
}

Expected<CloudSnapshot, CloudError> InMemoryCloudDatabase::fetchAll()
{
    std::scoped_lock lock(m_space->mutex);
    if (m_fetchFailure)
        return unexpected(*m_fetchFailure);
    own();
    CloudSnapshot snapshot;
    snapshot.revisions = otherRevisions();
    std::vector<const CloudInstallState*> states;
    for (const auto& [install, state] : m_space->states)
        states.push_back(&state);
    snapshot.records = CloudMerge::newest(states);
    m_fetchedRevisions = snapshot.revisions;
    return snapshot;
}

void InMemoryCloudDatabase::acknowledge(const std::map<std::string, std::int64_t>& revisions)
{
    std::scoped_lock lock(m_space->mutex);
    auto& state = own();
    for (const auto& [install, revision] : revisions)
        if (install != m_installID && revision > state.seen[install])
            state.seen[install] = revision;
    state.compact(others(), true, m_clock.now(), kMarkLifetime);
}

std::optional<CloudRecordVersion> InMemoryCloudDatabase::ownVersion(const std::string& recordName)
{
    std::scoped_lock lock(m_space->mutex);
    const auto& records = own().records;
    const auto found = records.find(recordName);
    if (found == records.end())
        return std::nullopt;
    return found->second.record.version();
}

bool InMemoryCloudDatabase::hasUnseenChanges()
{
    std::scoped_lock lock(m_space->mutex);
    return !m_fetchedRevisions || *m_fetchedRevisions != otherRevisions();
}

Expected<void, std::string> InMemoryCloudDatabase::startWatching(std::function<void()> onRemoteChange)
{
    if (m_watchFailure)
        return unexpected(*m_watchFailure);
    m_onRemoteChange = std::move(onRemoteChange);
    return {};
}
