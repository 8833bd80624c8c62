#pragma once
// The comment handle of the plain functions: KxZipOpen checks the archive and
// hands out a handle, KxZipNewComment writes a comment through it (crash-safe,
// see zip_comment.h), KxZipClose frees it. A stale or made-up handle gives
// rc::InvalidHandle. Calling thread; safe to call from several threads.
#include <cstdint>
#include <string>

#include "engine/result_codes.h"

using KxHandle = std::intptr_t;
std::int16_t KxZipOpen(const std::string& archive, std::int32_t mode, KxHandle& handle);
std::int16_t KxZipNewComment(KxHandle handle, const std::string& comment);
std::int16_t KxZipClose(KxHandle& handle);
