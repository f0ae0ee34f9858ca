#pragma once

#include <cstddef>

namespace qv {

// The order and equality of the register's texts, for names in any alphabet:
// letters compare by their base letter without regard to case or accents, then
// accents decide; case never does. So "Élodie" sorts among the E's, "ZOË"
// equals "Zoë", and "Zoe" comes just before "Zoë" without equalling it. Both
// texts are UTF-8. Answers <0, 0 or >0.
int compareText(const char* a, std::size_t aLength, const char* b, std::size_t bLength);

} // namespace qv
