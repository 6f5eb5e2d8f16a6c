#pragma once
// RFC 2047 encoded words into local 8-bit text.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

// Charset converters; class-level in spirit, so one stateless instance each.
class TIdHeaderCoder {
public:
    virtual ~TIdHeaderCoder() = default;
    virtual std::string DecodeBytes(std::string_view charset, std::string_view bytes) const;
    virtual std::string EncodeText(std::string_view charset, std::string_view text) const;
    virtual bool HandlesCharset(std::string_view charset) const;
};

class TIdHeaderCoderUTF8 final : public TIdHeaderCoder { /* see .cpp */
public:
    std::string DecodeBytes(std::string_view charset, std::string_view bytes) const override;
    bool HandlesCharset(std::string_view charset) const override;
};
class TIdHeaderCoder2022JP final : public TIdHeaderCoder {
public:
    std::string DecodeBytes(std::string_view charset, std::string_view bytes) const override;
    bool HandlesCharset(std::string_view charset) const override;
};
class TIdHeaderCoderPlain final : public TIdHeaderCoder {
public:
    std::string DecodeBytes(std::string_view charset, std::string_view bytes) const override;
    bool HandlesCharset(std::string_view charset) const override;
};

// The process-wide registry, filled at start-up with Plain, 2022JP, UTF8.
class TIdHeaderCoderList {
public:
    static TIdHeaderCoderList& Instance();
    void Register(const TIdHeaderCoder* coder);   // appends unless present
    void Unregister(const TIdHeaderCoder* coder);
    // Asks from the last registered to the first.
    const TIdHeaderCoder* Lookup(std::string_view charset) const;

private:
    std::vector<const TIdHeaderCoder*> coders_;
};

const TIdHeaderCoder* CoderForCharset(std::string_view charset);

// Sees the text of each decoded word before it is put in place; it must
// keep the text's length.
using DecodedWordFilter = std::function<void(std::string& decoded)>;
std::string DecodeEncodedWords(std::string_view value, const DecodedWordFilter& filter = {});

// Another reading of the same words: the words are found and taken apart as
// above, but what their bytes and the text between them become is decided
// here (the view's Unicode reading of a header).
class EncodedWordDecoding {
public:
    virtual ~EncodedWordDecoding() = default;
    // The decoded bytes of one word labelled with charset.
    virtual std::string Word(std::string_view charset, std::string_view bytes) const = 0;
    // A stretch of the value outside every word, as it stands.
    virtual std::string Plain(std::string_view bytes) const = 0;
};
std::string DecodeEncodedWordsWith(std::string_view value, const EncodedWordDecoding& decoding,
                                   const DecodedWordFilter& filter = {});
// start and end are 1-based positions of the token; on success end becomes
// the position of the word's final "=".
bool FindEncodedWord(std::string_view text, int start, int& end, std::string& charset, std::string& encoding,
                     std::string& encodedText);
bool DecodeWordPayload(std::string_view encoding, std::string_view text, std::string& bytes);
