#pragma once
// The comment handle of the plain functions: KxZipOpen checks the archive and
// hands out a handle, KxZipNewComment writes a comment through it (crash-safe,
// see zip_comment.h), KxZipClose frees it. A stale or made-up handle gives
// rc::InvalidHandle. Calling thread; safe to call from several threads.
#include <cstdint>
#include <string>

#include "engine/result_codes.h"

using KxHandle = std::intptr_t;
kx::Result KxZipOpen(const std::string& archive, std::int32_t mode, KxHandle& handle);
kx::Result KxZipNewComment(KxHandle handle, const std::string& comment);
kx::Result KxZipClose(KxHandle& handle);
