#pragma once

namespace tamsivo {

// Decides the package from the last scan (TheAppState().firmwarePaths/firmwareCount): several
// open the selection dialog, one is taken silently, none shows the error box. True when a
// package is chosen (firmwareName set or kept); false for an empty folder or a cancelled choice.
// A count of one without a list to take it from counts as an empty folder. Failures of the
// dialog's handlers are thrown from here.
bool ChooseFirmware();

} // namespace tamsivo
