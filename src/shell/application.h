#pragma once

namespace tonvela {

// The desktop program from its command line to its exit code:
// - a command line naming "Automate", "Embedding" or "Automation" ends at once with 1;
// - files on the command line go to an instance already running for this user on this
//   display, when there is one, and this start ends with 0;
// - otherwise the main window opens at its saved placement with one empty "Sheet 1", or with
//   the files named, and this instance takes open requests from later starts.
// "--screenshot=FILE" saves a picture of the main window once the first sheet is painted,
// prints the start-up time and quits (used by the display test and for measurements).
int runApplication(int argc, char** argv);

} // namespace tonvela
