#include "formats/Refusals.h"

#include <algorithm>
#include <utility>

namespace formats {

std::string RefusalText(const Refusal& refusal) {
    std::string text;
    if (!refusal.cell.empty()) {
        text = refusal.cell;
    } else {
        text = "line " + std::to_string(refusal.line);
        if (refusal.column > 0) text += ", column " + std::to_string(refusal.column);
    }
    if (!refusal.columnName.empty()) text += " (" + refusal.columnName + ")";
    return text + ": " + refusal.message;
}

void Refusals::Refuse(Refusal refusal) {
    if (refusals.size() < kMostRefusalsListed) {
        refusals.push_back(std::move(refusal));
    } else {
        ++unlistedRefusals;
    }
}

void Refusals::RefuseAndStop(Refusal refusal) {
    if (refusals.size() >= kMostRefusalsListed) {
        refusals.pop_back();
        ++unlistedRefusals;
    }
    refusals.push_back(std::move(refusal));
}

void Refusals::Append(const Refusals& other) {
    for (const Refusal& refusal : other.refusals) Refuse(refusal);
    unlistedRefusals += other.unlistedRefusals;
}

void Refusals::SortByLine() {
    std::stable_sort(refusals.begin(), refusals.end(),
                     [](const Refusal& a, const Refusal& b) { return a.line < b.line; });
}

}  // namespace formats
