#include "platform/com/registry.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "platform/text/unicode.h"

#include "platform/com/registrar.h"
#include "db/testing/temp_directory.h"
#include "platform/sys/testing/private_mode.h"

namespace korvalis::com {
namespace {

std::string TempPath(const char* name) {
  return ::testing::TempDir() + "/" + name + "." + std::to_string(::getpid());
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(Registry, KeysAndValuesIgnoreCaseAndKeepTheirFirstSpelling) {
  RegistryKey root;
  root.Create(u"CLSID\\{ABC}\\InprocServer32").SetValue(u"ThreadingModel", u"Both");
  EXPECT_NE(root.Find(u"clsid\\{abc}\\INPROCSERVER32"), nullptr);
  EXPECT_EQ(*root.Find(u"CLSID\\{ABC}\\InprocServer32")->Value(u"threadingmodel"), u"Both");
  root.Create(u"clsid").SetValue(u"", u"default");
  EXPECT_EQ(root.subkeys().size(), 1u);
  EXPECT_EQ(root.subkeys().begin()->first, u"CLSID");
  EXPECT_EQ(root.Find(u"CLSID\\{ABC}\\Missing"), nullptr);
  EXPECT_TRUE(root.Find(u"CLSID")->RemoveSubkey(u"{abc}"));
  EXPECT_FALSE(root.Find(u"CLSID")->RemoveSubkey(u"{abc}"));
}

// Keys in any order, their paths' names in any case, make the tree that keys in tree order do.
TEST(Registry, KeysParseTheSameInAnyOrder) {
  RegistryKey parsed;
  std::string error;
  ASSERT_TRUE(ParseRegistry("[A\\B\\C]\n@=\"1\"\n[a\\b]\n\"x\"=\"2\"\n[X]\n[A\\b\\c\\D]\n"
                            "[A\\Bz]\n[A\\B\\C]\n\"y\"=\"3\"\n[A\\B]\n",
                            &parsed, &error))
      << error;
  EXPECT_EQ(FormatRegistry(parsed),
            "[A]\n[A\\B]\n\"x\"=\"2\"\n[A\\B\\C]\n@=\"1\"\n\"y\"=\"3\"\n[A\\B\\C\\D]\n"
            "[A\\Bz]\n[X]\n");
}

TEST(Registry, FileFormatRoundTripsEmptyKeysQuotesAndNewLines) {
  RegistryKey root;
  root.Create(u"CLSID");
  RegistryKey& key = root.Create(u"korvalis.QCAdmin\\CurVer");
  key.SetValue(u"", u"korvalis.QCAdmin.1");
  root.Create(u"AppID\\x").SetValue(u"odd \"name\"", u"C:\\path\nline 二");
  std::string text = FormatRegistry(root);
  EXPECT_NE(text.find("[CLSID]\n"), std::string::npos);
  EXPECT_NE(text.find("[korvalis.QCAdmin\\CurVer]\n@=\"korvalis.QCAdmin.1\"\n"),
            std::string::npos);
  RegistryKey parsed;
  std::string error;
  ASSERT_TRUE(ParseRegistry(text, &parsed, &error)) << error;
  EXPECT_EQ(FormatRegistry(parsed), text);
  EXPECT_EQ(*parsed.Find(u"AppID\\x")->Value(u"odd \"name\""), u"C:\\path\nline 二");
  EXPECT_NE(parsed.Find(u"CLSID"), nullptr);

  for (const char* bad : {"@=\"x\"\n", "[a]\nname=\"x\"\n", "[a]\n@=\"x\n", "[a\\\\b]\n",
                          "[a]\n@=\"x\" y\n", "[a]\n@=\"bad \\q\"\n"}) {
    RegistryKey ignored;
    EXPECT_FALSE(ParseRegistry(bad, &ignored, &error)) << bad;
  }
}

TEST(Registry, AFileWhoseKeysNestWithoutBoundIsRefused) {
  auto nested = [](std::ptrdiff_t depth) {
    std::string path = "k";
    for (std::ptrdiff_t i = 1; i < depth; ++i) path += "\\k";
    return "[" + path + "]\n@=\"deep\"\n";
  };
  RegistryKey root;
  std::string error;
  ASSERT_TRUE(ParseRegistry(nested(kMaxKeyDepth), &root, &error)) << error;
  std::string at_limit(kMaxKeyDepth * 2 - 1, 'k');
  for (size_t i = 1; i < at_limit.size(); i += 2) at_limit[i] = '\\';
  EXPECT_EQ(*root.Find(FromUtf8(at_limit))->Value(u""), u"deep");

  // Deep enough to exhaust the stack of a reader if it were taken in.
  RegistryKey refused;
  EXPECT_FALSE(ParseRegistry(nested(3'000'000), &refused, &error));
  EXPECT_NE(error.find("too deep"), std::string::npos);
  EXPECT_TRUE(refused.subkeys().empty());
}

TEST(RegistryFile, UpdatesAtomicallyAndRefusesToOverwriteAnUnreadableFile) {
  std::string path = TempPath("registry");
  std::remove(path.c_str());
  RegistryFile file(path);
  RegistryKey root;
  EXPECT_EQ(file.Read(&root), S_OK);  // missing file: empty tree
  EXPECT_TRUE(root.subkeys().empty());

  EXPECT_EQ(file.Update([](RegistryKey& r) {
    r.Create(u"AppID\\{1}").SetValue(u"", u"one");
    return S_OK;
  }),
            S_OK);
  EXPECT_EQ(file.Update([](RegistryKey& r) {
    r.Create(u"AppID\\{2}");
    return E_FAIL;  // a failed change writes nothing
  }),
            E_FAIL);
  ASSERT_EQ(file.Read(&root), S_OK);
  EXPECT_EQ(*root.Find(u"AppID\\{1}")->Value(u""), u"one");
  EXPECT_EQ(root.Find(u"AppID\\{2}"), nullptr);

  // Concurrent writers each keep their keys.
  std::vector<std::thread> writers;
  for (int t = 0; t < 4; ++t) {
    writers.emplace_back([&file, t] {
      for (int i = 0; i < 10; ++i) {
        file.Update([&](RegistryKey& r) {
          r.Create(u"K\\" + std::u16string(1, u'a' + t) + std::u16string(1, u'0' + i));
          return S_OK;
        });
      }
    });
  }
  for (std::thread& w : writers) w.join();
  ASSERT_EQ(file.Read(&root), S_OK);
  EXPECT_EQ(root.Find(u"K")->subkeys().size(), 40u);

  { std::ofstream(path) << "garbage without a key\n"; }
  std::string error;
  EXPECT_EQ(file.Read(&root, &error), REGDB_E_READREGDB);
  EXPECT_NE(error.find("line 1"), std::string::npos);
  EXPECT_EQ(file.Update([](RegistryKey&) { return S_OK; }), REGDB_E_READREGDB);
  EXPECT_EQ(ReadText(path), "garbage without a key\n");
  std::remove(path.c_str());
  std::remove((path + ".lock").c_str());
}

TEST(RegistryFile, SharedReadsFollowEveryChange) {
  std::string path = TempPath("shared_registry");
  std::remove(path.c_str());
  RegistryFile file(path);
  std::shared_ptr<const RegistryKey> first;
  ASSERT_EQ(file.ReadShared(&first), S_OK);
  EXPECT_TRUE(first->subkeys().empty());
  ASSERT_EQ(file.Update([](RegistryKey& r) {
    r.Create(u"A");
    return S_OK;
  }),
            S_OK);
  std::shared_ptr<const RegistryKey> second;
  ASSERT_EQ(file.ReadShared(&second), S_OK);
  EXPECT_NE(second->Find(u"A"), nullptr);
  std::shared_ptr<const RegistryKey> again;
  ASSERT_EQ(file.ReadShared(&again), S_OK);
  EXPECT_EQ(again, second);  // unchanged file: the same parsed tree
  ASSERT_EQ(file.Update([](RegistryKey& r) {
    r.RemoveSubkey(u"A");
    return S_OK;
  }),
            S_OK);
  ASSERT_EQ(file.ReadShared(&again), S_OK);
  EXPECT_EQ(again->Find(u"A"), nullptr);
  EXPECT_NE(second->Find(u"A"), nullptr);  // an earlier tree stays valid for its holder

  // A settled file is trusted by its signature; a change (another inode, size or time) is seen.
  { std::ofstream(path) << "[Old]\n"; }
  struct timespec long_ago[2] = {{1000000000, 0}, {1000000000, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), long_ago, 0), 0);
  ASSERT_EQ(file.ReadShared(&again), S_OK);
  EXPECT_NE(again->Find(u"Old"), nullptr);
  ASSERT_EQ(file.ReadShared(&again), S_OK);
  EXPECT_NE(again->Find(u"Old"), nullptr);
  { std::ofstream(path) << "[New]\n"; }  // same size, rewritten in place: the time moves
  ASSERT_EQ(file.ReadShared(&again), S_OK);
  EXPECT_NE(again->Find(u"New"), nullptr);
  { std::ofstream(path) << "garbage\n"; }
  EXPECT_EQ(file.ReadShared(&again), REGDB_E_READREGDB);
  std::remove(path.c_str());
  std::remove((path + ".lock").c_str());
}

TEST(RegistryFile, TheFileAndTheFoldersMadeForItAreTheOwnersOnly) {
  korvalis::testing::TempDirectory scratch("korvalis-registry");
  const std::string path = scratch.path() + "/home/.korvalis/registry";
  sys::testing::ScopedUmask open_umask(0);
  RegistryFile file(path);
  ASSERT_EQ(file.Update([](RegistryKey& r) {
    r.Create(u"CLSID\\{1}");
    return S_OK;
  }),
            S_OK);
  EXPECT_EQ(sys::testing::ModeOf(scratch.path() + "/home"), 0700u);
  EXPECT_EQ(sys::testing::ModeOf(scratch.path() + "/home/.korvalis"), 0700u);
  EXPECT_EQ(sys::testing::ModeOf(path), 0600u);
  EXPECT_EQ(sys::testing::ModeOf(path + ".lock"), 0600u);
}

TEST(RegistryFile, AStaleCopyOfAWriterThatDiedIsReplaced) {
  korvalis::testing::TempDirectory scratch("korvalis-registry");
  const std::string path = scratch.path() + "/registry";
  sys::testing::ScopedUmask open_umask(0);
  { std::ofstream(path + ".new") << "[Stale]\n"; }
  ASSERT_EQ(::chmod((path + ".new").c_str(), 0666), 0);
  RegistryFile file(path);
  ASSERT_EQ(file.Update([](RegistryKey& r) {
    r.Create(u"Fresh");
    return S_OK;
  }),
            S_OK);
  EXPECT_EQ(sys::testing::ModeOf(path), 0600u);
  EXPECT_EQ(ReadText(path).find("Stale"), std::string::npos);
}

TEST(RegistryFile, PathComesFromTheEnvironment) {
  ::setenv("KORVALIS_REGISTRY", "/tmp/somewhere/registry.txt", 1);
  EXPECT_EQ(RegistryFile().path(), "/tmp/somewhere/registry.txt");
  ::unsetenv("KORVALIS_REGISTRY");
  EXPECT_NE(RegistryFile().path().find("/.korvalis/registry"), std::string::npos);
}

constexpr char16_t kClassScript[] = uR"(HKCR
{
	korvalis.QualityRule.1 = s 'QualityRule Class'
	{
		CLSID = s '{CEEB0A6D-0A18-4C3D-BD44-A97CFB0742A5}'
	}
	NoRemove CLSID
	{
		ForceRemove {CEEB0A6D-0A18-4C3D-BD44-A97CFB0742A5} = s 'QualityRule Class'
		{
			ForceRemove 'Programmable'
			InprocServer32 = s '%MODULE%'
			{
				val ThreadingModel = s 'Neutral'
			}
			val AppID = s '%APPID%'
		}
	}
})";

TEST(Registrar, RegistersReplacesAndUnregistersWhatTheScriptNames) {
  Registrar registrar;
  registrar.AddReplacement(u"MODULE", u"/opt/it's/libkorvalis.so");
  registrar.AddReplacement(u"APPID", u"{F199E755-C9C0-4709-88CD-5420AE6A0213}");
  RegistryKey root;
  root.Create(u"CLSID\\{OTHER}");
  root.Create(u"CLSID\\{CEEB0A6D-0A18-4C3D-BD44-A97CFB0742A5}\\Stale");
  ASSERT_EQ(registrar.Register(kClassScript, root), S_OK);
  const RegistryKey* cls = root.Find(u"CLSID\\{CEEB0A6D-0A18-4C3D-BD44-A97CFB0742A5}");
  ASSERT_NE(cls, nullptr);
  EXPECT_EQ(cls->Find(u"Stale"), nullptr);  // ForceRemove rewrote the key whole
  EXPECT_NE(cls->Find(u"Programmable"), nullptr);
  EXPECT_EQ(*cls->Find(u"InprocServer32")->Value(u""), u"/opt/it's/libkorvalis.so");
  EXPECT_EQ(*cls->Find(u"InprocServer32")->Value(u"ThreadingModel"), u"Neutral");
  EXPECT_EQ(*cls->Value(u"AppID"), u"{F199E755-C9C0-4709-88CD-5420AE6A0213}");
  EXPECT_EQ(*root.Find(u"korvalis.QualityRule.1\\CLSID")->Value(u""),
            u"{CEEB0A6D-0A18-4C3D-BD44-A97CFB0742A5}");

  std::string once = FormatRegistry(root);
  ASSERT_EQ(registrar.Register(kClassScript, root), S_OK);
  EXPECT_EQ(FormatRegistry(root), once);  // registering again changes nothing

  ASSERT_EQ(registrar.Unregister(kClassScript, root), S_OK);
  EXPECT_EQ(root.Find(u"korvalis.QualityRule.1"), nullptr);
  EXPECT_EQ(root.Find(u"CLSID\\{CEEB0A6D-0A18-4C3D-BD44-A97CFB0742A5}"), nullptr);
  EXPECT_NE(root.Find(u"CLSID\\{OTHER}"), nullptr);  // NoRemove: CLSID and its other keys stay
}

TEST(Registrar, KeysWithForeignSubkeysSurviveUnregistration) {
  Registrar registrar;
  RegistryKey root;
  constexpr char16_t kScript[] = u"HKCR { App = s 'x' { Sub { val V = s '1' } } }";
  ASSERT_EQ(registrar.Register(kScript, root), S_OK);
  root.Create(u"App\\Foreign");
  ASSERT_EQ(registrar.Unregister(kScript, root), S_OK);
  ASSERT_NE(root.Find(u"App"), nullptr);
  EXPECT_EQ(root.Find(u"App\\Sub"), nullptr);
  EXPECT_NE(root.Find(u"App\\Foreign"), nullptr);
  ASSERT_EQ(registrar.Register(u"HKCR { Delete App }", root), S_OK);
  EXPECT_EQ(root.Find(u"App"), nullptr);
}

TEST(Registrar, BadScriptsChangeNothing) {
  Registrar registrar;
  registrar.AddReplacement(u"MODULE", u"m");
  RegistryKey root;
  for (const char16_t* bad :
       {u"HKLM { A }", u"HKCR { A = s 'x' ", u"HKCR { A = q 'x' }", u"HKCR { A = s }",
        u"HKCR { A { val = s 'x' } }", u"HKCR { 'unterminated }", u"HKCR { A = s '%NOPE%' }",
        u"HKCR { B } HKCR { A = s '%MODULE }", u"HKCR { 'a\\b' }"}) {
    std::string error;
    EXPECT_EQ(registrar.Register(bad, root, &error), DISP_E_EXCEPTION) << ToUtf8(bad);
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(root.subkeys().empty()) << ToUtf8(bad);
  }
  ASSERT_EQ(registrar.Register(u"HKCR { 'it''s' = s '100%% %MODULE%' }", root), S_OK);
  EXPECT_EQ(*root.Find(u"it's")->Value(u""), u"100% m");
}

}  // namespace
}  // namespace korvalis::com
