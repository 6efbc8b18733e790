// The database carry-over's place in the update run: the installed
// configuration values and data rows go into the staged datos.new.
//
// The programs (window and command line) hand the run the implementation on
// our Jet engine (carry_over_rules.h); tests of the other stages may
// leave it out, and the run then skips the stage.
#pragma once

#include <string>

#include "engine/run_observer.h"
#include "engine/run_paths.h"

namespace act {

class DatabaseCarryOver {
 public:
  virtual ~DatabaseCarryOver() = default;
  // Fills the staged datos.new from the installed datos.mdb,
  // closing every database it opened before it returns; observer hears of
  // the gate, every value and statement. Throws act::Error.
  virtual void traspasaBaseDatos(const RunPaths& paths, const std::string& current_version,
                                 RunObserver& observer) = 0;
};

}  // namespace act
