// kon end to end: the built program in a temporary folder, one table row per
// rule. KON_PROGRAM names another build (kon.exe) and KON_WRAPPER the command
// that runs it (wine).

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "support/konvert_runner.h"

namespace fs = std::filesystem;

namespace kon::test {
namespace {

std::string Env(const char* name, const std::string& fallback) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? value : fallback;
}

std::string Example(const std::string& name) {
    return ReadFileBytes(fs::path(KONVERT_EXAMPLES_DIR) / name);
}

// The inputs a row can ask for, by name.
std::string Given(const std::string& name) {
    if (name == "haus.kon" || name == "a.kon" || name == "b.kon") return Example("haus.kon");
    if (name == "haus.csv" || name == "c.csv") return Example("haus.csv");
    if (name == "tav.csv") {
        std::string text = Example("haus.csv");
        return text.replace(text.find("MOLK"), 4, "TAV");
    }
    if (name == "bad.csv") return "KON;MOLK\r\nX;Y;Z\r\n1;2\r\nFlaechen\r\nScalX\r\n";
    if (name == "short.kon") return Example("haus.kon").substr(0, 100);
    return "hello, world\n";  // anything else: neither form
}

struct KonRun {
    RunResult result;
    std::map<std::string, std::string> files;
};

KonRun RunKon(const std::vector<std::string>& given, const std::vector<std::string>& args) {
    Sandbox box;
    for (const std::string& name : given) {
        if (name.back() == '/') {
            fs::create_directories(box.dir() / "work" / name);
        } else {
            box.Write(name, Given(name));
        }
    }
    box.SetCommandPrefix(Env("KON_WRAPPER", ""));
    box.SetProgram(Env("KON_PROGRAM", KON_DEFAULT_PROGRAM));
    KonRun run{box.Run(args), {}};
    run.files = box.Files();
    return run;
}

// What konvert itself writes for this input: kon's default must match it.
std::string KonvertOutput(const std::string& input, const std::string& output) {
    Sandbox box;
    box.Write(input, Given(input));
    box.Run({input});
    return box.Read(output);
}

struct Row {
    const char* name;
    std::vector<std::string> given;
    std::vector<std::string> args;
    int exit;
    std::string out;  // whole standard output; "*" for any
    std::string err;  // a part of standard error; the last line for several inputs
    // file -> "konvert" (as konvert writes it), "absent", "=NAME" (same bytes
    // as the input NAME), or a part of its text
    std::map<std::string, std::string> files;
};

const std::string kHausKonJson =
    R"({"file":"haus.kon","form":"archive","variant":"MOLK","points":4,)"
    R"("polygons":{"total":3,"by_corners":{"2":1,"3":2}},"instances":1,"lines":4,)"
    R"("dashed_lines":1,"dimension_lines":1,"supplements":0,)"
    R"("bounds":{"min":[0,0,-250],"max":[1000,1000,0]},"error":null})"
    "\n";
const std::string kNotKon =
    "not a Kon file: expected a Kon archive header (2880/2025 or 5760/4000) or a text file "
    "starting with KON";

const Row kRows[] = {
    // info and check
    {"info json", {"haus.kon"}, {"info", "--json", "haus.kon"}, 0, kHausKonJson, "", {}},
    {"info text counts", {"haus.csv"}, {"info", "haus.csv"}, 0, "*", "", {}},
    {"check valid json",
     {"haus.csv"},
     {"check", "--json", "haus.csv"},
     0,
     R"({"file":"haus.csv","valid":true,"variant":"MOLK","error":null})"
     "\n",
     "",
     {}},
    {"check text fault json",
     {"bad.csv"},
     {"check", "--json", "bad.csv"},
     1,
     R"({"file":"bad.csv","valid":false,"variant":null,"error":{"code":"bad-point-row",)"
     R"("message":"expected a point row with its three coordinates X, Y and Z",)"
     R"("konvert_message":"falsches Punktformat in Zeile 3!","line":3}})"
     "\n",
     "",
     {}},
    {"check text fault GNU line",
     {"bad.csv"},
     {"check", "bad.csv"},
     1,
     "",
     "bad.csv:3: error: expected a point row with its three coordinates X, Y and Z "
     "(konvert: falsches Punktformat in Zeile 3!)\n",
     {}},
    {"check not a Kon file",
     {"notes.txt"},
     {"check", "notes.txt"},
     1,
     "",
     "notes.txt: byte 0: error: " + kNotKon + " (konvert: Falsche Versionskennung: 6c6c6568!)",
     {}},
    {"check truncated archive",
     {"short.kon"},
     {"check", "short.kon"},
     1,
     "",
     "short.kon: byte 100: error:",
     {}},
    {"check missing file json",
     {},
     {"check", "--json", "none.kon"},
     1,
     R"({"file":"none.kon","valid":false,"variant":null,"error":{"code":"cannot-open",)"
     R"("message":"cannot open the file for reading","konvert_message":"Can't open none.kon!"}})"
     "\n",
     "",
     {}},
    {"check TAV names konvert's refusal",
     {"tav.csv"},
     {"check", "tav.csv"},
     0,
     "tav.csv: valid TAV Kon text file (konvert itself refuses to convert TAV models)\n",
     "",
     {}},
    // convert: naming, formats and settings
    {"archive to text as konvert",
     {"haus.kon"},
     {"convert", "haus.kon"},
     0,
     "",
     "",
     {{"haus.csv", "konvert"}}},
    {"text to archive as konvert, naming what a MOLK archive leaves out",
     {"haus.csv"},
     {"convert", "haus.csv"},
     0,
     "",
     "haus.csv: warning: 1 supplement entries are left out: a MOLK archive holds none\n",
     {{"haus.kon", "konvert"}}},
    {"TAV converted", {"tav.csv"}, {"convert", "tav.csv"}, 0, "", "", {{"tav.kon", "\x80\x16"}}},
    {"existing output refused",
     {"haus.kon", "haus.csv"},
     {"convert", "haus.kon"},
     1,
     "",
     "haus.csv: error: exists; use --force to replace it\n",
     {{"haus.csv", "=haus.csv"}}},
    {"force replaces",
     {"haus.kon", "c.csv"},
     {"convert", "--force", "haus.kon", "-o", "c.csv"},
     0,
     "",
     "",
     {{"c.csv", "KON;MOLK"}}},
    {"--to with -o file",
     {"haus.kon"},
     {"convert", "--to", "kon", "haus.kon", "-o", "copy.kon"},
     0,
     "",
     "",
     {{"copy.kon", "=haus.kon"}}},
    {"-o extension picks the format",
     {"haus.kon"},
     {"convert", "haus.kon", "-o", "copy.kon"},
     0,
     "",
     "",
     {{"copy.kon", "=haus.kon"}}},
    {"output is its own input",
     {"haus.kon"},
     {"convert", "--to", "kon", "haus.kon"},
     1,
     "",
     "is the input itself",
     {{"haus.kon", "=haus.kon"}}},
    {"separator and extension",
     {"haus.kon"},
     {"convert", "haus.kon", "--separator", "tab", "--extension", "txt"},
     0,
     "",
     "",
     {{"haus.txt", "KON\tMOLK\r\nX\tY\tZ"}, {"haus.csv", "absent"}}},
    {"faulty input writes nothing",
     {"bad.csv"},
     {"convert", "bad.csv"},
     1,
     "",
     "bad.csv:3: error:",
     {{"bad.kon", "absent"}}},
    // several inputs
    {"several into a folder, one bad",
     {"a.kon", "bad.csv", "c.csv", "out/"},
     {"convert", "a.kon", "bad.csv", "c.csv", "-o", "out"},
     1,
     "",
     "converted 2, failed 1\n",
     {{"out/a.csv", "KON;MOLK"}, {"out/c.kon", "konvert:c.csv"}, {"out/bad.kon", "absent"}}},
    {"two workers",
     {"a.kon", "b.kon", "c.csv", "haus.csv"},
     {"convert", "-j", "2", "a.kon", "b.kon", "c.csv", "haus.csv"},
     0,
     "",
     "converted 4, failed 0\n",
     {{"a.csv", "KON;MOLK"}, {"b.csv", "KON;MOLK"}, {"c.kon", "konvert:c.csv"}}},
    {"one output for two inputs",
     {"haus.csv", "out/"},
     {"convert", "haus.csv", "out/../haus.csv", "-o", "out"},
     1,
     "",
     "converted 1, failed 1\n",
     {}},
    // the command line
    {"no command", {}, {}, 2, "", "Usage: kon", {}},
    {"unknown format",
     {"haus.kon"},
     {"convert", "--to", "dxf", "haus.kon"},
     2,
     "",
     "Usage: kon convert",
     {{"haus.dxf", "absent"}}},
    {"separator that reads as a number",
     {"haus.kon"},
     {"convert", "--separator", ",", "haus.kon"},
     2,
     "",
     "--separator",
     {{"haus.csv", "absent"}}},
    {"-o not a folder for several",
     {"a.kon", "b.kon"},
     {"convert", "a.kon", "b.kon", "-o", "x"},
     2,
     "",
     "existing folder",
     {}},
    {"formats", {}, {"formats"}, 0, "*", "", {}},
    {"version", {}, {"--version"}, 0, "kon " KON_VERSION "\n", "", {}},
};

TEST(KonCli, Table) {
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.name);
        const KonRun run = RunKon(row.given, row.args);
        EXPECT_EQ(run.result.exitCode, row.exit) << run.result.err;
        if (row.out != "*") {
            EXPECT_EQ(run.result.out, row.out);
        }
        if (row.exit != 0 || !row.err.empty()) {
            EXPECT_NE(run.result.err.find(row.err), std::string::npos) << run.result.err;
        }
        if (row.err.size() > 1 && row.err.back() == '\n' && row.err.find("converted") == 0) {
            EXPECT_TRUE(run.result.err.ends_with(row.err)) << run.result.err;
        }
        for (const auto& [file, expected] : row.files) {
            const auto found = run.files.find(file);
            if (expected == "absent") {
                EXPECT_EQ(found, run.files.end()) << file;
                continue;
            }
            ASSERT_NE(found, run.files.end()) << file;
            if (expected == "konvert" || expected.starts_with("konvert:")) {
                const std::string input = expected == "konvert"
                                              ? row.given.front()
                                              : expected.substr(std::string("konvert:").size());
                const std::string name = fs::path(file).filename().string();
                EXPECT_EQ(found->second, KonvertOutput(input, name)) << file;
            } else if (expected.starts_with("=")) {
                EXPECT_EQ(found->second, Given(expected.substr(1))) << file;
            } else {
                EXPECT_NE(found->second.find(expected), std::string::npos) << file;
            }
        }
    }
}

