// progress.cpp - the progress bar of console.h. One line on standard error, rewritten in place:
//   big.bin.uue  42% [======          ] 11.4 of 27.0 MiB read, 5.1 MiB/s, 0:03 left
// The name is that of the file whose bytes are counted. A narrow terminal loses the time left,
// then the rate, the bar and the counts, and last the front of the name.
#include <csignal>
#include <chrono>
#include <cstdio>

#include "host/console.h"
#include "host/system.h"
#include "shared/utf8.h"

namespace uuarc_host {

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kRedrawInterval = std::chrono::milliseconds(100);
constexpr int kDefaultColumns = 80;
constexpr int kSmallestBar = 10;
constexpr int kLargestBar = 30;
// Columns kept for ", 999.9 MiB/s" and ", 59:59 left"; a longer one shows when there is room.
constexpr int kRateColumns = 13;
constexpr int kLeftColumns = 12;

struct ProgressState {
    bool enabled = false;
    bool ever_drawn = false;
    std::string name;
    int64_t total = 0;
    int64_t done = 0;
    Clock::time_point start;
    Clock::time_point last_draw;
};

ProgressState g_progress;
// Read by the interrupt handler: a line is showing and wants ending.
volatile std::sig_atomic_t g_line_showing = 0;

// Columns that `text` takes, one per UTF-8 character (escaped names hold nothing wider).
int Columns(const std::string& text) {
    int columns = 0;
    for (char c : text) columns += !uuarc::IsUtf8Continuation(static_cast<uint8_t>(c));
    return columns;
}

// The end of `name` that fits in `columns`, led by "..." when it is cut.
std::string FitName(const std::string& name, int columns) {
    if (Columns(name) <= columns) return name;
    if (columns <= 3) return std::string();
    size_t start = name.size();
    int kept = 0;
    while (start > 0 && kept < columns - 3) {
        --start;
        if (!uuarc::IsUtf8Continuation(static_cast<uint8_t>(name[start]))) ++kept;
    }
    return "..." + name.substr(start);
}

// The unit that `bytes` is shown in, "B" to "TiB", and in `scale` its size.
const char* UnitOf(double bytes, double& scale) {
    static const char* const units[] = {"B", "KiB", "MiB", "GiB", "TiB"};
    int unit = 0;
    for (scale = 1; bytes / scale >= 1024 && unit < 4; scale *= 1024) ++unit;
    return units[unit];
}

// 1536 -> "1.5 KiB".
std::string FormatBytes(double bytes) {
    double scale = 1;
    const char* unit = UnitOf(bytes, scale);
    char text[32];
    std::snprintf(text, sizeof text, scale == 1 ? "%.0f %s" : "%.1f %s", bytes / scale, unit);
    return text;
}

// "11.4 of 27.0 MiB": both counts in the unit of the total.
std::string FormatPair(int64_t done, int64_t total) {
    double scale = 1;
    const char* unit = UnitOf(static_cast<double>(total), scale);
    char text[64];
    std::snprintf(text, sizeof text, scale == 1 ? "%.0f of %.0f %s" : "%.1f of %.1f %s", done / scale,
                  total / scale, unit);
    return text;
}

std::string FormatDuration(double seconds) {
    long total = static_cast<long>(seconds + 0.5);
    char text[32];
    if (total >= 3600) {
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", total / 3600, total / 60 % 60, total % 60);
    } else {
        std::snprintf(text, sizeof text, "%ld:%02ld", total / 60, total % 60);
    }
    return text;
}

// The line for the state now, at most `width` columns.
std::string ComposeLine(bool final, Clock::time_point now, int width) {
    const ProgressState& p = g_progress;
    int percent = final ? 100 : p.total > 0 ? static_cast<int>(p.done * 100 / p.total) : 0;
    if (!final && percent > 99) percent = 99;
    char percent_text[16];
    std::snprintf(percent_text, sizeof percent_text, "%3d%%", percent);

    const double seconds = std::chrono::duration<double>(now - p.start).count();
    const int64_t shown_done = final ? p.total : p.done;
    std::string counts = FormatPair(shown_done, p.total) + " read";
    std::string rate, left;
    if (seconds >= 0.5 && shown_done > 0) {
        const double per_second = shown_done / seconds;
        rate = FormatBytes(per_second) + "/s";
        if (!final && p.total > p.done) left = FormatDuration((p.total - p.done) / per_second) + " left";
    }

    // Levels of detail, richest first; the first one that fits with 8 columns of the name wins.
    // The name and the bar are laid out for the widest details a level may show, not for those
    // of this moment, so that they keep their width when the rate appears and as the counts grow.
    const int widest_counts = 1 + Columns(FormatPair(p.total, p.total) + " read");
    for (int level = 0; level < 5; ++level) {
        const bool with_bar = level < 3;
        int reserved = level < 4 ? widest_counts : 0;
        if (level < 2) reserved += kRateColumns;
        if (level < 1) reserved += kLeftColumns;
        const int room = width - (2 + 4 + reserved + (with_bar ? 3 : 0));
        if (level < 4 && room < (with_bar ? kSmallestBar : 0) + 8) continue;
        int bar_width = 0;
        if (with_bar) {
            bar_width = room - Columns(p.name);
            if (bar_width < kSmallestBar) bar_width = kSmallestBar;
            if (bar_width > kLargestBar) bar_width = kLargestBar;
        }
        std::string name = FitName(p.name, room - bar_width);
        std::string line = name + (name.empty() ? "" : "  ") + percent_text;
        if (with_bar) {
            std::string bar(static_cast<size_t>(bar_width), ' ');
            for (int i = 0; i < percent * bar_width / 100; ++i) bar[static_cast<size_t>(i)] = '=';
            line += " [" + bar + "]";
        }
        if (level == 4) return line;
        // A rate or a time left wider than its reservation is left out rather than the line cut.
        line += " " + counts;
        const int used = Columns(line);
        const std::string with_rate = level < 2 && !rate.empty() ? ", " + rate : "";
        const std::string with_left = level < 1 && !left.empty() ? ", " + left : "";
        if (used + Columns(with_rate) > width) return line;
        if (used + Columns(with_rate) + Columns(with_left) > width) return line + with_rate;
        return line + with_rate + with_left;
    }
    return percent_text;
}

void Draw(bool final) {
    const Clock::time_point now = Clock::now();
    int columns = TerminalColumns(stderr);
    if (columns <= 0) columns = kDefaultColumns;
    // The last column is left free: writing there wraps the cursor on some terminals.
    const int width = columns - 1;
    std::string line = ComposeLine(final, now, width);
    const int used = Columns(line);
    if (used < width) line.append(static_cast<size_t>(width - used), ' ');
    std::fprintf(stderr, "\r%s%s", line.c_str(), final ? "\n" : "");
    std::fflush(stderr);
    g_progress.ever_drawn = true;
    g_progress.last_draw = now;
    g_line_showing = final ? 0 : 1;
}

}  // namespace

