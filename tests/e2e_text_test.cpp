// The text branch of the real program in both directions: naming by the
// input's extension, the looser text forms, reader faults, the overwrite
// question and outputs that cannot be written.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "support/haus_model.h"
#include "support/konvert_runner.h"

namespace kon::test {
namespace {

using Files = std::map<std::string, std::string>;

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

const std::string kHausCsv = ExampleFile("haus.csv");
const std::string kHausKon = ArchiveBytes(HausModell());
const std::string kBom = "\xEF\xBB\xBF";

struct ConversionCase {
    const char* name;
    std::string input;
    std::string inputBytes;
    std::string output;
    std::string outputBytes;
};

void PrintTo(const ConversionCase& c, std::ostream* os) {
    *os << c.name;
}

class ConversionE2eTest : public ::testing::TestWithParam<ConversionCase> {};

TEST_P(ConversionE2eTest, WritesTheOtherFormNextToTheInput) {
    const ConversionCase& c = GetParam();
    ASSERT_FALSE(kHausCsv.empty());
    Sandbox sandbox;
    sandbox.Write(c.input, c.inputBytes);
    const RunResult result = sandbox.Run({c.input}, "\n");
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, "OK --> ");
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(sandbox.Files(), (Files{{c.input, c.inputBytes}, {c.output, c.outputBytes}}));
}

// The text the example becomes with LF line ends, a tab separator or both.
const std::string kHausLf = Replaced(kHausCsv, "\r\n", "\n");
const std::string kHausTab = Replaced(kHausCsv, ";", "\t");

INSTANTIATE_TEST_SUITE_P(
    Names, ConversionE2eTest,
    ::testing::Values(
        ConversionCase{"ExampleToArchive", "haus.csv", kHausCsv, "haus.kon", kHausKon},
        ConversionCase{"ArchiveToText", "model.kon", kHausKon, "model.csv", HausArchiveText()},
        ConversionCase{"UpperCaseKon", "model.KON", kHausKon, "model.csv", HausArchiveText()},
        ConversionCase{"TextNamedKonStaysText", "x.kon", kHausCsv, "x.csv", kHausCsv},
        ConversionCase{"TextWithoutExtension", "model", kHausCsv, "model.kon", kHausKon},
        ConversionCase{"OtherExtension", "model.txt", kHausCsv, "model.kon", kHausKon},
        ConversionCase{"DotInDirectoryOnly", "ordner.v2/model", kHausCsv, "ordner.v2/model.kon",
                       kHausKon},
        ConversionCase{"LowerCaseMark", "klein.csv", Replaced(kHausCsv, "KON;MOLK", "kon;molk"),
                       "klein.kon", kHausKon},
        ConversionCase{"ByteOrderMark", "bom.csv", kBom + kHausCsv, "bom.kon", kHausKon},
        ConversionCase{"LfOnly", "lf.csv", kHausLf, "lf.kon", kHausKon},
        ConversionCase{"TabSeparator", "tab.csv", kHausTab, "tab.kon", kHausKon},
        ConversionCase{"CtrlZEndsTheText", "z.csv", kHausCsv + "\x1A" + "1;2\r\n", "z.kon",
                       kHausKon},
        ConversionCase{"BomLfAndTab", "alle.csv", kBom + Replaced(kHausLf, ";", "\t"), "alle.kon",
                       kHausKon},
        // Read with the file's own separator, written with the program's.
        ConversionCase{"LooseTextNamedKon", "lose.kon", kBom + Replaced(kHausLf, ";", "\t"),
                       "lose.csv", kHausCsv}),
    [](const auto& tc) { return std::string(tc.param.name); });

struct FaultyTextCase {
    const char* name;
    std::string text;
    std::string message;
};

void PrintTo(const FaultyTextCase& c, std::ostream* os) {
    *os << c.name;
}

class FaultyTextE2eTest : public ::testing::TestWithParam<FaultyTextCase> {};

TEST_P(FaultyTextE2eTest, ReportedAndNothingWritten) {
    const FaultyTextCase& c = GetParam();
    Sandbox sandbox;
    sandbox.Write("sub/in.csv", c.text);
    const RunResult result = sandbox.Run({"sub/in.csv"}, "\n\n\n");
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out, c.message + "Return->--> ");
    EXPECT_EQ(result.err, "sub/in.csv ist fehlerhaft\n");
    EXPECT_EQ(sandbox.Files(), (Files{{"sub/in.csv", c.text}}));
}

