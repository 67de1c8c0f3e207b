#pragma once

namespace qv {

// The numbers a worker publishes in the context; the window maps them to texts.
namespace StatusCode {
inline constexpr int Loading = 103;          // "Wczytywanie obrazu"
inline constexpr int Preparing = 104;        // no text
inline constexpr int Saving = 105;           // "Zapisywanie obrazu"
inline constexpr int LoadError = 106;        // "Błąd wczytywania"
inline constexpr int SaveError = 107;        // "Błąd zapisu"
inline constexpr int ProcessingError = 108;  // "Błąd przetwarzania"
inline constexpr int Merging = 109;          // "Łączenie: %d%%"
inline constexpr int DetailSetup = 110;      // "Przygotowanie..."
inline constexpr int Smoothing = 111;        // "Wygładzanie: %d%%"
inline constexpr int Smoothing2 = 112;       // "Wygładzanie: %d%% 2-gi przebieg"
inline constexpr int Detail = 113;           // "Przetwarzanie: %d%%"
inline constexpr int Region = 114;           // "Detekcja obszarów: %d%%"
inline constexpr int ToneCurve = 115;        // "Krzywa tonalna: %d%%"
inline constexpr int FinalOutput = 116;      // "Przetwarzanie końcowe: %d%%"
inline constexpr int RunEnded = 117;         // no text
inline constexpr int ColorNR = 118;          // "Redukcja kolorowego szumu: %d%%"
inline constexpr int Softening = 119;        // "Filtr zmiękczający: %d%%"
inline constexpr int Sharpening = 120;       // "Wyostrzanie: %d%%"
inline constexpr int Light = 121;            // "Światło: %d%%"
inline constexpr int Ready = 130;            // "Gotowe"
inline constexpr int Aborted = 131;          // "Przerwane"
inline constexpr int Ready2 = 132;           // "Gotowe"
inline constexpr int UpdateCheck = 150;      // "Sprawdzanie aktualizacji..."
}  // namespace StatusCode

// The text shown for a status code, "%d" taking the percentage; empty for
// codes without text.
const char* statusText(int code);

}  // namespace qv
