#include "VudeServices/PipelineResult.h"

#include "VudeKit/Numbers.h"
#include "VudeServices/PipelineSupport.h"

std::string PipelineResult::summary() const
{
    if (produced.size() == 1)
        return PipelineSupport::fileName(produced.front());
    if (produced.size() > 1)
        return formatInteger(static_cast<std::int64_t>(produced.size())) + " files";
    return title;
}