const std::string kHead = "KON;MOLK\r\nX;Y;Z\r\n";
const std::string kKeywords = "Flaechen\r\nScalX\r\n";

INSTANTIATE_TEST_SUITE_P(
    Inputs, FaultyTextE2eTest,
    ::testing::Values(
        FaultyTextCase{"NoSeparator", "KON\r\nX\r\n" + kKeywords, "Falsches Kon-Format!\n"},
        FaultyTextCase{"UnknownVariant", "KON;MOL\r\nX\r\n" + kKeywords, "Falscher Kon-Typ!\n"},
        FaultyTextCase{"NoColumnHeader", "KON;MOLK\r\nY;X\r\n" + kKeywords,
                       "Punkteliste nicht gefunden!\n"},
        FaultyTextCase{"NoPolygonKeyword", kHead + "1;2;3\r\nScalX\r\n",
                       "Flaechenliste nicht gefunden!\n"},
        FaultyTextCase{"NoInstanceKeyword", kHead + "1;2;3\r\nFlaechen\r\n0\r\n",
                       "Instanzen nicht gefunden!\n"},
        FaultyTextCase{"ShortPointAfterBlankLine", kHead + "1;2;3\r\n;;\r\n1;2\r\n" + kKeywords,
                       "falsches Punktformat in Zeile 5!\n"},
        FaultyTextCase{"PolygonNamesMissingPoint",
                       kHead + "1;2;3\n4;5;6\nFlaechen\n0;1\n\n0;1;2\nScalX\n",
                       "falscher Punkt 2 in Zeile 8!\n"},
        FaultyTextCase{"ShortInstance", kHead + kKeywords + "1;1;1;0;0;0;5;6\r\n",
                       "falsches Instanzformat in Zeile 5!\n"},
        // Line 3 up to line 32769 fill the point section; line 32770 is one too many.
        FaultyTextCase{"TooManyLines", kHead + std::string(32768, '\n') + kKeywords,
                       "zu viele Zeilen in Zeile 32770!\n"}),
    [](const auto& tc) { return std::string(tc.param.name); });

const std::string kQuestion = "Datei model.csv ist schon vorhanden! Ueberschreiben ? <j/n> ";

struct AnswerCase {
    const char* name;
    std::string answer;
    bool overwrites;
};

void PrintTo(const AnswerCase& c, std::ostream* os) {
    *os << c.name;
}

class TextOverwriteE2eTest : public ::testing::TestWithParam<AnswerCase> {};

TEST_P(TextOverwriteE2eTest, OnlyJOrCapitalJOverwrites) {
    const AnswerCase& c = GetParam();
    Sandbox sandbox;
    sandbox.Write("sub/model.kon", kHausKon);
    sandbox.Write("sub/model.csv", "alt");
    const RunResult result = sandbox.Run({"sub/model.kon"}, c.answer);
    EXPECT_EQ(result.exitCode, c.overwrites ? 0 : 1);
    // The question names the output's last component only.
    EXPECT_EQ(result.out, kQuestion + (c.overwrites ? "OK --> " : ""));
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(sandbox.Files(),
              (Files{{"sub/model.kon", kHausKon},
                     {"sub/model.csv", c.overwrites ? HausArchiveText() : "alt"}}));
}

INSTANTIATE_TEST_SUITE_P(Answers, TextOverwriteE2eTest,
                         ::testing::Values(AnswerCase{"j", "j\n\n", true},
                                           AnswerCase{"JWithMore", "Ja\n\n", true},
                                           AnswerCase{"n", "n\n", false},
                                           AnswerCase{"EndOfInput", "", false}),
                         [](const auto& tc) { return std::string(tc.param.name); });

TEST(TextE2eTest, DirectoryInTheWayCannotBeOpened) {
    Sandbox sandbox;
    sandbox.Write("model.kon", kHausKon);
    std::filesystem::create_directory(sandbox.dir() / "work" / "model.csv");
    const RunResult result = sandbox.Run({"model.kon"}, "j\n\n");
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out, kQuestion + "--> ");
    EXPECT_EQ(result.err, "model.csv: Can't open\n");
    EXPECT_EQ(sandbox.Files(), (Files{{"model.kon", kHausKon}}));
    EXPECT_TRUE(std::filesystem::is_directory(sandbox.dir() / "work" / "model.csv"));
}

