// Texts that came from the network, decoded and made safe to show. Shared by
// the library's terminal log sink, the host core's module texts and mdspctl.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace display_text {

// The text with every byte a terminal could act on written as \xNN: C0
// controls, DEL, the C1 controls U+0080..U+009F and every byte that is not
// part of a well-formed UTF-8 sequence. A backslash becomes "\\", so an
// escape in the output always stands for a byte of the input. Printable
// UTF-8 passes unchanged.
std::string VisibleText(std::string_view text);

// Length of the well-formed UTF-8 sequence that starts with the non-ASCII
// byte text[at]; 0 when there is none (overlong forms, surrogates and values
// past U+10FFFF included).
size_t Utf8SequenceLength(std::string_view text, size_t at);

bool IsWellFormedUtf8(std::string_view text);

// Modules do not say how their texts are encoded: well-formed UTF-8 is kept,
// anything else is read as Latin-1. The result is UTF-8.
std::string ModuleTextAsUtf8(std::string_view text);

}  // namespace display_text
