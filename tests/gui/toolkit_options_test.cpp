// SPDX-License-Identifier: GPL-3.0-or-later
// Qt's own command-line options reach Qt and never the program's parser: the split of the
// arguments, and an application object built from the toolkit's part taking its style
// sheet, platform and layout direction.
#include <QApplication>
#include <QTest>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "app/command_line.hpp"
#include "gui/window_run.hpp"

namespace kestrum {
namespace {

using Args = std::vector<std::string>;

const std::filesystem::path& SheetPath() {
  static const std::filesystem::path path =
      std::filesystem::temp_directory_path() / "kestrum_toolkit_options_test.qss";
  return path;
}

// The command line the application object below is built from.
Args StartArguments() {
  return {"-t62",     "-stylesheet=" + SheetPath().string(), "-platform", "offscreen", "-p",
          "--reverse"};
}

}  // namespace

class ToolkitOptionsTest : public QObject {
  Q_OBJECT

 private slots:
  void SplitKeepsEachSidesOrder() {
    struct Case {
      Args args;
      Args program;
      Args toolkit;
    };
    const std::vector<Case> cases = {
        {{"-stylesheet=x.qss", "-p"}, {"-p"}, {"-stylesheet=x.qss"}},
        {{"-style", "fusion", "-sback.hex"}, {"-sback.hex"}, {"-style", "fusion"}},
        {{"-t62", "-geometry", "800x600", "-title", "K", "-q"},
         {"-t62", "-q"},
         {"-geometry", "800x600", "-title", "K"}},
        {{"--platform", "xcb", "-display", ":1", "-reverse", "-i"},
         {"-i"},
         {"--platform", "xcb", "-display", ":1", "-reverse"}},
        // The program's own letters with values, and unknown names, stay the program's.
        {{"-sstyle", "-Style", "-lfile.hex", "--simulate"},
         {"-sstyle", "-Style", "-lfile.hex", "--simulate"},
         {}},
    };
    for (const Case& c : cases) {
      const SplitArguments split = SplitToolkitOptions(c.args);
      QCOMPARE(split.Program, c.program);
      QCOMPARE(split.Toolkit, c.toolkit);
    }
    // "-stylesheet=x" used to be read as a save to "tylesheet=x".
    const auto parsed = ParseCommandLine(SplitToolkitOptions({"-stylesheet=x", "-p"}).Program);
    QVERIFY(!std::get<CommandLine>(parsed).SaveFile);
  }

  void QtTakesTheToolkitOptions() {
    QVERIFY(qApp->styleSheet().contains(QStringLiteral("kestrum_toolkit_options_test.qss")));
    QCOMPARE(QGuiApplication::platformName(), QStringLiteral("offscreen"));
    QCOMPARE(QGuiApplication::layoutDirection(), Qt::RightToLeft);
    const auto parsed = ParseCommandLine(SplitToolkitOptions(StartArguments()).Program);
    const CommandLine& commandLine = std::get<CommandLine>(parsed);
    QVERIFY(commandLine.ProgramAll && !commandLine.SaveFile);
    QCOMPARE(commandLine.Steps.size(), std::size_t{1});
  }
};

}  // namespace kestrum

int main(int argc, char** argv) {
  std::ofstream(kestrum::SheetPath()) << "QWidget { }\n";
  kestrum::ToolkitArguments arguments(
      argv[0], kestrum::SplitToolkitOptions(kestrum::StartArguments()).Toolkit);
  QApplication application(arguments.Count(), arguments.Values());
  kestrum::ToolkitOptionsTest test;
  // The test's own options (a test function's name, -o ...) go to QtTest.
  const int status = QTest::qExec(&test, argc, argv);
  std::filesystem::remove(kestrum::SheetPath());
  return status;
}

#include "toolkit_options_test.moc"
