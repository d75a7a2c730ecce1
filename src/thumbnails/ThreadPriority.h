#pragma once

// What a thumbnail thread does to itself so the viewer's own loads and the GUI go
// first; one file per platform.
namespace ThreadPriority {

void lowerCurrentThread();

} // namespace ThreadPriority
