// The end-to-end table: every folder in tests/golden/ is one run of a real
// program (tests/golden/README.md describes the files of a case). The same
// table runs against another build, e.g. konvert.exe under Wine, through
// KONVERT_COMMAND (and KON_COMMAND for rows of `kon`).

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Tree = std::map<std::string, std::string>;

std::optional<std::string> Slurp(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::string Quote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

// Control bytes as C escapes, so a CR or a tab shows in a failure message.
std::string Visible(const std::string& text) {
    std::string shown;
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        char hex[8];
        std::snprintf(hex, sizeof hex, "\\x%02X", c);
        shown += c == '\r'               ? "\\r"
                 : c == '\t'             ? "\\t"
                 : c == '\\'             ? "\\\\"
                 : c < 0x20 || c == 0x7F ? hex
                                         : std::string(1, ch);
    }
    return shown;
}

// The \t and \0 escapes of a patch value.
std::string Unescaped(const std::string& text) {
    std::string bytes;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool escape = text[i] == '\\' && i + 1 < text.size();
        const char c = text[escape ? ++i : i];
        bytes += !escape ? c : c == 't' ? '\t' : c == '0' ? '\0' : c;
    }
    return bytes;
}

// Text as the first differing line with its neighbours; anything holding a
// NUL byte as the first differing offset with 16 bytes of hex either way.
std::string Difference(const std::string& expected, const std::string& actual) {
    std::ostringstream out;
    if (expected.find('\0') == std::string::npos && actual.find('\0') == std::string::npos) {
        const auto want = Lines(expected), got = Lines(actual);
        std::size_t i = 0;
        while (i < want.size() && i < got.size() && want[i] == got[i]) ++i;
        out << "first difference in line " << i + 1 << " (expected " << want.size()
            << " lines, got " << got.size() << ")\n";
        for (std::size_t k = i < 2 ? 0 : i - 2; k < i + 3; ++k) {
            if (k < want.size()) out << "  - \"" << Visible(want[k]) << "\"\n";
            if (k < got.size() && (k >= want.size() || want[k] != got[k]))
                out << "  + \"" << Visible(got[k]) << "\"\n";
        }
        return out.str();
    }
    const auto at = static_cast<std::size_t>(
        std::mismatch(expected.begin(), expected.end(), actual.begin(), actual.end()).first -
        expected.begin());
    const auto hex = [&](const std::string& bytes) {
        std::string shown;
        for (std::size_t k = at < 16 ? 0 : at - 16; k < bytes.size() && k < at + 16; ++k) {
            char b[8];
            std::snprintf(b, sizeof b, k == at ? " [%02X]" : " %02X",
                          static_cast<unsigned char>(bytes[k]));
            shown += b;
        }
        return shown;
    };
    out << "first difference at offset " << at << " (expected " << expected.size() << " bytes, got "
        << actual.size() << ")\n  -" << hex(expected) << "\n  +" << hex(actual) << "\n";
    return out.str();
}

// Regular files by their bytes, directories and symbolic links by a tag.
void AddTree(Tree& tree, const fs::path& root) {
    if (!fs::exists(root)) return;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        const std::string name = entry.path().lexically_relative(root).generic_string();
        if (entry.is_symlink()) {
            tree[name] = "<link to " + fs::read_symlink(entry.path()).generic_string() + ">";
        } else if (entry.is_directory()) {
            tree[name] = "<directory>";
        } else {
            tree[name] = Slurp(entry.path()).value_or("<unreadable>");
        }
    }
}

// A fresh directory, removed with everything in it, whatever the run left.
struct Scratch {
    Scratch() {
        std::string pattern = (fs::temp_directory_path() / "konvert-golden-XXXXXX").string();
        dir = mkdtemp(pattern.data());
    }
    ~Scratch() {
        std::error_code ec;
        for (const auto& entry : fs::recursive_directory_iterator(dir, ec))
            if (!entry.is_symlink(ec))
                fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(dir, ec);
    }
    fs::path dir;
};

