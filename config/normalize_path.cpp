#include "config/normalize_path.hpp"

namespace {

bool ends_with_parent(const std::string& out) {
    const std::size_t slash = out.rfind('/');
    return out.compare(slash == std::string::npos ? 0 : slash + 1, std::string::npos, "..") == 0;
}

} // namespace

std::string normalize_path(const std::string& path) {
    const bool absolute = !path.empty() && path[0] == '/';
    std::string out;
    std::size_t begin = 0;
    while (begin <= path.size()) {
        std::size_t end = path.find('/', begin);
        if (end == std::string::npos) end = path.size();
        const std::string segment = path.substr(begin, end - begin);
        begin = end + 1;
        if (segment.empty() || segment == ".") continue;
        if (segment == "..") {
            if (!absolute && (out.empty() || ends_with_parent(out))) {
                // Relative and already above the start: climb further.
                if (!out.empty()) out += '/';
                out += "..";
            } else {
                const std::size_t slash = out.rfind('/');
                out.resize(slash == std::string::npos ? 0 : slash);
            }
            continue;
        }
        if (absolute || !out.empty()) out += '/';
        out += segment;
    }
    if (!path.empty() && path.back() == '/' && !out.empty() && out.back() != '/') out += '/';
    if (absolute && out.empty()) out = "/";
    return out;
}
