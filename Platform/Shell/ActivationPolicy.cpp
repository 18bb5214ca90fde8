#include "Platform/Shell/ActivationPolicy.h"

bool ActivationPolicyRecorder::setActivationPolicy(ActivationPolicy policy)
{
    if (policy == m_policy)
        return false;
    m_policy = policy;
    emit activationPolicyChanged(policy);
    return true;
}

Qt::WindowFlags ActivationPolicyRecorder::windowFlags(ActivationPolicy policy)
{
    switch (policy) {
    case ActivationPolicy::regular:
        return Qt::Window;
    case ActivationPolicy::accessory:
    case ActivationPolicy::prohibited:
        break;
    }
    return Qt::Tool;
}
