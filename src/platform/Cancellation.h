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
// the temporary files held below. False (with errno) when a handler could not be installed.
bool InstallInterruptHandlers();

// A descriptor that turns readable when SIGINT or SIGTERM arrives, for waits that would not notice the
// flag by themselves: an open dialog's event loop, a read of the console. Readable is a hint only: the
// flag is the truth (ResetCancel empties it again). -1 only when no pipe could be made.
int InterruptWakeFd() noexcept;
void DrainInterruptWakeFd() noexcept;

// A reader of our standard output that went away (`kestrun | head`) must not end the run: writes then
// fail with EPIPE instead. False (with errno) when that could not be arranged.
bool IgnoreBrokenPipes();

// ---- temporary files removed by a second signal ----------------------------------------------------
// A file being written under a temporary name registers that name here for as long as the file exists,
// so that a second Ctrl-C, which does not wait for the write to notice the first, still leaves no
// hidden half file behind. The path is copied into a fixed buffer, so the signal handler neither
// allocates nor takes a lock. A few files can be held at once; -1 when every slot is taken or the path
// is too long, and then only the next run removes the file. Safe to call from any thread.
int HoldTemporaryFile(const char* path) noexcept;
void ReleaseTemporaryFile(int slot) noexcept;

}  // namespace kestrun::platform
