// The resume file: a one-line JSON document beside the geometry file that
// lets a later run of the same geometry and physics continue every master's
// statistics. Reading it ends the run only where the run could not save
// its own results either (the lock cannot be had, or the path holds a file
// too large to be a resume document); otherwise a document that cannot be
// read, or belongs to another case, starts the run afresh, and a master
// whose stored statistics are damaged or do not fit starts afresh on its
// own.
//
// The file is replaced whole (written beside it, synced, renamed), after
// masters finish and at the end, by one run at a time; what is not a resume
// document is never replaced, and a resume document that this run cannot
// continue is kept beside it before it is.
#include "extraction/resume_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <string_view>
#include <vector>

#include "config/configure.hpp"
#include "config/parse_configure.hpp"
#include "extraction/extraction_task.hpp"
#include "extraction/resume_document.hpp"
#include "extraction/stored_statistics.hpp"
#include "foundation/duration.hpp"
#include "foundation/error_handler.hpp"
#include "foundation/md5.hpp"
#include "geometry/layout.hpp"
#include "walker/walker_seed.hpp"

#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
namespace {

// Writes while the masters run come at most this often, and at most one
// tenth of the run goes to them however large the file grows.
constexpr std::int64_t least_write_interval_ns = 2'000'000'000;
constexpr std::int64_t write_cost_share = 10;

// A document of this geometry is at most this many times its one-line
// size, so that one spread over lines by hand is still read; and a file of
// up to `always_read` bytes is read whatever the geometry.
constexpr std::uint64_t layout_share = 4;
constexpr std::uint64_t always_read = std::uint64_t{1} << 20;

// Checksum of one master's stored arrays.
std::string results_checksum(const std::string& blocks, const std::string& nets) {
    return md5(blocks + "\n" + nets).hexdigest();
}

// The stored array of one master under "block_results" or "net_results"
// as text; an absent one reads as "", one of the wrong type does not read.
bool stored_array(const resume_document& doc, int which, const std::string& master, std::string& out) {
    const Json::Value& all = doc.members[results_keys[which]];
    if (!all.isNull() && !all.isObject()) return false;
    const auto found = doc.results[which].find(master);
    out = found == doc.results[which].end() || found->second == "null" ? std::string() : found->second;
    return out.empty() || out.front() == '[';
}

const char* gauss_word(configure::gauss_arg type) {
    static const char* const words[] = {"default", "uniform", "diel", "dist", "both"};
    return type >= 0 && type <= configure::gauss_both ? words[type] : "?";
}

// The settings beyond the geometry text that change what a walk estimates:
// stored statistics of other settings belong to another case. The tables
// are identified by their content, apart from these.
Json::Value physics_options(const configure& cfg, double floating_d, const std::string& idmap_md5) {
    Json::Value o(Json::objectValue);
    o["--multi-dielectric"] = dielectric_word(cfg.multi_dielectric);
    o["-m"] = idmap_md5;
    o["--enable-merge"] = cfg.enable_merge;
    o["-w"] = cfg.min_wire_width;
    o["--window-extension"] = cfg.window_extension;
    o["--auto-window"] = cfg.auto_window;
    o["--manhattan-approximation"] = cfg.manhattan_approximation;
    o["--gauss-type"] = gauss_word(cfg.gauss_type);
    o["--gauss-scale"] = cfg.gauss_scale;
    o["--enable-floating"] = cfg.enable_floating;
    o["--floating-type"] = static_cast<int>(cfg.floating_type);
    o["--floating-type-prism"] = static_cast<int>(cfg.floating_type_prism);
    // The distance that preparation computed, not the option's value.
    o["--floating-d"] = floating_d;
    return o;
}

// Checksum of everything in a document beside the masters' arrays (which
// carry their own): the identity of the case, the seed position the next
// run continues from, the totals and each master's checksum.
std::string document_checksum(const Json::Value& casefile_md5, const Json::Value& options,
                              const Json::Value& tables_md5, const Json::Value& seed, const Json::Value& nwalks,
                              const Json::Value& nhops, const Json::Value& accuracy, const Json::Value& checksums) {
    Json::Value all(Json::arrayValue);
    for (const Json::Value* v : {&casefile_md5, &options, &tables_md5, &seed, &nwalks, &nhops, &accuracy, &checksums})
        all.append(*v);
    return md5(json_text(all)).hexdigest();
}

const Json::Value* member(const Json::Value& doc, const char* key) {
    return doc.isObject() ? doc.find(key, key + std::strlen(key)) : nullptr;
}

// The members a resume document may begin with, in the writer's order or
// by hand.
bool resume_key_prefix(std::string_view name) {
    static const char* const keys[] = {"accuracy",    "block_results", "casefile_md5", "net_results",
                                       "nhops",       "nwalks",        "results_md5",  "run_md5",
                                       "run_options", "seed_counter",  "tables_md5"};
    for (const char* k : keys)
        if (std::string_view(k).substr(0, name.size()) == name) return true;
    return false;
}

// Whether text begins as a resume document does: an object whose first
// member (whole or cut) is one of a document's. Such a text that does not
// parse is a document damaged or cut short, not a file of the user's.
bool begins_as_document(std::string_view text) {
    std::size_t at = 0;
    auto skip_space = [&] {
        while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at]))) ++at;
    };
    skip_space();
    if (at >= text.size() || text[at] != '{') return false;
    ++at;
    skip_space();
    if (at >= text.size()) return true;
    if (text[at] != '"') return false;
    const std::size_t end = text.find('"', at + 1);
    return resume_key_prefix(text.substr(at + 1, end == std::string_view::npos ? end : end - at - 1));
}

