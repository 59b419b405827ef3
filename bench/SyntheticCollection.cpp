// SPDX-License-Identifier: GPL-3.0-or-later
#include "SyntheticCollection.h"

#include "store/BrindleDoc.h"

#include <random>

namespace brindle::bench {

namespace {
// Pronounceable words from syllables; a few real ones so that typed queries find something.
std::vector<std::string> BuildVocabulary() {
    static const char* const kReal[] = {"java",   "programming", "web",    "news",  "tools",
                                        "python", "linux",       "design", "music", "travel",
                                        "recipe", "science",     "sports", "games", "finance",
                                        "health", "history",     "photo",  "video", "books",
                                        "cpp",    "qt",          "search", "mail",  "weather"};
    static const char* const kSyllables[] = {"ka",  "lo",  "mi",  "ten", "ra",  "vo", "zu",  "pel",
                                             "dor", "an",  "si",  "mu",  "gri", "fa", "ne",  "tor",
                                             "bel", "qui", "sta", "vin", "ho",  "je", "wex", "ul"};
    std::vector<std::string> words(std::begin(kReal), std::end(kReal));
    std::mt19937 rng(12345);
    std::uniform_int_distribution<int> syl(0, std::size(kSyllables) - 1);
    std::uniform_int_distribution<int> len(2, 4);
    while (words.size() < 5000) {
        std::string w;
        for (int i = len(rng); i > 0; --i)
            w += kSyllables[syl(rng)];
        words.push_back(std::move(w));
    }
    return words;
}
} // namespace

const std::vector<std::string>& Vocabulary() {
    static const std::vector<std::string> words = BuildVocabulary();
    return words;
}

std::vector<SyntheticBookmark> MakeSyntheticBookmarks(std::size_t count, std::uint32_t seed) {
    const auto& vocab = Vocabulary();
    std::mt19937 rng(seed);
    // Skewed word choice, as in real collections: a few keywords are very common.
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    auto word = [&] {
        const double u = unit(rng);
        return vocab[static_cast<std::size_t>(u * u * u * static_cast<double>(vocab.size())) %
                     vocab.size()];
    };
    std::uniform_int_distribution<int> nameWords(2, 8);
    std::uniform_int_distribution<int> keywordWords(1, 6);
    std::uniform_int_distribution<std::int64_t> date(946684800, 1700000000); // 2000-2023

    std::vector<SyntheticBookmark> out;
    out.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        SyntheticBookmark b;
        for (int k = nameWords(rng); k > 0; --k) {
            std::string w = word();
            if (b.name.empty())
                w[0] = static_cast<char>(w[0] - 'a' + 'A');
            if (!b.name.empty())
                b.name += ' ';
            b.name += w;
        }
        for (int k = keywordWords(rng); k > 0; --k) {
            if (!b.keywords.empty())
                b.keywords += ' ';
            b.keywords += word();
        }
        b.url = std::string("https://www.");
        b.url.append(word()).append(".example/").append(word()).append("/");
        b.url.append(std::to_string(i)).append(".html");
        b.description = std::string("About ");
        b.description.append(word()).append(" and ").append(word()).append(".");
        b.added = date(rng);
        b.visited = unit(rng) < 0.5 ? 0 : date(rng);
        b.modified = unit(rng) < 0.5 ? 0 : date(rng);
        b.checked = unit(rng) < 0.7 ? 0 : date(rng);
        out.push_back(std::move(b));
    }
    return out;
}

BookmarkFields FieldsOf(const SyntheticBookmark& b) {
    return {.name = b.name,
            .url = b.url,
            .keywords = b.keywords,
            .description = b.description,
            .statusChecking = 1,
            .schedule = kNoSchedule,
            .status = kStatusWaiting,
            .addDate = b.added,
            .lastVisited = b.visited,
            .lastModified = b.modified,
            .lastChecked = b.checked};
}

void FillSyntheticCollection(CBrindleDoc& doc, std::size_t count, std::uint32_t seed) {
    for (const SyntheticBookmark& b : MakeSyntheticBookmarks(count, seed))
        doc.AddBookmark(FieldsOf(b));
}

} // namespace brindle::bench
