#include "firmware/compatibility.h"

#include <string_view>

namespace {

struct TCompatInputs {
  std::string_view DeviceFamily;
  unsigned LoaderNumber;
  std::string_view ImageFamily;
  unsigned ImageNumber;
};

bool IsVlqnOrZeph(std::string_view family) { return family == "VLQN" || family == "ZEPH"; }

struct TCompatRule {
  bool (*Applies)(const TCompatInputs&);
  bool Compatible;
};

// Tried from the top; the first rule that applies decides. The first two come before any
// family match: image numbers from 900 on need a boot loader from 1.04 on and the older
// boot loaders take only images below 900, whatever the families.
constexpr TCompatRule kRules[] = {
    {[](const TCompatInputs& in) {
       return IsVlqnOrZeph(in.DeviceFamily) && in.LoaderNumber < 104 && in.ImageNumber >= 900;
     },
     false},
    {[](const TCompatInputs& in) {
       return IsVlqnOrZeph(in.DeviceFamily) && in.LoaderNumber >= 104 && in.ImageNumber < 900;
     },
     false},
    {[](const TCompatInputs& in) { return in.DeviceFamily == in.ImageFamily; }, true},
    {[](const TCompatInputs& in) { return in.DeviceFamily == "VLQN" && in.ImageFamily == "ZEPH"; },
     true},
    {[](const TCompatInputs& in) { return in.DeviceFamily == "ZEPH" && in.ImageFamily == "VLQN"; },
     true},
    {[](const TCompatInputs& in) { return in.DeviceFamily.empty(); }, true},
    {[](const TCompatInputs& in) { return in.DeviceFamily == "unk"; }, true},
    {[](const TCompatInputs& in) {
       return in.DeviceFamily == "MIRA" && in.ImageFamily == "VLMR" && in.ImageNumber >= 304;
     },
     true},
};

}  // namespace

bool IsCompatible(const TFirmwareVersion& image, const TDevEntry& device) {
  const TCompatInputs in{device.FirmwareVersion.FamilyCode, device.LoaderVersion.VersionNumber,
                         image.FamilyCode, image.VersionNumber};
  for (const TCompatRule& rule : kRules)
    if (rule.Applies(in)) return rule.Compatible;
  return false;  // no rule names this pair of families
}
