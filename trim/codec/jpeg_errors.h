// libjpeg error handling: errors and chosen warnings jump back to the frame that called setjmp.
#pragma once

#include <csetjmp>
#include <cstdio>  // jpeglib.h needs FILE and size_t declared first

#include <jpeglib.h>

namespace phototrim {

// libjpeg reports a fatal error by calling error_exit, which must not return. We longjmp back to
// the plain C-style function that called setjmp, so no C++ frame is ever unwound by it.
struct JpegErrors {
  jpeg_error_mgr manager;  // first, so that cinfo->err converts back to JpegErrors*
  std::jmp_buf jump;
  int warnings = 0;
  int maxWarnings = 0;          // more warnings than this count as a failure
  bool prematureEndFails = false;  // the decoder's premature-end warnings count as failures
};

// Sets up `errors` and returns its manager for cinfo->err. Nothing is printed, ever.
jpeg_error_mgr* InitJpegErrors(JpegErrors& errors, int maxWarnings, bool prematureEndFails);

// Jumps back to the setjmp of the frame that owns this libjpeg object; for our own callbacks
// (destination manager, progress monitor) that must give up.
[[noreturn]] void JumpToJpegFailure(j_common_ptr cinfo);

}  // namespace phototrim
