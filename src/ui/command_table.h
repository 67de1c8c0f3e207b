#pragma once

namespace qv::ui {

// Every command of the window's menus, shortcuts and two controls.
enum class Command {
    OpenImages,      // "&Otwórz obraz(y)", Ctrl+M, double-click on the image
    OpenImage,       // Ctrl+O, one file
    Save,            // "&Zapisz"
    SaveAs,          // "&Zapisz jako..."
    SaveToEditor,    // "Zapisz i przenieś do edytora"
    Close,           // "&Zamknij"
    RecentFile,
    Exit,            // "Zakończ"
    LoadSettings,    // "&Wczytaj ustawienia"
    SaveSettings,    // "&Zapisz ustawienia"
    Defaults,        // "&Domyślne"
    SetAsDefaults,   // "Ustaw jako domyślne"
    Preset,          // "Predefiniowane"
    AddUserPreset,   // "Dodaj"
    PreviewMode,     // "Widok"
    Configuration,   // "Konfiguracja"
    CheckUpdates,    // "&Sprawdź aktualizacje..."
    About,           // "&O programie"
    Manual,          // "Instrukcja online"
    Support,         // "Pomoc techniczna"
    ProcessButton,   // "Przetwarzaj" / "Przerwij"
    ZoomSlider,
};

// The three conditions every enabling rule is made of.
struct WindowState {
    bool loaded = false;  // the pipeline holds an image
    bool busy = false;    // a processing run is going
    bool stale = false;   // the shown result is out of date
};

bool commandEnabled(Command command, const WindowState& state);

}  // namespace qv::ui
