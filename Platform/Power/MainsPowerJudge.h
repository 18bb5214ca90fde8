#pragma once
// Whether the machine runs from mains power, from UPower's two accounts of
// it: the daemon's OnBattery flag and the battery's charge state (charging,
// held at a charge limit or full: on mains; discharging or empty: on battery).
//
// The two can disagree for a while: unplugged at 100 % the battery still
// says "fully charged"; a firmware may update the state before or after the
// flag. The account that changed last wins, since it carries the news; when
// neither changed the last answer stands, and without one the flag decides.

#include <optional>

class MainsPowerJudge {
public:
    /// Each account is none when it says nothing (unreadable, unknown state).
    bool isOnMains(std::optional<bool> byFlag, std::optional<bool> byState);

    /// The charge state's account of a UPower device state.
    static std::optional<bool> onMainsByState(unsigned state);

private:
    std::optional<bool> m_flag;
    std::optional<bool> m_state;
    std::optional<bool> m_answer;
};
