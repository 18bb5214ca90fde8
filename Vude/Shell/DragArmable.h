#pragma once
// How the window controller arms a panel's content view for a file drag
// without knowing what the view hosts.

#include "VudeKit/Geometry.h"

class DragArmable {
public:
    virtual ~DragArmable() = default;

    /// A file drag is in progress anywhere on the desktop; the view widens
    /// what it takes to its drop rectangle. Disarming also ends a drag inside.
    virtual bool isArmed() const = 0;
    virtual void setArmed(bool armed) = 0;
    /// Our own tray started the drag; the view refuses it.
    virtual bool isSourcingDrag() const = 0;
    virtual void setSourcingDrag(bool sourcing) = 0;
    /// The part of the view, in its own coordinates, that takes a drop.
    virtual Rect dropRectForDrag() const = 0;
    virtual void setDropRectForDrag(Rect rect) = 0;
};
