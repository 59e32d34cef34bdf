#pragma once
// What the benchmarks read of the process, per system (benchplatform_unix.cpp, _win.cpp).

// Heap in use (Linux: the allocator's arenas, where the pane keeps its lines; Windows:
// the process's private bytes).
double HeapInUse();
// Resident memory of the process in bytes.
double ResidentBytes();
// Processor time the calling thread has used, in milliseconds.
double MainThreadCpuMs();
// Gives freed heap back to the system, so that resident figures mean what is in use.
void TrimHeap();
