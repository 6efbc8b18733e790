// The database carry-over's place in the update run: the installed
// configuration values and data rows go into the staged datos.new.
//
// NOT BUILT YET: no implementation exists so far. The run calls the stage
// through this interface when its services hold one and skips it otherwise,
// so until the Jet engine is in, the new installation keeps the package's
// database as it came.
#pragma once

#include <string>

namespace act {

class DatabaseCarryOver {
 public:
  virtual ~DatabaseCarryOver() = default;
  // Fills drive\zentaroDeck_NEW\datos.new from drive\zentaroDeck\datos.mdb,
  // closing every database it opened before it returns. Throws act::Error.
  virtual void traspasaBaseDatos(const std::string& drive, const std::string& current_version) = 0;
};

}  // namespace act