// The human info lists every count and the bounds; formats lists the Kon forms.
TEST(KonCli, InfoAndFormatsText) {
    const KonRun info = RunKon({"haus.csv"}, {"info", "haus.csv"});
    for (const char* part :
         {"Kon text file, MOLK, 320 bytes", "polygons         3 (1 with 2, 2 with 3 corners)",
          "supplements      1", "bounds           min (0, 0, -250), max (1000, 1000, 0)"}) {
        EXPECT_NE(info.result.out.find(part), std::string::npos) << part << "\n" << info.result.out;
    }
    const KonRun formats = RunKon({}, {"formats"});
    EXPECT_EQ(formats.result.out.substr(0, 22), "kon   read,write .kon ");
    EXPECT_NE(formats.result.out.find("\ncsv   read,write .csv "), std::string::npos);
}

// convert never reads standard input: what kon leaves of it, cat still gets.
TEST(KonCli, StandardInputIsNeverRead) {
    Sandbox box;
    box.Write("haus.csv", Given("haus.csv"));
    box.Write("run.sh", Env("KON_WRAPPER", "") + " '" + Env("KON_PROGRAM", KON_DEFAULT_PROGRAM) +
                            "' convert haus.csv; cat > rest.txt\n");
    box.SetProgram("/bin/sh");
    const std::string input = "j\nj\nj\n";
    const RunResult result = box.Run({"run.sh"}, input);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(box.Read("rest.txt"), input);
    EXPECT_FALSE(box.Read("haus.kon").empty());
}

}  // namespace
}  // namespace kon::test
