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
    case DecoderKind::dkIconv: return DecodeWithIconv(encoding.iconvName, bytes);
    }
    return DecodeWindows1252(bytes);
}

}  // namespace platform
