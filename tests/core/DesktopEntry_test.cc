#include "core/DesktopEntry.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "TestSupport.h"
#include "core/FileUtil.h"
#include "core/Settings.h"
#include "core/UserDirs.h"

namespace core {
namespace {

using testing_support::TempDirTest;

// Undoes both escape layers the way a desktop's reader does: the string
// escapes first, then the quoting of the one Exec argument.
std::string ReadExecArgument(const std::string& value) {
  std::string s;
  for (size_t i = 0; i < value.size(); ++i) {
    if (value[i] == '\\' && i + 1 < value.size()) {
      const char n = value[++i];
      s.push_back(n == 'n' ? '\n' : n == 't' ? '\t' : n == 'r' ? '\r' : n == 's' ? ' ' : n);
      continue;
    }
    s.push_back(value[i]);
  }
  std::string arg;
  const bool quoted = !s.empty() && s.front() == '"';
  for (size_t i = quoted ? 1 : 0; i < s.size(); ++i) {
    if (quoted && s[i] == '"') break;
    if (quoted && s[i] == '\\' && i + 1 < s.size()) {
      arg.push_back(s[++i]);
      continue;
    }
    if (s[i] == '%' && i + 1 < s.size() && s[i + 1] == '%') ++i;
    arg.push_back(s[i]);
  }
  return arg;
}

TEST(DesktopEntry, ExecArgumentQuotesWhatTheFormatReserves) {
  struct Case {
    const char* path;
    const char* exec;  // the value as it stands in the file
  } const cases[] = {
      {"/opt/marvesk/Marvesk", "/opt/marvesk/Marvesk"},
      {"/home/eva/Meine Programme/Marvesk", R"("/home/eva/Meine Programme/Marvesk")"},
      {"/home/eva/50%/Marvesk", "/home/eva/50%%/Marvesk"},
      {"/x/a\"b/Marvesk", R"("/x/a\\"b/Marvesk")"},
      {"/x/$HOME/Marvesk", R"("/x/\\$HOME/Marvesk")"},
      {"/x/a\\b/Marvesk", R"("/x/a\\\\b/Marvesk")"},
      {"/x/it's/Marvesk", R"("/x/it's/Marvesk")"},
      {"/x/Ünïcode/Marvesk", "/x/Ünïcode/Marvesk"},
  };
  for (const Case& c : cases) {
    const std::string value = DesktopStringValue(DesktopExecArgument(c.path));
    EXPECT_EQ(value, c.exec) << c.path;
    EXPECT_EQ(ReadExecArgument(value), c.path);
  }
}

TEST(DesktopEntry, TextHasTheKeysAndRefusesWhatCannotBeCarried) {
  std::string text;
  ASSERT_TRUE(
      DesktopEntryText({"Marvesk 1.5", "/p q/Marvesk", "/p q/", "/p q/marvesk.svg"}, &text));
  EXPECT_EQ(text,
            "[Desktop Entry]\nType=Application\nName=Marvesk 1.5\nExec=\"/p q/Marvesk\"\n"
            "Path=/p q/\nIcon=/p q/marvesk.svg\nTerminal=false\n");
  EXPECT_FALSE(DesktopEntryText({"Marvesk 1.5", "/p/\xFF/Marvesk", "/p/", ""}, &text));
  EXPECT_FALSE(DesktopEntryText({"Marvesk 1.5", "/p/\x01/Marvesk", "/p/", ""}, &text));
}

class DesktopEntryFileTest : public TempDirTest {};

TEST_F(DesktopEntryFileTest, WrittenIntoANewFolderExecutableAndReplacedLater) {
  const std::string folder = PathOf("Schreib tisch/tief");
  ASSERT_TRUE(WriteDesktopEntry(folder, "Marvesk 1.5.desktop", "erste").ok());
  ASSERT_TRUE(WriteDesktopEntry(folder, "Marvesk 1.4.desktop", "andere Version").ok());
  ASSERT_TRUE(WriteDesktopEntry(folder, "Marvesk 1.5.desktop", "zweite").ok());
  EXPECT_EQ(ReadFile(folder + "/Marvesk 1.5.desktop"), "zweite");
  EXPECT_EQ(ReadFile(folder + "/Marvesk 1.4.desktop"), "andere Version");
  struct stat st {};
  ASSERT_EQ(::stat((folder + "/Marvesk 1.5.desktop").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0755u);
  // Only the two files: the safe writer leaves no temporary file behind.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 2);
}

TEST_F(DesktopEntryFileTest, FolderThatIsAFileWritesNothing) {
  const std::string blocker = WriteFile("Desktop", "kein Ordner");
  EXPECT_EQ(WriteDesktopEntry(blocker, "Marvesk 1.5.desktop", "x").code(), Code::kCreateFailed);
  EXPECT_EQ(ReadFile(blocker), "kein Ordner");
}

TEST_F(DesktopEntryFileTest, TheDesktopsValidatorAcceptsAPathWithBlanksAndSpecials) {
  std::string text;
  const std::string program = PathOf("Mein Ordner (alt) $x & 50%/Marvesk");
  ASSERT_TRUE(DesktopEntryText({"Marvesk 1.5", program, DirectoryPart(program) + "/",
                                DirectoryPart(program) + "/marvesk.svg"},
                               &text));
  ASSERT_TRUE(WriteDesktopEntry(PathOf("d"), "Marvesk 1.5.desktop", text).ok());
  const std::string command =
      "desktop-file-validate '" + PathOf("d") + "/Marvesk 1.5.desktop' 2>&1";
  FILE* pipe = ::popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string output;
  char buf[256];
  while (size_t n = std::fread(buf, 1, sizeof buf, pipe)) output.append(buf, n);
  const int status = ::pclose(pipe);
  // The set-up installs the validator; a missing one is a broken set-up.
  ASSERT_NE(WEXITSTATUS(status), 127) << "desktop-file-validate is not installed";
  EXPECT_EQ(status, 0) << output;
  EXPECT_EQ(output.find("error"), std::string::npos) << output;
}

TEST(UserDirs, DesktopLineOfTheUserDirsFile) {
  struct Case {
    const char* content;
    const char* desktop;
  } const cases[] = {
      {"XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n", "/home/eva/Schreibtisch"},
      {"# comment\nXDG_MUSIC_DIR=\"$HOME/Musik\"\n  XDG_DESKTOP_DIR=\"/data/desk/\"", "/data/desk"},
      {"XDG_DESKTOP_DIR=\"$HOME/Mein \\\"Tisch\\\"\"\n", "/home/eva/Mein \"Tisch\""},
      {"XDG_DESKTOP_DIR=\"$HOME\"\n", "/home/eva"},
      {"XDG_DESKTOP_DIR=\"relative/desk\"\n", ""},
      {"XDG_DESKTOP_DIR=\"$HOMEX/desk\"\n", ""},
      {"XDG_DESKTOP_DIR=\"$HOME/unclosed\n", ""},
      {"XDG_DESKTOP_DIR=\"$HOME/a\"\nXDG_DESKTOP_DIR=\"$HOME/b\"\n", "/home/eva/b"},
      {"XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\r\nXDG_MUSIC_DIR=\"$HOME/Musik\"\r\n",
       "/home/eva/Schreibtisch"},
      {"XDG_DESKTOP_DIR=\"/data/desk\"\r\n", "/data/desk"},
      {"XDG_DESKTOP_DIR=\"$HOME/unclosed\r\n", ""},
      {"", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ParseUserDirsDesktop(c.content, "/home/eva"), c.desktop) << c.content;
  }
}

TEST_F(DesktopEntryFileTest, DesktopFolderFromTheFileElseDesktopElseNone) {
  UserEnvironment env{dir_.string(), PathOf("conf"), PathOf("data")};
  EXPECT_EQ(DesktopFolder(env), dir_.string() + "/Desktop");
  std::filesystem::create_directories(PathOf("conf"));
  WriteFile("conf/user-dirs.dirs", "XDG_DESKTOP_DIR=\"$HOME/Arbeitsfläche\"\n");
  EXPECT_EQ(DesktopFolder(env), dir_.string() + "/Arbeitsfläche");
  EXPECT_EQ(UserSettingsFolder(env), PathOf("conf") + "/Marvesk/");
  EXPECT_EQ(DesktopFolder(UserEnvironment{}), "");
  EXPECT_EQ(UserSettingsFolder(UserEnvironment{}), "");
}

TEST(UserDirs, EnvironmentFromTheVariables) {
  const char* old_home = std::getenv("HOME");
  const std::string saved = old_home ? old_home : "";
  ::setenv("HOME", "/home/eva/", 1);
  ::setenv("XDG_CONFIG_HOME", "relative", 1);  // ignored: not absolute
  ::setenv("XDG_DATA_HOME", "/d", 1);
  UserEnvironment env = CurrentUserEnvironment();
  EXPECT_EQ(env.home, "/home/eva");
  EXPECT_EQ(env.config_home, "/home/eva/.config");
  EXPECT_EQ(env.data_home, "/d");
  ::unsetenv("XDG_CONFIG_HOME");
  ::unsetenv("XDG_DATA_HOME");
  if (old_home) ::setenv("HOME", saved.c_str(), 1);
}

// Folder probes for the place of the settings file.
bool Yes(const std::string&) { return true; }
bool No(const std::string&) { return false; }

TEST(SettingsPlace, BesideTheProgramUnlessItsFolderCannotKeepThem) {
  struct Case {
    bool exists, writable;
    const char* user_dir;
    const char* path;
  } const cases[] = {
      {false, true, "/u/", "/opt/m/Einstel_QZR.FRB"},  // portable: as always
      {true, false, "/u/", "/opt/m/Einstel_QZR.FRB"},  // a file there is kept
      {true, true, "/u/", "/opt/m/Einstel_QZR.FRB"},
      {false, false, "/u/", "/u/Einstel_QZR.FRB"},   // installed
      {false, false, "", "/opt/m/Einstel_QZR.FRB"},  // no home: nowhere better
  };
  for (const Case& c : cases) {
    EXPECT_EQ(
        SettingsFilePath("/opt/m/", c.user_dir, {c.exists ? &Yes : &No, c.writable ? &Yes : &No}),
        c.path);
  }
}

TEST_F(DesktopEntryFileTest, SystemProbeSeesAMissingFolderAsUnwritable) {
  const FolderProbe probe = SystemFolderProbe();
  EXPECT_TRUE(probe.folder_writable(dir_.string() + "/"));
  EXPECT_FALSE(probe.folder_writable(PathOf("fehlt") + "/"));
  EXPECT_FALSE(probe.file_exists(PathOf("Einstel_QZR.FRB")));
  WriteFile("Einstel_QZR.FRB", "");
  EXPECT_TRUE(probe.file_exists(PathOf("Einstel_QZR.FRB")));
  // The system's program folders are the package manager's, also for root.
  for (const char* folder : {"/usr/bin/", "/usr/local/bin/", "/opt/marvesk/", "/bin/"}) {
    EXPECT_FALSE(probe.folder_writable(folder)) << folder;
  }
}

}  // namespace
}  // namespace core
