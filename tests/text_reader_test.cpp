#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "support/captured_console.h"
#include "text/kon_text.h"

namespace kon {
namespace {

using namespace std::string_literals;

struct Outcome {
    int result = 0;
    std::string messages;
    KonModell model;
};

Outcome Read(const std::string& text) {
    test::CapturedConsole console("\n\n");
    std::istringstream in(text, std::ios::binary);
    Outcome outcome;
    outcome.result = ReadKonText(outcome.model, in, console.console, "m.csv");
    outcome.messages = console.out.str();
    return outcome;
}

// The model as the writer puts it, with LF line ends for readability.
std::string Canonical(const KonModell& model) {
    std::ostringstream out;
    WriteKonText(model, out, ';');
    std::string text = out.str();
    for (std::size_t at; (at = text.find('\r')) != std::string::npos;) text.erase(at, 1);
    return text;
}

std::string File(const std::string& points, const std::string& polygons,
                 const std::string& instances, const std::string& tag = "MOLK") {
    return "KON;" + tag + "\nX;Y;Z;R;G;B;TexId;TexX;TexY\n" + points + "Flaechen\n" + polygons +
           "ScalX;ScalY;ScalZ;RotX;RotY;RotZ;MoveX;MoveY;MoveZ\n" + instances;
}

TEST(TextReaderTest, EachFaultGivesItsMessage) {
    const std::string body = "KON;MOLK\nX\n1;2;3\nFlaechen\n";
    const struct {
        std::string text;
        const char* message;
    } cases[] = {
        {"", "Falsches Kon-Format!\n"},
        {"KON\r\nX\n", "Falsches Kon-Format!\n"},
        {"KON;", "Falsches Kon-Format!\n"},
        {"KON;\0MOLK\n"s, "Falsches Kon-Format!\n"},
        {"KON;\r\n", "Falscher Kon-Typ!\n"},
        {"KONMOLK\n", "Falscher Kon-Typ!\n"},
        {"KON;MOLK\nY;X\n", "Punkteliste nicht gefunden!\n"},
        {"KON;MOLK\n\nX\n", "Punkteliste nicht gefunden!\n"},
        {"KON;MOLK", "Punkteliste nicht gefunden!\n"},
        {"KON;MOLK\nX\n1;2;3\nFlaechenliste", "Instanzen nicht gefunden!\n"},
        {"KON;MOLK\nX\n1;2;3\nFlaeche\nScalX\n", "Flaechenliste nicht gefunden!\n"},
        {"KON;MOLK\nX\n\n1;2\nFlaechen\nScalX\n", "falsches Punktformat in Zeile 4!\n"},
        {body + "0\n0;1\nScalX\n", "falscher Punkt 1 in Zeile 6!\n"},
        {body + "0;65536\nScalX\n", "falscher Punkt 65536 in Zeile 5!\n"},
        {body + "-32769\nScalX\n", "falscher Punkt -32769 in Zeile 5!\n"},
        {body + "ScalX\n\n1;1;1;0;0;0;0;0\n", "falsches Instanzformat in Zeile 7!\n"},
        {"KON;MOLK\nX\n" + std::string(32768, '\n'), "zu viele Zeilen in Zeile 32770!\n"},
    };
    for (const auto& c : cases) {
        const Outcome outcome = Read(c.text);
        EXPECT_EQ(outcome.result, 0) << c.text;
        EXPECT_EQ(outcome.messages, c.message + "Return->"s) << c.text;
    }
}

TEST(TextReaderTest, LooserFormsReadAsTheWriterWouldWriteThem) {
    const std::string plainPoint = "1;2;3;0;0;0;0;0,0000;0,0000\n";
    const std::string unitInstance = "1,0000;1,0000;1,0000;0,00;0,00;0,00;1;2;3\n";
    const struct {
        std::string text;
        std::string canonical;
    } cases[] = {
        {"kon;molk\r\nx\r\n\r\n1;2;3;;\r\n;;;\r\nflaechenLISTE;;\r\n0;0;;;\r\n\r\nscalx\r\n"
         "1;1;1;0;0;0;1;2;3;;4\r\n",
         File(plainPoint, "0;0\n", unitInstance)},
        {"KON\tMOLK\nX\n1\t2\t3\t4\t5\t6\t7\t0.5\t1,25\nFlaechen\nScalX\n"
         "0.5\t2\t3\t0.125\t-1\t1e2\t0\t0\t0\n",
         File("1;2;3;4;5;6;7;0,5000;1,2500\n", "",
              "0,5000;2,0000;3,0000;0,12;-1,00;100,00;0;0;0\n")},
        {"\xEF\xBB\xBFKON;TAV;;;\nX\nFlaechen\nScalX\n1;1;1;0;0;0;1;2;3",
         File("", "", unitInstance, "TAV")},
        {"KON;MOLK\nX\n1;2;3\0;4\nFlaechen\0;\n0;0\0;7\nScalX\n\x1A"
         "1;1;1;0;0;0;1;2;3\n"s,
         File(plainPoint, "0;0\n", "")},
        {"KON;MOLK\nX\n1;2;3;;;;9\n99999999999;-99999999999;12,7;300;-1;256;7;0,5\n"
         "1;2;3;4;5;6;7;0,5;1.5;2;10;20;30;3\nFlaechen\n0;-32768;-1;2;1;0\nScalX\n",
         File("1;2;3;9;0;0;0;0,0000;0,0000\n2147483647;-2147483648;12;44;255;0;7;0,5000;0,0000\n"
              "1;2;3;4;5;6;7;0,5000;1,5000;2;10;20;30;3;0;0;0\n",
              "0;-32768;-1;2;1;0\n", "")},
    };
    for (const auto& c : cases) {
        const Outcome outcome = Read(c.text);
        EXPECT_EQ(outcome.messages, "") << c.text;
        ASSERT_EQ(outcome.result, 1) << c.text;
        EXPECT_EQ(Canonical(outcome.model), c.canonical) << c.text;
    }
}

TEST(TextReaderTest, AMillionIndicesInOneRowRead) {
    std::string row;
    for (int i = 0; i < 1000000; ++i) row += i % 2 == 0 ? "0;" : "1;";
    const Outcome outcome = Read(File("0;0;0\n5;5;5\n", row + "\n", ""));
    ASSERT_EQ(outcome.result, 1);
    const Flaeche& polygon = outcome.model.Flaechenliste[0];
    ASSERT_EQ(polygon.Anzahl, 1000000);
    EXPECT_EQ(Ecke(polygon, 999998), 0);
    EXPECT_EQ(Ecke(polygon, 999999), 1);
}

// Whatever the cut, the message names what is missing, and nothing crashes.
TEST(TextReaderTest, AFileCutShortAnywhereGivesTheMessageOfItsSection) {
    const std::string text = File("0;0;0;1;2;3;4;0,5;0,5;1;2\n", "0\n", "1;1;1;0;0;0;1;2;3\n");
    const std::size_t polygons = text.find("Flaechen") + 8;
    const std::size_t instances = text.find("ScalX") + 5;
    for (std::size_t length = text.find("\nX") + 2; length <= text.size(); ++length) {
        const Outcome outcome = Read(text.substr(0, length));
        std::string expected;
        if (length < polygons) {
            expected = "Flaechenliste nicht gefunden!\nReturn->";
        } else if (length < instances) {
            expected = "Instanzen nicht gefunden!\nReturn->";
        } else if (length > text.size() - 18 && length < text.size() - 1) {
            expected = "falsches Instanzformat in Zeile 7!\nReturn->";
        }
        EXPECT_EQ(outcome.messages, expected) << length;
        EXPECT_EQ(outcome.result, expected.empty() ? 1 : 0) << length;
    }
}

}  // namespace
}  // namespace kon
