#include "engine/run_observer.h"

namespace act {

RunObserver& NoObserver() {
  static RunObserver nobody;
  return nobody;
}

}  // namespace act
