#pragma once
// The lines of a body (a plain message's text, a text part): an ordered list
// of 8-bit lines, duplicates allowed, kept in one piece. A large text has
// millions of lines; as strings of their own each would cost a heap block
// and a string object besides its bytes (half as much memory again for
// lines of mail length), and every one of them would be freed by itself. Here the bytes lie back to back
// in a few large blocks, and a line costs eight bytes beside them.

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class TStringList;

class TLineStore {
public:
    TLineStore() = default;
    TLineStore(std::initializer_list<std::string_view> lines);
    TLineStore(const TLineStore& other);
    TLineStore& operator=(const TLineStore& other);
    TLineStore(TLineStore&&) noexcept = default;
    TLineStore& operator=(TLineStore&&) noexcept = default;

    int Count() const { return static_cast<int>(starts_.size()); }
    // The bytes of all lines together, without line breaks.
    std::size_t Bytes() const;
    bool Empty() const { return starts_.empty(); }
    // Valid until the store changes.
    std::string_view operator[](int index) const;
    std::string_view Last() const { return Line(starts_.size() - 1); }

    int Add(std::string_view line);
    // One line made of two pieces.
    int Add(std::string_view head, std::string_view tail);
    void DeleteLast();
    void Clear();
    void Assign(const TStringList& lines);

    // Visits every line in order and empties the store on the way: a block
    // goes as soon as its last line has been visited, so that what the lines
    // become can take its place. The store is empty afterwards, also when
    // visit raises.
    template <typename Visit>
    void Drain(Visit&& visit) {
        struct Emptied {
            TLineStore& store;
            ~Emptied() { store.Clear(); }
        } emptied{*this};
        for (std::size_t i = 0; i < starts_.size(); ++i) {
            visit(Line(i));
            const std::uint32_t chunk = starts_[i].chunk;
            if (i + 1 == starts_.size() || starts_[i + 1].chunk != chunk) chunks_[chunk].bytes.reset();
        }
    }

    // A copy of the lines, as strings of their own.
    std::vector<std::string> Lines() const { return {begin(), end()}; }
    // Every line followed by CR LF, the last one included.
    std::string Text() const;
    // Replaces the lines by the text split as SplitTextLines splits it.
    void SetText(std::string_view text);

    class Iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = std::string_view;
        using difference_type = std::ptrdiff_t;
        using pointer = void;
        using reference = std::string_view;

        Iterator() = default;
        Iterator(const TLineStore* store, std::size_t index) : store_(store), index_(index) {}
        std::string_view operator*() const { return store_->Line(index_); }
        Iterator& operator++() { ++index_; return *this; }
        Iterator operator++(int) { Iterator old = *this; ++index_; return old; }
        bool operator==(const Iterator& other) const { return index_ == other.index_; }

    private:
        const TLineStore* store_ = nullptr;
        std::size_t index_ = 0;
    };
    Iterator begin() const { return {this, 0}; }
    Iterator end() const { return {this, starts_.size()}; }

private:
    struct Chunk {
        std::unique_ptr<char[]> bytes;
        std::size_t size = 0;
        std::size_t used = 0;
    };
    // Where a line begins; it ends where the next line of its chunk begins,
    // or at the chunk's used end.
    struct Start {
        std::uint32_t chunk;
        std::uint32_t offset;
    };

    std::string_view Line(std::size_t index) const;
    // Room for n more bytes of a new line, in the last chunk or a new one.
    char* Room(std::size_t n);

    std::vector<Chunk> chunks_;
    std::vector<Start> starts_;
};