// Why a text that begins as a document does not parse: cut short (its
// brackets or a string never close), or malformed.
std::string parse_failure(std::string_view text) {
    long depth = 0;
    bool in_string = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (in_string) {
            if (c == '\\') ++i;
            else if (c == '"') in_string = false;
        } else if (c == '"') {
            in_string = true;
        } else if (c == '{' || c == '[') {
            ++depth;
        } else if (c == '}' || c == ']') {
            --depth;
        }
    }
    if (in_string || depth > 0)
        return "it ends after " + std::to_string(text.size()) + " bytes, before the document does (cut short)";
    return "it is not well-formed JSON";
}

// What a run may replace: nothing at the path, an empty file (left by a
// writer that truncated the file in place and was killed), or a resume
// document. Anything else, a link included, may be the user's and is left
// alone.
bool replaceable_file(const std::string& path, const std::string& old_text, bool parsed, const Json::Value& doc) {
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0) return errno == ENOENT;
    if (!S_ISREG(st.st_mode)) return false;
    return old_text.empty() || (parsed && doc.isMember("casefile_md5"));
}

// "<path>.<kind>-<n>" with the smallest n that names no file yet.
std::string free_name(const std::string& path, const char* kind, int& n) {
    struct stat st;
    for (;; ++n) {
        const std::string name = path + "." + kind + "-" + std::to_string(n);
        if (::lstat(name.c_str(), &st) != 0 && errno == ENOENT) return name;
    }
}

// A copy of the file at from, under a new name to: a second link to it
// where the file system has them (the copy is then free and at once
// whole), else its bytes. Never replaces a file at to.
int keep_copy(const std::string& from, const std::string& to) {
    if (::link(from.c_str(), to.c_str()) == 0) return 0;
    if (errno == EEXIST) return EEXIST;
    const int in = ::open(from.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (in < 0) return errno;
    const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (out < 0) {
        const int e = errno;
        ::close(in);
        return e;
    }
    int failure = 0;
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(in, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n < 0) failure = errno;
            break;
        }
        for (ssize_t done = 0; failure == 0 && done < n;) {
            const ssize_t w = ::write(out, buf + done, static_cast<std::size_t>(n - done));
            if (w < 0 && errno == EINTR) continue;
            if (w <= 0) failure = w < 0 ? errno : ENOSPC;
            else done += w;
        }
        if (failure) break;
    }
    if (failure == 0 && ::fsync(out) != 0) failure = errno;
    if (::close(out) != 0 && failure == 0) failure = errno;
    ::close(in);
    if (failure != 0) ::unlink(to.c_str());
    return failure;
}

std::string value_word(const Json::Value* v) { return v ? json_text(*v) : std::string("none"); }

} // namespace

resume_file::resume_file(const configure& c, const ::layout& l, const run_writers& w)
    : cfg(&c), lay(&l), writers(&w) {}

