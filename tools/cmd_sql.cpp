// `korvalis sql [--db FILE | --connect STRING] [--xml] [SQL]`: runs Oracle SQL on the embedded
// database or a PostgreSQL server, as an operator would in a SQL shell, to inspect and seed it. The statements of one run form one
// transaction:
//
//   start ──Begin──▶ OPEN ──statement──▶ OPEN (its changes pending; a failure is reported and
//                     │  ▲                     undoes that statement only)
//                     │  └──COMMIT / ROLLBACK: pending changes kept / undone, a new one begins
//                     └──end of input──▶ committed
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <csignal>
#include <cstdio>
#include <iostream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "platform/db/connection_pool.h"
#include "platform/db/script_runner.h"
#include "tools/command.h"
#include "tools/command_line.h"
#include "tools/config_files.h"
#include "tools/row_printer.h"

namespace korvalis::tools {
namespace {

constexpr char kUsage[] =
    "usage: korvalis sql [--db FILE | --connect STRING] [--xml] [SQL]\n"
    "Runs the SQL argument, or the statements on standard input (each ended by ';' at the end\n"
    "of a line or by '/' alone on a line), on the database FILE, on the database the\n"
    "initialisation STRING names (\"Provider=PostgreSQL;Host=...;Database=...\" for a server), or\n"
    "on the database that telv.config.xml in the current directory names. The statements of one run form one\n"
    "transaction, as in a SQL shell: COMMIT and ROLLBACK do what they say, and the end of the\n"
    "input commits what is pending. A failing statement is reported with its line and undone;\n"
    "the run goes on and ends with a non-zero status. Rows print as they are read: a line of\n"
    "column names, then one tab-separated line per row (NULL as an empty field); --xml prints\n"
    "each result as an XML document instead: <root><row><column name=\"...\">value</column>...\n";

// A script saved with a byte-order mark reads as the script after it.
std::string_view WithoutByteOrderMark(std::string_view script) {
  constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
  if (script.starts_with(kByteOrderMark)) script.remove_prefix(kByteOrderMark.size());
  return script;
}

// Runs the statements in one transaction, printing their rows; 0 when every statement and the
// final commit succeed, else 1. Throws DbError when the transaction cannot begin.
int RunStatements(db::Connection& connection, const std::vector<db::ScriptStatement>& statements,
                  bool xml) {
  constexpr auto kMode = db::Connection::TransactionMode::kReading;
  int status = 0;
  connection.Begin(kMode);
  for (const db::ScriptStatement& statement : statements) {
    try {
      std::unique_ptr<db::Rowset> rows = connection.Execute(statement.text);
      PrintRows(*rows, xml, stdout);
    } catch (const db::DbError& e) {
      status = 1;
      std::fflush(stdout);
      if (statement.line > 0) std::fprintf(stderr, "line %d: ", statement.line);
      std::fprintf(stderr, "%s\n", e.what());
      // An engine that had to give up the whole transaction says so, and the run goes on in a
      // new one.
      if (!connection.InTransaction()) {
        std::fprintf(stderr,
                     "korvalis sql: the database rolled back the transaction: the changes since "
                     "the last COMMIT are undone\n");
        connection.Begin(kMode);
      }
    }
  }
  std::fflush(stdout);
  try {
    connection.Commit();
  } catch (const db::DbError& e) {
    std::fprintf(stderr, "korvalis sql: the changes could not be committed: %s\n", e.what());
    return 1;
  }
  return status;
}

// The initialisation string of telv.config.xml: the text of its one db/datasource element.
bool ReadConfiguredInitString(std::string* init, std::string* error) {
  xmlDocPtr doc = xmlReadFile("telv.config.xml", nullptr,
                              XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
  if (!doc) {
    *error = MalformedXmlFile("telv.config.xml");
    if (error->empty()) {
      *error = "there is no telv.config.xml in the current directory; name the database with --db";
    }
    return false;
  }
  int db_count = 0;
  xmlNodePtr datasource = nullptr;
  std::vector<xmlNodePtr> stack{xmlDocGetRootElement(doc)};
  while (!stack.empty()) {
    xmlNodePtr e = stack.back();
    stack.pop_back();
    if (!e || e->type != XML_ELEMENT_NODE) continue;
    if (xmlStrcmp(e->name, BAD_CAST "db") == 0) {
      ++db_count;
      for (xmlNodePtr c = e->children; c; c = c->next) {
        if (c->type == XML_ELEMENT_NODE && xmlStrcmp(c->name, BAD_CAST "datasource") == 0) {
          datasource = c;
        }
      }
    }
    for (xmlNodePtr c = e->children; c; c = c->next) stack.push_back(c);
  }
  bool ok = false;
  if (db_count != 1 || !datasource) {
    *error = "telv.config.xml must hold exactly one db element with a datasource";
  } else {
    xmlChar* encrypt = xmlGetProp(datasource, BAD_CAST "encrypt");
    const bool encrypted = encrypt && *encrypt;
    xmlFree(encrypt);
    if (encrypted) {
      *error = "the connection in telv.config.xml is encrypted; name the database with --db";
    } else {
      xmlChar* text = xmlNodeGetContent(datasource);
      *init = text ? reinterpret_cast<const char*>(text) : "";
      xmlFree(text);
      ok = true;
    }
  }
  xmlFreeDoc(doc);
  return ok;
}

}  // namespace

int RunSql(const std::vector<std::string>& args) {
  ParsedOptions options;
  switch (ParseOptions("sql", args, {{"db", 0, true}, {"connect", 0, true}, {"xml", 0, false}},
                       kUsage, &options)) {
    case OptionsOutcome::kRun: break;
    case OptionsOutcome::kHelpShown: return 0;
    case OptionsOutcome::kRefused: return 2;
  }
  const std::string& file = options.Value("db");
  const std::string& connect = options.Value("connect");
  const bool xml = options.Has("xml");
  if ((options.Has("db") && options.Has("connect")) || options.operands.size() > 1) {
    PrintError(options.operands.size() > 1
                   ? "sql takes one statement; quote it, or give a script on standard input"
                   : "name the database once: --db or --connect");
    return 2;
  }
  const bool have_sql = !options.operands.empty();
  std::string sql = have_sql ? options.operands[0] : "";
  std::string init;
  if (!file.empty()) {
    init = "Provider=SQLite;Data Source=" + file;
  } else if (!connect.empty()) {
    init = connect;
  } else {
    std::string error;
    if (!ReadConfiguredInitString(&init, &error)) {
      std::fprintf(stderr, "korvalis sql: %s\n", error.c_str());
      return 2;
    }
  }
  std::vector<db::ScriptStatement> statements;
  try {
    if (have_sql) {
      statements.push_back({std::string(WithoutByteOrderMark(sql)), 0});
    } else {
      sql.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
      statements = db::SplitScript(WithoutByteOrderMark(sql));
    }
  } catch (const db::DbError& e) {
    std::fprintf(stderr, "korvalis sql: %s; nothing was run\n", e.what());
    return 1;
  }
  // A reader that stops reading (a pager, head) must not end the run before its commit.
  std::signal(SIGPIPE, SIG_IGN);
  try {
    std::unique_ptr<db::Connection> connection = db::OpenConnection(init);
    return RunStatements(*connection, statements, xml);
  } catch (const db::DbError& e) {
    std::fflush(stdout);
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
}

}  // namespace korvalis::tools
