// libjpeg error handling: errors and chosen warnings jump back to the frame that called setjmp.
#include "trim/jpeg_errors.h"

#include <jerror.h>  // the message codes, such as JWRN_JPEG_EOF

namespace phototrim {

namespace {

JpegErrors& ErrorsOf(j_common_ptr cinfo) { return *reinterpret_cast<JpegErrors*>(cinfo->err); }

[[noreturn]] void ExitOnError(j_common_ptr cinfo) { JumpToJpegFailure(cinfo); }

// Level -1 is a warning (corrupt data that libjpeg worked around); levels 0 and up are trace
// messages, which cost nothing as long as nobody formats them.
void OnMessage(j_common_ptr cinfo, int level) {
  if (level >= 0) return;
  JpegErrors& errors = ErrorsOf(cinfo);
  // At a premature end libjpeg pads the stream with zeros and goes on; the picture it gives is
  // partly grey, which we do not pass off as the photo.
  if (errors.prematureEndFails && cinfo->err->msg_code == JWRN_JPEG_EOF) JumpToJpegFailure(cinfo);
  // A crafted file can raise a warning for every block; past the cap it is not worth decoding.
  if (++errors.warnings > errors.maxWarnings) JumpToJpegFailure(cinfo);
}

}  // namespace

jpeg_error_mgr* InitJpegErrors(JpegErrors& errors, int maxWarnings, bool prematureEndFails) {
  jpeg_error_mgr* manager = jpeg_std_error(&errors.manager);
  manager->error_exit = ExitOnError;
  manager->emit_message = OnMessage;
  errors.warnings = 0;
  errors.maxWarnings = maxWarnings;
  errors.prematureEndFails = prematureEndFails;
  return manager;
}

void JumpToJpegFailure(j_common_ptr cinfo) { std::longjmp(ErrorsOf(cinfo).jump, 1); }

}  // namespace phototrim
