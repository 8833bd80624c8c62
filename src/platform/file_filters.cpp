#include "platform/file_filters.h"

#include <QFileDialog>

namespace kx {
namespace {

QString EitherCase(const QString& pattern) {
  if (pattern == "*.*") return QStringLiteral("*");
  QString out;
  for (const QChar c : pattern) {
    const QChar lower = c.toLower(), upper = c.toUpper();
    if (lower == upper)
      out += c;
    else
      out += QStringLiteral("[%1%2]").arg(lower, upper);
  }
  return out;
}

}  // namespace

QStringList QtNameFilters(const QString& windowsFilter) {
  const QStringList parts = windowsFilter.split('|');
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QStringList patterns;
    for (const QString& p : parts[i + 1].split(';', Qt::SkipEmptyParts)) patterns << EitherCase(p.trimmed());
    // Qt reads the patterns from the last parentheses; the description may
    // carry its own, which then stay part of the name.
    filters << parts[i] + " (" + patterns.join(' ') + ")";
  }
  return filters;
}

void ApplyWindowsFilter(QFileDialog& dialog, const QString& windowsFilter) {
  // The descriptions already name their patterns; the bracketed ones would
  // only clutter the list of types.
  dialog.setOption(QFileDialog::HideNameFilterDetails, true);
  dialog.setNameFilters(QtNameFilters(windowsFilter));
}

}  // namespace kx
