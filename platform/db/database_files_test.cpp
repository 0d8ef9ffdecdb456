// The database files as the provider treats them: a missing file is an error naming it and is
// never created, a created one is its owner's only, one that cannot be written is read, and its
// log moved into it leaves the file whole.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <sqlite3.h>

#include "platform/db/catalog.h"
#include "platform/db/connection_pool.h"
#include "platform/db/sqlite_connection.h"
#include "platform/db/testing/db_test_util.h"

namespace korvalis::db {
namespace {

namespace fs = std::filesystem;
using testing::Scalar;

// The uid and gid the read-only checks run as when the tests run as root, who can write any
// file: the conventional unprivileged user.
constexpr uid_t kUnprivileged = 65534;

class DatabaseFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "korvalis-files-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    directory_ = pattern;
  }
  void TearDown() override {
    ::chmod(directory_.c_str(), 0700);
    std::error_code ignored;
    fs::remove_all(directory_, ignored);
  }
  std::string Init(const std::string& path) const { return "Provider=SQLite;Data Source=" + path; }
  static unsigned Mode(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
  }

  // A database with one table of two rows, closed so that its WAL files are gone.
  std::string SmallDatabase() {
    const std::string path = directory_ + "/reports.db";
    auto c = CreateDatabase(Init(path));
    c->Execute("CREATE TABLE T_VISIT (ID NUMBER(10) PRIMARY KEY, NAME VARCHAR2(20))");
    c->Execute("INSERT INTO T_VISIT VALUES (1, '张三')");
    c->Execute("INSERT INTO T_VISIT VALUES (2, '李四')");
    return path;
  }

