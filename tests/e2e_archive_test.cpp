// The archive branch of the real program: conversion, faulty and truncated
// inputs, the overwrite question and a write that fails on the disk.

#include <gtest/gtest.h>

#include <filesystem>

#include "support/archive_builder.h"
#include "support/konvert_runner.h"

namespace kon::test {
namespace {

// A MOLK archive in the writer's own order, so converting it reproduces it.
std::string Sample(std::uint32_t kennung = 2880, std::uint32_t format = 2025) {
    std::vector<CObPunkt> points(30);
    for (std::size_t i = 0; i < points.size(); ++i) {
        points[i].X = static_cast<std::int32_t>(i);
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

TEST(ArchiveE2eTest, MolkArchiveConvertsToTheSameBytes) {
    Sandbox sandbox;
    sandbox.Write("model.dat", Sample());
    const RunResult result = sandbox.Run({"model.dat"}, "\n");
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, "OK --> ");
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(sandbox.Read("model.kon"), Sample());
}

struct FaultyCase {
    const char* name;
    std::string bytes;
    std::string out;
};

void PrintTo(const FaultyCase& c, std::ostream* os) {
    *os << c.name;
}

class FaultyArchiveE2eTest : public ::testing::TestWithParam<FaultyCase> {};

TEST_P(FaultyArchiveE2eTest, ReportedAndNothingWritten) {
    Sandbox sandbox;
    sandbox.Write("sub/in.dat", GetParam().bytes);
    const RunResult result = sandbox.Run({"sub/in.dat"}, "\n\n\n");
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out, GetParam().out + "--> ");
    EXPECT_EQ(result.err, "sub/in.dat ist fehlerhaft\n");
    EXPECT_EQ(sandbox.Files().size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, FaultyArchiveE2eTest,
    ::testing::Values(FaultyCase{"TavReadCompletely", Sample(5760, 4000), ""},
                      FaultyCase{"MidFileFault",
                                 ArchiveBuilder().Header().Word(1).Word(5).Word(0).bytes(),
                                 "I: 5 S: -1\nFormatfehler 7 in sub/in.dat!\nReturn->"
                                 "EOF not found!Return->"},
                      FaultyCase{"Truncated", Sample().substr(0, 700),
                                 "Unerwartetes Dateiende in sub/in.dat!\nReturn->"}),
    [](const auto& tc) { return std::string(tc.param.name); });

const std::string kQuestion = "Datei model.kon ist schon vorhanden! Ueberschreiben ? <j/n> ";

struct AnswerCase {
    const char* name;
    std::string answer;
    bool overwrites;
};

void PrintTo(const AnswerCase& c, std::ostream* os) {
    *os << c.name;
}

class OverwriteE2eTest : public ::testing::TestWithParam<AnswerCase> {};

TEST_P(OverwriteE2eTest, OnlyJOrCapitalJOverwrites) {
    const AnswerCase& c = GetParam();
    Sandbox sandbox;
    sandbox.Write("model.dat", Sample());
    sandbox.Write("model.kon", "alt");
    const RunResult result = sandbox.Run({"model.dat"}, c.answer);
    EXPECT_EQ(result.exitCode, c.overwrites ? 0 : 1);
    EXPECT_EQ(result.out, kQuestion + (c.overwrites ? "OK --> " : ""));
    EXPECT_EQ(sandbox.Read("model.kon"), c.overwrites ? Sample() : "alt");
    EXPECT_EQ(sandbox.Files().size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(Answers, OverwriteE2eTest,
                         ::testing::Values(AnswerCase{"j", "j\n\n", true},
                                           AnswerCase{"JWithMore", "Jein\n\n", true},
                                           AnswerCase{"n", "n\n", false},
                                           AnswerCase{"y", "y\n", false},
                                           AnswerCase{"EmptyLine", "\n", false},
                                           AnswerCase{"LeadingBlank", " j\n", false},
                                           AnswerCase{"EndOfInput", "", false}),
                         [](const auto& tc) { return std::string(tc.param.name); });

TEST(ArchiveE2eTest, DirectoryInTheWayCannotBeOpened) {
    Sandbox sandbox;
    sandbox.Write("model.dat", Sample());
    std::filesystem::create_directory(sandbox.dir() / "work" / "model.kon");
    const RunResult result = sandbox.Run({"model.dat"}, "j\n\n");
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out, kQuestion + "Can't open model.kon!\nReturn->");
}

TEST(ArchiveE2eTest, FailedWriteLeavesTheOldOutput) {
    Sandbox sandbox;
    sandbox.Write("model.dat", Sample());
    sandbox.Write("model.kon", "alt");
    ASSERT_GT(Sample().size(), 1024u);  // beyond the limit in any block size
    sandbox.SetCommandPrefix("ulimit -f 1; trap '' XFSZ;");
    const RunResult result = sandbox.Run({"model.dat"}, "j\n\n");
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out, kQuestion + "Fehler beim Schreiben von model.kon!\nReturn->");
    EXPECT_EQ(sandbox.Read("model.kon"), "alt");
    EXPECT_EQ(sandbox.Files().size(), 2u);  // no temporary file left
}

}  // namespace
}  // namespace kon::test
