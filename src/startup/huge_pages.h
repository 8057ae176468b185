#pragma once

namespace qf {

// A document of a million POIs is some hundred megabytes of small heap blocks. With the C
// library's heap on transparent huge pages the kernel fills it in 2 MB steps instead of 4 KB
// ones, which takes a third or more off opening and converting such files. The heap must also
// grow in large steps: grown a little at a time it never spans a whole 2 MB page when the page
// is first touched, and the kernel falls back to 4 KB pages. The C library only reads these
// choices at start-up, so the first call starts the program again with them; any later call,
// or a failure to restart, changes nothing. The restarted program takes them out of its
// environment again, so that the programs it starts (a browser, a file manager) run as the user
// set them up. Call it first thing in main.
void UseHugePagesForHeap(char** argv);

}  // namespace qf
