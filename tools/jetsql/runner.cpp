#include "tools/jetsql/runner.h"

#include <exception>
#include <istream>
#include <string_view>
#include <ostream>

#include "db/errors.h"
#include "db/exec/database_session.h"
#include "db/exec/row_pipeline.h"
#include "db/exec/select_cursor.h"
#include "db/exec/statement_executor.h"
#include "db/jet/check/consistency_check.h"
#include "db/jet/table/database.h"
#include "db/jet/write/empty_database.h"
#include "db/sql/parser.h"
#include "db/sql/script.h"
#include "platform/error.h"
#include "tools/jetsql/formats.h"
#include "tools/jetsql/maintenance.h"
#include "tools/jetsql/schema.h"

namespace act::jetsql {
namespace {

// The statement being run, so that a failure report can quote it.
struct Progress {
  std::string statement;
};

void RunStatement(db::exec::DatabaseSession& session, const std::string& text,
                  const sql::Statement& statement, bool json, std::ostream& out) {
  auto* select = std::get_if<sql::SelectStatement>(&statement);
  if (!select) {
    session.statements().Execute(text, statement);
    return;
  }
  session.statements().Settle();
  db::exec::SelectCursor cursor(session.db(), *select, text, &session.fs());
  if (!json) out << CsvHeader(cursor.names());
  // Rows go out in blocks: a stream write per row costs more than the row.
  std::string block;
  while (cursor.Next()) {
    if (json) {
      block += JsonRow(cursor.names(), cursor.values());
    } else {
      AppendCsvRow(block, cursor.values());
    }
    if (block.size() >= (1 << 16)) {
      out << block;
      block.clear();
    }
  }
  out << block;
}

// A statement of a script, parsed ahead of its turn.
struct ParsedStatement {
  std::string_view text;
  sql::Statement parsed;
  std::exception_ptr error;  // a statement that does not parse fails at its turn
};

// Statements run in order; parsing, which needs nothing but the text, is
// done a batch ahead on a second thread (db/exec/row_pipeline.h), so that
// a long script of small statements runs at the speed of the engine.
constexpr size_t kParseAheadStatements = 512;

void RunStatements(db::exec::DatabaseSession& session,
                   const std::vector<std::string_view>& statements, bool json, std::ostream& out,
                   Progress& progress) {
  size_t next = 0;
  auto fill = [&](ParsedStatement& s) {
    if (next == statements.size()) return false;
    s.text = statements[next++];
    return true;
  };
  auto parse = [](ParsedStatement& s) {
    s.error = nullptr;
    try {
      s.parsed = sql::Parse(s.text);
    } catch (...) {
      s.error = std::current_exception();
    }
  };
  auto run = [&](ParsedStatement& s) {
    progress.statement = s.text;
    if (s.error) std::rethrow_exception(s.error);
    RunStatement(session, progress.statement, s.parsed, json, out);
  };
  db::exec::RunPipelined<ParsedStatement>(kParseAheadStatements, fill, parse, run);
}

// The statements to run: those of the command line, or those of the
// script on standard input, read whole into `script`, which the views point
// into.
std::vector<std::string_view> Statements(const Options& options, std::istream& in,
                                         std::string& script) {
  if (!ReadsStandardInput(options)) return {options.statements.begin(), options.statements.end()};
  char block[1 << 16];
  while (in.read(block, sizeof block), in.gcount() > 0) script.append(block, size_t(in.gcount()));
  return sql::SplitStatements(script);
}

// False when --check found damage (it is printed); failures throw.
bool RunCommand(const Options& options, FileSystem& fs, std::istream& in, std::ostream& out,
                Progress& progress) {
  if (options.compact) return Compact(options, fs, out);
  if (options.repair) return Repair(options, fs, out);
  if (options.create) db::jet::CreateDatabase(fs, options.file);
  // Statements change the file all or nothing unless asked to keep what
  // the statements before a failing one did.
  db::exec::DatabaseSession session(fs, options.file,
                  options.keep_going ? db::exec::Writes::kInPlaceMarked
                                     : db::exec::Writes::kAllOrNothing);
  db::jet::Database& db = session.db();
  if (options.list_tables) {
    for (const auto& entry : db.tables())
      if (!entry.is_system()) out << entry.name << "\n";
  } else if (options.schema) {
    out << SchemaText(db);
  } else if (options.check) {
    return PrintCheck(db::jet::CheckDatabase(db), out);
  } else {
    try {
      std::string script;
      RunStatements(session, Statements(options, in, script), options.json, out, progress);
    } catch (const Error&) {
      // All or nothing, the file stays as it was: the session drops its
      // working copy.
      if (options.keep_going) {
        try {
          session.Commit();
        } catch (const Error&) {
          // The statement's own failure is the one to report.
        }
      }
      throw;
    }
    progress.statement.clear();
    session.Commit();
  }
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
