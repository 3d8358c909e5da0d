// Fuzz target for the document reader and writer. For every input:
//   - from_json either loads it or throws DocumentError (any other exception,
//     crash or sanitizer report is a finding);
//   - an error message is valid UTF-8, since the Python layer turns it into a str;
//   - a loaded store writes a document that loads again and writes the very
//     same text.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "system/document.hpp"
#include "system/errors.hpp"

namespace {

[[noreturn]] void finding(const char* what, std::string_view detail) {
    std::fprintf(stderr, "%s\n%.*s\n", what, static_cast<int>(detail.size()), detail.data());
    std::abort();
}

bool is_utf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80    ? 1
                                   : lead >= 0xF0 ? 4
                                   : lead >= 0xE0 ? 3
                                   : lead >= 0xC2 ? 2
                                                  : 0;
        if (length == 0 || lead > 0xF4 || i + length > text.size()) return false;
        std::uint32_t code = length == 1 ? lead : lead & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            code = (code << 6) | (next & 0x3F);
        }
        const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
        if (overlong || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
        i += length;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    ovralis::System loaded;
    try {
        loaded = ovralis::from_json(input);
    } catch (const ovralis::DocumentError& error) {
        if (!is_utf8(error.what())) finding("error message is not UTF-8", error.what());
        return 0;
    }
    const std::string written = ovralis::to_json(loaded);
    std::string rewritten;
    try {
        rewritten = ovralis::to_json(ovralis::from_json(written));
    } catch (const ovralis::DocumentError& error) {
        finding("a written document does not load again", error.what());
    }
    if (rewritten != written) finding("writing a reloaded document changed it", written);
    return 0;
}
