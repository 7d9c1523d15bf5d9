// Faults a hostile user or a busy machine brings about: closed standard
// streams, file-size limits, signals, foreign owners, hard links, link loops,
// an input rewritten while it is read, and edges crafted against the hash.
// Process-level faults run the real program and check its exit, its console
// bytes and every entry left in the folder.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "model/kanten_liste.h"
#include "support/crafted_edges.h"

#ifndef _WIN32
#include <fcntl.h>
#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <thread>
#endif

namespace kon {
namespace {

namespace fs = std::filesystem;

TEST(FaultScenarioTest, CraftedEdgesCostAboutAsMuchAsRandomOnes) {
    constexpr std::size_t kEdges = 5000;
    const auto probes = [](const std::vector<test::Edge>& edges) {
        KantenListe tally(edges.size());
        for (const auto& [a, b] : edges) tally.Count(a, b);
        const std::size_t probed = tally.Probes();
        EXPECT_EQ(tally.TakeKanten().size(), edges.size());
        return probed;
    };
    // A tally fooled by the keys would walk one run of thousands of slots
    // for each edge.
    EXPECT_LE(probes(test::CraftedEdges(kEdges)), 4 * probes(test::RandomEdges(kEdges)) + kEdges);
}

#ifndef _WIN32

#ifndef KONVERT_DEFAULT_COMMAND
#define KONVERT_DEFAULT_COMMAND "konvert"
#endif

// $KONVERT_COMMAND when it names a program file (another build), else this build's.
std::string Program() {
    const char* command = std::getenv("KONVERT_COMMAND");
    if (command != nullptr && fs::is_regular_file(command)) return command;
    return KONVERT_DEFAULT_COMMAND;
}

std::string Slurp(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void Put(const fs::path& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary) << bytes;
}

// A text model of `points` points and `polygons` triangles.
std::string TextModel(int points, int polygons) {
    std::string text = "KON;MOLK\nX;Y;Z;R;G;B;TexId;TexX;TexY\n";
    for (int i = 0; i < points; ++i) {
        const std::string n = std::to_string(i);
        text += n + ";-" + n + "7;1" + n + ";1;2;3;0;0,5000;0,2500\n";
    }
    text += "Flaechen\n";
    for (int i = 0; i < polygons; ++i) {
        text += std::to_string(i % points) + ";" + std::to_string((i + 1) % points) + ";" +
                std::to_string((i + 2) % points) + "\n";
    }
    return text + "ScalX;ScalY;ScalZ;RotX;RotY;RotZ;MoveX;MoveY;MoveZ\n";
}

// One folder for a run, and beside it the console files and standard input.
class Scene {
  public:
    Scene() {
        std::string pattern = (fs::temp_directory_path() / "konvert-fault-XXXXXX").string();
        root_ = mkdtemp(pattern.data());
        fs::create_directory(dir());
    }
    ~Scene() {
        std::error_code ec;
        fs::remove_all(root_, ec);
    }
    Scene(const Scene&) = delete;
    Scene& operator=(const Scene&) = delete;

    fs::path dir() const { return root_ / "w"; }
    fs::path operator/(const std::string& name) const { return dir() / name; }
    fs::path Beside(const std::string& name) const { return root_ / name; }

    // Every entry of the folder: a file's bytes, or "-> target" for a link.
    std::map<std::string, std::string> Entries() const {
        std::map<std::string, std::string> entries;
        for (const auto& entry : fs::directory_iterator(dir())) {
            const std::string name = entry.path().filename().string();
            entries[name] =
                entry.is_symlink() ? "-> " + fs::read_symlink(entry).string() : Slurp(entry.path());
        }
        return entries;
    }

