#pragma once

#include <functional>
#include <memory>

#include "settings/key_value_store.h"
#include <optional>
#include <string>
#include <vector>

namespace qv::ui {
class CMainDialog;
}

namespace qv {

// The program: checks that Qt can read images, reads the configuration and
// the stored defaults, runs the main window until it closes, then writes
// them back once.
class CQuorvelinApp {
public:
    // `store` is the per-user store (the user's QSettings when null).
    explicit CQuorvelinApp(std::unique_ptr<KeyValueStore> store = nullptr);
    ~CQuorvelinApp();

    // The message shown when the program cannot run here, or empty.
    static std::optional<std::string> missingPlatformText();

    // Start-up up to the shown window: the configuration is read, the files
    // (from the command line) are opened once the window shows.
    ui::CMainDialog& start(const std::vector<std::string>& files);
    // Shutdown after the window has closed: configuration, stored defaults,
    // recent files and the last update check written, the window destroyed.
    void finish();
    // start(), the event loop, finish(); the program's exit code.
    int run(const std::vector<std::string>& files);

    // The version the user was last told about by the update check.
    std::string lastUpdate;

    // Places for the parts that join later: called after the window is built
    // and the configuration read, before it shows (splash, user presets read),
    // and after it has closed, before the configuration is written (user
    // presets written).
    std::function<void(ui::CMainDialog&)> windowCreated;
    std::function<void(ui::CMainDialog&)> windowClosed;

private:
    void readConfiguration();
    void writeConfiguration();

    std::unique_ptr<KeyValueStore> store_;
    std::unique_ptr<ui::CMainDialog> window_;
};

}  // namespace qv
