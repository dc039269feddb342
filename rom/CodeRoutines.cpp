#include "rom/CodeRoutines.h"

#include <algorithm>
#include <cstring>

#include "rom/HexDigits.h"

namespace rom {

std::optional<int64_t> BankedOffset(int64_t bank, uint16_t address) {
    if (address < 0x4000 || address > 0x7FFF) return std::nullopt;
    return bank * kRoutineBankSize + (int64_t{address} - 0x4000);
}

int64_t RoutineMatch::TableBank() const { return bank ? int64_t{*bank} : at / kRoutineBankSize; }

std::optional<int64_t> RoutineMatch::TableOffset() const { return BankedOffset(TableBank(), address); }

RoutinePattern::RoutinePattern(std::string_view text) {
    size_t i = 0;
    while (i < text.size()) {
        if (text[i] == ' ') {
            ++i;
            continue;
        }
        const std::string_view token = text.substr(i, 2);
        i += 2;
        if (token.size() != 2 || (i < text.size() && text[i] != ' ')) {
            valid_ = false;
            break;
        }
        if (token == "??") {
            tokens_.push_back({Kind::Any, 0});
        } else if (token == "LL") {
            tokens_.push_back({Kind::Low, 0});
        } else if (token == "HH") {
            tokens_.push_back({Kind::High, 0});
        } else if (token == "BB") {
            tokens_.push_back({Kind::Bank, 0});
        } else if (token == "NN") {
            tokens_.push_back({Kind::Length, 0});
        } else if (hexdigits::Value(token[0]) >= 0 && hexdigits::Value(token[1]) >= 0) {
            tokens_.push_back(
                {Kind::Fixed, static_cast<uint8_t>(hexdigits::Value(token[0]) * 16 + hexdigits::Value(token[1]))});
        } else {
            valid_ = false;
            break;
        }
    }
    // The longest run of fixed bytes anchors the search.
    for (size_t start = 0; start < tokens_.size();) {
        if (tokens_[start].kind != Kind::Fixed) {
            ++start;
            continue;
        }
        size_t end = start;
        while (end < tokens_.size() && tokens_[end].kind == Kind::Fixed) ++end;
        if (end - start > anchorLength_) {
            anchor_ = start;
            anchorLength_ = end - start;
        }
        start = end;
    }
    if (anchorLength_ == 0) valid_ = false;  // a pattern of wildcards proves nothing
}

bool RoutinePattern::Matches(std::span<const uint8_t> image, int64_t at, RoutineMatch& match) const {
    if (at < 0 || at + static_cast<int64_t>(tokens_.size()) > static_cast<int64_t>(image.size())) return false;
    std::optional<uint8_t> low, high;
    for (size_t k = 0; k < tokens_.size(); ++k) {
        const uint8_t byte = image[static_cast<size_t>(at) + k];
        const Token& token = tokens_[k];
        switch (token.kind) {
            case Kind::Fixed:
                if (byte != token.value) return false;
                break;
            case Kind::Any:
                break;
            case Kind::Low:
                low = byte;
                break;
            case Kind::High:
                high = byte;
                break;
            case Kind::Bank:
                // A pattern that names its bank twice must name one bank.
                if (match.bank && *match.bank != byte) return false;
                match.bank = byte;
                break;
            case Kind::Length:
                if (match.length && *match.length != byte) return false;
                match.length = byte;
                break;
        }
    }
    match.at = at;
    match.address = static_cast<uint16_t>(low.value_or(0) | high.value_or(0) << 8);
    return true;
}

std::vector<RoutineMatch> RoutinePattern::FindIn(std::span<const uint8_t> image, size_t limit) const {
    std::vector<RoutineMatch> matches;
    if (!valid_ || limit == 0) return matches;
    // The anchor's first byte is found with memchr, the rest compared in place.
    const uint8_t first = tokens_[anchor_].value;
    const uint8_t* const begin = image.data();
    const uint8_t* const end = begin + image.size();
    const uint8_t* from = begin;
    while (from < end) {
        const auto* found = static_cast<const uint8_t*>(std::memchr(from, first, static_cast<size_t>(end - from)));
        if (found == nullptr || static_cast<size_t>(end - found) < anchorLength_) break;
        bool anchorMatches = true;
        for (size_t k = 1; k < anchorLength_ && anchorMatches; ++k) {
            anchorMatches = found[k] == tokens_[anchor_ + k].value;
        }
        RoutineMatch match;
        if (anchorMatches && Matches(image, (found - begin) - static_cast<int64_t>(anchor_), match)) {
            matches.push_back(match);
            if (matches.size() >= limit) break;
        }
        from = found + 1;
    }
    return matches;
}

std::vector<uint8_t> RoutinePattern::Bytes(uint16_t address, uint8_t bank, uint8_t length, uint8_t filler) const {
    std::vector<uint8_t> bytes;
    bytes.reserve(tokens_.size());
    for (const Token& token : tokens_) {
        switch (token.kind) {
            case Kind::Fixed:
                bytes.push_back(token.value);
                break;
            case Kind::Any:
                bytes.push_back(filler);
                break;
            case Kind::Low:
                bytes.push_back(static_cast<uint8_t>(address & 0xFF));
                break;
            case Kind::High:
                bytes.push_back(static_cast<uint8_t>(address >> 8));
                break;
            case Kind::Bank:
                bytes.push_back(bank);
                break;
            case Kind::Length:
                bytes.push_back(length);
                break;
        }
    }
    return bytes;
}

}  // namespace rom
