#include "extraction/run_writers.hpp"

#include "config/configure.hpp"

void open_run_writers(run_writers& w, const configure& cfg) {
    std::unique_ptr<sea::writer> screen;
    if (cfg.std_output)
        screen = std::make_unique<sea::file_writer>(stdout);
    else
        screen = std::make_unique<sea::empty_writer>();
    open_run_writers(w, std::move(screen), std::make_unique<sea::file_writer>(cfg.output_file));
}

void open_run_writers(run_writers& w, std::unique_ptr<sea::writer> screen, std::unique_ptr<sea::writer> file) {
    w.screen_out = std::move(screen);
    w.file_out = std::move(file);
    w.both_out = std::make_unique<sea::multi_writer>(std::vector<sea::writer*>{w.screen_out.get(), w.file_out.get()});
}
