#pragma once
// The archive window's handlers of the engine's two events. They run inside
// a running engine action, on the user-interface thread: the progress handler
// feeds the Progress window and lets pending events run (so its cancel button
// works), and reports engine errors; the prompt handler puts the engine's
// questions to the user and stores the reply.
#include "engine/kxzip.h"

namespace kx {

void KxZip1_Progress(ProgressEvent& event);
void KxZip1_Prompt(PromptEvent& event);

// Connects both handlers to an engine control.
void ConnectEngineEvents(KxZip& engine);

}  // namespace kx
