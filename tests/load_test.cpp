// Loading either form by its content: the form, the derived lines, and the
// end check after a failure.

#include <gtest/gtest.h>

#include <sstream>

#include "io/load_model.h"
#include "model/kon_modell.h"
#include "support/haus_model.h"

namespace kon {
namespace {

LoadResult Load(const std::string& bytes, KonModell& model) {
    std::istringstream in(bytes, std::ios::binary);
    return LoadKonStream(in, "m", model);
}

std::string Messages(const Diagnostics& diagnostics) {
    std::string all;
    for (const Diagnostic& d : diagnostics.items) all += d.message;
    return all;
}

TEST(LoadTest, TellsTheFormsApartByContent) {
    const std::string archive = test::ExampleFile("haus.kon");
    const std::string text = test::ExampleFile("haus.csv");
    const struct {
        const char* name;
        std::string bytes;
        KonForm form;
        std::string messages;
    } cases[] = {
        {"archive", archive, KonForm::kArchive, ""},
        {"archive with a byte more", archive + "x", KonForm::kArchive, "EOF not found!"},
        {"text", text, KonForm::kText, ""},
        {"text behind a byte order mark, in lower case", "\xEF\xBB\xBFkon" + text.substr(3),
         KonForm::kText, ""},
        {"a byte order mark alone is an archive", "\xEF\xBB\xBF", KonForm::kArchive,
         "Unerwartetes Dateiende in m!\n"},
        {"a plain CSV file", "a;b;c\n1;2;3\n", KonForm::kArchive,
         "Falsche Versionskennung: 3b623b61!\nEOF not found!"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        KonModell model;
        const LoadResult result = Load(c.bytes, model);
        EXPECT_EQ(result.form, c.form);
        EXPECT_EQ(Messages(result.diagnostics), c.messages);
        if (c.messages.empty() || c.messages == "EOF not found!") {
            ASSERT_TRUE(result.diagnostics.Ok());
            // Both forms give the same model; the text's lines are derived.
            EXPECT_EQ(test::ArchiveBytes(model), archive);
        }
    }
}

TEST(LoadTest, TheEndCheckIsAWarningAfterAFailure) {
    KonModell model;
    const LoadResult result = Load(std::string("\x40\x0B\0\0\xE9\x07\0\0\x01\x80xx", 12), model);
    ASSERT_EQ(result.diagnostics.items.size(), 2u);
    EXPECT_EQ(result.diagnostics.items[0].kind, FaultKind::kBadCount);
    EXPECT_EQ(result.diagnostics.items[1].severity, Severity::kWarning);
    EXPECT_EQ(result.diagnostics.items[1].kind, FaultKind::kTrailingBytes);
}

}  // namespace
}  // namespace kon
