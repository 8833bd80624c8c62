#pragma once
// Crash-safe replacement of files. New content goes to a recognisably named
// temporary file in the target's own folder (".<name>.kxtmp-XXXXXX"), is
// flushed to disk and only then renamed over the target, so a reader sees the
// old file or the new one, never a mixture. A temporary file left behind by a
// killed run is removed by RemoveStaleTemporaries before the next write.
// Plain functions, callable from any thread; failures come back as errno values
// (ResultFromErrno of result_codes.h turns them into result codes).
#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/types.h>

#include "engine/result_codes.h"

namespace kx {

// The file an update must change: an existing path with every symbolic link
// resolved (so the link itself stays a link), or, for a file that does not
// exist yet, its resolved folder plus its name. Unresolvable paths come back unchanged.
std::string ResolveArchivePath(const std::string& path);

// "<folder>/.<name>.kxtmp-" for the target "<folder>/<name>".
std::string TemporaryPrefix(const std::string& target);
bool IsTemporaryName(const std::string& fileName);

// Deletes leftovers of earlier runs for this target (files named with its
// prefix). With wholeSplitSet, target is the first volume "name.001" and the
// leftovers of every volume "name.NNN" go.
void RemoveStaleTemporaries(const std::string& target, bool wholeSplitSet = false);

// Creates a fresh empty temporary file beside target; returns the descriptor
// (tempPath receives its name) or -1 with errno set.
int CreateTemporaryBeside(const std::string& target, std::string& tempPath);

// Flushes fd, gives it `mode`, closes it, renames tempPath over target and
// flushes the folder. Returns 0 or the errno of the failed step; on failure the
// temporary file is removed and target is untouched.
int CommitTemporary(int fd, const std::string& tempPath, const std::string& target, mode_t mode);

// fsync of the folder holding path (makes a rename or unlink durable); 0 or errno.
int SyncFolderOf(const std::string& path);

// The permission bits a new file gets (0666 less the umask) or an existing one has.
mode_t ModeForTarget(const std::string& target);

}  // namespace kx
