#pragma once

#include <QStringList>
#include <string_view>

namespace sarn::tk {

// A "label|pattern|label|pattern..." filter as Qt name filters: each entry
// becomes "label (patterns)"; when the label already ends with the pattern in
// brackets it is used as it stands. Patterns separated by ';' become
// space-separated.
QStringList QtNameFilters(std::string_view filter);

}  // namespace sarn::tk
