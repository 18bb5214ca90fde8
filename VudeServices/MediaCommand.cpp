#include "VudeServices/MediaCommand.h"

#include "VudeKit/Numbers.h"

double MediaCommand::number() const
{
    const auto* value = std::get_if<double>(&m_payload);
    return value ? *value : 0;
}

ShuffleMode MediaCommand::shuffleMode() const
{
    const auto* value = std::get_if<ShuffleMode>(&m_payload);
    return value ? *value : ShuffleMode::off;
}

RepeatMode MediaCommand::repeat() const
{
    const auto* value = std::get_if<RepeatMode>(&m_payload);
    return value ? *value : RepeatMode::off;
}

std::vector<std::string> MediaCommand::adapterArguments() const
{
    switch (m_kind) {
    case Kind::play:
        return {"send", "0"};
    case Kind::pause:
        return {"send", "1"};
    case Kind::toggle:
        return {"send", "2"};
    case Kind::next:
        return {"send", "4"};
    case Kind::previous:
        return {"send", "5"};
    case Kind::seek:
        return {"seek", formatFixed(number(), 3)};
    case Kind::shuffle:
        return {"shuffle", std::string(rawValue(shuffleMode()))};
    case Kind::repeatMode:
        return {"repeat", std::string(rawValue(repeat()))};
    case Kind::speed:
        return {"speed", formatFixed(number(), 2)};
    }
    return {};
}
