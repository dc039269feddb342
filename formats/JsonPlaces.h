#pragma once
// Places in a JSON table file: the line and column of each value, for the
// readers' refusals. The parser tells its handler no places, so the readers
// parse through an iterator that follows the text as the parser reads it.
// For the table readers inside this library only (the parser's types are
// the library's own business).

#include <nlohmann/json.hpp>

#include <cstddef>
#include <iterator>
#include <string>
#include <string_view>

#include "formats/Refusals.h"

namespace formats {

// Where the reader stands in the text: the line and column (both from 1) of
// the first character of the latest token begun.
struct TokenPlace {
    int line = 1;
    int column = 1;
    int nextLine = 1;
    int nextColumn = 1;
    bool inString = false;
    bool escaped = false;
    bool inWord = false;  // inside a number or a literal

    // Follows one more character of the text (called for every character
    // the parser reads, so kept inline).
    void Consume(char c) {
        const int line0 = nextLine;
        const int column0 = nextColumn;
        if (c == '\n') {
            ++nextLine;
            nextColumn = 1;
        } else {
            ++nextColumn;
        }
        if (inString) {
            if (escaped) {
                escaped = false;
            } else if (c == '\\') {
                escaped = true;
            } else if (c == '"') {
                inString = false;
            }
            return;
        }
        if (c == '"') {
            inString = true;
            inWord = false;
            line = line0;
            column = column0;
            return;
        }
        // An object or array begins. (Other punctuation never starts a value,
        // and a comma or bracket may be the character the parser read just
        // past a number, before it hands the number over.)
        if (c == '{' || c == '[') {
            inWord = false;
            line = line0;
            column = column0;
            return;
        }
        const bool wordChar = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '-' ||
                              c == '+' || c == '.';
        if (wordChar && !inWord) {
            line = line0;
            column = column0;
        }
        inWord = wordChar;
    }
};

// Reads the text character by character for the parser, telling each one to
// a TokenPlace.
class PlaceIterator {
public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = char;
    using difference_type = std::ptrdiff_t;
    using pointer = const char*;
    using reference = const char&;

    PlaceIterator() = default;
    PlaceIterator(const char* at, TokenPlace* place) : at_(at), place_(place) {}
    reference operator*() const { return *at_; }
    PlaceIterator& operator++() {
        if (place_ != nullptr) place_->Consume(*at_);
        ++at_;
        return *this;
    }
    PlaceIterator operator++(int) {
        PlaceIterator before = *this;
        ++*this;
        return before;
    }
    friend bool operator==(const PlaceIterator& a, const PlaceIterator& b) { return a.at_ == b.at_; }

private:
    const char* at_ = nullptr;
    TokenPlace* place_ = nullptr;
};

// The refusal of a text that is not JSON, from the parser's parse_error:
// placed at the character the parser stopped at, saying what it expected.
Refusal NotJsonRefusal(std::string_view text, std::size_t position, const nlohmann::detail::exception& error);

// What the table readers' handlers share: the text and the place the parser
// stands at, the key of the latest member and its place, the nesting, and
// the refusal of a text that is not JSON. Objects and arrays begin at Open;
// the end of a row object calls EndRow.
class PlacedHandler : public nlohmann::json_sax<nlohmann::json> {
public:
    bool start_object(std::size_t) override { return Open(true); }
    bool end_object() override { return Close(); }
    bool start_array(std::size_t) override { return Open(false); }
    bool end_array() override { return Close(); }

    bool key(string_t& key) override {
        key_ = key;
        keyLine_ = place_.line;
        keyColumn_ = place_.column;
        return true;
    }

    bool parse_error(std::size_t position, const std::string&, const nlohmann::detail::exception& error) override {
        refusals_.Refuse(NotJsonRefusal(text_, position, error));
        return false;
    }

    // Parses the whole text event by event (strict, no comments).
    void Parse();

protected:
    // `refusals` takes the refusal of a text that is not JSON.
    PlacedHandler(std::string_view text, Refusals& refusals) : text_(text), refusals_(refusals) {}

    virtual bool Open(bool object) = 0;
    virtual void EndRow() = 0;

    std::string_view text_;
    TokenPlace place_;  // of the token the latest event comes from
    std::string key_;
    int keyLine_ = 0;
    int keyColumn_ = 0;
    // Nesting: 0 outside, 1 in the root object, 2 in the rows array, 3 in a
    // row object; Open sets it. Anything it skips (deeper, or elsewhere)
    // counts in skipDepth_ instead.
    int depth_ = 0;
    int skipDepth_ = 0;

private:
    bool Close() {
        if (skipDepth_ > 0) {
            --skipDepth_;
            return true;
        }
        if (depth_ == 3) EndRow();
        --depth_;
        return true;
    }

    Refusals& refusals_;
};

}  // namespace formats
