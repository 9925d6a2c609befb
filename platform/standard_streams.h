// What a program started by a host needs of its standard streams before it opens any file.
// Call first thing in main, on the one thread there is then.
#pragma once

namespace platform {

// - A closed standard input, output or error (a host that starts the program with `>&-`) is held
//   open on /dev/null, read-only: the next file the program opens (say, its output video) then
//   cannot take descriptor 1 or 2 and receive messages meant for the terminal. Writes to a held
//   descriptor still fail (EBADF), as they would on the closed one, so lines that cannot be
//   delivered are still found out.
// - SIGPIPE is ignored: when the reader of standard output goes away, a write fails with EPIPE
//   and the program reports output that cannot be written instead of dying without a word.
void prepareStandardStreams();

}  // namespace platform
