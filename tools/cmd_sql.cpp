// `korvalis sql [--db FILE] [--xml] [SQL]`: runs Oracle SQL on the embedded database, as an
// operator would in a SQL shell, to inspect and seed it.
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <cstdio>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "foundation/xml_text.h"
#include "platform/db/connection_pool.h"
#include "platform/db/script_runner.h"
#include "tools/command.h"

namespace korvalis::tools {
namespace {

constexpr char kUsage[] =
    "usage: korvalis sql [--db FILE] [--xml] [SQL]\n"
    "Runs the SQL argument, or the statements on standard input (each ended by ';' at the end\n"
    "of a line or by '/' alone on a line), on the database FILE, or on the database that\n"
    "telv.config.xml in the current directory names. Rows print as a header of column names\n"
    "and one tab-separated line per row (NULL as an empty field); --xml prints each result as\n"
    "row XML instead. The first failing statement stops the run with a non-zero status.\n";

// The initialisation string of telv.config.xml: the text of its one db/datasource element.
bool ReadConfiguredInitString(std::string* init, std::string* error) {
  xmlDocPtr doc = xmlReadFile("telv.config.xml", nullptr,
                              XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
  if (!doc) {
    *error = "cannot read telv.config.xml in the current directory; name the database with --db";
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

void PrintRows(db::Rowset& rows, bool xml) {
  if (rows.ColumnCount() == 0) return;
  std::string out;
  if (xml) {
    out = "<?xml version=\"1.0\"?><root>";
    while (rows.Next()) {
      out.append("<row>");
      for (int i = 0; i < rows.ColumnCount(); ++i) {
        const std::string& name = rows.ColumnName(i);
        out.append("<").append(name).append(">");
        if (!rows.IsNull(i)) AppendXmlEscaped(out, rows.Text(i));
        out.append("</").append(name).append(">");
      }
      out.append("</row>");
    }
    out.append("</root>\n");
  } else {
    for (int i = 0; i < rows.ColumnCount(); ++i) {
      if (i) out.push_back('\t');
      out.append(rows.ColumnName(i));
    }
    out.push_back('\n');
    while (rows.Next()) {
      for (int i = 0; i < rows.ColumnCount(); ++i) {
        if (i) out.push_back('\t');
        if (!rows.IsNull(i)) out.append(rows.Text(i));
      }
      out.push_back('\n');
    }
  }
  std::fwrite(out.data(), 1, out.size(), stdout);
}

}  // namespace

int RunSql(const std::vector<std::string>& args) {
  std::string file, sql;
  bool xml = false, have_sql = false;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--db" && i + 1 < args.size()) {
      file = args[++i];
    } else if (args[i] == "--xml") {
      xml = true;
    } else if (args[i] == "--help") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (!have_sql && (args[i].empty() || args[i][0] != '-')) {
      sql = args[i];
      have_sql = true;
    } else {
      std::fputs(kUsage, stderr);
      return 2;
    }
  }
  std::string init;
  if (!file.empty()) {
    init = "Provider=SQLite;Data Source=" + file;
  } else {
    std::string error;
    if (!ReadConfiguredInitString(&init, &error)) {
      std::fprintf(stderr, "korvalis sql: %s\n", error.c_str());
      return 2;
    }
  }
  if (!have_sql) {
    sql.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
  }
  try {
    std::unique_ptr<db::Connection> connection = db::OpenConnection(init);
    if (have_sql) {
      auto rows = connection->Execute(sql);
      PrintRows(*rows, xml);
    } else {
      db::RunScript(*connection, sql, [xml](const db::ScriptStatement&, db::Rowset& rows) {
        PrintRows(rows, xml);
      });
    }
  } catch (const db::DbError& e) {
    std::fflush(stdout);
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return 0;
}

}  // namespace korvalis::tools
