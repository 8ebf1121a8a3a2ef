// Standard output with its failures seen: a full disk, a closed pipe or a
// closed descriptor is reported once on stderr as it happens, and turns a
// successful exit status into 1 (as coreutils' close_stdout does), since
// for several modes the figures exist only on standard output.
#pragma once

namespace lumek::os {

// From now on std::cout writes through a buffer that watches every write.
void watchStandardOutput();

// True once a write to standard output has failed.
bool standardOutputFailed();

// True once standard output is lost: a write failed, or (without writing)
// its reader has gone away or it was hung up; said once on stderr as a
// failed write is. For modes that write seldom and must not run on for
// no one.
bool standardOutputLost();

// Flushes standard output and returns the exit status: `status`, or 1 when
// standard output failed and `status` was 0.
int finishStandardOutput(int status);

}  // namespace lumek::os
