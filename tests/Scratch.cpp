#include "Scratch.h"

#include "ui/Controls.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

namespace fs = std::filesystem;

ScratchDir::ScratchDir() {
    std::random_device random;
    const fs::path temp = fs::temp_directory_path();
    fs::path path;
    do path = temp / ("tandemix-test-" + std::to_string(random()));
    while (!fs::create_directory(path));
    m_path = path.string();
    m_previous = fs::current_path().string();
    fs::current_path(m_path);
}

ScratchDir::~ScratchDir() {
    fs::current_path(m_previous);
    std::error_code ec;
    fs::remove_all(m_path, ec);
}

std::vector<std::string> ScratchDir::Files(const std::string& prefix) const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(m_path)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(prefix, 0) == 0) names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void WriteFile(const std::string& path, const std::string& data) {
    std::ofstream(path, std::ios::binary) << data;
}

MessageWindow::MessageWindow() {
    window.Create(nullptr, "messages", 0, {0, 0, 400, 200}, nullptr, 0);
    status.Create("STATIC", "...", 0, {10, 10, 390, 30}, &window, 1003);
    history.Create("STATIC", "...", 0, {10, 40, 390, 190}, &window, 1004);
    g_pStatusText = &status;
    g_pHistoryText = &history;
}

MessageWindow::~MessageWindow() {
    g_pStatusText = nullptr;
    g_pHistoryText = nullptr;
    window.DestroyWindow();
}

std::string TextOf(const CWnd& wnd) {
    char buffer[4096];
    const int n = wnd.GetWindowText(buffer, sizeof buffer);
    return std::string(buffer, static_cast<std::size_t>(n));
}

std::string MessageWindow::Status() const { return TextOf(status); }
std::string MessageWindow::History() const { return TextOf(history); }
