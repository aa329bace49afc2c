#pragma once

#include "app/AppState.h"
#include "flash/FlashRun.h"

#include <cstdint>

#include <windows.h>

namespace tamsivo {

// What a run of the dialog program sends and where: the package `firmwareName` in the program's
// `updates` folder, through `portName`.
FlashInputs FlashInputsFrom(const AppState& state);

// One run of `inputs`, on the calling thread, reporting to `dialog`, whose progress bar fills
// `barExtent` pixels: only progress that changes the bar is reported. Nothing escapes it: any
// failure ends in an ending notification. Tests pass shorter line timeouts; the product uses
// the defaults. Returns what the run did, for its record.
FlashRun::Statistics RunFlashToWindow(HWND dialog, const FlashInputs& inputs,
                                      std::uint32_t barExtent, FlashRun::Options options);

// Starts one run of `inputs` on a new worker thread, reporting as RunFlashToWindow does, keeping
// the computer awake meanwhile and recording the run in the user's log. The inputs are the
// run's own copy, taken on the caller's thread, so that nothing the dialog changes later can
// reach the running worker. Returns the thread's handle, which the caller owns: it waits for
// the thread before it starts another or goes away. nullptr when no thread could be created;
// then no notification will come.
HANDLE StartFlashThread(HWND dialog, FlashInputs inputs, std::uint32_t barExtent);

} // namespace tamsivo
