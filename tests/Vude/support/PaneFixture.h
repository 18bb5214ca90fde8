#pragma once
// An activity pane under test: made and bound as the window makes it, laid
// out at a pane's width with the height its wrapped texts need, and shown.
// `picture()` lets the switches' knobs come to rest before saving a PNG.

#include "Vude/Settings/ActivityPane.h"

#include "SettingsRig.h"
#include "WidgetPicture.h"

#include <QLayout>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <vector>

namespace settingstest {

template <typename Pane>
class PaneFixture : public ::testing::Test {
protected:
    static constexpr int width = 560;

    Pane& make(SettingsPane which, const SettingsPaneInputs& inputs)
    {
        pane.reset(makeSettingsPaneView(which, rig.environment, nullptr));
        pane->bind(inputs);
        fit();
        pane->show();
        auto* made = dynamic_cast<Pane*>(pane.get());
        EXPECT_NE(made, nullptr);
        return *made;
    }
    /// With the inputs the window would hand over now.
    Pane& make(SettingsPane which) { return make(which, settingsPaneInputs(which, rig.services)); }

    /// Sets the height the pane's texts need at its width again.
    void fit() { pane->resize(width, pane->layout()->heightForWidth(width)); }

    /// What the pane stacks now, from the top.
    std::vector<QWidget*> blocks() const { return static_cast<ActivityPane&>(*pane).elements(); }

    bool picture(const QString& name)
    {
        fit();
        rig.scheduler.advance(std::chrono::seconds(2));
        return testsupport::saveScreenshot(*pane, name);
    }

    SettingsRig rig;
    std::unique_ptr<SettingsPaneView> pane;
};

} // namespace settingstest
