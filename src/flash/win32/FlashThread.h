#pragma once

#include "flash/FlashRun.h"

#include <windows.h>

namespace tamsivo {

// One run, on the calling thread, of the package and port chosen in TheAppState(), reporting
// to `dialog`. Tests pass shorter line timeouts; the product uses the defaults.
void RunFlashToWindow(HWND dialog, FlashRun::Options options);

// The worker thread's entry: `dialogWindow` is the dialog's HWND. Returns 0; nobody reads it.
DWORD WINAPI FlashThreadEntry(LPVOID dialogWindow);

// Starts one run on a new worker thread. False when the thread could not be created; then
// no notification will come.
bool StartFlashThread(HWND dialog);

} // namespace tamsivo
