#pragma once
// The user interface's code (its painting, on the thread that runs the
// engine's actions) may leave the upper halves of the x86 vector registers
// in use. Until something clears them, every SSE instruction of ours waits on
// those halves: reading the directory of a million entries took three times
// as long right after a window was shown. One instruction clears them; the
// engine calls this when an action starts and whenever a callback into the
// caller (an event, a question) returns. No-op on other processors and on
// x86 processors without AVX. Any thread; affects only the calling thread.
namespace kx {

void ClearUpperVectorState();

}  // namespace kx
