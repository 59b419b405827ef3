// SPDX-License-Identifier: GPL-3.0-or-later
#include "NetscapeFileGenerator.h"

#include "SyntheticCollection.h"

#include <random>
#include <vector>

namespace brindle::bench {

namespace {

void AppendEscaped(std::string& out, const std::string& text) {
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
            break;
        }
    }
}

// Words a title outside ASCII takes, by how often they turn up in collections: accented Latin
// the most, then Cyrillic, then CJK, then emoji.
const char* const kLatin[] = {"Café",         "Zürich", "résumé", "São Paulo", "naïve",
                              "Ærøskøbing",   "Größe",  "Señor",  "Kraków",    "Ångström",
                              "crème brûlée", "façade", "Straße", "Björk",     "Łódź"};
const char* const kCyrillic[] = {"Новости", "Москва", "программирование", "Погода",
                                 "Рецепты", "Киев",   "история",          "музыка"};
const char* const kCjk[] = {"東京", "新聞",       "天気予報", "プログラミング", "北京", "料理",
                            "音楽", "프로그래밍", "뉴스"};
const char* const kEmoji[] = {"🎵", "📷", "🚀", "⭐", "🍕", "🇫🇷", "👍🏽"};

template <std::size_t N> const char* Pick(const char* const (&words)[N], std::mt19937& rng) {
    return words[rng() % N];
}

// A word outside ASCII: 45 % Latin, 25 % Cyrillic, 20 % CJK, 10 % emoji.
const char* NonAsciiWord(std::mt19937& rng) {
    const unsigned r = rng() % 20;
    if (r < 9)
        return Pick(kLatin, rng);
    if (r < 14)
        return Pick(kCyrillic, rng);
    if (r < 18)
        return Pick(kCjk, rng);
    return Pick(kEmoji, rng);
}

} // namespace

std::string MakeNetscapeFile(std::size_t count, std::uint32_t seed, bool mixedScripts) {
    const std::vector<SyntheticBookmark> links = MakeSyntheticBookmarks(count, seed);
    const std::vector<std::string>& words = Vocabulary();
    std::mt19937 rng(seed * 7919u + 13u);
    std::string out;
    out.reserve(count * 220 + 1024);
    out += "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n"
           "<!-- This is an automatically generated file.\n"
           "     It will be read and overwritten.\n"
           "     DO NOT EDIT! -->\n"
           "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">\n"
           "<TITLE>Bookmarks</TITLE>\n<H1>Bookmarks Menu</H1>\n\n<DL><p>\n";
    int depth = 1;
    auto indent = [&] { out.append(static_cast<size_t>(depth) * 4, ' '); };
    for (std::size_t i = 0; i < links.size(); ++i) {
        // Every few dozen links the walk moves: into a new subfolder or back out of one.
        if (i % 40 == 0) {
            const unsigned move = rng() % 3;
            if (move == 0 && depth > 1) {
                --depth;
                indent();
                out += "</DL><p>\n";
            } else if (depth < 6) {
                indent();
                out += "<DT><H3 ADD_DATE=\"1600000000\" LAST_MODIFIED=\"1600000001\">";
                out += words[rng() % words.size()];
                out += ' ';
                out += words[rng() % words.size()];
                out += "</H3>\n";
                indent();
                out += "<DL><p>\n";
                ++depth;
            }
        }
        const SyntheticBookmark& b = links[i];
        indent();
        out += "<DT><A HREF=\"";
        AppendEscaped(out, b.url);
        out += "\" ADD_DATE=\"" + std::to_string(b.added) + "\" LAST_MODIFIED=\"" +
               std::to_string(b.modified) + "\"";
        if (i % 5 == 0)
            out += " ICON=\"data:image/png;base64,iVBORw0KGgoAAAANSUhEUgAAABAAAAAQCAYAAAAf8/"
                   "9hAAAAGXRFWHRTb2Z0d2FyZQBBZG9iZSBJbWFnZVJlYWR5ccllPAAAAUBJREFUeNpi\"";
        if (i % 7 == 0)
            out +=
                " TAGS=\"" + words[rng() % words.size()] + "," + words[rng() % words.size()] + "\"";
        out += ">";
        if (mixedScripts && rng() % 3 == 0) {
            // Before, inside or after the title, as sites put a place or a topic there.
            const std::string word = NonAsciiWord(rng);
            const std::size_t space = b.name.find(' ');
            switch (rng() % 3) {
            case 0:
                AppendEscaped(out, word + " " + b.name);
                break;
            case 1:
                AppendEscaped(out, b.name.substr(0, space) + " " + word + b.name.substr(space));
                break;
            default:
                AppendEscaped(out, b.name + " – " + word);
                break;
            }
        } else {
            AppendEscaped(out, b.name);
        }
        if (i % 11 == 0)
            out += " &amp; more";
        out += "</A>\n";
        if (i % 4 == 0) {
            indent();
            out += "<DD>";
            AppendEscaped(out, b.description);
            out += "\n";
        }
    }
    while (depth > 1) {
        --depth;
        indent();
        out += "</DL><p>\n";
    }
    out += "</DL>\n";
    return out;
}

} // namespace brindle::bench
