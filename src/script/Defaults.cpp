#include "script/Defaults.h"

#include <array>
#include <optional>

namespace km {
namespace {

using IntDefaults = std::array<std::optional<std::int32_t>, 5>;  // Int1..Int5

IntDefaults DefaultsOf(int code) {
  switch (code) {
    case 501: return {0, 0, 100, 100, std::nullopt};
    case 502: return {0, 0, std::nullopt, std::nullopt, std::nullopt};
    case 503:
    case 504: return {0, 0, 0, std::nullopt, std::nullopt};
    case 505: return {100, 50, 0, std::nullopt, std::nullopt};
    case 508: return {0, 0, 0, std::nullopt, std::nullopt};
    case 509: return {5, 5, 5, 5, 0};
    case 510: return {1, 100, 100, std::nullopt, std::nullopt};
    case 516: return {50, std::nullopt, std::nullopt, std::nullopt, std::nullopt};
    case 517: return {255, std::nullopt, std::nullopt, std::nullopt, std::nullopt};
    case 518: return {0, std::nullopt, std::nullopt, std::nullopt, std::nullopt};
    case 519: return {256, 0, 1, 0, 0};
    case 520: return {0, 0, 0, 0, std::nullopt};
    case 521: return {0, 0, 0, std::nullopt, std::nullopt};
    case 522: return {0, 0, 0, 0, std::nullopt};
    case 524: return {50, 0, std::nullopt, std::nullopt, std::nullopt};
    case 525:
    case 526:
    case 527:
    case 528:
    case 529:
    case 530: return {30, std::nullopt, std::nullopt, std::nullopt, std::nullopt};
    case 543: return {10, 2, std::nullopt, std::nullopt, std::nullopt};
    case 544: return {0, 0, 300, 15, 0};
    case 547:
    case 548:
    case 549: return {0, 0, std::nullopt, std::nullopt, std::nullopt};
    case 550: return {0, 1, std::nullopt, std::nullopt, std::nullopt};
    case 556: return {1, 1, 1, std::nullopt, std::nullopt};
    default: return {};
  }
}

}  // namespace

CScriptCommand WithDialogDefaults(const CScriptCommand& command) {
  CScriptCommand c = command;
  const IntDefaults d = DefaultsOf(c.Code);
  std::int32_t* fields[5] = {&c.Int1, &c.Int2, &c.Int3, &c.Int4, &c.Int5};
  for (std::size_t i = 0; i < d.size(); ++i) {
    if (d[i]) *fields[i] = ParamOrDefault(*fields[i], *d[i]);
  }
  if (c.Code == 511) {
    c.Real1 = RealOrDefault(c.Real1, kGammaDefault);
  }
  return c;
}

}  // namespace km
