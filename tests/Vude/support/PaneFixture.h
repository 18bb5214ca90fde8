#pragma once
// A settings pane under test: made and bound as the window makes it, laid
// out at a pane's width with the height its wrapped texts need, and shown.
// `blocks()` lists what the pane stacks from the top; `picture()` lets the
// switches' knobs come to rest before saving a PNG.

#include "Vude/Settings/SettingsPaneView.h"

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
        pane->resize(width, pane->layout()->heightForWidth(width));
        pane->show();
        auto* made = dynamic_cast<Pane*>(pane.get());
        EXPECT_NE(made, nullptr);
        return *made;
    }
    /// With the inputs the window would hand over now.
    Pane& make(SettingsPane which) { return make(which, settingsPaneInputs(which, rig.services)); }

    std::vector<QWidget*> blocks() const
    {
        std::vector<QWidget*> shown;
        for (int i = 0; i < pane->layout()->count(); ++i)
            if (QWidget* widget = pane->layout()->itemAt(i)->widget())
                shown.push_back(widget);
        return shown;
    }

    bool picture(const QString& name)
    {
        rig.scheduler.advance(std::chrono::seconds(2));
        return testsupport::saveScreenshot(*pane, name);
    }

    SettingsRig rig;
    std::unique_ptr<SettingsPaneView> pane;
};

} // namespace settingstest
