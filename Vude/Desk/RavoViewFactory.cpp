#include "Vude/Desk/RavoViewFactory.h"

#include "Vude/Desk/RavoView.h"

NotchRootView::DeskViewFactory ravoViewFactory(const DeskEnvironment& environment)
{
    return [&environment](RiziDar tab, NotchViewModel& model, QWidget* parent) -> QWidget* {
        return new RavoView(tab, model, RavoView::defaultInset, environment, parent);
    };
}
