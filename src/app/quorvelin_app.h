#pragma once

#include <QString>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "settings/key_value_store.h"

namespace qv::ui {
class CMainDialog;
}

namespace qv {

class CUpdateCheck;

// The program: checks that Qt can read images, shows the splash, reads the
// configuration, the stored defaults and the user presets, runs the main
// window with the update check until it closes, then writes them back once.
class CQuorvelinApp {
public:
    // `store` is the per-user store (the user's QSettings when null);
    // `presetsPath` the user presets file (the user's own when empty).
    explicit CQuorvelinApp(std::unique_ptr<KeyValueStore> store = nullptr, QString presetsPath = {});
    ~CQuorvelinApp();

    // The message shown when the program cannot run here, or empty.
    static std::optional<std::string> missingPlatformText();

    // Start-up up to the shown window: the splash shows, the configuration
    // and the presets are read, the update check starts, the files (from the
    // command line) are opened once the window shows.
    ui::CMainDialog& start(const std::vector<std::string>& files);
    // Shutdown after the window has closed: presets, configuration, stored
    // defaults and recent files written, a pending update check abandoned,
    // the window destroyed.
    void finish();
    // start(), the event loop, finish(); the program's exit code.
    int run(const std::vector<std::string>& files);

    CUpdateCheck& updateCheck() { return *updateCheck_; }

private:
    void readConfiguration();
    void writeConfiguration();
    // "&O programie", "&Sprawdź aktualizacje..." and the check's answers.
    void connectHelpCommands();

    std::unique_ptr<KeyValueStore> store_;
    QString presetsPath_;
    std::unique_ptr<ui::CMainDialog> window_;
    // Keeps `LastUpdate` in the store itself.
    std::unique_ptr<CUpdateCheck> updateCheck_;
};

}  // namespace qv
