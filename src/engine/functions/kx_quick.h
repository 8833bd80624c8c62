#pragma once
// The command line's one-call functions: each builds a KxZip without
// callbacks, takes its options from the switch text (quick_options.h) and
// runs one action on the calling thread.
#include <cstdint>
#include <string>

#include "engine/result_codes.h"

// Creates or updates `archive` from `files` (names or patterns, blank-separated).
std::int16_t KxQZip(const std::string& archive, const std::string& files, const std::string& options);
// Extracts `files` (default all) of `archive` into `folder`.
std::int16_t KxQUnZip(const std::string& archive, const std::string& folder, const std::string& files,
                    const std::string& options);

// The console-print switch of the quick functions, kept for their callers.
void KxSetCPrint(std::int16_t mode);
std::int16_t KxGetCPrint();
