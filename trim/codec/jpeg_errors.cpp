// libjpeg error handling: errors and chosen warnings jump back to the frame that called setjmp.
#include "trim/codec/jpeg_errors.h"

#include <cstring>

#include <jerror.h>  // the message codes, such as JWRN_JPEG_EOF

namespace phototrim {

namespace {

JpegErrors& ErrorsOf(j_common_ptr cinfo) { return *reinterpret_cast<JpegErrors*>(cinfo->err); }

// Whether libjpeg gave up because the system refused it memory: its memory manager says "out of
// memory" also for requests too large for any system (a hostile header), which are the file's fault.
// The second parameter tells which: 0 (the manager's own start), 2 (a small pool) and 4 (a large
// one) are refusals of the allocator.
bool SystemRefusedMemory(j_common_ptr cinfo) {
  if (cinfo->err->msg_code != JERR_OUT_OF_MEMORY) return false;
  const int which = cinfo->err->msg_parm.i[0];
  return which == 0 || which == 2 || which == 4;
}

// libjpeg's own text for its current message code, such as "Premature end of JPEG file". Memory
// that ran out is the file's out-of-memory outcome, so that it is worked on again alone.
[[noreturn]] void FailWithLibjpegMessage(j_common_ptr cinfo) {
  (*cinfo->err->format_message)(cinfo, ErrorsOf(cinfo).message);
  FailJpeg(cinfo, SystemRefusedMemory(cinfo) ? LoadResult::OutOfMemory : LoadResult::Failed, nullptr);
}

// Level -1 is a warning (corrupt data that libjpeg worked around); levels 0 and up are trace
// messages, which cost nothing as long as nobody formats them.
void OnMessage(j_common_ptr cinfo, int level) {
  if (level >= 0) return;
  JpegErrors& errors = ErrorsOf(cinfo);
  // When the data ends early, at the end of the file or at a marker within it, libjpeg pads the
  // rest with zeros and goes on: the picture is partly grey, and a small file whose header claims
  // a huge size would be decoded whole. Failing here stops it where its data runs out.
  const int code = cinfo->err->msg_code;
  if (errors.prematureEndFails && (code == JWRN_JPEG_EOF || code == JWRN_HIT_MARKER)) FailWithLibjpegMessage(cinfo);
  // A crafted file can raise a warning for every block; past the cap it is not worth decoding.
  if (++errors.warnings > errors.maxWarnings) FailWithLibjpegMessage(cinfo);
}

}  // namespace

jpeg_error_mgr* InitJpegErrors(JpegErrors& errors, int maxWarnings, bool prematureEndFails) {
  jpeg_error_mgr* manager = jpeg_std_error(&errors.manager);
  manager->error_exit = FailWithLibjpegMessage;
  manager->emit_message = OnMessage;
  errors.warnings = 0;
  errors.maxWarnings = maxWarnings;
  errors.prematureEndFails = prematureEndFails;
  errors.failure = LoadResult::Failed;
  errors.message[0] = '\0';
  return manager;
}

void FailJpeg(j_common_ptr cinfo, LoadResult failure, const char* reason) {
  JpegErrors& errors = ErrorsOf(cinfo);
  errors.failure = failure;
  if (reason != nullptr) {
    std::strncpy(errors.message, reason, sizeof errors.message - 1);
    errors.message[sizeof errors.message - 1] = '\0';
  }
  std::longjmp(errors.jump, 1);
}

}  // namespace phototrim