void ProgressStart(const std::string& name, int64_t total) {
    g_progress = ProgressState{};
    // Data on standard output to the terminal that shows the bar would have the bar drawn into it.
    g_progress.enabled =
        !g_console.quiet && IsTerminal(stderr) && !(g_console.data_on_stdout && SameTerminal(stdout, stderr));
    if (g_progress.enabled) g_progress.name = Shown(name);
    g_progress.total = total > 0 ? total : 0;
    g_progress.start = Clock::now();
}

void ProgressTotal(int64_t total) {
    if (g_progress.total == 0 && total > 0) g_progress.total = total;
}

void ProgressAdd(int64_t bytes) {
    if (!g_progress.enabled) return;
    if (bytes > 0) g_progress.done += bytes;
    if (g_progress.done > g_progress.total) g_progress.done = g_progress.total;
    if (g_line_showing && Clock::now() - g_progress.last_draw < kRedrawInterval) return;
    Draw(false);
}

void ProgressDone() {
    if (g_progress.enabled && g_progress.ever_drawn) Draw(true);
    g_progress.enabled = false;
}

void ProgressAbandon() {
    ProgressHide();
    g_progress.enabled = false;
}

void ProgressHide() {
    if (!g_line_showing) return;
    int columns = TerminalColumns(stderr);
    if (columns <= 0) columns = kDefaultColumns;
    std::fprintf(stderr, "\r%*s\r", columns - 1, "");
    std::fflush(stderr);
    g_line_showing = 0;
}

void ProgressInterrupted() {
    if (g_line_showing) WriteErrorNow("\n", 1);
    g_line_showing = 0;
}

}  // namespace uuarc_host
