#include "platform/text_encoding.h"

#include <iconv.h>

#include <cerrno>
#include <string>
#include <unordered_map>

#include "platform/codepage.h"
#include "platform/encoding_labels.h"
#include "platform/utf8.h"

namespace platform {
namespace {

constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";

bool IsAsciiWhite(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r'; }

class LabelIndex {
public:
    LabelIndex() {
        for (const EncodingLabels& row : EncodingTable()) {
            std::string_view rest = row.labels;
            while (!rest.empty()) {
                const std::size_t blank = rest.find(' ');
                byLabel_.emplace(rest.substr(0, blank), &row.encoding);
                rest = blank == std::string_view::npos ? std::string_view() : rest.substr(blank + 1);
            }
        }
    }
    const TextEncoding* Find(std::string_view label) const {
        while (!label.empty() && IsAsciiWhite(label.front())) label.remove_prefix(1);
        while (!label.empty() && IsAsciiWhite(label.back())) label.remove_suffix(1);
        if (label.empty() || label.size() > 32) return nullptr;
        const std::string key = LowerCaseAscii(label);
        const auto it = byLabel_.find(key);
        return it == byLabel_.end() ? nullptr : it->second;
    }

private:
    std::unordered_map<std::string_view, const TextEncoding*> byLabel_;
};

const LabelIndex& Labels() {
    static const LabelIndex index;
    return index;
}

// Converters stay open for the thread's life; opening one loads a module.
class IconvCache {
public:
    ~IconvCache() {
        for (auto& [name, cd] : open_)
            if (cd != Invalid()) iconv_close(cd);
    }
    iconv_t Get(std::string_view name) {
        auto it = open_.find(name);
        if (it == open_.end()) it = open_.emplace(name, iconv_open("UTF-8", std::string(name).c_str())).first;
        return it->second;
    }
    static iconv_t Invalid() { return reinterpret_cast<iconv_t>(-1); }

private:
    std::unordered_map<std::string_view, iconv_t> open_;
};

std::string DecodeWindows1252(std::string_view bytes) { return LocalToUtf8(bytes); }

std::string DecodeUserDefined(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        AppendUtf8(out, b < 0x80 ? b : 0xF780 + (b - 0x80));
    }
    return out;
}

std::string DecodeWithIconv(std::string_view converterName, std::string_view bytes) {
    thread_local IconvCache cache;
    const iconv_t cd = cache.Get(converterName);
    // A converter the C library lacks: the text still shows, byte by byte.
    if (cd == IconvCache::Invalid()) return DecodeWindows1252(bytes);
    iconv(cd, nullptr, nullptr, nullptr, nullptr);

    std::string out(bytes.size() * 3 + 16, '\0');
    std::size_t used = 0;
    char* in = const_cast<char*>(bytes.data());
    std::size_t inLeft = bytes.size();
    const auto convert = [&](char** input, std::size_t* inputLeft) {
        for (;;) {
            char* outPtr = out.data() + used;
            std::size_t outLeft = out.size() - used;
            const std::size_t r = iconv(cd, input, inputLeft, &outPtr, &outLeft);
            used = out.size() - outLeft;
            if (r != static_cast<std::size_t>(-1)) return 0;
            if (errno != E2BIG) return errno;
            out.resize(out.size() * 2);
        }
    };
    while (inLeft > 0) {
        const int error = convert(&in, &inLeft);
        if (error == 0) break;
        // An undefined or cut sequence: one replacement character for its
        // first byte, then on with the next.
        if (out.size() - used < kReplacementCharacter.size()) out.resize(out.size() * 2);
        out.replace(used, kReplacementCharacter.size(), kReplacementCharacter);
        used += kReplacementCharacter.size();
        if (error == EINVAL) break;  // cut off at the end
        ++in;
        --inLeft;
    }
    convert(nullptr, nullptr);  // back to the initial shift state
    out.resize(used);
    // The room reserved for the worst case is not kept: the text page holds
    // its lines for as long as the mail is shown.
    out.shrink_to_fit();
    return out;
}

// ISO-2022-JP: ASCII, JIS-Roman, half-width katakana and JIS X 0208 behind
// their escapes. A JIS X 0208 pair becomes its Shift_JIS pair (the same
// arithmetic as the classic header converter), read with the Windows
// converter, which knows the extensions.
std::string DecodeIso2022Jp(std::string_view sjisConverter, std::string_view bytes) {
    enum class Mode { mAscii, mRoman, mKatakana, mJis0208 };
    Mode mode = Mode::mAscii;
    std::string out, pairs;
    out.reserve(bytes.size() * 2);
    const auto flushPairs = [&] {
        if (pairs.empty()) return;
        out += DecodeWithIconv(sjisConverter, pairs);
        pairs.clear();
    };
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (b == 0x1B) {
            const std::string_view escape = bytes.substr(i + 1, 2);
            Mode next = mode;
            if (escape == "(B") next = Mode::mAscii;
            else if (escape == "(J") next = Mode::mRoman;
            else if (escape == "(I") next = Mode::mKatakana;
            else if (escape == "$@" || escape == "$B") next = Mode::mJis0208;
            else {
                flushPairs();
                out += kReplacementCharacter;
                ++i;
                continue;
            }
            if (next != Mode::mJis0208) flushPairs();
            mode = next;
            i += 3;
            continue;
        }
        if (b == '\r' || b == '\n') {
            // Lines of mail end in ASCII; a writer that forgot to say so
            // still gets its line breaks.
            flushPairs();
            out += static_cast<char>(b);
            ++i;
            continue;
        }
        if (mode == Mode::mJis0208) {
            const auto b2 = i + 1 < bytes.size() ? static_cast<unsigned char>(bytes[i + 1]) : 0;
            if (b < 0x21 || b > 0x7E || b2 < 0x21 || b2 > 0x7E) {
                flushPairs();
                out += kReplacementCharacter;
                ++i;
                continue;
            }
            pairs += static_cast<char>(((b - 1) >> 1) + (b < 0x5F ? 0x71 : 0xB1));
            pairs += static_cast<char>(b % 2 == 1 ? b2 + (b2 < 0x60 ? 0x1F : 0x20) : b2 + 0x7E);
            i += 2;
            continue;
        }
        flushPairs();
        if (b >= 0x80)
            out += kReplacementCharacter;
        else if (mode == Mode::mKatakana && b >= 0x21 && b <= 0x5F)
            AppendUtf8(out, 0xFF61 + (b - 0x21));
        else if (mode == Mode::mRoman && (b == 0x5C || b == 0x7E))
            AppendUtf8(out, b == 0x5C ? 0x00A5 : 0x203E);
        else
            out += static_cast<char>(b);
        ++i;
    }
    flushPairs();
    return out;
}

}  // namespace

const TextEncoding* EncodingForLabel(std::string_view label) { return Labels().Find(label); }

const TextEncoding& Utf8Encoding() { return *EncodingForLabel("utf-8"); }

const TextEncoding& Windows1252Encoding() { return *EncodingForLabel("windows-1252"); }

std::string DecodeToUtf8(const TextEncoding& encoding, std::string_view bytes) {
    switch (encoding.kind) {
    case DecoderKind::dkUtf8: return LenientUtf8(bytes);
    case DecoderKind::dkWindows1252: return DecodeWindows1252(bytes);
    case DecoderKind::dkUserDefined: return DecodeUserDefined(bytes);
    case DecoderKind::dkReplacement: return bytes.empty() ? std::string() : std::string(kReplacementCharacter);
    case DecoderKind::dkIso2022Jp: return DecodeIso2022Jp(encoding.iconvName, bytes);
    case DecoderKind::dkIconv: return DecodeWithIconv(encoding.iconvName, bytes);
    }
    return DecodeWindows1252(bytes);
}

}  // namespace platform
