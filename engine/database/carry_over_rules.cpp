#include "engine/database/carry_over_rules.h"

#include "db/dao/dao.h"
#include "engine/database/value_texts.h"
#include "engine/version_gate.h"
#include "platform/error.h"
#include "profile/mod_general.h"

namespace act {
namespace {

constexpr int kErrInvalidUseOfNull = 94;

struct Databases {
  CarryOverDatabase& installed;
  CarryOverDatabase& staged;
  RunObserver& observer;
  // The one lookup open at a time: a new one releases the one before.
  std::unique_ptr<CarryOverRecordset> lookup;
};

// Sets one configuracion value in the staged database.
void UpdateSetting(Databases& dbs, const std::string& element, const char* column,
                   const std::string& before, const std::string& after,
                   const std::string& statement) {
  dbs.observer.SettingValue(element, column, before, after);
  dbs.observer.StatementStarting("configuracion", statement);
  dbs.observer.StatementRun("configuracion", statement, dbs.staged.Execute(statement, nullptr));
}

// Looks the element up in the installed configuracion and, when found,
// returns its first row's value of `column` through `out`.
bool LookUp(Databases& dbs, const char* column, const std::string& element, db::Value& out) {
  dbs.lookup.reset();
  dbs.lookup = dbs.installed.OpenRecordset(std::string("SELECT elemento,") + column +
                                           " FROM configuracion WHERE elemento=" +
                                           dao::QuoteText(element));
  if (dbs.lookup->RecordCount() <= 0) return false;
  out = dbs.lookup->Field(column);
  return true;
}

void CarrySetting(Databases& dbs, CarryOverRecordset& walk) {
  db::Value name = walk.Field("elemento");
  if (name.is_null()) {
    throw Error(kErrInvalidUseOfNull,
                "a row of configuracion in the staged database has no elemento");
  }
  const std::string element = TextForm(name);
  const std::string where = " WHERE elemento=" + dao::QuoteText(element);

  db::Value installed;
  db::Value staged_text = walk.Field("valor_s");
  if (IsNonEmpty(staged_text) && LookUp(dbs, "valor_s", element, installed)) {
    // A Null installed text arrives as the empty text.
    UpdateSetting(dbs, element, "valor_s", TextForm(staged_text), TextForm(installed),
                  "UPDATE configuracion SET valor_s = " + dao::QuoteText(TextForm(installed)) +
                      where);
  }

  db::Value staged_number = walk.Field("valor");
  if (!IsNonEmpty(staged_number)) return;
  ToLong(staged_number, "valor of '" + element + "' in the staged configuracion");
  if (!LookUp(dbs, "valor", element, installed)) return;
  // An installed Null keeps the staged number. The release that ships a
  // number in valor reads it as one, and a Null there would fail it where
  // the package's value works; the statement with nothing after the equals
  // sign would besides stop the update half-way.
  if (installed.is_null()) return;
  UpdateSetting(dbs, element, "valor", TextForm(staged_number), TextForm(installed),
                "UPDATE configuracion SET valor = " + TextForm(installed) + where);
}

void CopyTable(CarryOverDatabase& installed, const RunPaths& paths, const char* table,
               RunObserver& observer) {
  const std::string statement = std::string("Insert INTO ") + table + " IN '" +
                                paths.staged_database + "' SELECT * FROM " + table;
  CarryOverDatabase::RowProgress progress;
  if (Listening(observer))
    progress = [&](int64_t done, int64_t total) { observer.RowsCopied(table, done, total); };
  observer.StatementStarting(table, statement);
  observer.StatementRun(table, statement, installed.Execute(statement, progress));
}

// The installed database holds a table named exactly "generos", letter
// case significant, among its TableDefs as the engine lists them.
bool HasGeneros(CarryOverDatabase& installed) {
  installed.RefreshTableDefs();
  const int16_t count = installed.TableDefCount();
  for (int16_t i = 0; i < count; ++i) {
    if (installed.TableDefName(i) == "generos") return true;
  }
  return false;
}

}  // namespace

CarryOverEngine& CarryOverRules::Engine() {
  if (!engine_) engine_ = make_engine_();
  return *engine_;
}

void CarryOverRules::traspasaBaseDatos(const RunPaths& paths,
                                             const std::string& current_version,
                                             RunObserver& observer) {
  CarryOverEngine& engine = Engine();
  std::unique_ptr<CarryOverDatabase> installed =
      engine.OpenDatabase(paths.installed_database);
  std::unique_ptr<CarryOverDatabase> staged =
      engine.OpenDatabase(paths.staged_database);
  Databases dbs{*installed, *staged, observer, nullptr};

  std::unique_ptr<CarryOverRecordset> walk = staged->OpenRecordset(
      "SELECT * FROM configuracion WHERE elemento NOT IN ('versionBD','VersionCLI')");
  walk->MoveFirst();
  while (!walk->Eof()) {
    CarrySetting(dbs, *walk);
    walk->MoveNext();
  }

  const std::string minimum = leeIni(profiles_, "VERSIONES", "BDminimo", "", paths.manifest);
  const bool copies_data = CompareVersionTexts(current_version, minimum) >= 0;
  observer.DatabaseGate(current_version, minimum, copies_data);
  if (copies_data) {
    CopyTable(*installed, paths, "informacion_cd", observer);
    CopyTable(*installed, paths, "canciones", observer);
    if (HasGeneros(*installed)) {
      CopyTable(*installed, paths, "generos", observer);
      CopyTable(*installed, paths, "genero_album", observer);
    }
  }
  CopyTable(*installed, paths, "publicidad", observer);
  CopyTable(*installed, paths, "dinero", observer);

  walk->Close();
  // No lookup was opened when no staged row had a value to carry.
  if (dbs.lookup) dbs.lookup->Close();
  installed->Close();
  staged->Close();
}

}  // namespace act
