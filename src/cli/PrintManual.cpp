// Writes quorvel-audit's manual page: the sections made from the option
// table, then the hand-written ones (packaging/quorvel-audit.sections.1).
//
// quorvel-audit-manual DATE SECTIONS OUTPUT
#include <filesystem>
#include <iostream>

#include "cli/options/HelpText.h"
#include "core/io/AtomicFile.h"
#include "core/io/RegularFile.h"

int main(int argc, char** argv) {
    if (argc != 4) {
        std::cerr << "usage: quorvel-audit-manual DATE SECTIONS OUTPUT\n";
        return 2;
    }
    constexpr std::uintmax_t kMaxSectionBytes = 1 << 20;
    quorvel::Result<quorvel::RegularFile> sections = quorvel::RegularFile::Open(argv[2]);
    quorvel::Result<std::string> written =
        sections ? sections->ReadAll(kMaxSectionBytes) : sections.error();
    if (written) {
        const std::string page =
            ".\\\" Made by quorvel-audit-manual from quorvel-audit's option table and " +
            std::filesystem::path(argv[2]).filename().string() + "; do not edit.\n" +
            quorvel::cli::ManualPage(QUORVEL_VERSION, argv[1]) + *written;
        if (const auto saved = quorvel::WriteFileAtomically(argv[3], page); !saved) {
            written = saved.error();
        }
    }
    if (!written) {
        std::cerr << "quorvel-audit-manual: " << written.error().message << '\n';
        return 1;
    }
    return 0;
}
