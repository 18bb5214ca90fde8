#include "VudeServices/PipelineRegistry.h"

#include "VudeServices/FilePipelines.h"
#include "VudeServices/ImagePipelines.h"

#include <algorithm>

PipelineRegistry::PipelineRegistry(std::optional<Pipelines> all)
    : m_all(all ? std::move(*all) : defaultPipelines())
{
}

PipelineRegistry::Pipelines PipelineRegistry::defaultPipelines(Pasteboard* pasteboard)
{
    return {
        std::make_shared<CompressImagePipeline>(),
        std::make_shared<ConvertFormatPipeline>(),
        std::make_shared<ImagesToPDFPipeline>(),
        std::make_shared<StripEXIFPipeline>(),
        std::make_shared<ZipPipeline>(),
        std::make_shared<UnzipPipeline>(),
        std::make_shared<RenamePipeline>(),
        std::make_shared<CopyPathsPipeline>(pasteboard),
    };
}

PipelineRegistry::Pipelines PipelineRegistry::lanes(const std::vector<std::filesystem::path>& urls,
                                                    const std::optional<std::vector<PipelineID>>& enabled) const
{
    Pipelines kept;
    std::copy_if(m_all.begin(), m_all.end(), std::back_inserter(kept),
                 [&urls](const Pipeline& pipeline) { return pipeline->accepts(urls); });
    if (!enabled || enabled->empty())
        return kept;

    Pipelines ordered;
    std::vector<PipelineID> offered;
    for (const PipelineID id : *enabled) {
        // Two lanes for one pipeline would be two targets for the same drop.
        if (std::find(offered.begin(), offered.end(), id) != offered.end())
            continue;
        const auto match = std::find_if(kept.begin(), kept.end(),
                                        [id](const Pipeline& pipeline) { return pipeline->id() == id; });
        if (match == kept.end())
            continue;
        ordered.push_back(*match);
        offered.push_back(id);
    }
    return ordered;
}
