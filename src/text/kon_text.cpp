#include "text/kon_text.h"

namespace kon {

int ReadKonText(KonModell&, std::istream&, Console&, std::string_view) {
    return 0;
}
void WriteKonText(const KonModell&, std::ostream&, char) {}

}  // namespace kon
