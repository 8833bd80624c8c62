#pragma once
// UU coding in the classic format: "begin 644 name", lines of up to 45 bytes,
// a "`" line, "end". Runs on the calling thread; failure is a result code.
#include <string>

#include "engine/result_codes.h"

namespace kx {

// Encodes the file `source` into `target` (created or replaced), naming the
// file by the last component of `source`.
Result UuEncodeFile(const std::string& source, const std::string& target);

// Decodes every encoded file in `source` into `targetFolder`. Names are reduced
// to their last component; an existing file is never overwritten. The name
// written last is reported in `written` when given.
Result UuDecodeFile(const std::string& source, const std::string& targetFolder,
                    std::string* written = nullptr);

}  // namespace kx
