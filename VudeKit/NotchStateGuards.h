#pragma once
// The twelve switches that gate the notch's transitions, built from the
// settings (and the typing state) and handed to the notch state machine.

struct NotchStateGuards {
    bool expandOnHover = false;
    bool alwaysOpenOnHover = false;
    bool preventCloseOnMouseLeave = false;
    bool swipeToToggleOpen = false;
    bool swipeToDismissActivity = false;
    bool swipeToCycleActivity = false;
    bool swipeToSkipMedia = false;
    bool interactiveActivities = false;
    bool quickPeekEnabled = false;
    /// Activities do not time out.
    bool demoMode = false;
    /// The user is typing; the settings always supply false.
    bool isTyping = false;
    bool lockWhileTyping = false;

    bool operator==(const NotchStateGuards&) const = default;
};
