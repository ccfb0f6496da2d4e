// Completion of the GREP bar (see Completion.h).
#include "Completion.h"

#include "TextSearch.h"

namespace xavo {

std::string UpperAsciiLetters(std::string_view sjis) {
    std::string out(sjis);
    for (std::size_t i = 0; i < out.size();) {
        const int length = SjisCharLength(out, i);
        if (length == 1 && out[i] >= 'a' && out[i] <= 'z') out[i] = static_cast<char>(out[i] - 'a' + 'A');
        i += static_cast<std::size_t>(length);
    }
    return out;
}

int FindCompletion(std::string_view text, const std::vector<std::string>& items, std::string& completeWith) {
    const std::string upper = UpperAsciiLetters(text);
    const std::size_t n = upper.size();
    for (std::size_t i = 0; i < items.size(); ++i) {
        const std::string_view item = items[i];
        if (item.size() < n || !IsCharBoundary(item, n)) continue;
        if (UpperAsciiLetters(item.substr(0, n)) != upper) continue;
        completeWith = std::string(item.substr(n));
        return static_cast<int>(i);
    }
    return -1;
}

}  // namespace xavo
