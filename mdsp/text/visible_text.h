// Texts that came from the network, made safe to show on a terminal.
#pragma once

#include <string>
#include <string_view>

namespace mdsp {

// The text with every byte a terminal could act on written as \xNN: C0
// controls, DEL, the C1 controls U+0080..U+009F and every byte that is not
// part of a well-formed UTF-8 sequence. A backslash becomes "\\", so an
// escape in the output always stands for a byte of the input. Printable
// UTF-8 passes unchanged.
std::string VisibleText(std::string_view text);

}  // namespace mdsp