  // Runs `body` in a child process and answers what it reported: the text it returned, or the
  // failure a DbError of it carried.
  template <class Body>
  static std::string InAChild(Body body) {
    int pipe_ends[2];
    if (::pipe(pipe_ends) != 0) return "no pipe";
    const pid_t child = ::fork();
    if (child == 0) {
      ::close(pipe_ends[0]);
      std::string report;
      try {
        report = body();
      } catch (const DbError& e) {
        report = std::string("failed: ") + e.what();
      }
      (void)!::write(pipe_ends[1], report.data(), report.size());
      ::_exit(0);
    }
    ::close(pipe_ends[1]);
    std::string report;
    char buffer[512];
    ssize_t n;
    while ((n = ::read(pipe_ends[0], buffer, sizeof buffer)) > 0) report.append(buffer, n);
    ::close(pipe_ends[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    return report;
  }

  // Runs `check` in a child process that cannot write the database: as the unprivileged user
  // when the tests run as root. Returns what the child reported ("" when all held).
  template <class Check>
  std::string AsReader(Check check) {
    return InAChild([&]() -> std::string {
      if (::geteuid() == 0 && (::setresgid(kUnprivileged, kUnprivileged, kUnprivileged) != 0 ||
                               ::setresuid(kUnprivileged, kUnprivileged, kUnprivileged) != 0)) {
        return "cannot drop privileges";
      }
      return check();
    });
  }

  // Runs `check` in a child process on a disk of its own: a 1 MiB memory file system mounted at
  // `disk`, a folder in the test's folder, in a user and mount namespace of the child's (no
  // privilege needed where the kernel allows them). Returns what the child reported, or
  // "cannot mount: ..." where no such disk can be had.
  template <class Check>
  std::string OnASmallDisk(Check check) {
    const std::string disk = directory_ + "/disk";
    if (!fs::create_directory(disk)) return "cannot mount: no folder";
    const uid_t uid = ::geteuid();
    const gid_t gid = ::getegid();
    return InAChild([&]() -> std::string {
      std::string why;
      if (!MountSmallDisk(disk, uid, gid, &why)) return "cannot mount: " + why;
      return check(disk);
    });
  }
  static bool MountSmallDisk(const std::string& disk, uid_t uid, gid_t gid, std::string* why) {
    if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) {
      *why = std::string("no namespace: ") + std::strerror(errno);
      return false;
    }
    std::ofstream("/proc/self/setgroups") << "deny";
    std::ofstream("/proc/self/uid_map") << uid << ' ' << uid << " 1";
    std::ofstream("/proc/self/gid_map") << gid << ' ' << gid << " 1";
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        ::mount("korvalis-disk", disk.c_str(), "tmpfs", 0, "size=1m,mode=0700") != 0) {
      *why = std::string("no mount: ") + std::strerror(errno);
      return false;
    }
    return true;
  }
  // Fills the disk of `folder` with a file of its own; returns its name.
  static std::string FillDisk(const std::string& folder) {
    const std::string filler = folder + "/filler";
    const int fd = ::open(filler.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    const std::vector<char> block(4096, 'f');
    while (::write(fd, block.data(), block.size()) > 0) {
    }
    ::close(fd);
    return filler;
  }
  // The names in `folder`, but the filler.
  static std::string FilesIn(const std::string& folder) {
    std::string names;
    for (const auto& entry : fs::directory_iterator(folder)) {
      const std::string name = entry.path().filename().string();
      if (name != "filler") names += name + " ";
    }
    return names;
  }

  // Gives the folder and the files in it to the user the reader runs as, with `folder_mode`
  // for the folder and read-only files.
  void HandOver(unsigned folder_mode) {
    for (const auto& entry : fs::directory_iterator(directory_)) {
      ASSERT_EQ(::chown(entry.path().c_str(), ReaderUid(), ReaderUid()), 0);
      ASSERT_EQ(::chmod(entry.path().c_str(), 0400), 0);
    }
    ASSERT_EQ(::chown(directory_.c_str(), ReaderUid(), ReaderUid()), 0);
    ASSERT_EQ(::chmod(directory_.c_str(), folder_mode), 0);
  }
  static uid_t ReaderUid() { return ::geteuid() == 0 ? kUnprivileged : ::geteuid(); }

  // What a reader of the read-only database finds: the rows, and the refusal of a write.
  std::string ReadOnlyChecks(const std::string& path) {
    return AsReader([&]() -> std::string {
      auto c = OpenConnection(Init(path));
      // A call's transaction begins as a writing one; reading in it still works.
      c->Begin(Connection::TransactionMode::kWriting);
      std::string found =
          Scalar(*c, "SELECT COUNT(*) || NAME FROM T_VISIT WHERE ID = 2 GROUP BY NAME");
      if (found != "1李四") return "read " + found;
      // A query FOR UPDATE locks as a write does.
      for (const char* write : {"UPDATE T_VISIT SET NAME = 'x' WHERE ID = 1",
                                "SELECT NAME FROM T_VISIT WHERE ID = 1 FOR UPDATE"}) {
        try {
          c->Execute(write);
          return std::string(write) + " succeeded";
        } catch (const DbError& e) {
          if (std::string(e.what()).find("ORA-16000") == std::string::npos) {
            return std::string(write) + " failed with " + e.what();
          }
        }
      }
      c->Rollback();
      return "";
    });
  }

  std::string directory_;
};

// A full disk is told as such, naming the database, whether it is met opening the database (a
// read, a call) or writing it; an open that fails for it leaves no file beside the database.
TEST_F(DatabaseFilesTest, AFullDiskIsToldAsSuchNamingTheDatabase) {
  const std::string report = OnASmallDisk([&](const std::string& disk) -> std::string {
    const std::string path = disk + "/full.db";
    CreateDatabase(Init(path))->Execute("CREATE TABLE T_NOTE (ID NUMBER(10), NOTE CLOB)");
    const std::string before = FilesIn(disk);
    const std::string filler = FillDisk(disk);
    std::string found;
    try {
      OpenConnection(Init(path));
      found += "opened on a full disk; ";
    } catch (const DbError& e) {
      found += std::string("open: ") + e.what() + "; ";
    }
    if (FilesIn(disk) != before) found += "left: " + FilesIn(disk) + "; ";
    fs::remove(filler);
    auto c = OpenConnection(Init(path));
    FillDisk(disk);
    try {
      for (int i = 0; i < 1000; ++i) {
        c->Execute("INSERT INTO T_NOTE VALUES (" + std::to_string(i) + ", RPAD('x', 4000, 'x'))");
      }
      found += "wrote on a full disk";
    } catch (const DbError& e) {
      found += std::string("write: ") + e.what();
    }
    return found;
  });
  if (report.starts_with("cannot mount: ")) GTEST_SKIP() << "no small disk here: " << report;
  const std::string full = "the disk holding the database '" + directory_ + "/disk/full.db' is full";
  EXPECT_EQ(report.rfind("open: " + full, 0), 0u) << report;
  EXPECT_NE(report.find("; write: " + full), std::string::npos) << report;
  EXPECT_EQ(report.find("left: "), std::string::npos) << report;
}

// The log moved into the file while a connection stays open (as a pool keeps it): a copy of the
// file alone holds every committed row. Pages that a reader's older snapshot still needs stay in
// the log, and the move says so.
TEST_F(DatabaseFilesTest, MovingTheLogIntoTheFileMakesACopyOfTheFileAloneWhole) {
  const std::string path = SmallDatabase();
  auto writer = OpenConnection(Init(path));
  auto reader = OpenConnection(Init(path));
  writer->Execute("INSERT INTO T_VISIT VALUES (3, '王五')");
  reader->Begin(Connection::TransactionMode::kReading);
  EXPECT_EQ(Scalar(*reader, "SELECT COUNT(*) FROM T_VISIT"), "3");
  writer->Execute("INSERT INTO T_VISIT VALUES (4, '赵六')");
  auto& file = dynamic_cast<SqliteConnection&>(*writer);
  try {
    file.MoveLogIntoFile();
    ADD_FAILURE() << "the log was moved past a reader's snapshot";
  } catch (const DbError& e) {
    EXPECT_EQ(e.code(), kBusy) << e.what();
  }
  reader->Commit();
  file.MoveLogIntoFile();
  fs::copy_file(path, directory_ + "/copy.db");
  EXPECT_EQ(Scalar(*OpenConnection(Init(directory_ + "/copy.db")),
                   "SELECT LISTAGG(NAME, ',') WITHIN GROUP (ORDER BY ID) FROM T_VISIT"),
            "张三,李四,王五,赵六");
}

TEST_F(DatabaseFilesTest, AMissingDatabaseIsAnErrorNamingItAndIsNeverCreated) {
  const std::string path = directory_ + "/none.db";
  for (auto open : {+[](const std::string& init) { OpenConnection(init); },
                    +[](const std::string& init) { ConnectionPools::Acquire(init); }}) {
    try {
      open(Init(path));
      ADD_FAILURE() << "a missing database opened";
    } catch (const DbError& e) {
      EXPECT_EQ(e.code(), kCannotConnect);
      EXPECT_NE(std::string(e.what()).find("'" + path + "' does not exist"), std::string::npos)
          << e.what();
    }
    EXPECT_FALSE(fs::exists(path));
  }
  ConnectionPools::Close(Init(path));
}

TEST_F(DatabaseFilesTest, CreatedDatabasesAndTheirWalFilesAreTheOwnersOnly) {
  const mode_t previous = ::umask(0);
  const std::string path = directory_ + "/emr.db";
  {
    auto c = CreateDatabase(Init(path));
    c->Execute("CREATE TABLE T_PATIENT (ID NUMBER)");
    c->Execute("INSERT INTO T_PATIENT VALUES (1)");
    EXPECT_EQ(Mode(path), 0600u);
    EXPECT_EQ(Mode(path + "-wal"), 0600u);
    EXPECT_EQ(Mode(path + "-shm"), 0600u);
  }
  ::umask(previous);
  // An existing database is never overwritten.
  EXPECT_THROW(CreateDatabase(Init(path)), DbError);
  EXPECT_EQ(Scalar(*OpenConnection(Init(path)), "SELECT COUNT(*) FROM T_PATIENT"), "1");
}

TEST_F(DatabaseFilesTest, AReadOnlyDatabaseAnswersQueriesAndRefusesWrites) {
  const std::string path = SmallDatabase();
  HandOver(0700);  // the folder can still hold the reader's WAL index
  EXPECT_EQ(ReadOnlyChecks(path), "");
}

TEST_F(DatabaseFilesTest, ADatabaseOnAReadOnlyMediumAnswersQueries) {
  const std::string path = SmallDatabase();
  HandOver(0500);  // nothing in the folder can be written, as on a read-only medium
  EXPECT_EQ(ReadOnlyChecks(path), "");
  EXPECT_FALSE(fs::exists(path + "-shm"));
}

TEST(NumberColumnTest, IntegersOfSixtyFourBitsStayExactInEveryNumberColumn) {
  auto c = OpenConnection("Provider=SQLite;Data Source=:memory:");
  c->Execute(
      "CREATE TABLE T_ID (A NUMBER(18), B NUMBER(19), C NUMBER(20, 2), D NUMBER, E NUMBER(16))");
  c->Execute(
      "INSERT INTO T_ID VALUES (123456789012345678, '9223372036854775807', "
      "-123456789012345678, 123456789012345678, ' 1234567890123456 ')");
  EXPECT_EQ(Scalar(*c, "SELECT A || '|' || B || '|' || C || '|' || D || '|' || E FROM T_ID"),
            "123456789012345678|9223372036854775807|-123456789012345678|123456789012345678|"
            "1234567890123456");
  EXPECT_EQ(Scalar(*c, "SELECT COUNT(*) FROM T_ID WHERE A = 123456789012345678"), "1");
  c->Execute("UPDATE T_ID SET B = 9223372036854775807");
  EXPECT_EQ(Scalar(*c, "SELECT B FROM T_ID"), "9223372036854775807");
  c->Execute("UPDATE T_ID SET E = 9999999999999999");
  EXPECT_EQ(Scalar(*c, "SELECT E FROM T_ID"), "9999999999999999");

  // A value that cannot be kept exact, or that the precision cannot hold, is refused.
  for (const char* value :
       {"'99999999999999999999'", "10000000000000000", "'-12345678901234567890'"}) {
    try {
      c->Execute(std::string("UPDATE T_ID SET E = ") + value);
      ADD_FAILURE() << value << " was written";
    } catch (const DbError& e) {
      EXPECT_NE(std::string(e.what()).find("ORA-01438"), std::string::npos) << e.what();
    }
  }
  EXPECT_THROW(c->Execute("UPDATE T_ID SET B = '123456789012345678901'"), DbError);
  EXPECT_EQ(Scalar(*c, "SELECT E FROM T_ID"), "9999999999999999");
  // Decimals keep being rounded to the column's scale.
  c->Execute("UPDATE T_ID SET C = 2.345");
  EXPECT_EQ(Scalar(*c, "SELECT C FROM T_ID"), "2.35");
}

// A file that already keeps a name with lower-case letters as it is (written before names
// differing only in case were told apart) keeps answering under that name, and refuses a name
// that differs from one of its own only in case; a file without such names tells them apart.
TEST_F(DatabaseFilesTest, AFileKeepingLowerCaseNamesUnmarkedKeepsThem) {
  const std::string path = directory_ + "/older.db";
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  const std::string script = std::string(CatalogBootstrapSql()) +
                             "CREATE TABLE \"abc\" (\"x\" NUMERIC);"
                             "INSERT INTO \"abc\" VALUES (7);"
                             "INSERT INTO KORVALIS_TABLES VALUES ('abc', 'TABLE', NULL);"
                             "INSERT INTO KORVALIS_COLUMNS (TABLE_NAME, COLUMN_NAME, COLUMN_ID, "
                             "DATA_TYPE, NULLABLE) VALUES ('abc', 'x', 1, 'NUMBER', 'Y');";
  ASSERT_EQ(sqlite3_exec(db, script.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(db);

  auto older = OpenConnection(Init(path));
  EXPECT_EQ(Scalar(*older, "SELECT \"x\" FROM \"abc\""), "7");
  older->Execute("CREATE TABLE \"d\" (\"y\" NUMBER)");
  older->Execute("INSERT INTO \"d\" SELECT \"x\" FROM \"abc\"");
  EXPECT_EQ(Scalar(*older, "SELECT \"y\" FROM \"d\""), "7");
  for (const char* sql :
       {"CREATE TABLE ABC (A NUMBER)", "CREATE TABLE Q (\"a\" NUMBER, A NUMBER)"}) {
    try {
      older->Execute(sql);
      ADD_FAILURE() << sql;
    } catch (const DbError& e) {
      EXPECT_EQ(e.code(), kNotSupported) << sql;
    }
  }

  auto newer = CreateDatabase(Init(directory_ + "/newer.db"));
  newer->Execute("CREATE TABLE \"abc\" (\"x\" NUMBER, X NUMBER)");
  newer->Execute("CREATE TABLE ABC (A NUMBER)");
  newer->Execute("INSERT INTO \"abc\" VALUES (1, 2)");
  EXPECT_EQ(Scalar(*newer, "SELECT \"x\" + 10 * X FROM \"abc\""), "21");
}

}  // namespace
}  // namespace korvalis::db
