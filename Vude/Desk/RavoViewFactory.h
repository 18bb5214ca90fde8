#pragma once
// The Desk's view as the notch's root view builds it for an open state:
// RavoView for the tab, with the root view's inset of 18. The app installs
// this factory in every root view (NotchWindowController::setDeskViewFactory);
// the shell never names the Desk's types.

#include "Vude/Desk/DeskEnvironment.h"
#include "Vude/Shell/NotchRootView.h"

/// `environment` must outlive every view the factory builds.
NotchRootView::DeskViewFactory ravoViewFactory(const DeskEnvironment& environment);
