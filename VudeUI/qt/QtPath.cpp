#include "VudeUI/qt/QtPath.h"

#include <type_traits>

QPainterPath toQPainterPath(const ShapePath& path)
{
    QPainterPath result;
    for (const auto& element : path.elements()) {
        std::visit(
            [&result](const auto& step) {
                using Step = std::decay_t<decltype(step)>;
                if constexpr (std::is_same_v<Step, ShapePath::MoveTo>)
                    result.moveTo(step.point.x, step.point.y);
                else if constexpr (std::is_same_v<Step, ShapePath::LineTo>)
                    result.lineTo(step.point.x, step.point.y);
                else if constexpr (std::is_same_v<Step, ShapePath::QuadTo>)
                    result.quadTo(step.control.x, step.control.y, step.point.x, step.point.y);
                else
                    result.closeSubpath();
            },
            element);
    }
    return result;
}
