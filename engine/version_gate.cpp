#include "engine/version_gate.h"

namespace act {

int CompareVersionTexts(const std::string& a, const std::string& b) {
  // std::string compares bytes as unsigned values. For UTF-8 that is the
  // order of the code points, which is the order of the UTF-16 code units
  // the versions were once held in for every character outside the
  // supplementary planes; no version text (digits and dots from a version
  // record, Windows-1252 from a manifest) can hold one of those.
  return a.compare(b);
}

std::optional<std::string> VersionGateRefusal(const std::string& current,
                                              const std::string& package,
                                              const std::string& minimo) {
  if (CompareVersionTexts(current, minimo) < 0)
    return "Advertencia!: La Versión actual:" + current + " No se puede actualizar";
  if (CompareVersionTexts(current, package) == 0)
    return std::string("Advertencia!: La Versión Ya Esta Actualizada");
  if (CompareVersionTexts(current, package) > 0)
    return std::string("Advertencia!: La Versión Actual es Más Nueva");
  return std::nullopt;
}

}  // namespace act
