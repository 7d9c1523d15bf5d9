// A device error in the middle of an archive is reported as a read error,
// never taken for the end of the file.

#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>

#include "driver/load_model.h"
#include "support/captured_console.h"

namespace kon {
namespace {

// Gives its bytes, then fails as a broken device would instead of ending.
class FailingBuffer : public std::stringbuf {
  public:
    explicit FailingBuffer(const std::string& bytes) : std::stringbuf(bytes, std::ios::in) {}

  protected:
    int_type underflow() override {
        const int_type next = std::stringbuf::underflow();
        if (traits_type::eq_int_type(next, traits_type::eof())) {
            throw std::runtime_error("device error");
        }
        return next;
    }
};

TEST(ReadErrorTest, ArchiveReadErrorIsNotTakenForItsEnd) {
    FailingBuffer buffer(std::string("\x40\x0B\0\0\xE9\x07\0\0", 8));
    std::istream in(&buffer);
    test::CapturedConsole captured;
    KonModell model;
    LoadModelFrom(model, in, captured.console, "platte.kon");
    EXPECT_EQ(model.Geladen, 0);
    EXPECT_EQ(captured.out.str().rfind("Fehler beim Lesen von platte.kon!\nReturn->", 0), 0u)
        << captured.out.str();
    ReleaseModel(model);
}

}  // namespace
}  // namespace kon
