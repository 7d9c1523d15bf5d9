// The real program in both directions: naming by the input's extension,
// faulty inputs, the overwrite question and outputs that cannot be written.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "support/archive_builder.h"
#include "support/haus_model.h"
#include "support/konvert_runner.h"

namespace kon::test {
namespace {

namespace fs = std::filesystem;
using Files = std::map<std::string, std::string>;

const std::string kHausCsv = ExampleFile("haus.csv");
const std::string kHausKon = ArchiveBytes(HausModell());

// A MOLK archive in the writer's own order, so converting it reproduces it;
// it and its text are beyond a file-size limit of one block in any block size.
std::string Sample(std::uint32_t kennung = 2880, std::uint32_t format = 2025) {
    std::vector<CObPunkt> points(60);
    for (std::size_t i = 0; i < points.size(); ++i) {
        points[i].X = static_cast<std::int32_t>(i) * 1000003;
        points[i].Res2 = 0xC0FFEE00u + static_cast<std::uint32_t>(i);
        points[i].TexY = -0.0f;
    }
    CObFormat turned;
    turned.RotZ = 1.5;
    return ArchiveBuilder()
        .Header(kennung, format)
        .Punkte(points)
        .Index({V(0), V(1), P(1), P(2), V(4), V(7), V(9), P(0), P(1), P(2), P(3), P(4), V(9), V(9)})
        .Formate({CObFormat{}, turned})
        .Linien("CObStrichLinie", {})
        .Linien("CObLinie", {Linie{0, 0, 3, 4, 5.0}, Linie{1, 1, 1, 2, 1.0}})
        .Word(0)
        .Linien("CObMassLinie", {Linie{1, 0, 2, 0, 1.0}})
        .bytes();
}

std::string Question(const std::string& output) {
    return "Datei " + output + " ist schon vorhanden! Ueberschreiben ? <j/n> ";
}

TEST(ConvertE2eTest, WritesTheOtherFormNextToTheInput) {
    // Lower case, a byte order mark, LF, tabs and a Ctrl-Z with text behind it.
    const std::string loose =
        "\xEF\xBB\xBF" +
        Replaced(Replaced(Replaced(kHausCsv, "KON;MOLK", "kon;molk"), "\r\n", "\n"), ";", "\t") +
        "\x1A" + "1;2\n";
    const struct {
        std::string input, inputBytes, output, outputBytes;
    } cases[] = {
        {"model.dat", Sample(), "model.kon", Sample()},
        {"haus.csv", kHausCsv, "haus.kon", kHausKon},
        {"sub/model.KON", kHausKon, "sub/model.csv", HausArchiveText()},
        {"x.kon", kHausCsv, "x.csv", kHausCsv},  // text named .kon stays text
        {"ordner.v2/model", kHausCsv, "ordner.v2/model.kon", kHausKon},
        {"lose.txt", loose, "lose.kon", kHausKon},
        {"lose.kon", loose, "lose.csv", kHausCsv},  // written with the program's separator
    };
    ASSERT_FALSE(kHausCsv.empty());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input);
        Sandbox sandbox;
        sandbox.Write(c.input, c.inputBytes);
        const RunResult result = sandbox.Run({c.input}, "\n");
        EXPECT_EQ(result.exitCode, 0);
        EXPECT_EQ(result.out, "OK --> ");
        EXPECT_EQ(result.err, "");
        EXPECT_EQ(sandbox.Files(), (Files{{c.input, c.inputBytes}, {c.output, c.outputBytes}}));
    }
}

TEST(ConvertE2eTest, FaultyInputIsReportedAndNothingWritten) {
    const struct {
        std::string input, bytes, out;
    } cases[] = {
        {"sub/in.dat", Sample(5760, 4000), ""},  // a TAV archive is read completely first
        {"sub/in.dat", ArchiveBuilder().Header().Word(1).Word(5).Word(0).bytes(),
         "I: 5 S: -1\nFormatfehler 7 in sub/in.dat!\nReturn->EOF not found!Return->"},
        {"sub/in.dat", Sample().substr(0, 700), "Unerwartetes Dateiende in sub/in.dat!\nReturn->"},
        {"sub/in.csv", "KON;MOLK\r\nX\r\n1;2;3\n4;5;6\nFlaechen\n0;1\n\n0;1;2\nScalX\n",
         "falscher Punkt 2 in Zeile 8!\nReturn->"},
    };
    for (const auto& c : cases) {
        Sandbox sandbox;
        sandbox.Write(c.input, c.bytes);
        const RunResult result = sandbox.Run({c.input}, "\n\n\n");
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_EQ(result.out, c.out + "--> ");
        EXPECT_EQ(result.err, c.input + " ist fehlerhaft\n");
        EXPECT_EQ(sandbox.Files(), (Files{{c.input, c.bytes}}));
    }
}

