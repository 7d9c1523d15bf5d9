#pragma once
// Runs the real konvert program in a fresh temporary directory with given
// arguments and standard input, and captures everything it leaves behind.

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace kon::test {

struct RunResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

class Sandbox {
  public:
    Sandbox();
    ~Sandbox();
    Sandbox(const Sandbox&) = delete;
    Sandbox& operator=(const Sandbox&) = delete;

    const std::filesystem::path& dir() const { return dir_; }
    void Write(const std::string& name, const std::string& bytes) const;
    std::string Read(const std::string& name) const;
    // Every regular file below the directory, by relative path, with its bytes.
    std::map<std::string, std::string> Files() const;

    // Runs the program with the sandbox as working directory. Without
    // `input` standard input is empty (at its end at once).
    RunResult Run(const std::vector<std::string>& args, const std::string& input = "") const;
    // Shell commands run right before the program in the same shell, e.g.
    // "ulimit -f 1; trap '' XFSZ;" to make its writes fail.
    void SetCommandPrefix(const std::string& prefix) { commandPrefix_ = prefix; }
    // Runs this program file instead of KonvertCommand(), e.g. a patched copy.
    void SetProgram(const std::filesystem::path& program) { program_ = program; }

  private:
    std::filesystem::path dir_;
    std::string commandPrefix_;
    std::filesystem::path program_;
};

// The whole contents of a file; empty when it cannot be read.
std::string ReadFileBytes(const std::filesystem::path& file);

// The command that starts konvert: $KONVERT_COMMAND or the built program.
std::string KonvertCommand();
// Whether that command is this build's program on this platform, not
// another one named by $KONVERT_COMMAND.
bool RunsBuiltProgram();
// The base name of the program that command starts, as the usage line shows it.
std::string KonvertProgramName();
// True when that command starts a Windows build (its program ends in ".exe"),
// so tests of POSIX-only conditions (chmod, ulimit) skip and Windows-only
// cases run.
bool RunsWindowsProgram();

}  // namespace kon::test
