// An ICC profile for an nclx colour description (primaries and transfer curve), made by Little CMS.
#pragma once

#include <cstdint>
#include <vector>

namespace phototrim {

// What an nclx box says, with the chromaticities libheif derived from its primaries.
struct NclxColour {
  int primaries = 2;  // ITU-T H.273 colour primaries (1: BT.709/sRGB, 2: unspecified)
  int transfer = 2;   // ITU-T H.273 transfer characteristics
  double red[2]{}, green[2]{}, blue[2]{}, white[2]{};  // x, y
};

// Whether a picture of this description needs a profile: anything but sRGB's primaries and the
// unspecified ones (which viewers take as sRGB) does.
bool NeedsProfile(const NclxColour& colour);

// The RGB profile of `colour`, or empty when Little CMS cannot make one (chromaticities that
// describe no colour space). Its creation date is left zero, so the same picture gives the same bytes.
std::vector<std::uint8_t> ProfileForNclx(const NclxColour& colour);

}  // namespace phototrim