// The program a row runs: $<NAME>_COMMAND, else the one built next to konvert.
std::string ProgramCommand(std::string name) {
    std::string variable = name + "_COMMAND";
    std::transform(variable.begin(), variable.end(), variable.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    const char* command = std::getenv(variable.c_str());
    if (command != nullptr && *command != '\0') return command;
    return Quote((fs::path(KONVERT_BIN_DIR) / name).string());
}

// The command's last word, unquoted: the program file.
std::string ProgramFile(const std::string& command) {
    const bool quoted = command.ends_with('\'');
    const auto start = quoted ? command.rfind('\'', command.size() - 2) : command.rfind(' ');
    return start == std::string::npos
               ? command
               : command.substr(start + 1, command.size() - start - 1 - quoted);
}

// A Windows console turns each newline into CR LF; only a CR right before a
// newline is taken out again, so any other difference still shows.
std::string ConsoleText(const std::string& text) {
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

// A copy of the program with the bytes behind each marker replaced; every
// marker must stand exactly once in the image.
std::string PatchedCopy(const std::string& program, const std::string& patch, const fs::path& dir,
                        std::string& error) {
    std::string image = Slurp(program).value_or("");
    for (const std::string& line : Lines(patch)) {
        const std::string marker = line.substr(0, line.find(' '));
        const std::string value = Unescaped(line.substr(std::min(line.size(), marker.size() + 1)));
        const auto at = image.find(marker);
        if (at == std::string::npos || image.find(marker, at + 1) != std::string::npos) {
            error = marker + " does not stand exactly once in " + program;
            return "";
        }
        image.replace(at + marker.size(), value.size(), value);
    }
    fs::create_directories(dir);
    const fs::path copy = dir / fs::path(program).filename();
    std::ofstream(copy, std::ios::binary) << image;
    fs::permissions(copy, fs::perms::owner_all, fs::perm_options::add);
    return copy.string();
}

// Whether the program's `formats` command lists this format (kon lists ply
// where it has the assimp bridge).
bool ListsFormat(const std::string& command, const std::string& name) {
    return std::system((command + " formats 2>/dev/null | grep -q '^" + name + " '").c_str()) == 0;
}

class GoldenTest : public ::testing::TestWithParam<std::string> {};

TEST_P(GoldenTest, Run) {
    const fs::path row = fs::path(KONVERT_GOLDEN_DIR) / GetParam();
    const auto file = [&](const char* name) { return Slurp(row / name); };
    std::string command =
        ProgramCommand(file("command") ? Lines(*file("command")).at(0) : "konvert");
    const std::string program = ProgramFile(command);
    const bool windows = program.ends_with(".exe") || program.ends_with(".EXE");
    // kon is built only where its libraries were found.
    if (!fs::exists(program) && command.find(' ') == std::string::npos)
        GTEST_SKIP() << program << " was not built";
    const std::vector<std::string> flags = Lines(file("flags").value_or(""));
    for (const std::string& flag : flags) {
        if (flag == "windows" && !windows) GTEST_SKIP() << "a Windows program only";
        if (flag == "posix" && windows) GTEST_SKIP() << "a POSIX program only";
        if (flag == "unprivileged" && !windows && geteuid() == 0)
            GTEST_SKIP() << "the superuser may write anyway";
        if (flag == "assimp" && !ListsFormat(command, "ply"))
            GTEST_SKIP() << "a kon without the assimp bridge";
#ifdef KONVERT_SANITIZED
        if (flag == "unsanitized") GTEST_SKIP() << "needs a program without sanitizers";
#endif
    }

#ifdef FAIL_CALLS
    setenv("FAIL_CALLS", FAIL_CALLS, 1);  // for a prelude's LD_PRELOAD
#endif
    Scratch scratch;
    const fs::path work = scratch.dir / "work";
    fs::create_directory(work);
    if (fs::exists(row / "in"))
        fs::copy(row / "in", work, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
    if (file("setup")) {
        const std::string setup = "cd " + Quote(work.string()) +
                                  " && EXPECTED=" + Quote((scratch.dir / "expected").string()) +
                                  " PROGRAM=" + Quote(command) + " sh " +
                                  Quote((row / "setup").string());
        ASSERT_EQ(std::system(setup.c_str()), 0) << "setup failed";
    }
    if (const auto patch = file("patch")) {
        std::string error;
        const std::string copy = PatchedCopy(program, *patch, scratch.dir / "bin", error);
        ASSERT_TRUE(error.empty()) << error;
        command.replace(command.size() - program.size() - (command.back() == '\'' ? 1 : 0),
                        program.size(), copy);
    }
    Tree expected;
    AddTree(expected, work);
    AddTree(expected, row / "out");
    AddTree(expected, scratch.dir / "expected");

    std::string windowsWork = "Z:" + work.string();  // Wine shows the root as drive Z:
    std::replace(windowsWork.begin(), windowsWork.end(), '/', '\\');
    // The prelude (umask, ulimit) holds for the program alone: its console
    // goes through pipes to files that no file-size limit touches.
    std::string run = "cd " + Quote(work.string()) + " && { { (\n" + file("prelude").value_or("") +
                      "\nexec " + command;
    for (const std::string& arg : Lines(file("args").value_or("")))
        run += " " + Quote(Replaced(arg, "%WORK%", windowsWork));
    std::ofstream(scratch.dir / "stdin", std::ios::binary) << file("stdin").value_or("");
    const auto saved = [&](const char* name) { return Quote((scratch.dir / name).string()); };
    const bool oneStream = file("console").has_value();
    const bool closedStdin = std::count(flags.begin(), flags.end(), "closed-stdin") != 0;
    run += (closedStdin ? " <&-" : " <" + saved("stdin")) + (oneStream ? " 2>&1" : "") +
           "); echo $? >" + saved("exit") +
           (oneStream
                ? "; } | cat >" + saved("console") + "; }"
                : "; } 2>&1 >&3 | cat >" + saved("stderr") + "; } 3>&1 | cat >" + saved("stdout"));
    ASSERT_EQ(std::system(run.c_str()), 0) << run;

    const std::string name = fs::path(program).filename().string();
    const auto expectConsole = [&](const char* stream) {
        if (file("console").has_value() != (std::string(stream) == "console")) return;
        const std::string want = Replaced(file(stream).value_or(""), "%PROGRAM%", name);
        const std::string got = ConsoleText(Slurp(scratch.dir / stream).value_or(""));
        EXPECT_TRUE(want == got) << stream << ": " << Difference(want, got);
    };
    for (const char* stream : {"stdout", "stderr", "console"}) expectConsole(stream);
    EXPECT_EQ(std::stoi(Slurp(scratch.dir / "exit").value_or("-1")),
              std::stoi(file("exit").value_or("0")));

    Tree actual;
    AddTree(actual, work);
    const std::vector<std::string> loose = Lines(file("loose").value_or(""));
    for (const auto& [path, bytes] : expected) {
        const auto found = actual.find(path);
        if (found == actual.end()) {
            ADD_FAILURE() << path << ": missing";
        } else if (std::count(loose.begin(), loose.end(), path) != 0) {
            EXPECT_FALSE(found->second.empty()) << path << ": empty";
        } else if (found->second != bytes) {
            ADD_FAILURE() << path << ": " << Difference(bytes, found->second);
        }
    }
    for (const auto& entry : actual)
        if (!expected.contains(entry.first)) ADD_FAILURE() << entry.first << ": not expected";
    for (const std::string& line : Lines(file("modes").value_or(""))) {
        const std::string path = line.substr(line.find(' ') + 1);
        const auto perms =
            static_cast<unsigned>(fs::status(work / path).permissions() & fs::perms::mask);
        EXPECT_EQ(perms, std::stoul(line, nullptr, 8))
            << "mode of " << path << " (octal " << std::oct << perms << ")";
    }
}

std::vector<std::string> Rows() {
    std::vector<std::string> rows;
    for (const auto& entry : fs::directory_iterator(KONVERT_GOLDEN_DIR))
        if (entry.is_directory()) rows.push_back(entry.path().filename().string());
    std::sort(rows.begin(), rows.end());
    return rows;
}

INSTANTIATE_TEST_SUITE_P(Golden, GoldenTest, ::testing::ValuesIn(Rows()), [](const auto& row) {
    std::string name = row.param;
    for (char& c : name) c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return name;
});

}  // namespace
