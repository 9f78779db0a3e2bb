#include "fileio/IoSettings.h"

#include "common/Settings.h"

namespace km {

namespace s = settings;

InputPreferences LoadInputPreferences(const Profile& profile) {
  InputPreferences p;
  p.pcdLoadSize = profile.getInt(s::kFormat, s::kPCDLoadSize, s::kPCDLoadSizeDefault);
  p.metafileWidth = profile.getInt(s::kFormat, s::kWMFWidth, s::kWMFWidthDefault);
  p.metafileHeight = profile.getInt(s::kFormat, s::kWMFHeight, s::kWMFHeightDefault);
  p.metafilePrompt = profile.getInt(s::kFormat, s::kWMFPrompt, s::kWMFPromptDefault);
  p.autoOrient = profile.getInt(s::kFormat, s::kAutoOrient, s::kAutoOrientDefault);
  return p;
}

void SaveInputPreferences(Profile& profile, const InputPreferences& preferences) {
  profile.setInt(s::kFormat, s::kPCDLoadSize, preferences.pcdLoadSize);
  profile.setInt(s::kFormat, s::kWMFWidth, preferences.metafileWidth);
  profile.setInt(s::kFormat, s::kWMFHeight, preferences.metafileHeight);
  SaveMetafilePrompt(profile, preferences.metafilePrompt);
}

void SaveMetafilePrompt(Profile& profile, int prompt) { profile.setInt(s::kFormat, s::kWMFPrompt, prompt); }

OutputOptions LoadOutputOptions(const Profile& profile) {
  OutputOptions o;
  o.dpi = profile.getInt(s::kScriptRun, s::kOutDPI, s::kOutDPIDefault);
  o.compression = profile.getInt(s::kScriptRun, s::kOutCompression, s::kOutCompressionDefault);
  o.transparencyType = profile.getInt(s::kScriptRun, s::kOutTransType, s::kOutTransTypeDefault);
  o.transparentIndex = profile.getInt(s::kScriptRun, s::kOutTransIndex, s::kOutTransIndexDefault);
  o.transparentColor =
      static_cast<std::uint32_t>(profile.getInt(s::kScriptRun, s::kOutTransColor, s::kOutTransColorDefault));
  o.keepMetadata = profile.getInt(s::kFormat, s::kKeepMetadata, s::kKeepMetadataDefault);
  return o;
}

void SaveOutputOptions(Profile& profile, const OutputOptions& options) {
  profile.setInt(s::kScriptRun, s::kOutDPI, options.dpi);
  profile.setInt(s::kScriptRun, s::kOutCompression, options.compression);
  profile.setInt(s::kScriptRun, s::kOutTransType, options.transparencyType);
  profile.setInt(s::kScriptRun, s::kOutTransIndex, options.transparentIndex);
  profile.setInt(s::kScriptRun, s::kOutTransColor, static_cast<int>(options.transparentColor));
}

}  // namespace km
