#pragma once
// The console: the three standard streams in one small object that the
// dialogue is run through, so tests can capture all of it.

#include <iosfwd>
#include <string>
#include <string_view>

namespace kon {

class Console {
  public:
    Console(std::istream& in, std::ostream& out, std::ostream& err);

    // Prints the message unchanged, then "Return->", and waits for one line.
    void ReportAndWait(std::string_view message);

    // Standard output without a wait (the short diagnostic lines).
    void Print(std::string_view text);
    // The driver's own lines: standard output is flushed first so the user
    // sees both streams in the program's order.
    void PrintError(std::string_view text);
    // Prints a prompt (no line end), flushes it and waits for one line.
    void Prompt(std::string_view prompt);
    // Prints a question and reads the whole answer line; false when standard
    // input is at its end.
    bool Ask(std::string_view question, std::string& answer);

  private:
    // Reads one whole line; returns at once at the end of standard input.
    bool ReadLine(std::string& line);

    std::istream& in_;
    std::ostream& out_;
    std::ostream& err_;
};

}  // namespace kon
