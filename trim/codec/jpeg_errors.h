// libjpeg error handling: errors and chosen warnings jump back to the frame that called setjmp,
// with libjpeg's own message (or ours) kept for the reason of the failure.
#pragma once

#include <csetjmp>
#include <cstdio>  // jpeglib.h needs FILE and size_t declared first

#include <jpeglib.h>

#include "trim/load_result.h"

namespace phototrim {

// libjpeg reports a fatal error by calling error_exit, which must not return. We longjmp back to
// the function that called setjmp, which holds nothing with a destructor, so no C++ object is
// ever skipped by it.
struct JpegErrors {
  jpeg_error_mgr manager;  // first, so that cinfo->err converts back to JpegErrors*
  std::jmp_buf jump;
  int warnings = 0;
  int maxWarnings = 0;             // more warnings than this count as a failure
  bool prematureEndFails = false;  // the decoder's premature-end warnings count as failures
  LoadResult failure = LoadResult::Failed;  // how the decode that jumped ended
  char message[JMSG_LENGTH_MAX];   // why, in libjpeg's words or ours; empty when nobody said
};

// Sets up `errors` and returns its manager for cinfo->err: to be done before jpeg_create_*, so
// that even a failure inside it jumps. Nothing is printed, ever.
jpeg_error_mgr* InitJpegErrors(JpegErrors& errors, int maxWarnings, bool prematureEndFails);

// Ends the libjpeg work with `failure` (how a decode ends; an encode only fails) and `reason`
// (nullptr keeps the message already there): jumps back to the setjmp of the frame that owns this
// libjpeg object. For our own callbacks and checks (source, destination, progress monitor, limits)
// that must give up.
[[noreturn]] void FailJpeg(j_common_ptr cinfo, LoadResult failure, const char* reason);

}  // namespace phototrim
