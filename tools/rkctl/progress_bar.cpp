#include "tools/rkctl/progress_bar.h"

#include "platform/text/format.h"
#include "platform/text/utf.h"

namespace rk::ctl {
namespace {

constexpr int kBarWidth = 30;
constexpr auto kRedrawInterval = std::chrono::milliseconds(200);

std::string mebibytes(std::uint64_t bytes) {
    return text::format(std::string_view("%.1f MiB"), static_cast<double>(bytes) / (1024.0 * 1024.0));
}

}  // namespace

std::string ProgressBar::line(const std::wstring& id, std::uint64_t done, std::uint64_t total, std::uint64_t received) {
    std::string text = text::wide_to_utf8(id) + " ";
    if (total > 0) {
        const std::uint64_t shown = done > total ? total : done;
        const int filled = static_cast<int>(shown * kBarWidth / total);
        text += text::format(std::string_view("%3d%% ["), static_cast<int>(shown * 100 / total));
        text += std::string(static_cast<std::size_t>(filled), '#') +
                std::string(static_cast<std::size_t>(kBarWidth - filled), '.') + "] ";
        text += mebibytes(done) + " / " + mebibytes(total);
    } else {
        text += mebibytes(done);
    }
    if (received < done) {
        text += " (resumed, " + mebibytes(received) + " received)";
    }
    return text;
}

void ProgressBar::begin(const std::wstring& id, const std::wstring& /*detail*/) {
    last_percent_ = -1;
    std::fprintf(out_, "\r%s", line(id, 0, 0, 0).c_str());
    std::fflush(out_);
}

void ProgressBar::progress(const std::wstring& id, std::uint64_t done, std::uint64_t total, std::uint64_t received) {
    const auto now = std::chrono::steady_clock::now();
    const int percent = total > 0 ? static_cast<int>(done * 100 / total) : -1;
    if (percent == last_percent_ && now - last_draw_ < kRedrawInterval) {
        return;
    }
    last_percent_ = percent;
    last_draw_ = now;
    std::fprintf(out_, "\r%s\x1b[K", line(id, done, total, received).c_str());
    std::fflush(out_);
}

void ProgressBar::end(const std::wstring& id, int status, const std::wstring& error) {
    if (status == XMLUpdater::v2::kProgressSuccess) {
        std::fprintf(out_, "\r\x1b[K%s done\n", text::wide_to_utf8(id).c_str());
    } else {
        std::fprintf(out_, "\r\x1b[K%s failed (status %d) %s\n", text::wide_to_utf8(id).c_str(), status,
                     text::wide_to_utf8(error).c_str());
    }
    std::fflush(out_);
}

void ProgressBar::set_pipe_name(const std::wstring& /*name*/) {}

}  // namespace rk::ctl
