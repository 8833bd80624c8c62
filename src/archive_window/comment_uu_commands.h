#pragma once
// The text helper of the UU commands (comment_uu_commands.cpp). Pure; any thread.
#include <QString>

namespace kx {

// The name up to, not including, its first "." (searched from the start of
// the whole text, folders included), blanks at both ends removed; the whole
// name, trimmed, when it holds no ".". "/v1.2/a.txt" gives "/v1".
QString WithoutExtension(const QString& name);

}  // namespace kx
