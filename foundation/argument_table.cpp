#include "foundation/argument_table.hpp"

#include <cstring>

#include "foundation/error_handler.hpp"

namespace sea::config_impl {

argument_table::argument_table(std::vector<base_argument*> list) : arguments(std::move(list)) {
    by_name.max_load_factor(1.0f);
    for (base_argument* arg : arguments) by_name.emplace(arg->name, arg);
}

void argument_table::set(const std::string& name, const std::string& text) {
    auto it = by_name.find(name);
    if (it == by_name.end()) {
        error_handler::instance().report_fatal(configure_error::unknown_argument(name));
        return;
    }
    it->second->set_value(text);
}

void argument_table::parse(int argc, const char* const* argv) {
    int i = 1;
    while (i < argc) {
        const std::string word = argv[i];
        if (word.size() < 2 || word[0] != '-') {
            error_handler::instance().report_fatal(configure_error::unknown_argument(word));
            i += 1;
        } else if (word[1] == '-' && word.find('=') != std::string::npos) {
            const std::size_t eq = word.find('=');
            set(word.substr(0, eq), word.substr(eq + 1));
            i += 1;
        } else if (word[1] != '-' && word.size() > 2) {
            set(word.substr(0, 2), word.substr(2));
            i += 1;
        } else {
            set(word, i + 1 < argc ? argv[i + 1] : "");
            i += 2;
        }
    }
}

} // namespace sea::config_impl
