#include "io/console.h"

#include <istream>
#include <ostream>

namespace kon {

Console::Console(std::istream& in, std::ostream& out, std::ostream& err)
    : in_(in), out_(out), err_(err) {}

bool Console::ReadLine(std::string& line) {
    line.clear();
    return static_cast<bool>(std::getline(in_, line));
}

void Console::ReportAndWait(std::string_view message) {
    out_ << message << "Return->";
    out_.flush();
    std::string discarded;
    ReadLine(discarded);
}

void Console::Print(std::string_view text) {
    out_ << text;
}

void Console::PrintError(std::string_view text) {
    out_.flush();
    err_ << text;
    err_.flush();
}

void Console::Prompt(std::string_view prompt) {
    std::string discarded;
    Ask(prompt, discarded);
}

bool Console::Ask(std::string_view question, std::string& answer) {
    out_ << question;
    out_.flush();
    return ReadLine(answer);
}

}  // namespace kon
