#include "extraction/resume_document.hpp"

#include <algorithm>
#include <cctype>


// The file is read and written with the classic reader and writer, whose
// formats (comments collected, one-line output) it relies on.
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

std::string json_text(const Json::Value& v) {
    Json::FastWriter writer;
    writer.omitEndingLineFeed();
    return writer.write(v);
}

bool parse_value(std::string_view text, Json::Value& out, bool comments) {
    Json::Reader reader;
    try {
        return reader.parse(text.data(), text.data() + text.size(), out, comments);
    } catch (const Json::Exception&) {
        return false;
    }
}

namespace {

// Walks JSON text without building values, so that a document of many
// masters never becomes one tree (about eight times the text's size).
// Every position is an index into the text; npos marks malformed text.
struct json_skimmer {
    static constexpr std::size_t npos = std::string_view::npos;
    std::string_view text;

    // Past white space and comments.
    std::size_t space(std::size_t at) const {
        while (at < text.size()) {
            if (std::isspace(static_cast<unsigned char>(text[at]))) {
                ++at;
            } else if (text.compare(at, 2, "//") == 0) {
                at = text.find('\n', at);
                if (at == npos) return text.size();
            } else if (text.compare(at, 2, "/*") == 0) {
                at = text.find("*/", at + 2);
                if (at == npos) return npos;
                at += 2;
            } else {
                break;
            }
        }
        return at;
    }

    // From an opening quote to past its closing one.
    std::size_t string_end(std::size_t at) const {
        for (++at; at < text.size(); ++at) {
            if (text[at] == '\\')
                ++at;
            else if (text[at] == '"')
                return at + 1;
        }
        return npos;
    }

    // Past one value; brackets are only counted here, the reader checks
    // that they match when the value is parsed.
    std::size_t value_end(std::size_t at) const {
        if (at >= text.size()) return npos;
        if (text[at] == '"') return string_end(at);
        if (text[at] != '{' && text[at] != '[') {
            const std::size_t end = text.find_first_of(",:}] \t\r\n/", at);
            return end == at ? npos : std::min(end, text.size());
        }
        int depth = 0;
        while (at < text.size()) {
            const char c = text[at];
            if (c == '"') {
                at = string_end(at);
            } else if (c == '/') {
                at = space(at);
                if (at != npos && text[at] == '/') return npos;
            } else {
                if (c == '{' || c == '[') ++depth;
                if ((c == '}' || c == ']') && --depth == 0) return at + 1;
                ++at;
            }
            if (at == npos) return npos;
        }
        return npos;
    }

    // The members of the object at `at`, in order, each name with the text
    // of its value; false unless the text there is an object's frame.
    bool members(std::size_t at, std::vector<std::pair<std::string, std::string_view>>& out) const {
        at = space(at);
        if (at == npos || at >= text.size() || text[at] != '{') return false;
        at = space(at + 1);
        if (at != npos && at < text.size() && text[at] == '}') return true;
        for (;;) {
            if (at == npos || at >= text.size() || text[at] != '"') return false;
            const std::size_t name_end = string_end(at);
            Json::Value name;
            if (name_end == npos || !parse_value(text.substr(at, name_end - at), name, false)) return false;
            at = space(name_end);
            if (at == npos || at >= text.size() || text[at] != ':') return false;
            at = space(at + 1);
            const std::size_t end = at == npos ? npos : value_end(at);
            if (end == npos) return false;
            out.emplace_back(name.asString(), text.substr(at, end - at));
            at = space(end);
            if (at == npos || at >= text.size()) return false;
            if (text[at] == '}') return true;
            if (text[at] != ',') return false;
            at = space(at + 1);
        }
    }
};

} // namespace

const char* const results_keys[2] = {"block_results", "net_results"};

bool read_document(std::string_view text, resume_document& doc) {
    const json_skimmer skim{text};
    std::vector<std::pair<std::string, std::string_view>> members;
    if (!skim.members(0, members)) return false;
    for (const auto& [name, value] : members) {
        const int which = name == results_keys[0] ? 0 : name == results_keys[1] ? 1 : -1;
        std::vector<std::pair<std::string, std::string_view>> masters;
        if (which < 0 || !json_skimmer{value}.members(0, masters)) {
            if (!parse_value(value, doc.members[name], true)) return false;
            if (which >= 0) doc.results[which].clear();
            continue;
        }
        doc.members.removeMember(name);
        doc.results[which].clear();
        for (const auto& [master, array] : masters) {
            Json::Value v;
            if (!parse_value(array, v, true)) return false;
            doc.results[which][master] = json_text(v);
        }
    }
    return true;
}
