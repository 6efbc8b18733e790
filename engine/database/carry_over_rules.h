// traspasaBaseDatos over the DAO-shaped engine: the installed product's
// setting values and data rows go into the staged datos.new, and the
// installed datos.mdb is only ever read.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "engine/database/carry_over.h"
#include "engine/database/carry_over_seams.h"
#include "platform/profile_store.h"

namespace act {

class CarryOverRules : public DatabaseCarryOver {
 public:
  using EngineFactory = std::function<std::unique_ptr<CarryOverEngine>()>;
  // The engine is made by make_engine the first time a carry-over needs it
  // and kept as long as this object lives. profiles reads the staged
  // manifest.
  CarryOverRules(ProfileStore& profiles, EngineFactory make_engine)
      : profiles_(profiles), make_engine_(std::move(make_engine)) {}

  void traspasaBaseDatos(const RunPaths& paths, const std::string& current_version,
                         RunObserver& observer) override;

 private:
  CarryOverEngine& Engine();
  ProfileStore& profiles_;
  EngineFactory make_engine_;
  std::unique_ptr<CarryOverEngine> engine_;
};

}  // namespace act
