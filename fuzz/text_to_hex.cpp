// Fuzz target: the text-to-hex converter on any characters, code points beyond Unicode included.
// Input: 4 bytes per character. Properties: three characters out per character in, each two upper-case
// hex digits of the code's low byte ("*" as 0A) and a blank; without its trailing blank the result is
// a canonical command string that NormalizeCommand leaves as it is.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "editing/command_string.h"
#include "fuzz/fuzz_check.h"

using zeze::fuzz::check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::u32string text(size / 4, U'\0');
    if (!text.empty())
        std::memcpy(text.data(), data, text.size() * 4);

    const std::string hex = zeze::TextToHex(text);
    check(hex.size() == 3 * text.size());
    static constexpr char kDigits[] = "0123456789ABCDEF";
    for (std::size_t i = 0; i < text.size(); ++i) {
        const unsigned byte = text[i] == U'*' ? 0x0A : text[i] & 0xFF;
        check(hex[3 * i] == kDigits[byte >> 4] && hex[3 * i + 1] == kDigits[byte & 15] &&
              hex[3 * i + 2] == ' ');
    }
    if (!hex.empty()) {
        const std::string command = hex.substr(0, hex.size() - 1);
        check(zeze::NormalizeCommand(hex) == command);
    }
    return 0;
}
