#include "Platform/Shell/ActivationPolicy.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

namespace {

TEST(ActivationPolicyTest, RecordsChangesOnceAndTellsWindowsHowToAppear)
{
    ActivationPolicyRecorder recorder;
    EXPECT_EQ(recorder.activationPolicy(), ActivationPolicy::accessory) << "the notch alone shows no window";
    QSignalSpy changes(&recorder, &ActivationPolicyRecorder::activationPolicyChanged);

    EXPECT_TRUE(recorder.setActivationPolicy(ActivationPolicy::regular));
    EXPECT_FALSE(recorder.setActivationPolicy(ActivationPolicy::regular));
    EXPECT_TRUE(recorder.setActivationPolicy(ActivationPolicy::accessory));
    ASSERT_EQ(changes.count(), 2);
    EXPECT_EQ(changes.at(0).at(0).value<ActivationPolicy>(), ActivationPolicy::regular);

    recorder.activateIgnoringOtherApps();
    EXPECT_EQ(recorder.activationRequests(), 1);

    // A settings window is a normal window with a taskbar entry only while
    // the app is regular.
    EXPECT_EQ(ActivationPolicyRecorder::windowFlags(ActivationPolicy::regular), Qt::Window);
    EXPECT_EQ(ActivationPolicyRecorder::windowFlags(ActivationPolicy::accessory), Qt::Tool);
    EXPECT_EQ(ActivationPolicyRecorder::windowFlags(ActivationPolicy::prohibited), Qt::Tool);
}

} // namespace
