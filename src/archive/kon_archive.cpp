#include "archive/kon_archive.h"

namespace kon {

void ReadKonArchive(KonModell&, std::istream&, Console&, std::string_view) {}
void CheckArchiveEnd(std::istream&, Console&) {}
int WriteKonArchive(const KonModell&, const std::string&, Console&) {
    return 0;
}
void WriteKonArchiveTo(const KonModell&, std::ostream&) {}

}  // namespace kon