TEST(ConvertE2eTest, OnlyJOrCapitalJOverwrites) {
    const struct {
        bool toText;
        std::string answer;
        bool overwrites;
    } cases[] = {{false, "j\n\n", true}, {false, "Jein\n\n", true}, {false, "n\n", false},
                 {false, "y\n", false},  {false, "\n", false},      {false, " j\n", false},
                 {false, "", false},     {true, "j\n\n", true},     {true, "", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE((c.toText ? "text: '" : "archive: '") + c.answer + "'");
        // The question names the output's last component only.
        const std::string input = c.toText ? "sub/model.kon" : "sub/model.dat";
        const std::string output = c.toText ? "sub/model.csv" : "sub/model.kon";
        const std::string inputBytes = c.toText ? kHausKon : Sample();
        const std::string converted = c.toText ? HausArchiveText() : Sample();
        Sandbox sandbox;
        sandbox.Write(input, inputBytes);
        sandbox.Write(output, "alt");
        const RunResult result = sandbox.Run({input}, c.answer);
        EXPECT_EQ(result.exitCode, c.overwrites ? 0 : 1);
        EXPECT_EQ(result.out, Question(output.substr(4)) + (c.overwrites ? "OK --> " : ""));
        EXPECT_EQ(result.err, "");
        EXPECT_EQ(sandbox.Files(),
                  (Files{{input, inputBytes}, {output, c.overwrites ? converted : "alt"}}));
    }
}

// A directory where the output belongs, and a write beyond the file-size
// limit: each writer's report, and everything left as it was.
TEST(ConvertE2eTest, OutputThatCannotBeWrittenLeavesEverythingAsItWas) {
    const struct {
        std::string input, output, prefix, out, err;
    } cases[] = {
        {"model.dat", "model.kon", "", "Can't open model.kon!\nReturn->", ""},
        {"model.kon", "model.csv", "", "--> ", "model.csv: Can't open\n"},
        {"model.dat", "model.kon", "ulimit -f 1; trap '' XFSZ;",
         "Fehler beim Schreiben von model.kon!\nReturn->", ""},
        {"model.kon", "model.csv", "ulimit -f 1; trap '' XFSZ;",
         "Fehler beim Schreiben von model.csv!\nReturn->", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.output + " " + c.prefix);
        Sandbox sandbox;
        sandbox.Write(c.input, Sample());
        Files before{{c.input, Sample()}};
        if (c.prefix.empty()) {
            fs::create_directory(sandbox.dir() / "work" / c.output);
        } else {
            sandbox.Write(c.output, "alt");
            before[c.output] = "alt";
        }
        sandbox.SetCommandPrefix(c.prefix);
        const RunResult result = sandbox.Run({c.input}, "j\n\n");
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_EQ(result.out, Question(c.output) + c.out);
        EXPECT_EQ(result.err, c.err);
        EXPECT_EQ(sandbox.Files(), before);  // no temporary file left either
    }
}

// A replaced output keeps what a write in place would keep: a symbolic link
// stays a link to the file that gets the text, and that file keeps its mode;
// a new output gets 0666 less the umask.
TEST(ConvertE2eTest, OutputKeepsItsLinkAndMode) {
    if (!RunsBuiltProgram()) GTEST_SKIP() << "links and modes of this platform only";
    using fs::perms;
    Sandbox sandbox;
    const fs::path work = sandbox.dir() / "work";
    sandbox.Write("model.kon", kHausKon);
    sandbox.Write("neu.kon", kHausKon);
    sandbox.Write("ziel/echt.csv", "alt");
    const perms kept = perms::owner_read | perms::owner_write | perms::others_read;
    fs::permissions(work / "ziel/echt.csv", kept);
    fs::create_symlink("ziel/echt.csv", work / "model.csv");
    sandbox.SetCommandPrefix("umask 027;");

    EXPECT_EQ(sandbox.Run({"model.kon"}, "j\n\n").out, Question("model.csv") + "OK --> ");
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(work / "model.csv")));
    EXPECT_EQ(fs::status(work / "ziel/echt.csv").permissions(), kept);
    EXPECT_EQ(sandbox.Run({"neu.kon"}, "\n").out, "OK --> ");
    EXPECT_EQ(fs::status(work / "neu.csv").permissions(),
              perms::owner_read | perms::owner_write | perms::group_read);
    // The link itself is no regular file; its target holds the text.
    EXPECT_EQ(sandbox.Files(), (Files{{"model.kon", kHausKon},
                                      {"neu.kon", kHausKon},
                                      {"neu.csv", HausArchiveText()},
                                      {"ziel/echt.csv", HausArchiveText()}}));
}

// One polygon of 65536 corners: more than an archive's index array holds,
// so it is refused before any file is made, while a text output takes it.
TEST(ConvertE2eTest, ModelTooLargeForAnArchiveOnlyGoesToText) {
    std::string text =
        "KON;MOLK\r\nX;Y;Z;R;G;B;TexId;TexX;TexY\r\n1;2;3;0;0;0;0;0,0000;0,0000\r\nFlaechen\r\n0";
    for (int n = 1; n < 65536; ++n) text += ";0";
    text += "\r\nScalX;ScalY;ScalZ;RotX;RotY;RotZ;MoveX;MoveY;MoveZ\r\n";
    Sandbox sandbox;
    sandbox.Write("a/gross.csv", text);
    sandbox.Write("b/gross.kon", text);
    const RunResult refused = sandbox.Run({"a/gross.csv"}, "\n\n");
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(refused.out, "Modell zu gross fuer ein Kon-Archiv!\nReturn->");
    EXPECT_EQ(refused.err, "");
    EXPECT_EQ(sandbox.Run({"b/gross.kon"}, "\n").exitCode, 0);
    EXPECT_EQ(sandbox.Read("b/gross.csv"), text);  // written as the writer's own text was read
    EXPECT_EQ(sandbox.Files().size(), 3u);
}

}  // namespace
}  // namespace kon::test
