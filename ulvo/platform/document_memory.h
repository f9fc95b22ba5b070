#pragma once

namespace ulvo {

// Makes every pugixml document of the process take its memory from large arenas backed by
// huge pages where the system offers them, instead of from the heap block by block.
//
// A data document of a long file is millions of small nodes in pugixml's 32 KB blocks;
// faulting those in page by page (and again after the document is freed and reloaded)
// cost more than parsing the file. The programs call it once at start; calling it again
// does nothing, and memory pugixml took from the heap before the call goes back to the
// heap. Sanitizer builds keep the ordinary heap so every document stays checked.
void UseArenaMemoryForDocuments();

// True once the arenas are in use.
bool ArenaMemoryInUse();

}  // namespace ulvo
