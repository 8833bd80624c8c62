#pragma once
// `zip`: the one routine through which the archive window runs an engine
// action other than reading the directory. It hands the open archive, the
// file specification and every working option to the engine, runs the
// action, writes the held comment back and forgets the password. Outcome and
// errors reach the user through the engine events. User-interface thread.
#include <QString>

#include <cstdint>

namespace kx {

class KxZip;

void zip(KxZip& KxZip1, const QString& Zipfiles, std::int16_t aktion);

}  // namespace kx