// A replaced output keeps what a write in place would keep: a symbolic link
// stays a link to the file that gets the text, and that file keeps its mode;
// a new output gets 0666 less the umask.
TEST(TextE2eTest, OutputKeepsItsLinkAndMode) {
    if (!RunsBuiltProgram()) GTEST_SKIP() << "links and modes of this platform only";
    namespace fs = std::filesystem;
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

    const RunResult replaced = sandbox.Run({"model.kon"}, "j\n\n");
    EXPECT_EQ(replaced.exitCode, 0);
    EXPECT_EQ(replaced.out, kQuestion + "OK --> ");
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(work / "model.csv")));
    EXPECT_EQ(fs::status(work / "ziel/echt.csv").permissions(), kept);

    const RunResult fresh = sandbox.Run({"neu.kon"}, "\n");
    EXPECT_EQ(fresh.exitCode, 0);
    EXPECT_EQ(fs::status(work / "neu.csv").permissions(),
              perms::owner_read | perms::owner_write | perms::group_read);
    // The link itself is no regular file; its target holds the text.
    EXPECT_EQ(sandbox.Files(), (Files{{"model.kon", kHausKon},
                                      {"neu.kon", kHausKon},
                                      {"neu.csv", HausArchiveText()},
                                      {"ziel/echt.csv", HausArchiveText()}}));
}

// A model whose text is well beyond one block of the file-size limit.
KonModell ManyPoints() {
    KonModell model;
    model.Punkte.resize(200);
    for (std::size_t i = 0; i < model.Punkte.size(); ++i) {
        model.Punkte[i].X = static_cast<std::int32_t>(i) * 1000003;
    }
    model.PunktAnzahl = 200;
    return model;
}

TEST(TextE2eTest, FailedWriteLeavesTheOldOutput) {
    Sandbox sandbox;
    const std::string archive = ArchiveBytes(ManyPoints());
    sandbox.Write("model.kon", archive);
    sandbox.Write("model.csv", "alt");
    sandbox.SetCommandPrefix("ulimit -f 1; trap '' XFSZ;");
    const RunResult result = sandbox.Run({"model.kon"}, "j\n\n");
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out, kQuestion + "Fehler beim Schreiben von model.csv!\nReturn->");
    EXPECT_EQ(result.err, "");
    // The old output is kept and no temporary file is left.
    EXPECT_EQ(sandbox.Files(), (Files{{"model.kon", archive}, {"model.csv", "alt"}}));
}

// One polygon of 65536 corners: more than an archive's index array holds,
// so it is refused before any file is made, while a text output takes it.
TEST(TextE2eTest, ModelTooLargeForAnArchiveOnlyGoesToText) {
    std::string row = "0";
    for (int n = 1; n < 65536; ++n) row += ";0";
    const std::string text = "KON;MOLK\nX\n1;2;3\nFlaechen\n" + row + "\nScalX\n";
    Sandbox sandbox;
    sandbox.Write("a/gross.csv", text);
    sandbox.Write("b/gross.kon", text);

    const RunResult refused = sandbox.Run({"a/gross.csv"}, "\n\n");
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(refused.out, "Modell zu gross fuer ein Kon-Archiv!\nReturn->");
    EXPECT_EQ(refused.err, "");

    const RunResult asText = sandbox.Run({"b/gross.kon"}, "\n");
    EXPECT_EQ(asText.exitCode, 0);
    const std::string expected =
        "KON;MOLK\r\nX;Y;Z;R;G;B;TexId;TexX;TexY\r\n1;2;3;0;0;0;0;0,0000;0,0000\r\n"
        "Flaechen\r\n" +
        row + "\r\nScalX;ScalY;ScalZ;RotX;RotY;RotZ;MoveX;MoveY;MoveZ\r\n";
    EXPECT_EQ(sandbox.Files(),
              (Files{{"a/gross.csv", text}, {"b/gross.kon", text}, {"b/gross.csv", expected}}));
}

}  // namespace
}  // namespace kon::test
