// Builds an RGB ICC profile from nclx primaries and transfer characteristics with Little CMS.
#include "trim/codec/nclx_profile.h"

#include <lcms2.h>

#include <cstring>

namespace phototrim {

namespace {

// ITU-T H.273 code points of the transfer characteristics we tell apart.
enum Transfer { kBt709 = 1, kGamma22 = 4, kGamma28 = 5, kBt601 = 6, kLinear = 8, kSrgb = 13, kBt2020Ten = 14, kBt2020Twelve = 15 };

// A tone curve of the transfer characteristics; others (sRGB, unspecified, PQ, HLG, which 8-bit
// output cannot hold anyway) get the sRGB curve, which is what the picture's 8-bit values are shown with.
cmsToneCurve* CurveOf(int transfer) {
  switch (transfer) {
    case kBt709:
    case kBt601:
    case kBt2020Ten:
    case kBt2020Twelve: {
      // Y = ((X + 0.099) / 1.099)^(1/0.45) above 0.081, X / 4.5 below: parametric type 4.
      const double p[5] = {1.0 / 0.45, 1.0 / 1.099, 0.099 / 1.099, 1.0 / 4.5, 0.081};
      return cmsBuildParametricToneCurve(nullptr, 4, p);
    }
    case kGamma22:
      return cmsBuildGamma(nullptr, 2.2);
    case kGamma28:
      return cmsBuildGamma(nullptr, 2.8);
    case kLinear:
      return cmsBuildGamma(nullptr, 1.0);
    default: {
      const double p[5] = {2.4, 1.0 / 1.055, 0.055 / 1.055, 1.0 / 12.92, 0.04045};
      return cmsBuildParametricToneCurve(nullptr, 4, p);
    }
  }
}

// The ICC header's creation date and time: bytes 24 to 35.
constexpr std::size_t kDateAt = 24, kDateBytes = 12;

}  // namespace

bool NeedsProfile(const NclxColour& colour) { return colour.primaries != 1 && colour.primaries != 2; }

std::vector<std::uint8_t> ProfileForNclx(const NclxColour& colour) {
  std::vector<std::uint8_t> bytes;
  const cmsCIExyY white{colour.white[0], colour.white[1], 1.0};
  const cmsCIExyYTRIPLE primaries{{colour.red[0], colour.red[1], 1.0},
                                  {colour.green[0], colour.green[1], 1.0},
                                  {colour.blue[0], colour.blue[1], 1.0}};
  if (white.y <= 0 || primaries.Red.y <= 0 || primaries.Green.y <= 0 || primaries.Blue.y <= 0) return bytes;
  cmsToneCurve* curve = CurveOf(colour.transfer);
  if (curve == nullptr) return bytes;
  cmsToneCurve* curves[3] = {curve, curve, curve};
  cmsHPROFILE profile = cmsCreateRGBProfile(&white, &primaries, curves);
  cmsFreeToneCurve(curve);
  if (profile == nullptr) return bytes;
  cmsUInt32Number size = 0;
  if (cmsSaveProfileToMem(profile, nullptr, &size) && size > kDateAt + kDateBytes) {
    bytes.resize(size);
    if (cmsSaveProfileToMem(profile, bytes.data(), &size)) {
      std::memset(bytes.data() + kDateAt, 0, kDateBytes);
    } else {
      bytes.clear();
    }
  }
  cmsCloseProfile(profile);
  return bytes;
}

}  // namespace phototrim
