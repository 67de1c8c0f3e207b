#include "cli/option_table.h"

#include <array>

namespace qv::cli {

namespace {

constexpr OptionGroup kOutput{"Wynik:", 26, {}};
constexpr OptionGroup kSettings{"Ustawienia (nakładane w tej kolejności na domyślne zapisane w konfiguracji):", 26, {}};
constexpr OptionGroup kLoading{"Wczytywanie:", 36, "(bez tych opcji: jak w konfiguracji programu)"};
constexpr OptionGroup kRun{"Przebieg:", 26, {}};

constexpr std::array kOptions{
    OptionInfo{Opt::Output, 'o', "output", "PLIK", &kOutput, "plik wynikowy"},
    OptionInfo{Opt::Type, 't', "type", "TYP", &kOutput,
               "jpeg, tiff8 albo tiff16; domyślnie z rozszerzenia:\n.jpg/.jpeg JPEG, .tif/.tiff TIFF 16-bit"},
    OptionInfo{Opt::Quality, 'q', "quality", "0..100", &kOutput,
               "jakość JPEG (domyślnie zapisana w konfiguracji, bez niej 90)"},
    OptionInfo{Opt::Resize, 0, "resize", "SZERxWYS", &kOutput,
               "zmniejsza do tej ramki (np. 1920x1080) z zachowaniem proporcji\n(nigdy nie powiększa)"},

    OptionInfo{Opt::Factory, 0, "factory", {}, &kSettings,
               "zaczyna od ustawień fabrycznych zamiast zapisanych domyślnych"},
    OptionInfo{Opt::Preset, 'p', "preset", "NAZWA|1..10", &kSettings, "ustawienia predefiniowane:\n{presets}"},
    OptionInfo{Opt::Settings, 's', "settings", "PLIK.qvl", &kSettings, "plik ustawień"},
    OptionInfo{Opt::NoCompanion, 0, "no-companion", {}, &kSettings,
               "pomija plik .qvl o nazwie obrazu leżący obok niego"},
    OptionInfo{Opt::Set, 0, "set", "Pole=Wartość", &kSettings, "pojedyncza wartość, np. Details=7 (można powtarzać)"},
    OptionInfo{Opt::SaveSettings, 0, "save-settings", "PLIK.qvl", &kSettings,
               "zapisuje użyte ustawienia (z --each: wspólne, bez\n"
               "plików .qvl obok obrazów; bez plików wejściowych: tylko zapis)"},

    OptionInfo{Opt::Preview, 0, "preview", "full|800|1280|2048", &kLoading,
               "rozmiar obrazu roboczego (domyślnie full)"},
    OptionInfo{Opt::RawNr, 0, "raw-nr", {}, &kLoading, "wstępna redukcja szumu plików RAW"},
    OptionInfo{Opt::NoRawNr, 0, "no-raw-nr", {}, &kLoading, {}},
    OptionInfo{Opt::RawAutoWb, 0, "raw-auto-wb", {}, &kLoading, "automatyczny balans bieli plików RAW"},
    OptionInfo{Opt::NoRawAutoWb, 0, "no-raw-auto-wb", {}, &kLoading, {}},
    OptionInfo{Opt::LightRecovery, 0, "light-recovery", {}, &kLoading, "unikaj prześwietleń (RAW)"},
    OptionInfo{Opt::NoLightRecovery, 0, "no-light-recovery", {}, &kLoading, {}},

    OptionInfo{Opt::Threads, 0, "threads", "N", &kRun, "wątki na etap, 1..20 (domyślnie procesory + 2)"},
    OptionInfo{Opt::Each, 0, "each", {}, &kRun,
               "każdy plik osobno do folderu -d, mimo błędów pojedynczych plików"},
    OptionInfo{Opt::Dir, 'd', "dir", "FOLDER", &kRun, "folder wynikowy dla --each (typ domyślnie tiff16)"},
    OptionInfo{Opt::Quiet, 0, "quiet", {}, &kRun, "bez postępu i komunikatów (poza błędami)"},
    OptionInfo{Opt::Timings, 0, "timings", {}, &kRun, "czas każdego etapu po każdym obrazie"},
    OptionInfo{Opt::Help, 'h', "help", {}, &kRun, "ta pomoc"},
    OptionInfo{Opt::Version, 0, "version", {}, &kRun, "wersja programu"},
};

}  // namespace

std::span<const OptionInfo> optionTable() { return kOptions; }

}  // namespace qv::cli
