// Which pipelines are on, and what switching one stores: the implicit full
// set becomes explicit, a returning pipeline joins at the end, and the list
// is never left empty.
#include "Vude/Settings/PipelineSwitches.h"

#include <gtest/gtest.h>

namespace {

using P = PipelineID;

const PipelineList every{P::compressImage, P::convertFormat, P::zip,    P::unzip,
                         P::stripEXIF,     P::imagesToPDF,   P::rename, P::copyPaths};

TEST(PipelineSwitchesTest, SwitchingStoresTheListTheLanesFollow)
{
    const PipelineList withoutZip{P::compressImage, P::convertFormat, P::unzip,   P::stripEXIF,
                                  P::imagesToPDF,   P::rename,        P::copyPaths};
    PipelineList zipLast = withoutZip;
    zipLast.push_back(P::zip);
    struct Row {
        const char* why;
        PipelineList order;
        PipelineID pipeline;
        bool on;
        PipelineList stored;
        bool lanesOff;
    };
    const std::vector<Row> rows{
        {"Zip off from the implicit set: the seven others, declaration order", {}, P::zip, false, withoutZip, false},
        {"Zip back on: appended after the seven", withoutZip, P::zip, true, zipLast, false},
        {"on while already listed: unchanged", {P::rename, P::zip}, P::zip, true, {P::rename, P::zip}, false},
        {"on while implicit: all eight made explicit", {}, P::zip, true, every, false},
        {"off removes every repeat, the others keep their order",
         {P::zip, P::rename, P::zip, P::unzip},
         P::zip,
         false,
         {P::rename, P::unzip},
         false},
        {"off for one not listed: the list stays", {P::rename, P::unzip}, P::zip, false, {P::rename, P::unzip}, false},
        {"the last one off: kept alone, lanes off", {P::rename}, P::rename, false, {P::rename}, true},
        {"the last one, repeated, off: kept once, lanes off", {P::unzip, P::unzip}, P::unzip, false, {P::unzip}, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        const PipelineSwitches::Change change = PipelineSwitches::setOn(row.order, row.pipeline, row.on);
        EXPECT_EQ(change.order, row.stored);
        EXPECT_EQ(change.turnsLanesOff, row.lanesOff);
    }
}

TEST(PipelineSwitchesTest, AnEmptyOrderMeansEveryPipelineOn)
{
    for (PipelineID id : every)
        EXPECT_TRUE(PipelineSwitches::isOn({}, id)) << rawValue(id);
    EXPECT_TRUE(PipelineSwitches::isOn({P::zip}, P::zip));
    EXPECT_FALSE(PipelineSwitches::isOn({P::zip}, P::unzip));
}

} // namespace
