// Local strings written in one pass must come out exactly as RapidJSON's
// writer prints the same text converted to UTF-8 first.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <unistd.h>

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include "platform/codepage.h"
#include "tools/json_output.h"

namespace {

std::string ViaUtf8(const TStringList& lines) {
    rapidjson::StringBuffer buffer;
    rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
    writer.StartArray();
    for (const std::string& local : lines) {
        const std::string utf8 = platform::LocalToUtf8(local);
        writer.String(utf8.data(), static_cast<rapidjson::SizeType>(utf8.size()));
    }
    writer.EndArray();
    return buffer.GetString();
}

enum class Form { Strings, Lines };

std::string InOnePass(const TStringList& lines, Form form) {
    std::FILE* file = std::tmpfile();
    {
        FdWriteStream stream(fileno(file));
        JsonWriter writer(stream);
        if (form == Form::Lines) {
            writer.LocalLines(lines);
        } else {
            writer.StartArray();
            for (const std::string& local : lines) writer.LocalString(local);
            writer.EndArray();
        }
    }
    std::rewind(file);
    std::string out;
    char chunk[65536];
    for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, file)) > 0;) out.append(chunk, n);
    std::fclose(file);
    return out;
}

TEST(JsonLocalString, MatchesTheTwoPassForm) {
    std::string everyByte;
    for (int c = 0; c < 256; ++c) everyByte += static_cast<char>(c);
    // Blocks of sixteen with one special byte at each position.
    std::string words;
    for (int i = 0; i < 16; ++i) words += std::string(i, 'a') + "\"" + std::string(15 - i, 'b') + "abcdefghijklmnop";
    std::string large;  // beyond one piece and beyond the buffer, all growing sixfold
    while (large.size() < 3 * FdWriteStream::kDefaultBufferSize) large += std::string(1000, '\x01') + "Gr\xFC\xDF";

    const struct {
        const char* name;
        std::string local;
    } cases[] = {
        {"empty", ""},
        {"every byte", everyByte},
        {"specials inside words", words},
        {"plain ASCII with an odd tail", "The quick brown fox jumps over the lazy dog."},
        {"large and growing", large},
    };
    TStringList all;
    for (const auto& c : cases) {
        EXPECT_EQ(InOnePass({c.local}, Form::Strings), ViaUtf8({c.local})) << c.name;
        all.Add(c.local);
    }
    EXPECT_EQ(InOnePass(all, Form::Lines), ViaUtf8(all));
}

}  // namespace
