#include "cli/output/Messages.h"

#include <ostream>

#include "cli/output/NameText.h"

namespace quorvel::cli {

void PrintMessage(std::ostream& err, const std::string& text) {
    err << kProgramName << ": " << TerminalText(text) << '\n';
}

bool PrintLine(std::ostream& out, const std::string& line) {
    out << line << '\n';
    out.flush();
    return static_cast<bool>(out);
}

}  // namespace quorvel::cli
