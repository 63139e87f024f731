// Settings of the whole process that only a program's main makes, once, before its first thread;
// and the one setting of each thread the engine starts.
#pragma once

namespace phototrim {

// A write past the file size limit (ulimit -f) then fails with EFBIG, like a full disk, instead of
// killing the process by SIGXFSZ with its temporary file left behind.
void IgnoreFileSizeLimitSignal();

// Threads made after this get stacks of a fixed, ample size: by default their size follows the
// main thread's limit (ulimit -s), and a small one there would crash the workers deep in a decode.
void GiveThreadsFixedStacks();

// Large blocks (up to 32 MB: libjpeg's coefficient buffers of a progressive photo, a picture's rows)
// come from the heap, and the heap keeps up to 512 MB of what is freed. Otherwise each progressive
// photo maps its buffers afresh, and the system clears every page of them before libjpeg clears
// them again: measured over the sample photos, 0.09 s of 1.4 s. The process's memory stays at the
// largest picture's. Safe to call more than once; does nothing where the C library has no such knob.
void KeepMemoryBetweenPictures();

// Called first on each thread the engine starts: the signals that ask a program to stop (Ctrl-C,
// SIGTERM, SIGHUP) are left to the main thread, whose handler the hosts install. A worker deep in
// a decode could otherwise take one and hold it (a sanitizer delays a handler until the thread's
// next library call), so that the stop came only after the run.
void LeaveStopSignalsToTheMainThread();

}  // namespace phototrim
