#include "Platform/Power/MainsPowerJudge.h"

bool MainsPowerJudge::isOnMains(std::optional<bool> byFlag, std::optional<bool> byState)
{
    const bool flagChanged = byFlag && byFlag != m_flag;
    const bool stateChanged = byState && byState != m_state;
    if (byFlag)
        m_flag = byFlag;
    if (byState)
        m_state = byState;

    bool answer = false;
    if (byFlag && byState && *byFlag != *byState) {
        if (stateChanged && !flagChanged)
            answer = *byState;
        else if (flagChanged && !stateChanged)
            answer = *byFlag;
        else if (!flagChanged && !stateChanged && m_answer)
            answer = *m_answer;
        else
            answer = *byFlag;
    } else if (byFlag) {
        answer = *byFlag;
    } else if (byState) {
        answer = *byState;
    } else {
        answer = m_answer.value_or(false);
    }
    m_answer = answer;
    return answer;
}

std::optional<bool> MainsPowerJudge::onMainsByState(unsigned state)
{
    switch (state) {
    case 1: // charging
    case 4: // fully charged
    case 5: // pending charge: held at a charge limit
        return true;
    case 2: // discharging
    case 3: // empty
    case 6: // pending discharge
        return false;
    default: // unknown
        return std::nullopt;
    }
}
