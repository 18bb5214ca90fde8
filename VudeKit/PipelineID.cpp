#include "VudeKit/PipelineID.h"

#include "VudeKit/LinuxTexts.h"

const PipelineID* DropLane::pipelineID() const
{
    const auto* pipeline = std::get_if<Pipeline>(&m_value);
    return pipeline ? &pipeline->id : nullptr;
}

std::string_view DropLane::id() const
{
    if (const auto* pipeline = pipelineID())
        return rawValue(*pipeline);
    return std::holds_alternative<Shelf>(m_value) ? "shelf" : "airdrop";
}

std::string_view DropLane::displayName() const
{
    if (const auto* pipeline = pipelineID())
        return ::displayName(*pipeline);
    return std::holds_alternative<Shelf>(m_value) ? "Files Tray" : LinuxTexts::laneKdeConnect.shown;
}

std::string_view DropLane::symbol() const
{
    if (const auto* pipeline = pipelineID())
        return ::symbol(*pipeline);
    return std::holds_alternative<Shelf>(m_value) ? "tray.and.arrow.down.fill" : "dot.radiowaves.right";
}

bool DropLane::isPrimary() const
{
    return pipelineID() == nullptr;
}
