#pragma once

// The command-line tool leaves nothing behind however it ends: at SIGTERM, SIGINT or SIGHUP the
// files of an unfinished run and its private runtime folder are removed before the signal ends
// the process as it would have; at any other end the folder goes at exit.

namespace pq::cli {

// Installs the handlers; called first thing, before anything is made.
void cleanUpAtSignals();

// A cron job or a root shell has no session runtime folder; the GUI application would warn
// about it on stderr and make a shared one in /tmp. Drawing needs no session, so it gets a
// private folder, made only now that it is needed, and removed at any end.
void usePrivateRuntimeFolderIfNone();

} // namespace pq::cli
