#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vellamark::testsupport {

// A deliberately small reader of the login form, written apart from the code that writes it:
// finds each <input ...> and <form ...> tag, splits its attributes (double-quoted, single-quoted
// or bare values) and decodes character references the way a browser does for these cases.
struct HtmlTag {
    std::string name;
    std::vector<std::pair<std::string, std::string>> attributes;

    [[nodiscard]] std::string Get(std::string_view key) const {
        for (const auto& [k, v] : attributes) {
            if (k == key) {
                return v;
            }
        }
        return "<absent>";
    }
};

inline void AppendUtf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

inline std::string DecodeReferences(std::string_view raw) {
    std::string out;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] != '&') {
            out += raw[i];
            continue;
        }
        const std::size_t semi = raw.find(';', i);
        const std::string_view ref = raw.substr(i + 1, semi - i - 1);
        if (ref == "amp") {
            out += '&';
        } else if (ref == "lt") {
            out += '<';
        } else if (ref == "gt") {
            out += '>';
        } else if (ref == "quot") {
            out += '"';
        } else if (!ref.empty() && ref[0] == '#') {
            AppendUtf8(out, static_cast<std::uint32_t>(std::stoul(std::string(ref.substr(1)))));
        } else {
            out += '&';
            continue;
        }
        i = semi;
    }
    return out;
}

inline std::vector<HtmlTag> ReadTags(std::string_view html, std::string_view tagName) {
    std::vector<HtmlTag> tags;
    const std::string opening = "<" + std::string(tagName) + " ";
    for (std::size_t at = html.find(opening); at != std::string_view::npos;
         at = html.find(opening, at + 1)) {
        HtmlTag tag{std::string(tagName), {}};
        std::size_t i = at + opening.size();
        while (i < html.size() && html[i] != '>') {
            if (html[i] == ' ' || html[i] == '/') {
                ++i;
                continue;
            }
            std::size_t nameEnd = i;
            while (nameEnd < html.size() && html[nameEnd] != '=' && html[nameEnd] != ' ' &&
                   html[nameEnd] != '>') {
                ++nameEnd;
            }
            std::string key(html.substr(i, nameEnd - i));
            std::string value;
            i = nameEnd;
            if (i < html.size() && html[i] == '=') {
                ++i;
                if (html[i] == '"' || html[i] == '\'') {
                    const char quote = html[i];
                    const std::size_t close = html.find(quote, i + 1);
                    value = DecodeReferences(html.substr(i + 1, close - i - 1));
                    i = close + 1;
                } else {
                    std::size_t end = i;
                    while (end < html.size() && html[end] != ' ' && html[end] != '>') {
                        ++end;
                    }
                    value = DecodeReferences(html.substr(i, end - i));
                    i = end;
                }
            }
            tag.attributes.emplace_back(std::move(key), std::move(value));
        }
        tags.push_back(std::move(tag));
    }
    return tags;
}

// The form's fields as a browser would post them: hidden inputs with a name, in document order.
inline std::vector<std::pair<std::string, std::string>> PostedFields(std::string_view html) {
    std::vector<std::pair<std::string, std::string>> fields;
    for (const HtmlTag& input : ReadTags(html, "input")) {
        if (input.Get("type") == "hidden") {
            fields.emplace_back(input.Get("name"), input.Get("value"));
        }
    }
    return fields;
}

}  // namespace vellamark::testsupport
