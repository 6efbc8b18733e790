#include "tools/jetsql/runner.h"

#include <istream>
#include <iterator>
#include <ostream>

#include "db/dao/dao.h"
#include "db/errors.h"
#include "db/jet/consistency_check.h"
#include "db/sql/parser.h"
#include "db/sql/script.h"
#include "platform/error.h"
#include "tools/jetsql/formats.h"
#include "tools/jetsql/query.h"
#include "tools/jetsql/schema.h"

namespace act::jetsql {
namespace {

// The statement being run, so that a failure report can quote it.
struct Progress {
  std::string statement;
};

void RunStatement(dao::Database& db, const std::string& text, bool json, std::ostream& out) {
  sql::Statement statement = sql::Parse(text);
  auto* select = std::get_if<sql::SelectStatement>(&statement);
  if (!select) {
    db.Execute(text);
    return;
  }
  std::vector<std::string> names;
  // Rows go out in blocks: a stream write per row costs more than the row.
  std::string block;
  RunSelect(
      db.jet(), *select, text,
      [&](const std::vector<std::string>& n) {
        names = n;
        if (!json) out << CsvHeader(names);
      },
      [&](const std::vector<db::Value>& row) {
        if (json) {
          block += JsonRow(names, row);
        } else {
          AppendCsvRow(block, row);
        }
        if (block.size() >= (1 << 16)) {
          out << block;
          block.clear();
        }
      });
  out << block;
}

std::vector<std::string> Statements(const Options& options, std::istream& in) {
  if (!ReadsStandardInput(options)) return options.statements;
  std::string script((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return sql::SplitStatements(script);
}

// False when --check found problems (they are printed); failures throw.
bool RunCommand(const Options& options, FileSystem& fs, std::istream& in, std::ostream& out,
                Progress& progress) {
  dao::DBEngine engine(fs);
  // Files open read-only; only a statement that writes reopens the file
  // for writing, so SELECT and the listings never change a byte.
  std::unique_ptr<dao::Database> db =
      options.create ? engine.CreateDatabase(options.file) : engine.OpenDatabase(options.file);
  if (options.list_tables) {
    for (const auto& entry : db->jet().tables())
      if (!entry.is_system()) out << entry.name << "\n";
  } else if (options.schema) {
    out << SchemaText(db->jet());
  } else if (options.check) {
    bool faulty = false;
    for (const db::jet::ConsistencyFinding& f : db::jet::CheckDatabase(db->jet())) {
      bool fault = f.kind == db::jet::ConsistencyFinding::Kind::kFault;
      faulty |= fault;
      out << (fault ? "" : "not checked: ") << f.table << ": " << f.what << "\n";
    }
    if (!faulty) {
      out << "no problems found\n";
    } else {
      db->Close();
      return false;
    }
  } else {
    for (const std::string& statement : Statements(options, in)) {
      progress.statement = statement;
      RunStatement(*db, statement, options.json, out);
      out.flush();
    }
    progress.statement.clear();
  }
  db->Close();
  return true;
}

}  // namespace

int Run(const Options& options, FileSystem& fs, std::istream& in, std::ostream& out,
        std::ostream& err) {
  if (options.help) {
    out << HelpText();
    return 0;
  }
  Progress progress;
  try {
    return RunCommand(options, fs, in, out, progress) ? 0 : 1;
  } catch (const Error& e) {
    out.flush();
    std::string report = std::string(e.what());
    if (!progress.statement.empty() && report.find(progress.statement) == std::string::npos)
      report += " (in \"" + progress.statement + "\")";
    err << "jetsql: " << options.file << ": error " << e.number() << ": " << report << "\n";
    return 1;
  }
}

}  // namespace act::jetsql
