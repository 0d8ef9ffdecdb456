// `korvalis version` and `korvalis selfcheck`.
#include <sqlite3.h>
#include <libxml/parser.h>
#include <libxslt/xsltconfig.h>
#include <xercesc/util/PlatformUtils.hpp>
#include <zlib.h>

#include <cstdio>

#include "tools/command.h"

namespace korvalis::tools {

int RunVersion(const std::vector<std::string>&) {
  std::printf("korvalis %s\n", KORVALIS_VERSION);
  return 0;
}

// Starts each library the system stands on and runs one small operation through it.
int RunSelfCheck(const std::vector<std::string>&) {
  int failures = 0;
  auto report = [&failures](const char* what, bool ok) {
    std::printf("%-8s %s\n", what, ok ? "ok" : "FAILED");
    if (!ok) ++failures;
  };

  sqlite3* db = nullptr;
  bool sqlite_ok = sqlite3_open(":memory:", &db) == SQLITE_OK &&
                   sqlite3_exec(db, "CREATE TABLE T(A); INSERT INTO T VALUES (1);", nullptr,
                                nullptr, nullptr) == SQLITE_OK;
  sqlite3_close(db);
  report("sqlite", sqlite_ok);

  xmlDocPtr doc = xmlReadMemory("<root/>", 7, nullptr, nullptr, 0);
  report("libxml2", doc != nullptr);
  xmlFreeDoc(doc);

  bool xerces_ok = true;
  try {
    xercesc::XMLPlatformUtils::Initialize();
    xercesc::XMLPlatformUtils::Terminate();
  } catch (...) {
    xerces_ok = false;
  }
  report("xerces", xerces_ok);

  const unsigned char text[] = "selfcheck";
  uLongf packed_len = compressBound(sizeof text);
  unsigned char packed[64];
  report("zlib", compress(packed, &packed_len, text, sizeof text) == Z_OK);

  return failures == 0 ? 0 : 1;
}

}  // namespace korvalis::tools
