#pragma once

namespace meterdesk::app {

// SIGHUP (the session went), SIGPIPE (the reader of standard output went),
// SIGTERM and SIGINT end a logging run the normal way: the log is written
// to its output. The handlers only set a flag; blocking reads return
// (no restart), so the run sees it at once.
void InstallStopSignals();
// A command that only writes a file (convert, recover) ends at once on these
// signals, removing the temporary file of a save in progress first.
void InstallSaveCleanupSignals();
// The run should end: a stop signal came, or the run asked for it.
bool StopRequested();
void RequestStop();

} // namespace meterdesk::app
