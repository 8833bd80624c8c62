#pragma once
// The engine's one cancel switch. KxCancel may be called from inside a
// progress callback (the only way a click reaches the engine while it works);
// the running action sees the request at its next check and ends with
// rc::Cancelled. Every action clears the request when it starts.
namespace kx {

void RequestCancel();
bool CancelRequested();
void ClearCancel();

}  // namespace kx

// Stops the running action; its result is then -4.
void KxCancel();
