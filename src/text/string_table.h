#pragma once

// The program's Polish texts that more than one front end shows (the window
// and the command-line tool), named after their numbers in the string table.
// Texts with "%d" take a percentage, "%.1f" seconds.

namespace qv::text {

inline constexpr const char* k105 = "Gotowe  (%.1fsek.)";
inline constexpr const char* k106 = "Przetwarzanie: %d%%";
inline constexpr const char* k107 = "Krzywa tonalna: %d%%";
inline constexpr const char* k108 = "Detekcja obszarów: %d%%";
inline constexpr const char* k112 = "Łączenie: %d%%";
inline constexpr const char* k113 = "Przetwarzanie końcowe: %d%%";
inline constexpr const char* k114 = "Filtr zmiękczający: %d%%";
inline constexpr const char* k115 = "Przygotowanie...";
inline constexpr const char* k116 = "Obliczenia wstępne (%d%%)";
inline constexpr const char* k117 = "Wczytywanie obrazu";
inline constexpr const char* k118 = "Zapisywanie obrazu";
inline constexpr const char* k119 = "Błąd wczytywania";
inline constexpr const char* k120 = "Błąd zapisu";
inline constexpr const char* k121 = "Błąd przetwarzania";
inline constexpr const char* k122 = "Sprawdzanie aktualizacji...";
inline constexpr const char* k123 = "Przerwane";
inline constexpr const char* k124 = "Gotowe";
inline constexpr const char* k132 = "Wygładzanie: %d%%";
inline constexpr const char* k133 = "Redukcja kolorowego szumu: %d%%";
inline constexpr const char* k134 = "Wygładzanie: %d%% 2-gi przebieg";
inline constexpr const char* k138 = "Obrazy nie mają tych samych rozmiarów i głębi koloru";
inline constexpr const char* k139 = "Zapisywanie obrazu (%d%%)";
inline constexpr const char* k140 = "Nieznany format obrazu";
inline constexpr const char* k143 = "Wczytywanie obrazu (%d%%)";
inline constexpr const char* k144 = "Tworzenie HDR";
inline constexpr const char* k155 = "Gotowe  (%d min. %d sec.)";
inline constexpr const char* k159 = "Wyostrzanie: %d%%";
inline constexpr const char* k165 = "Światło: %d%%";

}  // namespace qv::text
