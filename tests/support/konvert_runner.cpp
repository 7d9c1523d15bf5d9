#include "support/konvert_runner.h"

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <string_view>

#include "driver/ascii_case.h"

#ifndef KONVERT_DEFAULT_COMMAND
#define KONVERT_DEFAULT_COMMAND "konvert"
#endif

namespace fs = std::filesystem;

namespace kon::test {

namespace {

std::string ShellQuote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    return quoted + "'";
}

void Spill(const fs::path& file, const std::string& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + file.string());
}

// A Windows console turns each newline into CR LF ($KONVERT_CONSOLE_CRLF set);
// only a CR right before a newline is taken out again, so any other
// difference still shows.
std::string ConsoleText(std::string text) {
    const char* crlf = std::getenv("KONVERT_CONSOLE_CRLF");
    if (crlf == nullptr || *crlf == '\0') return text;
    std::string plain;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) plain += "<bare LF>";
        plain += text[i];
    }
    return plain;
}

}  // namespace

std::string ReadFileBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string KonvertProgramName() {
    std::string command = KonvertCommand();
    while (!command.empty() && (command.back() == '\'' || command.back() == ' '))
        command.pop_back();
    const auto start = command.find_last_of("/\\ '");
    return start == std::string::npos ? command : command.substr(start + 1);
}

bool RunsWindowsProgram() {
    const std::string name = KonvertProgramName();
    constexpr std::string_view kSuffix = ".exe";
    if (name.size() < kSuffix.size()) return false;
    std::string suffix = name.substr(name.size() - kSuffix.size());
    for (char& c : suffix) c = AsciiLower(c);
    return suffix == kSuffix;
}

std::string KonvertCommand() {
    const char* command = std::getenv("KONVERT_COMMAND");
    if (command != nullptr && *command != '\0') return command;
    return ShellQuote(KONVERT_DEFAULT_COMMAND);
}

bool RunsBuiltProgram() {
    const char* command = std::getenv("KONVERT_COMMAND");
    if (command == nullptr || *command == '\0') return true;
    const std::string built = KONVERT_DEFAULT_COMMAND;
    return command == built || command == ShellQuote(built);
}

Sandbox::Sandbox() {
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const fs::path candidate =
            fs::temp_directory_path() / ("konvert-test-" + std::to_string(random()));
        if (fs::create_directory(candidate)) {
            dir_ = candidate;
            // Inputs and outputs live in "work"; the captured streams beside it.
            fs::create_directory(dir_ / "work");
            return;
        }
    }
    throw std::runtime_error("no temporary directory");
}

Sandbox::~Sandbox() {
    std::error_code ec;
    // Restore permissions a test may have taken away so removal succeeds.
    for (const auto& entry : fs::recursive_directory_iterator(dir_, ec)) {
        fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ec);
    }
    fs::remove_all(dir_, ec);
}

void Sandbox::Write(const std::string& name, const std::string& bytes) const {
    const fs::path file = dir_ / "work" / name;
    fs::create_directories(file.parent_path());
    Spill(file, bytes);
}

std::string Sandbox::Read(const std::string& name) const {
    return ReadFileBytes(dir_ / "work" / name);
}

std::map<std::string, std::string> Sandbox::Files() const {
    std::map<std::string, std::string> files;
    const fs::path work = dir_ / "work";
    for (const auto& entry : fs::recursive_directory_iterator(work)) {
        if (entry.is_regular_file()) {
            files[fs::relative(entry.path(), work).generic_string()] = ReadFileBytes(entry.path());
        }
    }
    return files;
}

RunResult Sandbox::Run(const std::vector<std::string>& args, const std::string& input) const {
    Spill(dir_ / "stdin", input);
    std::string command = "cd " + ShellQuote((dir_ / "work").string()) + " && { " + commandPrefix_ +
                          " " +
                          (program_.empty() ? KonvertCommand() : ShellQuote(program_.string()));
    for (const auto& arg : args) command += " " + ShellQuote(arg);
    command += " <" + ShellQuote((dir_ / "stdin").string());
    command += " >" + ShellQuote((dir_ / "stdout").string());
    command += " 2>" + ShellQuote((dir_ / "stderr").string()) + "; }";
    const int status = std::system(command.c_str());
    RunResult result;
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.out = ConsoleText(ReadFileBytes(dir_ / "stdout"));
    result.err = ConsoleText(ReadFileBytes(dir_ / "stderr"));
    return result;
}

}  // namespace kon::test
