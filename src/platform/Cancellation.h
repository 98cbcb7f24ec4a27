#pragma once

namespace kestrun::platform {

// One process-wide request to abandon the work under way: the user closed the main window or pressed
// Ctrl-C. Transfers poll it (at least once a second) and stop with a failure status; a download then
// removes its temporary file. The flag stays set until ResetCancel.
void RequestCancel() noexcept;
bool CancelRequested() noexcept;
void ResetCancel() noexcept;

// Makes SIGINT and SIGTERM request cancellation. The first signal only sets the flag, so the run can
// clean up; the default action is restored at the same time, so a second Ctrl-C ends the process at once.
void InstallInterruptHandlers();

}  // namespace kestrun::platform
