// How the three programs use memory: one policy, linked into each program (the target
// platform_memory_policy) and set inside the binary before main runs. Nothing to call: linking it
// is the whole interface. Not linked into the sanitizer build, whose allocator belongs to
// AddressSanitizer, nor into the fuzzers or the unit tests.
//
// The programs allocate with jemalloc (Debian's libjemalloc2), configured by the string below,
// which jemalloc reads from the binary itself when it starts:
// - thp:always: every block jemalloc maps is offered to the kernel for transparent huge pages. A
//   program first touches hundreds of megabytes at start (the models' runtimes, their packed
//   weights; Tesseract's 88 MB Latin word list, which it reads, copies and unpacks in many small
//   blocks); faulting that in 4 KB pages costs more than the work done on it. Where the kernel
//   gives no huge pages, the advice is ignored and memory works as before.
// - Freed blocks stay with jemalloc for its decay time (10 s) before they go back to the system:
//   frames come one after another at one size, and a buffer freed at the end of one frame serves
//   the next without being faulted in again. Memory stays as large as the working set, flat over
//   long runs.
// - metadata_thp:auto: its own bookkeeping goes to huge pages once it is large enough.
//
// Everything stays inside the process: no environment variable, no re-execution.
#pragma once

namespace platform {

// jemalloc's options for the programs (see above).
inline constexpr const char* kMemoryPolicy = "thp:always,metadata_thp:auto";

}  // namespace platform
