#pragma once

// The colours of the two curves of a stringing chart, in the chart dialog's
// plot and the report page's plot (their axes: tension/chart_axes.h).

#include <QColor>

namespace sarn {

inline const QColor kTensionColour(0, 90, 200);
inline const QColor kSagColour(200, 90, 0);

}  // namespace sarn
