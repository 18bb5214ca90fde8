#include "VudeServices/DropPipeline.h"

#include "VudeKit/Numbers.h"

void ProgressReporter::operator()(double fraction, const std::string& detail) const
{
    if (report)
        report(clampedOrLower(fraction, 0.0, 1.0), detail);
}
