// The resume file beside the geometry file: its name, its lock, the results
// stored in it and every read and write of it. With "--breakpoint-resume"
// on, the run reads it once during preparation, each master takes its part
// back before its walks, each finished master hands its results over, and
// the file is replaced after masters finish, at the end and on an
// interrupt.
//
// Whatever the file holds, no stored walk is lost: the masters this run
// does not extract are written back as they were stored, a document of
// another case or a damaged one is kept beside the new one under a name
// that says what it is, and walks are mixed only when they come from the
// same geometry text, the same physics settings and tables of the same
// content.
#pragma once

#include <json/json.h>

#include <sys/types.h>

#include <cstdint>
#include <map>
#include <string>
#include <unordered_map>

#include "extraction/run_writers.hpp"
#include "foundation/file_replace.hpp"

class extraction_task;
struct block;
struct conductor;
struct configure;
struct layout;

class resume_file {
public:
    resume_file(const configure& cfg, const ::layout& lay, const run_writers& writers);
    resume_file(const resume_file&) = delete;
    resume_file& operator=(const resume_file&) = delete;

    // "dir/.base.json" beside the geometry file "dir/base"; set whether or
    // not resuming is on.
    void name_after(const std::string& input);
    const std::string& path() const { return file_path; }

    // What the stored walks must share with this run's: digests of the
    // geometry and id-map texts as read, and of the tables as loaded.
    std::string casefile_md5;
    std::string idmap_md5;
    std::string tables_md5;

    // Takes the lock (a run that cannot have it ends here, before any
    // walk), reads the stored document and, when it is of this run's
    // physics, continues from it: the totals are then set from it.
    void open(std::int64_t& nwalks, std::int64_t& nhops);
    bool resumed() const { return resuming; }

    // A master's stored statistics into its task, before its walks.
    void restore(extraction_task& task, const conductor* master);
    // A finished master's statistics, replacing what was stored for it.
    void record(const extraction_task& task, const conductor* master);
    // Replaces the file with every stored and finished master; with
    // `only_when_due`, not before enough time has passed since the last
    // write. Called under the run's lock.
    void write(std::int64_t nwalks, std::int64_t nhops, bool only_when_due = false);
    // Results newer than the file.
    bool unsaved() const { return results_unsaved; }

    // One master's results as stored: its "block_results" and
    // "net_results" arrays as one-line JSON texts, and their checksum.
    // Held as text, not as a document tree: a tree takes several times the
    // memory, and the file is rewritten from these texts as masters finish.
    struct stored_master {
        std::string blocks;
        std::string nets;
        std::string checksum;  // empty: none stored (older files)
        bool damaged = false;  // its stored arrays or checksum do not read or agree
    };

private:
    void take_lock();
    std::uint64_t largest_document() const;
    bool read_stored(std::string& text);
    void set_aside(const char* kind, const std::string& cause);
    bool keep_replaced_document();
    void stop_saving(const std::string& why);

    const configure* cfg;
    const ::layout* lay;
    const run_writers* writers;
    std::string file_path;
    sea::file_lock lock;
    Json::Value run_options;  // the settings that change the physics
    std::map<std::string, stored_master> finished;  // masters of this run, by name
    std::map<std::string, stored_master> stored;    // read back, until the master finishes
    bool resuming = false;
    bool replaceable = false;      // the path holds a resume document or nothing
    bool keep_before_write = false;  // the document at the path is of another case: keep it first
    bool results_unsaved = false;
    bool saving = true;            // false once the file must not be written any more
    bool error_shown = false;
    mode_t mode = 0644;            // permission bits of the file written
    std::int64_t last_write_ns = 0;
    std::int64_t write_interval_ns = 0;
    // Position of each block in layout.all_blocks, stored beside its name.
    std::unordered_map<const block*, Json::Int64> block_index;
};
