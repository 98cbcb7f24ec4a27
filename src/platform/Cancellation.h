#pragma once

namespace kestrun::platform {

// One process-wide request to abandon the work under way: the user closed the main window or pressed
// Ctrl-C. Transfers poll it (at least once a second) and stop with a failure status; a download then
// removes its temporary file. The flag stays set until ResetCancel.
void RequestCancel() noexcept;
bool CancelRequested() noexcept;
void ResetCancel() noexcept;

// Makes SIGINT and SIGTERM request cancellation. The first signal only sets the flag, so the run can
// clean up; a second one (either of the two) ends the process at once, by that signal, after removing
// the temporary files held below.
void InstallInterruptHandlers();

// ---- temporary files removed by a second signal ----------------------------------------------------
// A file being written under a temporary name registers that name here for as long as the file exists,
// so that a second Ctrl-C, which does not wait for the write to notice the first, still leaves no
// hidden half file behind. The path is copied into a fixed buffer, so the signal handler neither
// allocates nor takes a lock. A few files can be held at once; -1 when every slot is taken or the path
// is too long, and then only the next run removes the file. Safe to call from any thread.
int HoldTemporaryFile(const char* path) noexcept;
void ReleaseTemporaryFile(int slot) noexcept;

}  // namespace kestrun::platform