  private:
    fs::path root_;
};

struct Launch {
    bool closedStdin = false;  // else "j" and an empty line
    rlim_t fileSizeLimit = RLIM_INFINITY;
    uid_t user = 0;  // 0: as the test runs; else this user, with group 2000 added
};

// Standard output and error share one pipe (no file-size limit there), so
// the console bytes keep their order; their few bytes fit its buffer.
struct Started {
    pid_t pid = -1;
    int console = -1;
};

Started Start(const Scene& scene, const std::string& inputName, const Launch& launch = {}) {
    const std::string stdinPath = scene.Beside("stdin").string();
    const std::string dir = scene.dir().string();
    Put(stdinPath, "j\n\n");
    std::string program = Program();
    std::string input = inputName;
    char* argv[] = {program.data(), input.data(), nullptr};
    int console[2];
    if (pipe(console) != 0) return {};
    const pid_t pid = fork();
    if (pid != 0) {
        close(console[1]);
        return {pid, console[0]};
    }
    // The child: only calls that are safe after fork.
    const int in = open(stdinPath.c_str(), O_RDONLY);
    if (in < 0 || dup2(in, 0) < 0 || dup2(console[1], 1) < 0 || dup2(console[1], 2) < 0 ||
        chdir(dir.c_str()) != 0) {
        _exit(126);
    }
    for (const int fd : {in, console[0], console[1]}) close(fd);
    if (launch.closedStdin) close(0);
    const rlimit limit{launch.fileSizeLimit, launch.fileSizeLimit};
    const gid_t groups[] = {2000};
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0 || signal(SIGXFSZ, SIG_DFL) == SIG_ERR ||
        (launch.user != 0 &&
         (setgroups(1, groups) != 0 || setgid(launch.user) != 0 || setuid(launch.user) != 0))) {
        _exit(126);
    }
    execv(argv[0], argv);
    _exit(127);
}

struct Outcome {
    int status = 0;
    std::string console;
};

Outcome Finish(const Started& started) {
    Outcome outcome;
    char chunk[4096];
    for (ssize_t got; (got = read(started.console, chunk, sizeof chunk)) > 0;) {
        outcome.console.append(chunk, static_cast<std::size_t>(got));
    }
    close(started.console);
    waitpid(started.pid, &outcome.status, 0);
    return outcome;
}

Outcome RunKonvert(const Scene& scene, const std::string& inputName, const Launch& launch = {}) {
    return Finish(Start(scene, inputName, launch));
}

// What `input` converts to, from a run in a folder of its own.
std::string Converted(const std::string& inputName, const std::string& inputBytes,
                      const std::string& outputName) {
    const Scene scene;
    Put(scene / inputName, inputBytes);
    RunKonvert(scene, inputName);
    return Slurp(scene / outputName);
}

std::string Question(const std::string& output) {
    return "Datei " + output + " ist schon vorhanden! Ueberschreiben ? <j/n> ";
}

const std::string kHausCsv = Slurp(fs::path(KONVERT_EXAMPLES_DIR) / "haus.csv");
const std::string kHausKon = Slurp(fs::path(KONVERT_EXAMPLES_DIR) / "haus.kon");

struct FaultRow {
    const char* name;
    std::function<void(const Scene&)> setUp;  // the folder besides haus.csv
    Launch launch;
    int exitCode;
    std::string console;
    std::vector<std::string> renewed;  // entries that hold the new archive afterwards
    bool asRoot = false;               // needs root to give files away
    std::string input = "haus.csv";    // converted to haus.kon, or the other way
};

void PrintTo(const FaultRow& row, std::ostream* os) {
    *os << row.name;
}

void Owned(const fs::path& file, uid_t owner, gid_t group, mode_t mode) {
    if (chown(file.c_str(), owner, group) != 0 || chmod(file.c_str(), mode) != 0) {
        ADD_FAILURE() << "cannot give " << file << " away";
    }
}

const FaultRow kFaultRows[] = {
    {"ClosedStandardInputDeclines",
     [](const Scene& s) {
         // The tail an input would give as an answer if it became standard input.
         std::string tail;
         for (int i = 0; i < 20000; ++i) tail += "j\n";
         Put(s / "haus.kon", kHausKon + tail);
         Put(s / "haus.csv", "alt");
     },
     {.closedStdin = true},
     1,
     "EOF not found!Return->" + Question("haus.csv"),
     {},
     false,
     "haus.kon"},
    {"FileSizeLimitIsAWriteError",
     [](const Scene& s) {
         Put(s / "haus.csv", TextModel(32767, 16000));
         Put(s / "haus.kon", "alt");
     },
     {.fileSizeLimit = 65536},
     1,
     Question("haus.kon") + "Fehler beim Schreiben von haus.kon!\nReturn->",
     {}},
    {"LateWriteErrorKeepsTheOldOutput",
     [](const Scene& s) { Put(s / "haus.kon", "alt"); },
     {.fileSizeLimit = 100},
     1,
     Question("haus.kon") + "Fehler beim Schreiben von haus.kon!\nReturn->",
     {}},
    {"ForeignOwnerAndGroupStay",
     [](const Scene& s) {
         Put(s / "haus.kon", "alt");
         Owned(s / "haus.kon", 1001, 2000, 0664);
     },
     {},
     0,
     Question("haus.kon") + "OK --> ",
     {"haus.kon"},
     true},
    {"OwnerThatCannotBeGivenIsKeptInPlace",
     [](const Scene& s) {
         Put(s / "haus.kon", "alt");
         Owned(s / "haus.kon", 1001, 2000, 0664);
         fs::permissions(s.dir(), fs::perms::all);
         fs::permissions(s.dir().parent_path(), fs::perms::all & ~fs::perms::others_write);
     },
     {.user = 1002},
     0,
     Question("haus.kon") + "OK --> ",
     {"haus.kon"},
     true},
    {"OtherHardLinksSeeTheNewContent",
     [](const Scene& s) {
         Put(s / "haus.kon", "alt");
         fs::create_hard_link(s / "haus.kon", s / "zweit.kon");
     },
     {},
     0,
     Question("haus.kon") + "OK --> ",
     {"haus.kon", "zweit.kon"}},
    {"LinkLoopIsAskedAndNeverReplaced",
     [](const Scene& s) {
         fs::create_symlink("l2", s / "haus.kon");
         fs::create_symlink("l3", s / "l2");
         fs::create_symlink("haus.kon", s / "l3");
     },
     {},
     1,
     Question("haus.kon") + "Can't open haus.kon!\nReturn->",
     {}},
    {"OverlongLinkChainIsAskedAndNeverReplaced",
     [](const Scene& s) {
         fs::create_symlink("k1", s / "haus.kon");
         for (int i = 1; i < 45; ++i) {
             fs::create_symlink("k" + std::to_string(i + 1), s / ("k" + std::to_string(i)));
         }
     },
     {},
     1,
     Question("haus.kon") + "Can't open haus.kon!\nReturn->",
     {}},
};

class FaultRowTest : public ::testing::TestWithParam<FaultRow> {};

TEST_P(FaultRowTest, NothingIsLost) {
    const FaultRow& row = GetParam();
    if (row.asRoot && geteuid() != 0) GTEST_SKIP() << "gives files away: needs root";
    const Scene scene;
    Put(scene / "haus.csv", kHausCsv);
    row.setUp(scene);
    const std::string output = row.input == "haus.csv" ? "haus.kon" : "haus.csv";
    auto expected = scene.Entries();
    const std::string fresh = Converted(row.input, expected[row.input], output);
    for (const std::string& name : row.renewed) expected[name] = fresh;
    struct stat before {};
    lstat((scene / output).c_str(), &before);

    const Outcome outcome = RunKonvert(scene, row.input, row.launch);

    ASSERT_TRUE(WIFEXITED(outcome.status)) << "status " << outcome.status;
    EXPECT_EQ(WEXITSTATUS(outcome.status), row.exitCode);
    EXPECT_EQ(outcome.console, row.console);
    EXPECT_EQ(scene.Entries(), expected);
    struct stat after {};
    lstat((scene / output).c_str(), &after);
    EXPECT_EQ(after.st_uid, before.st_uid);
    EXPECT_EQ(after.st_gid, before.st_gid);
    EXPECT_EQ(after.st_mode, before.st_mode);
}

INSTANTIATE_TEST_SUITE_P(Faults, FaultRowTest, ::testing::ValuesIn(kFaultRows),
                         [](const auto& rowInfo) { return std::string(rowInfo.param.name); });

// Whether the system can create files without a name here; where it cannot,
// a SIGKILL may leave the hidden temporary file behind.
bool HasAnonymousFiles(const fs::path& dir) {
#ifdef O_TMPFILE
    const int fd = open(dir.c_str(), O_TMPFILE | O_WRONLY, 0600);
    if (fd < 0) return false;
    close(fd);
    return true;
#else
    return false;
#endif
}

TEST(FaultScenarioTest, SignalsAtRandomMomentsLeaveNoFileBehind) {
    constexpr int kKills = 52;
    const int signals[] = {SIGINT, SIGTERM, SIGHUP, SIGKILL};
    const std::string input = TextModel(32767, 16000);
    const std::string fresh = Converted("big.csv", input, "big.kon");
    const Scene scene;
    Put(scene / "big.csv", input);
    const bool anonymous = HasAnonymousFiles(scene.dir());
    // The time of one whole run bounds the random moments.
    Put(scene / "big.kon", "alt");
    const auto start = std::chrono::steady_clock::now();
    RunKonvert(scene, "big.csv");
    const auto span = std::chrono::duration_cast<std::chrono::microseconds>(
        std::chrono::steady_clock::now() - start);
    std::mt19937 random(20261207);
    std::uniform_int_distribution<std::int64_t> moment(0, span.count());
    for (int round = 0; round < kKills; ++round) {
        const int signalNumber = signals[round % 4];
        Put(scene / "big.kon", "alt");
        const Started started = Start(scene, "big.csv");
        std::this_thread::sleep_for(std::chrono::microseconds(moment(random)));
        kill(started.pid, signalNumber);
        const Outcome outcome = Finish(started);
        const bool finished = WIFEXITED(outcome.status) && WEXITSTATUS(outcome.status) == 0;
        EXPECT_TRUE(finished ||
                    (WIFSIGNALED(outcome.status) && WTERMSIG(outcome.status) == signalNumber))
            << "status " << outcome.status;
        auto entries = scene.Entries();
        EXPECT_TRUE(entries["big.kon"] == "alt" || entries["big.kon"] == fresh);
        if (signalNumber != SIGKILL || anonymous) {
            EXPECT_EQ(entries.size(), 2u) << "kill " << round << " with signal " << signalNumber;
        }
        for (const auto& [name, bytes] : entries) {
            if (name != "big.csv" && name != "big.kon") fs::remove(scene / name);
        }
    }
}

TEST(FaultScenarioTest, InputRewrittenWhileReadIsNeverMixed) {
    constexpr int kRuns = 60;
    const std::string versions[] = {TextModel(32767, 16000), TextModel(10000, 5000)};
    const std::string results[] = {Converted("m.csv", versions[0], "m.kon"),
                                   Converted("m.csv", versions[1], "m.kon")};
    const Scene scene;
    Put(scene / "m.csv", versions[0]);
    std::atomic<bool> done{false};
    // Rewrites the input in place, one version after the other.
    std::thread writer([&] {
        for (std::size_t i = 1; !done; ++i) {
            const std::string& bytes = versions[i % 2];
            const int fd = open((scene / "m.csv").c_str(), O_WRONLY);
            if (fd < 0) continue;
            if (write(fd, bytes.data(), bytes.size()) < 0 ||
                ftruncate(fd, static_cast<off_t>(bytes.size())) != 0) {
                ADD_FAILURE() << "rewrite failed";
            }
            close(fd);
        }
    });
    int mixed = 0;
    for (int run = 0; run < kRuns; ++run) {
        std::error_code ec;
        fs::remove(scene / "m.kon", ec);
        const Outcome outcome = RunKonvert(scene, "m.csv");
        const std::string output = Slurp(scene / "m.kon");
        if (WIFEXITED(outcome.status) && WEXITSTATUS(outcome.status) == 0) {
            mixed += output == results[0] || output == results[1] ? 0 : 1;
        } else {
            EXPECT_FALSE(fs::exists(scene / "m.kon"));
        }
    }
    done = true;
    writer.join();
    EXPECT_EQ(mixed, 0) << "runs that reported OK for a model of neither version";
}

#endif  // !_WIN32

}  // namespace
}  // namespace kon
