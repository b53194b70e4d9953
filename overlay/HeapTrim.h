#ifndef HEAPTRIM_H
#define HEAPTRIM_H

// The heap of a process that spends most of its life idle.
namespace HeapTrim {

// Gives the memory freed since the last call back to the system, where the allocator keeps it
// otherwise (glibc holds on to the arenas a burst of reports has grown). Cheap enough to call
// whenever the display hides.
void giveBack();

} // namespace HeapTrim

#endif // HEAPTRIM_H
