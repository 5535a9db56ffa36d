#include "toolkit/file_filter.h"

#include <QString>

namespace sarn::tk {

QStringList QtNameFilters(std::string_view filter) {
  const QStringList parts =
      QString::fromUtf8(filter.data(), static_cast<qsizetype>(filter.size())).split('|');
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    const QString label = parts[i].trimmed();
    QString patterns = parts[i + 1].trimmed();
    patterns.replace(';', ' ');
    if (label.endsWith(QStringLiteral("(") + patterns + QStringLiteral(")")))
      filters << label;
    else
      filters << label + QStringLiteral(" (") + patterns + QStringLiteral(")");
  }
  return filters;
}

}  // namespace sarn::tk