void resume_file::name_after(const std::string& input) {
    const std::size_t slash = input.rfind('/');
    file_path = slash == std::string::npos ? "." + input + ".json"
                                           : input.substr(0, slash + 1) + "." + input.substr(slash + 1) + ".json";
}

void resume_file::take_lock() {
    // Two runs writing one file would mix their results: the second waits
    // for nothing and ends before any walk, and so does a run that cannot
    // lock at all, rather than run unguarded.
    const std::string lock_path = file_path + ".lock";
    switch (lock.acquire(lock_path)) {
    case sea::file_lock::locked: return;
    case sea::file_lock::busy:
        error_handler::instance().raise(
            sea::basic_error("another run is using the resume file \"" + file_path + "\""));
        return;
    case sea::file_lock::unavailable:
        error_handler::instance().raise(sea::basic_error("the resume file \"" + file_path +
                                                         "\" cannot be locked: its lock file \"" + lock_path +
                                                         "\" cannot be made or locked (" +
                                                         std::strerror(lock.error()) + ")"));
        return;
    }
}

// Every conductor stored as a master, each with an element per pair of one
// of its blocks and any block or none, and per net or none; each element
// as long as its longest names and numbers can make it.
std::uint64_t resume_file::largest_document() const {
    std::uint64_t longest = 0;
    for (const block* b : lay->all_blocks) longest = std::max<std::uint64_t>(longest, b->name.size());
    for (const conductor* n : lay->nets) longest = std::max<std::uint64_t>(longest, n->name.size());
    longest *= 6;  // a name's bytes written as \u escapes
    const std::uint64_t number = 26;  // 17 digits, sign, point, exponent, separator
    const std::uint64_t element = 512 + 2 * longest + number * (10 * max_strata + 8);
    const std::uint64_t blocks = lay->all_blocks.size(), nets = lay->nets.size();
    const std::uint64_t elements = blocks * (blocks + 1) + nets * (nets + 1);
    const std::uint64_t masters = nets * (64 + 3 * longest);
    return always_read + layout_share * (4096 + masters + elements * element);
}

