#pragma once

namespace qf {

// A document of a million POIs is some hundred megabytes of small heap blocks. With the C
// library's heap on transparent huge pages the kernel fills it in 2 MB steps instead of 4 KB
// ones, which takes a third or more off opening and converting such files. The C library only
// reads this choice at start-up, so the first call starts the program again with it; any later
// call, or a failure to restart, changes nothing. Call it first thing in main.
void UseHugePagesForHeap(char** argv);

}  // namespace qf