// The whole text at the path when it is a regular file of a size a resume
// document can have; false when there is nothing there to read. A larger
// file ends the run: it is no resume document of this case, and this run
// could not save its own results without destroying it.
bool resume_file::read_stored(std::string& text) {
    struct stat st;
    if (::stat(file_path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    // Opening a FIFO or a device could block the run for ever: only
    // regular files are opened, and the one opened is checked again.
    const int fd = ::open(file_path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    const std::uint64_t bound = largest_document();
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    auto refuse = [&](std::uint64_t size) {
        ::close(fd);
        error_handler::instance().raise(sea::basic_error(
            "the resume file \"" + file_path + "\" holds " + std::to_string(size) +
            " bytes or more, more than any resume document of this geometry can (" + std::to_string(bound) +
            " bytes): it is left alone; move it away to run with \"--breakpoint-resume\""));
    };
    if (static_cast<std::uint64_t>(st.st_size) > bound) refuse(static_cast<std::uint64_t>(st.st_size));
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        text.append(buf, static_cast<std::size_t>(n));
        if (text.size() > bound) refuse(text.size());  // grew while read
    }
    ::close(fd);
    return true;
}

// Moves a damaged document out of the way, so that this run can save: a
// second name made without replacing any file, then the first removed; a
// rename where the file system has no links.
void resume_file::set_aside(const char* kind, const std::string& cause) {
    for (int n = 1;;) {
        const std::string aside = free_name(file_path, kind, n);
        bool moved = ::link(file_path.c_str(), aside.c_str()) == 0;
        if (moved)
            ::unlink(file_path.c_str());
        else if (errno != EEXIST)
            moved = ::rename(file_path.c_str(), aside.c_str()) == 0;
        else
            continue;
        if (!moved) {
            stop_saving("the resume file " + file_path + " is a damaged resume document (" + cause +
                        ") that cannot be moved aside (" + std::strerror(errno) + "): it is left alone");
            return;
        }
        writers->both().printf("the resume file %s is a damaged resume document: %s. It is moved to %s, and this "
                               "run starts afresh.\n\n",
                               file_path.c_str(), cause.c_str(), aside.c_str());
        replaceable = true;
        return;
    }
}

void resume_file::stop_saving(const std::string& why) {
    saving = false;
    writers->both().printf("%s, and this run saves nothing.\n\n", why.c_str());
}

void resume_file::open(std::int64_t& nwalks, std::int64_t& nhops) {
    take_lock();
    // The pieces of one polygon share a name: the index tells them apart.
    for (std::size_t i = 0; i < lay->all_blocks.size(); ++i)
        block_index[lay->all_blocks[i]] = static_cast<Json::Int64>(i);
    run_options = physics_options(*cfg, lay->floating_d, idmap_md5);
    const mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
    struct stat st;
    if (::stat(file_path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) mode = st.st_mode & 07777;
    last_write_ns = steady_nanoseconds();

    std::string old_text;
    read_stored(old_text);
    resume_document doc_read;
    const bool parsed = read_document(old_text, doc_read);
    const Json::Value& doc = doc_read.members;
    replaceable = replaceable_file(file_path, old_text, parsed, doc);
    sea::writer& both = writers->both();
    if (!parsed) {
        both.printf("json file not found or parse error, start breakpoint resume failed.\n\n");
        if (replaceable || !begins_as_document(old_text)) return;
        struct stat link_st;
        if (::lstat(file_path.c_str(), &link_st) == 0 && S_ISREG(link_st.st_mode))
            set_aside("damaged", parse_failure(old_text));
        return;
    }
    // A document of this version carries a checksum of all but the
    // masters' arrays; one without it (older files) is read as before, but
    // one that names its tables is of this version and must have it.
    const Json::Value* stored_checksum = member(doc, "run_md5");
    const Json::Value* stored_tables = member(doc, "tables_md5");
    const Json::Value* stored_options = member(doc, "run_options");
    const Json::Value* checksums = member(doc, "results_md5");
    const Json::Value none;
    if (replaceable && (stored_checksum || stored_tables)) {
        const std::string expected =
            document_checksum(doc["casefile_md5"], stored_options ? *stored_options : none,
                              stored_tables ? *stored_tables : none, doc["seed_counter"], doc["nwalks"], doc["nhops"],
                              doc["accuracy"], checksums ? *checksums : none);
        if (!stored_checksum || !stored_checksum->isString() || stored_checksum->asString() != expected) {
            both.printf("json file not found or parse error, start breakpoint resume failed.\n\n");
            set_aside("damaged", stored_checksum ? "its checksum \"run_md5\" does not match its content"
                                                 : "it names its tables but has no checksum \"run_md5\"");
            return;
        }
    }
    // What differs between the stored walks and this run's: any of it
    // makes another case. A digest of another type reads as "", which
    // matches no geometry.
    std::vector<std::string> differences;
    const Json::Value& stored_digest = doc["casefile_md5"];
    if ((stored_digest.isString() ? stored_digest.asString() : std::string()) != casefile_md5)
        differences.push_back("the geometry text");
    if (stored_options) {
        std::vector<std::string> names = run_options.getMemberNames();
        if (stored_options->isObject())
            for (const std::string& name : stored_options->getMemberNames())
                if (!run_options.isMember(name)) names.push_back(name);
        std::sort(names.begin(), names.end());
        for (const std::string& name : names) {
            const Json::Value* was = member(*stored_options, name.c_str());
            const Json::Value* now = member(run_options, name.c_str());
            if (!was || !now || json_text(*was) != json_text(*now))
                differences.push_back("option \"" + name + "\" (stored " + value_word(was) + ", now " +
                                      value_word(now) + ")");
        }
        if (!stored_tables)
            differences.push_back("the transition tables (the stored document names their folders, not their "
                                  "content)");
    }
    if (stored_tables && json_text(*stored_tables) != json_text(Json::Value(tables_md5)))
        differences.push_back("the transition tables (their content)");
    if (!differences.empty()) {
        both.printf("case file modified, start breakpoint resume failed.\n\n");
        std::string items;
        for (std::size_t i = 0; i < differences.size(); ++i)
            items += (i == 0 ? "" : i + 1 == differences.size() ? " and " : ", ") + differences[i];
        both.printf("the stored results differ from this run in %s: this run starts afresh", items.c_str());
        keep_before_write = replaceable && !old_text.empty();
        if (keep_before_write) both.printf(", and the stored document is kept beside the new one when it is replaced");
        both.printf(".\n\n");
        return;
    }
    resuming = true;
    both.printf("Start breakpoint resume successfully, ");
    const double a = doc["accuracy"].isNumeric() ? doc["accuracy"].asDouble() : 0.0;
    if (a > 0)
        both.printf("previous accuracy control is \"-p %.3f\"", a);
    else if (a < 0)
        both.printf("previous accuracy control is \"-c %.3f\"", -a);
    else
        both.printf("no previous accuracy found.");
    both.printf("\n\n");
    // The totals only feed the summary line; unreadable, they restart at 0.
    nwalks = stored_count(doc["nwalks"]);
    nhops = stored_count(doc["nhops"]);
    if (nwalks < 0 || nhops < 0) nwalks = nhops = 0;
    // New walks need new seeds. A file written before the seed position was
    // stored still gets them: an earlier run created no more walkers than
    // it made walks.
    const Json::Value& seed = doc["seed_counter"];
    if (seed.isUInt64() && is_walker_seed(seed.asUInt64()))
        set_walker_seed_position(static_cast<uint32_t>(seed.asUInt64()));
    else
        set_walker_seed_position(walker_seed_after(static_cast<uint64_t>(nwalks)));

    // Every stored master is kept, as text: those this run does not extract
    // are written back as they were. A master without a stored checksum
    // (older files) is read as before; in a document under its own
    // checksum every master has one.
    std::map<std::string, bool> names;
    for (int which = 0; which < 2; ++which)
        for (const auto& entry : doc_read.results[which]) names[entry.first] = true;
    for (const conductor* master : lay->masters) names[master->name] = true;
    for (const auto& entry : names) {
        const std::string& name = entry.first;
        stored_master m;
        m.damaged = !stored_array(doc_read, 0, name, m.blocks) || !stored_array(doc_read, 1, name, m.nets);
        const Json::Value* sum = checksums && checksums->isObject()
                                     ? checksums->find(name.data(), name.data() + name.size())
                                     : nullptr;
        if (checksums && !checksums->isObject()) m.damaged = true;
        if (sum) {
            m.checksum = sum->isString() ? sum->asString() : json_text(*sum);
            if (m.checksum != results_checksum(m.blocks, m.nets)) m.damaged = true;
        } else if (stored_checksum && (!m.blocks.empty() || !m.nets.empty())) {
            m.damaged = true;
        }
        if (m.damaged || !m.blocks.empty() || !m.nets.empty()) stored[name] = std::move(m);
    }
}

void resume_file::record(const extraction_task& task, const conductor* master) {
    stored_master& m = finished[master->name];
    write_master_statistics(task, block_index, m.blocks, m.nets);
    m.checksum = results_checksum(m.blocks, m.nets);
    stored.erase(master->name);
    results_unsaved = true;
}

void resume_file::restore(extraction_task& task, const conductor* master) {
    if (!resuming) return;
    const auto found = stored.find(master->name);
    if (found == stored.end()) return;
    if (!found->second.damaged && read_master_statistics(task, found->second.blocks, found->second.nets, *lay)) return;
    clear_master_statistics(task);
    writers->both().printf(
        "stored results of master %s are damaged or do not fit this run, the master starts afresh.\n\n",
        master->name.c_str());
}

// A document of another case is replaced only once it is kept beside.
bool resume_file::keep_replaced_document() {
    if (!keep_before_write) return true;
    struct stat st;
    if (::lstat(file_path.c_str(), &st) != 0 && errno == ENOENT) {
        keep_before_write = false;  // gone meanwhile: nothing left to keep
        return true;
    }
    int n = 1;
    for (;;) {
        const std::string copy = free_name(file_path, "replaced", n);
        const int failure = keep_copy(file_path, copy);
        if (failure == EEXIST) continue;
        if (failure != 0) {
            stop_saving("the stored resume document " + file_path + " cannot be kept beside the new one (" +
                        std::strerror(failure) + "): it is not replaced");
            return false;
        }
        keep_before_write = false;
        writers->both().printf("the resume document of the other case is kept as %s.\n\n", copy.c_str());
        return true;
    }
}

void resume_file::write(std::int64_t nwalks, std::int64_t nhops, bool only_when_due) {
    if (!cfg->breakpoint_resume || !saving) return;
    const std::int64_t start = steady_nanoseconds();
    if (only_when_due && start - last_write_ns < write_interval_ns) return;
    // A lock file deleted or replaced meanwhile is made and locked again,
    // so that runs on other hosts still find it.
    if (lock.renew() != sea::file_lock::locked) {
        stop_saving("the lock file " + file_path + ".lock of the resume file was removed and is now held by "
                    "another run or cannot be made");
        return;
    }

    // Finished masters replace what was stored for them; the others keep
    // their stored results. The document is written in pieces straight from
    // the stored texts: no second copy of it is made.
    std::map<std::string, const stored_master*> masters;
    for (const auto& [name, m] : stored) masters[name] = &m;
    for (const auto& [name, m] : finished) masters[name] = &m;
    std::vector<std::string> keys;  // each master's quoted name and ":"
    Json::Value checksum_values(Json::objectValue);
    for (const auto& entry : masters) {
        keys.push_back(json_text(Json::Value(entry.first)) + ":");
        if (!entry.second->checksum.empty()) checksum_values[entry.first] = entry.second->checksum;
    }
    std::vector<std::string_view> pieces;
    // An object with one member per master whose value is not empty.
    auto put_object = [&](const char* name, auto value_of) {
        pieces.push_back(name);
        pieces.push_back("{");
        const char* separator = "";
        std::size_t i = 0;
        for (const auto& entry : masters) {
            const std::string& value = value_of(*entry.second);
            ++i;
            if (value.empty()) continue;
            pieces.insert(pieces.end(), {separator, keys[i - 1], value});
            separator = ",";
        }
        pieces.push_back("}");
    };
    // Members in key order, as a document tree would write them.
    const Json::Value accuracy(cfg->coupling_accuracy > 0 ? -cfg->coupling_accuracy : cfg->accuracy);
    const Json::Value digest(casefile_md5), tables(tables_md5);
    const Json::Value walks(static_cast<Json::Int64>(nwalks)), hops(static_cast<Json::Int64>(nhops));
    const Json::Value seed(static_cast<Json::UInt64>(walker_seed_position()));
    const std::string checksum =
        document_checksum(digest, run_options, tables, seed, walks, hops, accuracy, checksum_values);
    const std::string head = "{\"accuracy\":" + json_text(accuracy);
    const std::string digest_text = ",\"casefile_md5\":" + json_text(digest);
    const std::string totals = ",\"nhops\":" + json_text(hops) + ",\"nwalks\":" + json_text(walks) +
                               ",\"results_md5\":" + json_text(checksum_values);
    const std::string end = ",\"run_md5\":" + json_text(Json::Value(checksum)) +
                            ",\"run_options\":" + json_text(run_options) + ",\"seed_counter\":" + json_text(seed) +
                            ",\"tables_md5\":" + json_text(tables) + "}\n";
    pieces.push_back(head);
    put_object(",\"block_results\":", [](const stored_master& m) -> const std::string& { return m.blocks; });
    pieces.push_back(digest_text);
    put_object(",\"net_results\":", [](const stored_master& m) -> const std::string& { return m.nets; });
    pieces.push_back(totals);
    pieces.push_back(end);

    struct stat st;
    const bool absent = ::lstat(file_path.c_str(), &st) != 0 && errno == ENOENT;
    int failure = EEXIST;
    if (absent || (replaceable && S_ISREG(st.st_mode) && ::access(file_path.c_str(), W_OK) == 0)) {
        if (!keep_replaced_document()) return;
        failure = sea::replace_file(file_path, pieces, mode);
    }
    last_write_ns = steady_nanoseconds();
    write_interval_ns = std::max(least_write_interval_ns, write_cost_share * (last_write_ns - start));
    if (failure == 0) {
        replaceable = true;
        results_unsaved = false;
        return;
    }
    // Once per run: a full disk would otherwise repeat it after every master.
    if (error_shown) return;
    error_shown = true;
    writers->both().printf(
        "\nError when writing date to %s(breakpoint-resume file),check if you have write pemission!.\n\n",
        file_path.c_str());
}
